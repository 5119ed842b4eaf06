#include "docstruct/page_tree.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

#include "docstruct/annots.h"
#include "docstruct/struct_tree.h"
#include "pdfread/read_xref.h"
#include "split/split_stages.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::PdfBuilder;
using test::TestJob;

// Loads a built file into a Document and reads its cross-reference table.
Document Load(TestJob& t, const std::string& file) {
    Document doc;
    doc.image = BytesOf(file);
    EXPECT_EQ(ReadXref(t.job, doc.start(), doc.end(), doc.table, doc.reader).code, 0);
    return doc;
}

TEST(PageTree, InheritMasksFollowThePath) {
    // Root 2 carries /MediaBox; node 10 carries /Resources and /Rotate; node
    // 11 carries nothing; page 4 has its own /Resources.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [10 0 R 11 0 R] /Count 4 /MediaBox [0 0 100 100] >>");
    b.Object(10, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 4 0 R] /Count 2 /Resources << >> /Rotate 90 >>");
    b.Object(11, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 10 0 R >>");
    b.Object(4, "<< /Type /Page /Parent 10 0 R /Resources << >> /MediaBox [0 0 1 1] /Rotate 0 >>");
    b.Object(5, "<< /Type /Page /Parent 11 0 R >>");
    b.Object(6, "<< /Type/Page/Parent 11 0 R/MediaBox[0 0 5 5]>>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Load(t, b.Build());
    ASSERT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 4);
    ASSERT_EQ(doc.pages.size(), 4u);
    EXPECT_EQ(doc.pages[0].number, 3);
    EXPECT_EQ(doc.pages[0].mask, kInheritResources | kInheritMediaBox | kInheritRotate);
    EXPECT_EQ(doc.pages[0].holders[0], 10);
    EXPECT_EQ(doc.pages[0].holders[1], 2);
    EXPECT_EQ(doc.pages[0].holders[3], 10);
    EXPECT_EQ(doc.pages[1].mask, 0);
    // The second subtree gets nothing from the first.
    EXPECT_EQ(doc.pages[2].mask, kInheritMediaBox);
    EXPECT_EQ(doc.pages[2].holders[1], 2);
    EXPECT_EQ(doc.pages[3].mask, 0);
    EXPECT_EQ(doc.pages[3].holders[1], 0);
}

int32_t AnalyzeWith(const std::string& pages, const std::string& extra, int32_t& error) {
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, pages);
    b.Object(3, "<< /Type /Page /Parent 2 0 R >>");
    b.Object(4, extra);
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Load(t, b.Build());
    const Result<int32_t> n = AnalyzeDocument(t.job, doc);
    error = n.code();
    return n.value_or(-1);
}

TEST(PageTree, MalformedTreesFailWithTheirCodes) {
    int32_t error;
    // The result is the number of pages found, whatever the root's /Count
    // says or whether it has one.
    for (const char* count : {"", "/Count 7", "/Count 0", "/Count 9999999999", "/Count 4 0 R", "/Count /X"}) {
        EXPECT_EQ(AnalyzeWith(std::string("<< /Type /Pages /Kids [3 0 R 4 0 R] ") + count + " >>",
                              "<< /Type /Page /Parent 2 0 R >>", error),
                  2)
            << count;
        EXPECT_EQ(error, 0);
    }
    // Nodes without /Type play the role of their keys: the root and a node
    // by their /Kids, a page by having none.
    // 5 0 R is not in the file: the pages under it are lost, the walk goes
    // on. So with a kid listed with another generation.
    EXPECT_EQ(AnalyzeWith("<< /Kids [4 0 R] >>", "<< /Parent 2 0 R /Kids [3 0 R 5 0 R] >>", error), 1);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(AnalyzeWith("<< /Kids [4 0 R] >>", "<< /Parent 2 0 R /Kids [3 0 R 3 1 R] >>", error), 1);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(AnalyzeWith("<< /Kids [4 0 R] >>", "<< /Parent 2 0 R /Kids [3 0 R 3 0 R] >>", error), 2);
    EXPECT_EQ(AnalyzeWith("<< /Kids [4 0 R 3 0 R] >>", "<< /Parent 2 0 R /MediaBox [0 0 9 9] >>", error), 2);
    // The root's /Kids may be a reference to an array.
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids 4 0 R /Count 1 >>", "[3 0 R]", error), 1);
    // An intermediate node's /Kids must be a direct array, and a kid must
    // be a node or look like a page: others are skipped, here leaving none.
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] /Count 1 >>", "<< /Type /Pages /Kids 5 0 R >>", error), -1);
    EXPECT_EQ(error, kNoPages);
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] /Count 1 >>", "<< /Type /PageX >>", error), -1);
    EXPECT_EQ(error, kNoPages);
    // A damaged /Type on a dictionary that looks like a page, or on one
    // with /Kids, leaves it the page or node it is.
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] /Count 1 >>", "<< /Type /page /Parent 2 0 R >>", error), 1);
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] /Count 1 >>", "<< /Type /Pagex /Kids [3 0 R] >>", error), 1);
    // Bytes that are no kid end the list they stand in; the kids before
    // them count.
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 >>", "<< /Type /Pages /Kids [3 0 R x5 0 R] >>",
                          error),
              2);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Count 1 >>", "null", error), -1);
    EXPECT_EQ(error, kRootNoKids);
    // Kids written without a space before "]" are both read.
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 2 >>", "null", error), 2);
}

