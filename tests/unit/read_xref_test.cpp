#include "pdfread/catalog.h"
#include "pdfread/read_xref.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <string>

#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::PdfBuilder;
using test::TestJob;

struct XrefRead {
    int ok;
    int32_t error;
    int32_t root, rootGen;
    XrefTable table;
};

XrefRead Read(TestJob& t, const std::string& file) {
    Block b = BytesOf(file);
    XrefRead r;
    const Failure f = ReadXref(t.job, b.data(), b.end(), r.table, t.reader);
    r.ok = f ? 0 : 1;
    r.root = t.reader.rootNumber;
    r.rootGen = t.reader.rootGeneration;
    r.error = f.code;
    return r;
}

// Appends an incremental update: new objects, a section for them and a
// trailer whose /Prev names the previous section.
std::string AppendUpdate(const std::string& base, const std::string& objects, const std::string& subsections,
                         const std::string& trailer) {
    size_t sx = base.rfind("startxref\n");
    std::string prev = base.substr(sx + 10, base.find('\n', sx + 10) - (sx + 10));
    std::string out = base + objects;
    size_t xref = out.size();
    out += "xref\n" + subsections + "trailer\n<< " + trailer + " /Prev " + prev + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

TEST(ReadXref, ReadsAClassicFile) {
    TestJob t;
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    b.Trailer("/Root 1 0 R /Info 2 0 R /ID [<0102AB> <0102AB>]");
    std::string file = b.Build();
    XrefRead r = Read(t, file);
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.root, 1);
    EXPECT_EQ(r.rootGen, 0);
    EXPECT_EQ(t.reader.infoNumber, 2);
    ASSERT_EQ(t.reader.fileIdLength, 3);
    EXPECT_EQ(t.reader.fileId[2], 0xAB);
    ASSERT_EQ(r.table.size(), 3u);
    EXPECT_EQ(r.table.Find(2)->offset, b.OffsetOf(2));
    EXPECT_EQ(r.table.Find(0)->type, 'f');
    EXPECT_EQ(LookupXref(r.table, 2, 1).code(), kLookupNotListed);
    EXPECT_EQ(t.reader.xrefStreams, 0);
    EXPECT_EQ(t.reader.encryptKey, ReaderRecord::kNone);
}

TEST(ReadXref, IncrementalUpdates) {
    TestJob t;
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Type /Pages /Count 0 >>");
    b.Trailer("/Root 1 0 R /Info 2 0 R");
    std::string base = b.Build();
    std::string obj = "9 0 obj\n<< /Type /Catalog >>\nendobj\n2 0 obj\n<< /New true >>\nendobj\n";
    size_t at = base.size();
    std::string updated = AppendUpdate(base, obj,
                                       "2 1\n" + std::to_string(at + 36) + " 00000 n \n9 1\n" +
                                           std::to_string(at) + " 00000 n \n",
                                       "/Size 10 /Root 9 0 R /Info 5 0 R");
    XrefRead r = Read(t, updated);
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.table.Find(2)->offset, static_cast<int32_t>(at + 36));  // the newest entry wins
    EXPECT_EQ(r.table.Find(1)->offset, b.OffsetOf(1));                 // older entries stay
    EXPECT_EQ(r.root, 9);                                               // the newest /Root
    EXPECT_EQ(t.reader.infoNumber, 5);                                  // the newest /Info
    // Ascending order throughout.
    for (size_t i = 1; i < r.table.size(); ++i)
        EXPECT_LT(r.table.entries()[i - 1].number, r.table.entries()[i].number);
}

TEST(ReadXref, SubsectionsOutOfOrderAndFlexibleLayout) {
    TestJob t;
    std::string file =
        "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n"
        "xref\n10 2\n0000000100 00000 n \n0000000200 00000 n \n"
        "0 2 % comment between subsections\n0 65535 f\r\n9   0\tn\n"
        "trailer\n<< /Size 12 /Root 1 0 R >>\nstartxref\n30\n%%EOF";
    XrefRead r = Read(t, file);
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_EQ(r.table.size(), 4u);
    EXPECT_EQ(r.table.entries()[0].number, 0);
    EXPECT_EQ(r.table.entries()[1].offset, 9);
    EXPECT_EQ(r.table.entries()[2].number, 10);
    EXPECT_EQ(r.table.entries()[3].offset, 200);
}

