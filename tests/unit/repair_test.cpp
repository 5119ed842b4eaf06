#include "pdfread/repair.h"

#include <gtest/gtest.h>

#include <string>

#include "pdfread/lost_encryption.h"
#include "pdfread/read_xref.h"
#include "pdfread/xref_section.h"
#include "rewrite_support.h"

namespace brisel {
namespace {

using test::BodyOf;
using test::TestJob;
using test::TextOf;

using Rebuilt = test::Rewritten;

Rebuilt Rebuild(TestJob& t, const std::string& file) {
    return test::RewriteAndRead(t.job, file, [](Job& job, Block& image, const XrefTable&, ReaderRecord&) {
        return RebuildClassic(job, image);
    });
}

TEST(RebuildClassic, FindsEveryObjectOfAFileWithWrongOffsets) {
    std::string file = test::SimpleDocument(3);
    // Every offset wrong, and startxref too.
    for (size_t at = file.find(" 00000 n"); at != std::string::npos; at = file.find(" 00000 n", at + 1))
        file[at - 1] = '7';
    file.replace(file.rfind("startxref\n") + 10, 3, "999");
    TestJob t;
    Rebuilt r = Rebuild(t, file);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.read, 1) << t.job.LastError;
    EXPECT_EQ(r.root, 1);
    EXPECT_EQ(r.table.HighestNumber(), 5);
    for (int n = 3; n <= 5; ++n) EXPECT_EQ(BodyOf(t, r, n), "<< /Type /Page /Parent 2 0 R >>");
    EXPECT_EQ(CountPages(r.image.begin(), r.image.end(), r.root, r.rootGeneration, r.table).value_or(-1), 3);
    // The file's own header starts the image; the old section is gone.
    const std::string image = TextOf(r.image);
    EXPECT_EQ(image.substr(0, 9), "%PDF-1.4\n");
    EXPECT_EQ(image.find("trailer"), image.rfind("trailer"));
    EXPECT_EQ(image.substr(image.size() - 6), "%%EOF\n");
}

TEST(FindLostEncryption, JudgesCiphertextByMostOfItsDeflatedStreams) {
    // Sixteen deflated streams that fail the zlib header check as ciphertext
    // does, one of them passing by chance: still encrypted. A file whose
    // streams pass is plain.
    auto file = [](int passing) {
        std::string f = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                        "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n";
        for (int n = 3; n < 19; ++n)
            f += std::to_string(n) + " 0 obj\n<< /Length 4 /Filter /FlateDecode >>\nstream\n" +
                 (n - 3 < passing ? "\x78\x9C" : "\x13\x37") + "ab\nendstream\nendobj\n";
        return f + "trailer\n<< /Root 1 0 R >>\n%%EOF\n";
    };
    for (int passing : {0, 1, 16}) {
        TestJob t;
        Rebuilt r = Rebuild(t, file(passing));
        ASSERT_EQ(r.read, 1) << passing;
        const LostEncryption lost = FindLostEncryption(t.job, r.image.begin(), r.image.end(), r.table);
        EXPECT_FALSE(lost.dictionary);
        EXPECT_EQ(lost.cipherStreams, passing < 16) << passing;
    }
}

TEST(RebuildClassic, CatalogWithoutItsNameIsTheOneATrailerNames) {
    // No object carries /Catalog: the last trailer that names a found
    // dictionary with /Pages gives the root (a stale one, a missing one and
    // a /Root of no catalog are passed over).
    std::string file =
        "%PDF-1.4\n"
        "1 0 obj\n<< /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
        "5 0 obj\n<< /Pages 2 0 R /Version /1.7 >>\nendobj\n"
        "trailer\n<< /Root 1 0 R >>\n"
        "trailer\n<< /Root 5 0 R >>\n"
        "trailer\n<< /Root 9 0 R >>\n"
        "trailer\n<< /Root 2 0 R >>\n%%EOF\n";
    TestJob t;
    Rebuilt r = Rebuild(t, file);
    ASSERT_EQ(r.read, 1) << t.job.LastError;
    EXPECT_EQ(r.root, 5);
    // None names one: the root stays 0, as without any catalog.
    TestJob t2;
    Rebuilt none = Rebuild(t2, file.substr(0, file.find("trailer")) + "%%EOF\n");
    EXPECT_EQ(none.root, 0);
}

TEST(RebuildClassic, LaterCopiesWinAndGapsAreListed) {
    // Objects 1, 2, 4, an update of 2 and a second catalog; no object 3.
    std::string file =
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
        "4 0 obj\n(four)\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [] /Count 7 >>\nendobj\n"
        "6 1 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "trailer\n<< /Root 1 0 R >>\n%%EOF\n";
    TestJob t;
    Rebuilt r = Rebuild(t, file);
    ASSERT_EQ(r.read, 1) << t.job.LastError;
    EXPECT_EQ(BodyOf(t, r, 2), "<< /Type /Pages /Kids [] /Count 7 >>");
    EXPECT_EQ(r.root, 6);  // the last catalog in file order
    EXPECT_EQ(r.rootGeneration, 1);
    // A number no object has is left out: a reference to it reads as null.
    EXPECT_EQ(r.table.Find(3), nullptr);
    EXPECT_EQ(r.table.Find(6)->generation, 1);
    // Both copies of 2 stay in the image.
    const std::string image = TextOf(r.image);
    EXPECT_NE(image.find("/Count 0"), std::string::npos);
}

TEST(RebuildClassic, GarbageBeforeTheHeaderGetsAHeaderOfItsOwn) {
    std::string file = "junk 12 0 R before\n" + test::SimpleDocument(2);
    TestJob t;
    Rebuilt r = Rebuild(t, file);
    ASSERT_EQ(r.read, 1);
    const std::string image = TextOf(r.image);
    EXPECT_EQ(image.substr(0, 15), "%PDF-1.3\n%\xE2\xE3\xCF\xD3\n");
    EXPECT_EQ(image.substr(15, 5), "junk ");
    EXPECT_EQ(CountPages(r.image.begin(), r.image.end(), r.root, r.rootGeneration, r.table).value_or(-1), 2);
}

TEST(RebuildClassic, AnObjectWithoutEndobjIsLeftOut) {
    std::string file = test::SimpleDocument(2);
    file = file.substr(0, file.find("5 0 obj") - 1) + "5 0 obj\n<< /Type /Page /Parent 2 0 R >>\n";
    // Pad past the 20 bytes the scanner needs to see the last header.
    file += std::string(30, ' ');
    TestJob t;
    Rebuilt r = Rebuild(t, file);
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(r.table.HighestNumber(), 4);
    EXPECT_EQ(BodyOf(t, r, 4), "<< /Type /Page /Parent 2 0 R >>");

    TestJob t2;
    EXPECT_EQ(Rebuild(t2, "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\n% no end at all here\n").result,
              kRepairFirstUnended);
    TestJob t3;
    EXPECT_EQ(Rebuild(t3, "%PDF-1.4\nnothing that looks like an object\n").result, kRepairNoObject);
}

TEST(RebuildClassic, WithoutACatalogTheRootIsObjectZero) {
    TestJob t;
    Rebuilt r = Rebuild(t, "%PDF-1.4\n1 0 obj\n<< /Type /Pages >>\nendobj\n%%EOF\n");
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(r.root, 0);
    EXPECT_EQ(r.rootGeneration, 0);
}

TEST(RebuildClassic, AnAbsurdObjectNumberGetsNoEntry) {
    // A huge number must not make the table or the section huge.
    std::string file = test::SimpleDocument(2) + "2000000000 0 obj\n<< >>\nendobj\n";
    TestJob t;
    Rebuilt r = Rebuild(t, file);
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(r.table.HighestNumber(), 4);
    EXPECT_LT(r.image.size(), file.size() + 200);
}

}  // namespace
}  // namespace brisel

namespace brisel {
namespace {

// Every cross-reference table is written by one writer: 20-byte lines for
// ordinary values, wider numbers kept whole, negative ones as 0.
TEST(XrefTableWriter, LinesKeepTheirWidths) {
    std::string out;
    auto append = [&](const char* text, size_t length) {
        out.append(text, length);
        return true;
    };
    WriteXrefTable(append, 5, [](int32_t n, int64_t& offset, int64_t& generation, char& type) {
        const int64_t offsets[] = {0, 15, 0, -4, 12345678901};
        const int64_t generations[] = {0, 0, 7, -1, 123456};
        offset = offsets[n];
        generation = generations[n];
        if (n == 2) type = 'f';
    });
    EXPECT_EQ(out, "xref\n0 5\n0000000000 65535 f \n0000000015 00000 n \n0000000000 00007 f \n"
                   "0000000000 00000 n \n12345678901 123456 n \n");
}

}  // namespace
}  // namespace brisel