TEST(PageTree, KidsThatLostTheirOpeningBracket) {
    int32_t error;
    // References closed by a "]" that opens nothing are read as the kids,
    // in the root (after a NUL, which is white space) and below it.
    EXPECT_EQ(AnalyzeWith(std::string("<< /Type /Pages /Kids ") + '\0' + "3 0 R 4 0 R] /Count 2 >>",
                          "<< /Type /Page /Parent 2 0 R >>", error),
              2);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] >>", "<< /Type /Pages /Kids 3 0 R 3 0 R] >>", error), 2);
    // Anything else is still damage: a reference to a page, a run of
    // references that nothing closes, a "]" after other values.
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids 3 0 R /Count 1 >>", "null", error), -1);
    EXPECT_EQ(error, kRootKidsNotArray);
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids 3 0 R 4 0 R /Count 1 ] >>", "null", error), -1);
    EXPECT_EQ(error, kRootKidsNotArray);
    EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] >>", "<< /Type /Pages /Kids 3 0 R >>", error), -1);
    EXPECT_EQ(error, kNoPages);
}

TEST(PageTree, CyclesInKidsEnd) {
    // Node 4 lists itself.
    for (const char* extra : {"<< /Type /Pages /Kids [3 0 R 4 0 R] >>", "<< /Type /Pages /Kids [4 0 R] >>"}) {
        int32_t error;
        EXPECT_EQ(AnalyzeWith("<< /Type /Pages /Kids [4 0 R] /Count 1 >>", extra, error), -1);
        EXPECT_EQ(error, kStackFull);
    }
    // Nodes 4 and 5 list each other, below the root or as the root's only kid.
    for (const char* rootKids : {"[3 0 R 4 0 R]", "[4 0 R]"}) {
        PdfBuilder b;
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, std::string("<< /Type /Pages /Kids ") + rootKids + " /Count 1 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R >>");
        b.Object(4, "<< /Type /Pages /Kids [5 0 R] >>").Object(5, "<< /Type /Pages /Kids [3 0 R 4 0 R] >>");
        b.Trailer("/Root 1 0 R");
        TestJob t;
        Document doc = Load(t, b.Build());
        EXPECT_EQ(AnalyzeDocument(t.job, doc).code(), kStackFull) << rootKids;
    }
}

TEST(PageTree, SharedSubtreesKeepTheirPagesAndInheritFromEachPath) {
    // Node 4 (with /Rotate) is listed twice, once below node 5 (with
    // /MediaBox): its page appears twice, with what each path gives it.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [4 0 R 5 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 4 0 R >>");
    b.Object(4, "<< /Type /Pages /Kids [3 0 R] /Rotate 90 >>");
    b.Object(5, "<< /Type /Pages /Kids [4 0 R] /MediaBox [0 0 9 9] >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Load(t, b.Build());
    ASSERT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 2);
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(doc.pages[0].mask, kInheritRotate);
    EXPECT_EQ(doc.pages[1].mask, kInheritRotate | kInheritMediaBox);
    EXPECT_EQ(doc.pages[1].holders[1], 5);
    EXPECT_EQ(doc.pages[1].holders[3], 4);
}

// Reading costs time linear in the input: a node listed thousands of times
// (here with a dictionary far longer than the rest of the file) is scanned
// once, and a fuzzed file that once took seconds fails at once.
TEST(PageTree, RepeatedNodesCostOneScan) {
    // 1000 references to node 4 and 2000 other objects, so that the walk may
    // read node 4 and its page each time.
    std::string kids;
    for (int i = 0; i < 1000; ++i) kids += "4 0 R ";
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count 1000 >>");
    b.Object(3, "<< /Type /Page /Parent 4 0 R >>");
    b.Object(4, "<< /Type /Pages /Kids [3 0 R] /Filler [" + std::string(400000, '0') + "] >>");
    for (int n = 5; n < 2005; ++n) b.Object(n, "null");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Load(t, b.Build());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 1000);
    EXPECT_EQ(doc.pages.size(), 1000u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));

    TestJob f;
    Document fuzzed;
    ASSERT_TRUE(test::ReadFixture("slow-dictionary-end.pdf", fuzzed.image));
    const auto again = std::chrono::steady_clock::now();
    if (ReadUntilClassic(f.job, fuzzed) == 0) (void)AnalyzeDocument(f.job, fuzzed);
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(1));
}