TEST(ReadXref, HybridFileSetsTheStreamFlag) {
    TestJob t;
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog >>");
    b.Trailer("/Root 1 0 R /XRefStm 1234");
    XrefRead r = Read(t, b.Build());
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(t.reader.xrefStreams, 1);
}

TEST(ReadXref, CrossReferenceStreamIsDetected) {
    TestJob t;
    std::string stream =
        "%PDF-1.5\n1 0 obj\n<< /Type /XRef /Size 2 /W [1 1 1] /Length 0 >>\nstream\n\nendstream\nendobj\n"
        "startxref\n9\n%%EOF\n";
    XrefRead r = Read(t, stream);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.error, kXrefNotXref);
    EXPECT_EQ(t.reader.xrefStreams, 1);

    TestJob t2;
    XrefRead garbage = Read(t2, "%PDF-1.4\nnothing useful here\nstartxref\n12\n%%EOF\n");
    EXPECT_EQ(garbage.error, kXrefNotXref);
    EXPECT_EQ(t2.reader.xrefStreams, 0);
    TestJob t3;
    EXPECT_EQ(Read(t3, "%PDF-1.4\nxref\n0 1\n0000000000 65535 f \ntrailer\n<<>>\nstartxref\n99999\n%%EOF").error,
              kXrefNotXref);
}

TEST(ReadXref, EofInACommentIsIgnored) {
    TestJob t;
    std::string file = test::SimpleDocument(2) + "% trailing note %%EOF\n";
    XrefRead r = Read(t, file);
    EXPECT_EQ(r.ok, 1) << r.error;
    TestJob t2;
    XrefRead none = Read(t2, "%PDF-1.4 no end marker at all, only % %%EOF\n");
    EXPECT_EQ(none.error, kXrefNoEof);
}

TEST(ReadXref, MalformedSectionsFail) {
    std::string good = test::SimpleDocument(2);
    // "trailer" glued to "<<".
    std::string glued = good;
    glued.replace(glued.find("trailer\n<<"), 10, "trailer<< ");
    TestJob t1;
    EXPECT_EQ(Read(t1, glued).error, kXrefTrailerGlued);
    // A type letter other than n or f.
    std::string letter = good;
    letter.replace(letter.find(" n \n"), 4, " x \n");
    TestJob t2;
    XrefRead bad = Read(t2, letter);
    EXPECT_EQ(bad.ok, 0);
    EXPECT_EQ(bad.error, kXrefFirstBadType);
    // A later subsection header without its count.
    std::string noCount = good;
    noCount.replace(noCount.find("trailer"), 7, "7\ntrailer");
    TestJob t3;
    EXPECT_EQ(Read(t3, noCount).error, kXrefLaterNoCount);
}

TEST(ReadXref, PrevLoopIsDamage) {
    TestJob t;
    std::string base = test::SimpleDocument(2);
    size_t sx = base.rfind("startxref\n");
    std::string offset = base.substr(sx + 10, base.find('\n', sx + 10) - (sx + 10));
    // The trailer names its own section as /Prev.
    base.replace(base.find("/Root 1 0 R"), 11, "/Root 1 0 R /Prev " + offset);
    // A loop means damage: the read fails, and the job repairs the file.
    XrefRead r = Read(t, base);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.error, kXrefPrevLoop);
    // Two sections that name each other.
    auto padded = [](size_t v) {
        std::string d = std::to_string(v);
        return std::string(10 - d.size(), '0') + d;
    };
    std::string head = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
    std::string sectionA =
        "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n<< /Size 2 /Root 1 0 R /Prev @B >>\n";
    std::string sectionB = "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 2 /Prev @A >>\n";
    size_t a = head.size(), bAt = a + sectionA.size() + 8;  // "@B" grows to ten digits
    sectionA.replace(sectionA.find("@B"), 2, padded(bAt));
    sectionB.replace(sectionB.find("@A"), 2, padded(a));
    std::string two = head + sectionA + sectionB + "startxref\n" + std::to_string(bAt) + "\n%%EOF\n";
    TestJob t2;
    XrefRead loop = Read(t2, two);
    EXPECT_EQ(loop.ok, 0);
    EXPECT_EQ(loop.error, kXrefPrevLoop);
}