TEST(PageTree, StopRequestEndsTheWalk) {
    TestJob t;
    Document doc = Load(t, test::SimpleDocument(5));
    t.job.StopCode = -2;
    EXPECT_EQ(AnalyzeDocument(t.job, doc).code(), t.job.StopCode.load());
}

TEST(BlankPageAnnots, BlanksAnnotsAndBeadsOfPagesOnly) {
    const std::string page3 =
        "<< /Type /Page /Parent 2 0 R /Annots [12 0 R << /Subtype /Link /Rect [0 0 1 1] >> 13 0 R]"
        " /B [ 7 0 R 8 0 R ] /BleedBox [0 0 1 1] /X << /Annots [1 0 R] >> >>";
    const std::string page4 = "<< /Type /Page /Parent 2 0 R /Annots 40 0 R /Contents 9 0 R >>";
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, page3);
    b.Object(4, page4);
    b.Trailer("/Root 1 0 R");
    std::string file = b.Build();
    TestJob t;
    Document doc = Load(t, file);
    ASSERT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 2);
    EXPECT_EQ(BlankPageAnnots(t.job, doc, false), 1);
    std::string after = test::TextOf(doc.image);
    ASSERT_EQ(after.size(), file.size());
    std::string blankedPage3 = after.substr(static_cast<size_t>(b.OffsetOf(3)), page3.size() + 8);
    EXPECT_EQ(blankedPage3.find("/Annots [12"), std::string::npos);
    EXPECT_EQ(blankedPage3.find("/B ["), std::string::npos);
    EXPECT_NE(blankedPage3.find("/BleedBox [0 0 1 1]"), std::string::npos);
    EXPECT_NE(blankedPage3.find("/X << /Annots [1 0 R] >>"), std::string::npos);
    std::string blankedPage4 = after.substr(static_cast<size_t>(b.OffsetOf(4)), page4.size() + 8);
    EXPECT_NE(blankedPage4.find("/Parent 2 0 R                /Contents 9 0 R"), std::string::npos);
}

TEST(BlankPageAnnots, MalformedValuesAreLeftAlone) {
    TestJob t;
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Annots [12 0 X] /B 5 >>");
    b.Trailer("/Root 1 0 R");
    std::string file = b.Build();
    Document doc = Load(t, file);
    ASSERT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 1);
    EXPECT_EQ(BlankPageAnnots(t.job, doc, false), 0);
    EXPECT_EQ(test::TextOf(doc.image), file);
}

// Spaces for text: what an element or entry becomes when it is blanked.
std::string Spaces(const std::string& text) { return std::string(text.size(), ' '); }

TEST(BlankPageAnnots, KeepsAllButLinksIntoTheDocument) {
    // Object bodies before and after; every edit keeps the length, so the
    // whole image after filtering equals a file built from the "after" bodies.
    const std::string inlineLink = "<< /Subtype /Link /Dest [4 0 R /Fit] >>";
    struct Body {
        int number;
        std::string before, after;
    };
    const std::vector<Body> bodies = {
        {1, "<< /Type /Catalog /Pages 2 0 R >>", ""},
        {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 >>", ""},
        // A direct array: an inline link and a GoTo through an indirect
        // action go; a note and a web link stay; the beads go.
        {3, "<< /Type /Page /Parent 2 0 R /Annots [10 0 R " + inlineLink + " 11 0 R 12 0 R] /B [7 0 R] >>",
         "<< /Type /Page /Parent 2 0 R /Annots [10 0 R " + Spaces(inlineLink) + "        12 0 R]            >>"},
        // Pages 4 and 5 share an array object: filtered once, for both.
        {4, "<< /Type /Page /Parent 2 0 R /Annots 20 0 R >>", ""},
        {5, "<< /Type /Page /Parent 2 0 R /Annots 20 0 R /Contents 9 0 R >>", ""},
        // Every element of page 6's array goes: so does its entry.
        {6, "<< /Type /Page /Parent 2 0 R /Annots 21 0 R >>", "<< /Type /Page /Parent 2 0 R                >>"},
        {10, "<< /Type /Annot /Subtype /Text /Contents (a [note]) >>", ""},
        {11, "<< /Type /Annot /Subtype /Link /A 13 0 R >>", ""},
        {12, "<< /Subtype /Link /A << /S /URI /URI (https://example.org/) >> >>", ""},
        {13, "<< /S /GoTo /D (chapter) >>", ""},
        {14, "<< /Subtype /Link /A << /S /GoToR /F (other.pdf) /D [0 /Fit] >> >>", ""},
        {15, "<</Subtype/Link/Dest/Named>>", ""},
        {20, "[ 10 0 R 14 0 R 15 0 R ]", "[ 10 0 R 14 0 R        ]"},
        {21, "[ 15 0 R\n11 0 R ]", "[       \n       ]"},
    };
    PdfBuilder before, after;
    for (const Body& body : bodies) {
        before.Object(body.number, body.before);
        after.Object(body.number, body.after.empty() ? body.before : body.after);
    }
    before.Trailer("/Root 1 0 R");
    after.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Load(t, before.Build());
    ASSERT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 4);
    EXPECT_EQ(BlankPageAnnots(t.job, doc, true), 1);
    EXPECT_EQ(test::TextOf(doc.image), after.Build());
}