TEST(ReadXref, EntriesThatPointAtNoObjectAreListedFree) {
    PdfBuilder b;
    // Object 2 is long enough that 3 and 4 stand beyond the nearby search
    // from offset 0 and from object 2's header.
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Pad (" + std::string(400, 'x') + ") >>")
        .Object(3, "(three)");
    b.Object(4, "(four)").Object(5, "(five)").Trailer("/Root 1 0 R");
    std::string file = b.Build();
    // 3 points at offset 0, 4 at object 2's header, 5 a few bytes past its own.
    auto digits = [](long offset) {
        char text[16];
        std::snprintf(text, sizeof text, "%010ld", offset);
        return std::string(text);
    };
    file.replace(file.find(digits(b.OffsetOf(4)) + " 00000 n"), 10, digits(b.OffsetOf(2)));
    file.replace(file.find(digits(b.OffsetOf(3)) + " 00000 n"), 10, "0000000000");
    file.replace(file.find(digits(b.OffsetOf(5)) + " 00000 n"), 10, digits(b.OffsetOf(5) + 7));
    TestJob t;
    XrefRead r = Read(t, file);
    ASSERT_EQ(r.ok, 1) << r.error;
    std::string types;
    for (int n = 0; n <= 5; ++n) types += r.table.Find(n)->type;
    EXPECT_EQ(types, "fnnffn");
    EXPECT_EQ(r.table.Find(5)->offset, static_cast<int64_t>(b.OffsetOf(5)));
}

TEST(ReadXref, StopRequestEndsTheRead) {
    TestJob t;
    t.job.StopCode = -2;
    EXPECT_EQ(Read(t, test::SimpleDocument(3)).ok, 0);
}

TEST(CountPages, ReadsTheRootCount) {
    TestJob t;
    std::string file = test::SimpleDocument(4);
    Block b = BytesOf(file);
    XrefTable table;
    ASSERT_EQ(ReadXref(t.job, b.data(), b.end(), table, t.reader).code, 0);
    EXPECT_EQ(*CountPages(b.data(), b.end(), t.reader.rootNumber, t.reader.rootGeneration, table), 4);
}

TEST(CountPages, ChecksTheCatalogAndTheRoot) {
    auto count = [](const std::string& catalog, const std::string& pages, int32_t& error) {
        TestJob t;
        PdfBuilder b;
        b.Object(1, catalog).Object(2, pages).Trailer("/Root 1 0 R");
        Block img = BytesOf(b.Build());
        XrefTable table;
        static_cast<void>(ReadXref(t.job, img.data(), img.end(), table, t.reader));
        const Result<int32_t> n =
            CountPages(img.data(), img.end(), t.reader.rootNumber, t.reader.rootGeneration, table);
        error = n.code();
        return n.value_or(-1);
    };
    int32_t error;
    // A catalog and a root without their /Type are known by /Pages and /Kids.
    EXPECT_EQ(count("<< /Type /Catalogue /Pages 2 0 R >>", "<< /Type /Pages /Count 2 >>", error), 2);
    EXPECT_EQ(count("<< /Pages 2 0 R >>", "<< /Kids [] /Count 3 >>", error), 3);
    EXPECT_EQ(count("<< /Type /Catalogue /Outlines 2 0 R >>", "<< /Type /Pages /Count 2 >>", error), -1);
    EXPECT_EQ(error, kCatalogTypeGlued);
    EXPECT_EQ(count("<< /Outlines 2 0 R >>", "<< /Type /Pages /Count 2 >>", error), -1);
    EXPECT_EQ(error, kCatalogNoType);
    EXPECT_EQ(count("<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] >>", error), -1);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(count("<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Page >>", error), -1);
    EXPECT_EQ(error, kPagesWrongType);
    EXPECT_EQ(count("<< /Type /Catalog /Pages 5 0 R >>", "<< /Type /Pages /Count 2 >>", error), -1);
    EXPECT_EQ(error, kPagesNotListed);
}

TEST(XrefTable, SparseNumbersStillResolve) {
    XrefTable table;
    table.Assign({{0, 0, 65535, 'f'}, {7, 70, 0, 'n'}, {2000000000, 99, 0, 'n'}});
    ASSERT_NE(table.Find(2000000000), nullptr);
    EXPECT_EQ(table.Find(2000000000)->offset, 99);
    EXPECT_EQ(table.Find(8), nullptr);
    EXPECT_EQ(table.Find(-1), nullptr);
}

}  // namespace
}  // namespace brisel