TEST(StructureIndex, TreeOrderParentsAndContentOfADamagedTree) {
    // The document lists element 22 twice and a font among its kids; the
    // table's /P names another node and its /K leads back to the document
    // and to itself; the parent tree's /Kids loop; an IDTree key names an
    // object that is no element; "/S /P /P 21 0 R" holds the name /P as a value.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R /StructTreeRoot 20 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /StructParents 0 >>");
    b.Object(4, "<< /Type /Page /Parent 2 0 R /StructParents 1 >>");
    b.Object(20, "<< /Type /StructTreeRoot /K [21 0 R 3 0 R] /ParentTree 30 0 R /IDTree << /Kids [40 0 R] >> "
                 "/ParentTreeNextKey 7 /RoleMap << /Title /H1 >> >>");
    b.Object(21, "<< /S /Document /P 20 0 R /K [22 0 R 23 0 R 24 0 R 22 0 R 25 0 R] >>");
    b.Object(22, "<< /S /P /P 21 0 R /Pg 3 0 R /K 0 >>");
    b.Object(23, "<< /S /Table /P 99 0 R /K [26 0 R 21 0 R 23 0 R] >>");
    b.Object(24, "<< /Type /Font /S /Bold >>");
    b.Object(25, "<< /S /Span /P 21 0 R /K [27 0 R] >>");
    b.Object(26, "<< /S/TR/K[ ] >>");
    b.Object(27, "<< /Type /MCR /Pg 4 0 R /MCID 1 >>");
    b.Object(30, "<< /Kids [31 0 R 30 0 R] >>");
    b.Object(31, "<< /Nums [0 [22 0 R] 1 [25 0 R null]] /Kids [30 0 R] >>");
    b.Object(40, "<< /Names [(a) 22 0 R (b) 23 0 R (c) 99 0 R] >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Load(t, b.Build());
    ASSERT_EQ(AnalyzeDocument(t.job, doc).value_or(-1), 2);
    AnalyzeStructure(t.job, doc);
    const StructureIndex& s = doc.structure;
    ASSERT_TRUE(s.present);
    std::vector<std::array<int32_t, 4>> got;  // number, parent, place among its parent's kids, page
    for (const StructElement& e : s.elements) got.push_back({e.number, e.parent, e.position, e.page});
    const std::vector<std::array<int32_t, 4>> want = {
        {21, -1, 0, 0}, {22, 0, 0, 3}, {23, 0, 1, 0}, {26, 2, 0, 0}, {25, 0, 4, 0}};
    EXPECT_EQ(got, want);
    // The content by page: 22's MCID on page 3, 25's marked-content reference on page 4.
    ASSERT_EQ(s.content.size(), 2u);
    const StructContent& mcid = s.content[static_cast<size_t>(s.contentOfPage.Find(3))];
    const StructContent& marked = s.content[static_cast<size_t>(s.contentOfPage.Find(4))];
    EXPECT_EQ(std::vector<int32_t>({mcid.element, mcid.position, mcid.kind}),
              std::vector<int32_t>({1, 0, StructContent::kMcid}));
    EXPECT_EQ(std::vector<int32_t>({marked.element, marked.position, marked.kind}),
              std::vector<int32_t>({4, 0, StructContent::kMarked}));
    EXPECT_EQ(s.elementOf.Find(24), -1);
    EXPECT_GE(s.parentKeys.Find(0), 0);
    EXPECT_GE(s.parentKeys.Find(1), 0);
    EXPECT_EQ(s.nextKey, 7);
    EXPECT_GE(s.roleMap, 0);
    ASSERT_EQ(s.ids.size(), 2u);
    EXPECT_EQ(s.elements[1].id, 0);
    EXPECT_EQ(s.elements[2].id, 1);
    EXPECT_EQ(doc.image.data()[s.ids[1].first + 1], 'b');
}

}  // namespace
}  // namespace brisel
