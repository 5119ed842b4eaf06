#include "pagewriter/page_document.h"

#include <gtest/gtest.h>

#include <regex>

#include "docstruct/page_tree.h"
#include "pagewriter/catalog.h"
#include "pdfread/read_xref.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::PdfBuilder;
using test::TestJob;

Document Analyze(TestJob& t, const std::string& file) {
    Document doc;
    doc.image = BytesOf(file);
    EXPECT_EQ(ReadXref(t.job, doc.start(), doc.end(), doc.table, doc.reader).code, 0);
    const Result<int32_t> analyzed = AnalyzeDocument(t.job, doc);
    t.job.PageCount = analyzed.value_or(-1);
    EXPECT_GT(t.job.PageCount, 0) << analyzed.code();
    return doc;
}

std::string Build(TestJob& t, const Document& doc, int32_t page) {
    std::string out;
    if (Failure f = BuildPageDocument(t.job, page, doc, out)) return "FAILED " + std::to_string(f.code);
    return out;
}

// The date changes from run to run.
std::string WithoutDate(const std::string& file) {
    return std::regex_replace(file, std::regex("\\(D:[0-9]{14}\\)"), "(D:date)");
}

// Checks every offset of the cross-reference table against the text.
void ExpectOffsetsRight(const std::string& file) {
    size_t xref = file.rfind("xref\n0 ");
    ASSERT_NE(xref, std::string::npos);
    int count = std::stoi(file.substr(xref + 7));
    size_t line = file.find('\n', xref + 5) + 1 + 20;
    for (int n = 1; n < count; ++n, line += 20) {
        long offset = std::stol(file.substr(line, 10));
        EXPECT_EQ(file.compare(static_cast<size_t>(offset), std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0)
            << "object " << n;
    }
    size_t startxref = file.rfind("startxref\n");
    EXPECT_EQ(std::stoul(file.substr(startxref + 10)), xref);
}

const char kProducer[] =
    "/Producer (\\376\\377\\0\\102\\0\\162\\0\\151\\0\\163\\0\\145\\0\\154\\0\\40\\0\\126\\0\\145\\0\\162\\0\\40"
    "\\0\\62\\0\\56\\0\\62\\0\\62)\n";

TEST(PageDocument, ByteExactPlainFile) {
    // Page 3 has two content streams sharing an indirect /Length 8; it
    // inherits a direct /Resources from the root (reaching font 9) and
    // /MediaBox. Object 20 is another page, reached by nothing here.
    PdfBuilder b;
    b.Header("%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n");
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 20 0 R] /Count 2 /Resources << /Font << /F1 9 0 R >> >>"
                " /MediaBox [0 0 200 200] >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Contents [6 0 R 7 0 R] >>");
    b.Object(6, "<< /Length 8 0 R >>\nstream\nBT 9 0 R ET\nendstream");
    b.Object(7, "<< /Length 8 0 R >>\nstream\nBT 1 0 R ET\nendstream");
    b.Object(8, "11");
    b.Object(9, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.Object(20, "<< /Type /Page /Parent 2 0 R >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Analyze(t, b.Build());
    std::string out = Build(t, doc, 0);
    ExpectOffsetsRight(out);
    std::string expected =
        "%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n"
        "2 0 obj\n<<\n/Type /Pages\n/Kids [ 3 0 R ]\n/Count 1\n>>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /Contents [4 0 R 6 0 R] /Resources << /Font << /F1 7 0 R >> >>\n"
        "/MediaBox [0 0 200 200]\n>>\nendobj\n"
        "4 0 obj\n<< /Length 5 0 R >>\nstream\nBT 9 0 R ET\nendstream\nendobj\n"
        "5 0 obj\n11\nendobj\n"
        "6 0 obj\n<< /Length 5 0 R >>\nstream\nBT 1 0 R ET\nendstream\nendobj\n"
        "7 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\nendobj\n"
        "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n>>\nendobj\n"
        "8 0 obj\n<<\n/CreationDate (D:date)\n" +
        std::string(kProducer) + ">>\nendobj\n";
    std::string body = WithoutDate(out);
    ASSERT_EQ(body.substr(0, expected.size()), expected);
    std::string tail = body.substr(expected.size());
    EXPECT_EQ(tail.substr(0, 35), "xref\n0 9\n0000000000 65535 f \n000000");
    EXPECT_NE(tail.find("trailer\n<<\n/Size 9\n/Root 1 0 R\n/Info 8 0 R\n>>\nstartxref\n"), std::string::npos);
    EXPECT_EQ(tail.substr(tail.size() - 6), "%%EOF\n");
}

TEST(PageDocument, CutsParentsAndNullsMissingObjects) {
    // The page's /Parent names the output's Pages object; a /Parent deeper in
    // the closure becomes null (its target is not copied); a reference to an
    // object the file does not hold is null.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /X 4 0 R /Missing 77 0 R /Gen 4 5 R >>");
    b.Object(4, "<< /Parent 5 0 R /Kid 4 0 R >>");
    b.Object(5, "<< /Type /Page /Parent 2 0 R >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Analyze(t, b.Build());
    std::string out = Build(t, doc, 0);
    EXPECT_NE(out.find("3 0 obj\n<< /Type /Page /Parent 2 0 R /X 4 0 R /Missing null /Gen null >>\nendobj\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("4 0 obj\n<< /Parent null /Kid 4 0 R >>\nendobj\n"), std::string::npos) << out;
    EXPECT_NE(out.find("5 0 obj\n<<\n/CreationDate"), std::string::npos);  // the information dictionary
    ExpectOffsetsRight(out);
}

TEST(PageDocument, InheritedEntriesComeAfterThePagesOwnClosure) {
    // Grandparent 2 carries a direct /Resources reaching font 9 and an
    // indirect /CropBox; the page has its own /MediaBox and /Rotate.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [10 0 R] /Count 2 /Resources <</Font <</F 9 0 R>>>> /CropBox 11 0 R"
                " /Rotate 180 >>");
    b.Object(10, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 10 0 R /MediaBox [0 0 9 9] /Contents 5 0 R >>");
    b.Object(4, "<< /Type /Page /Parent 10 0 R /Rotate 90 >>");
    b.Object(5, "<< /Length 2 >>\nstream\nq\nendstream");
    b.Object(9, "<< /Type /Font >>");
    b.Object(11, "[0 0 300 300]");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Analyze(t, b.Build());
    std::string out = Build(t, doc, 0);
    EXPECT_NE(out.find("3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] /Contents 4 0 R /Resources "
                       "<</Font <</F 5 0 R>>>>\n/CropBox 6 0 R\n/Rotate 180\n>>\nendobj\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("5 0 obj\n<< /Type /Font >>\nendobj\n6 0 obj\n[0 0 300 300]\nendobj\n"), std::string::npos);
    ExpectOffsetsRight(out);
}

TEST(PageDocument, StreamDataIsNeverScanned) {
    // The stream's /Length is short by one byte; its data holds "9 0 R" and
    // "endobj". Neither pulls anything in nor ends the object early.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    b.Object(4, "<< /Type /Page /Parent 2 0 R >>");
    b.Object(5, "<< /Length 18 >>\nstream\n9 0 R endobj 8 0 R\nendstream");
    b.Object(9, "<< /Big (should not be copied) >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Analyze(t, b.Build());
    std::string out = Build(t, doc, 0);
    EXPECT_NE(out.find("4 0 obj\n<< /Length 18 >>\nstream\n9 0 R endobj 8 0 R\nendstream\nendobj\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("should not be copied"), std::string::npos);
}

TEST(PageDocument, HeaderRules) {
    auto build = [](const std::string& header) {
        PdfBuilder b;
        b.Header(header);
        b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
        b.Object(3, "<< /Type /Page /Parent 2 0 R >>");
        b.Object(4, "<< /Type /Page /Parent 2 0 R >>");
        b.Trailer("/Root 1 0 R");
        TestJob t;
        Document doc = Analyze(t, b.Build());
        return Build(t, doc, 1);
    };
    EXPECT_EQ(build("\n\n\n%PDF-1.3\n").substr(0, 13), "\n\n\n%PDF-1.3\n2");
    EXPECT_EQ(build("%PDF-1.6\n%\x80\x81\n\n").substr(0, 17), "%PDF-1.6\n%\x80\x81\n\n2 0");
    // A damaged header line: a header of the page file's own, with the
    // version still readable there, else 1.7.
    EXPECT_EQ(build("  %PDX-1.6\n").substr(0, 16), "%PDF-1.6\n%\xE2\xE3\xCF\xD3\n2");
    EXPECT_EQ(build("\x01\x02\x03\x04\x05\x06\x07\x08\n").substr(0, 9), "%PDF-1.7\n");
}

TEST(PageDocument, PartOfSeveralPages) {
    // Pages 3 and 5 of four, in the order asked and once each although 5 is
    // asked twice: they take objects 3 and 4, a link between them resolves,
    // a link to page 4 (not in the part) is null, and each page's /Parent
    // names the Pages object.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 /MediaBox [0 0 9 9] >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Annots [7 0 R] >>");
    b.Object(4, "<< /Type /Page /Parent 2 0 R >>");
    b.Object(5, "<< /Type /Page /Parent 2 0 R /Annots [8 0 R] >>");
    b.Object(6, "<< /Type /Page /Parent 2 0 R >>");
    b.Object(7, "<< /Subtype /Link /Dest [5 0 R /Fit] /P 3 0 R >>");
    b.Object(8, "<< /Subtype /Link /Dest [4 0 R /Fit] /P 5 0 R >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Analyze(t, b.Build());
    std::string out;
    ASSERT_EQ(BuildPartDocument(t.job, {2, 0, 2}, doc, out).code, 0);
    ExpectOffsetsRight(out);
    EXPECT_NE(out.find("2 0 obj\n<<\n/Type /Pages\n/Kids [ 3 0 R 4 0 R ]\n/Count 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("3 0 obj\n<< /Type /Page /Parent 2 0 R /Annots [5 0 R] /MediaBox [0 0 9 9]\n>>"),
              std::string::npos) << out;
    EXPECT_NE(out.find("4 0 obj\n<< /Type /Page /Parent 2 0 R /Annots [6 0 R] /MediaBox"), std::string::npos) << out;
    EXPECT_NE(out.find("5 0 obj\n<< /Subtype /Link /Dest [null /Fit] /P 3 0 R >>"), std::string::npos) << out;
    EXPECT_NE(out.find("6 0 obj\n<< /Subtype /Link /Dest [3 0 R /Fit] /P 4 0 R >>"), std::string::npos) << out;
    EXPECT_EQ(BuildPartDocument(t.job, {}, doc, out).code, kPageNotListed);
    EXPECT_TRUE(out.empty());
}

TEST(PageDocument, FormAndLabelsOfHostileInputsEnd) {
    // Field 6 has a widget on each page: page 1's file holds it with the
    // kid of page 2 left out of its /Kids (not made null). Widget 10's
    // /Parent chain loops and has no top field: it stays a widget, outside
    // the form. The page label tree names itself as a kid.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [6 0 R 11 0 R] /DA (/Helv 0 Tf) /XFA 9 0 R >>"
                " /PageLabels 8 0 R /Lang (de) >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Annots [5 0 R 10 0 R] >>");
    b.Object(4, "<< /Type /Page /Parent 2 0 R /Annots [7 0 R] >>");
    b.Object(5, "<< /Subtype /Widget /Parent 6 0 R /P 3 0 R >>");
    b.Object(6, "<< /T (f) /Kids [5 0 R 7 0 R] >>");
    b.Object(7, "<< /Subtype /Widget /Parent 6 0 R /P 4 0 R >>");
    b.Object(8, "<< /Kids [8 0 R] /Nums [0 << /S /r /St 3 >>] >>");
    b.Object(9, "<< /Length 5 >>\nstream\n<xdp>\nendstream");
    b.Object(10, "<< /Subtype /Widget /Parent 11 0 R >>");
    b.Object(11, "<< /T (loop) /Parent 10 0 R /Kids [10 0 R] >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    Document doc = Analyze(t, b.Build());
    std::string out = Build(t, doc, 1);
    ExpectOffsetsRight(out);
    EXPECT_EQ(out.find("<xdp>"), std::string::npos) << out;
    EXPECT_NE(out.find("/PageLabels << /Nums [ 0 << /S /r /St 4 >> ] >>\n"), std::string::npos) << out;
    EXPECT_NE(out.find("/Lang (de)\n"), std::string::npos) << out;
    out = Build(t, doc, 0);
    ExpectOffsetsRight(out);
    EXPECT_NE(out.find("6 0 obj\n<< /T (f) /Kids [4 0 R ] >>"), std::string::npos) << out;
    EXPECT_NE(out.find("5 0 obj\n<< /Subtype /Widget /Parent null >>"), std::string::npos) << out;
    EXPECT_NE(out.find("/AcroForm <<\n/Fields [ 6 0 R ]\n/DA (/Helv 0 Tf)\n>>\n"), std::string::npos) << out;
}

TEST(PageDocument, PageIndexBeyondTheList) {
    TestJob t;
    Document doc = Analyze(t, test::SimpleDocument(2));
    EXPECT_EQ(Build(t, doc, 2), "FAILED " + std::to_string(kPageNotListed));
}

std::string CatalogFor(const ViewerSettings& v, int32_t outlines = 0, const std::string& image = "x") {
    TestJob t;
    t.job.Viewer = v;
    Document doc;
    doc.image = BytesOf(image);
    std::string out;
    if (WriteCatalog(t.job, doc, outlines, "", out)) return "FAILED";
    return out;
}

TEST(Catalog, Variants) {
    ViewerSettings v;
    EXPECT_EQ(CatalogFor(v), "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n>>\nendobj\n");
    v.OpenActionMode = "75";
    v.FitWindow = 1;
    EXPECT_EQ(CatalogFor(v),
              "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/OpenAction [ 3 0 R /XYZ null null 0.75 ]\n"
              "/ViewerPreferences << /FitWindow true >>\n>>\nendobj\n");
    v.Direction = 1;
    EXPECT_EQ(CatalogFor(v),
              "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/OpenAction [ 3 0 R /XYZ null null 0.75 ]\n"
              "/ViewerPreferences << /FitWindow true \n/Direction /R2L >>\n>>\nendobj\n");
    // "Keep" with no open action found: the base form, direction on its own.
    v.OpenActionMode = "O";
    v.OpenActionView = ViewerSettings::kViewNone;
    EXPECT_EQ(CatalogFor(v), "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/ViewerPreferences << /Direction /R2L >>\n"
                             ">>\nendobj\n");
    // The input's view, comment and all, up to its "]".
    v = ViewerSettings();
    v.OpenActionMode = "O";
    v.OpenActionView = 5;
    EXPECT_EQ(CatalogFor(v, 0, "[3 0 /XYZ 0 % c ]\n 792 0] rest"),
              "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/OpenAction [ 3 0 R /XYZ 0 % c ]\n 792 0]\n>>\nendobj\n");
    EXPECT_EQ(CatalogFor(v, 0, "[3 0 /XYZ 0 792 0"), "FAILED");
    v = ViewerSettings();
    v.OpenActionMode = "A";
    v.PageLayout = 2;
    v.PageMode = 2;
    v.KeepOutlines = 1;
    EXPECT_EQ(CatalogFor(v), "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/OpenAction [ 3 0 R /Fit ]\n"
                             "/PageLayout /TwoColumnLeft\n/PageMode /UseThumbs\n>>\nendobj\n");
    EXPECT_EQ(CatalogFor(v, 12), "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n/OpenAction [ 3 0 R /Fit ]\n"
                                 "/PageLayout /TwoColumnLeft\n/PageMode /UseOutlines\n/Outlines 12 0 R\n>>\nendobj\n");
}

TEST(Catalog, ZoomText) {
    EXPECT_EQ(ZoomText("100"), "1.00");
    EXPECT_EQ(ZoomText("50"), "0.50");
    EXPECT_EQ(ZoomText("1600"), "16.0");
    EXPECT_EQ(ZoomText("5"), "0.05");
    // A digit run beyond 64 bits saturates instead of overflowing.
    EXPECT_EQ(ZoomText("99999999999999999999"), "9223");
}

// The catalog entries after /Pages, without the closing ">>\nendobj\n".
std::string Entries(const ViewerSettings& v, int32_t outlines = 0, const std::string& image = "x") {
    std::string catalog = CatalogFor(v, outlines, image);
    const std::string head = "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n", tail = ">>\nendobj\n";
    if (catalog.compare(0, head.size(), head) != 0 || catalog.size() < head.size() + tail.size() ||
        catalog.compare(catalog.size() - tail.size(), tail.size(), tail) != 0)
        return "MALFORMED " + catalog;
    return catalog.substr(head.size(), catalog.size() - head.size() - tail.size());
}

TEST(Catalog, OpenActionsLayoutsAndModes) {
    auto with = [](const char* mode, int fit, int direction) {
        ViewerSettings v;
        v.OpenActionMode = mode;
        v.FitWindow = fit;
        v.Direction = direction;
        return v;
    };
    EXPECT_EQ(Entries(with("H", 1, 0)), "/OpenAction [ 3 0 R /FitV null ]\n");
    EXPECT_EQ(Entries(with("W", 0, 0)), "/OpenAction [ 3 0 R /FitH null ]\n");
    // Fit window goes only with a zoom or the input's view.
    EXPECT_EQ(Entries(with("A", 1, 1)), "/OpenAction [ 3 0 R /Fit ]\n/ViewerPreferences << /Direction /R2L >>\n");
    EXPECT_EQ(Entries(with("N", 1, 1)), "/ViewerPreferences << /Direction /R2L >>\n");
    EXPECT_EQ(Entries(with("1600", 0, 2)), "/OpenAction [ 3 0 R /XYZ null null 16.0 ]\n");
    ViewerSettings kept = with("O", 1, 1);
    kept.OpenActionView = 5;
    EXPECT_EQ(Entries(kept, 0, "[3 0 /XYZ 0 792 0] x"),
              "/OpenAction [ 3 0 R /XYZ 0 792 0]\n/ViewerPreferences << /FitWindow true \n/Direction /R2L >>\n");

    const std::pair<int, const char*> layouts[] = {
        {1, "/PageLayout /OneColumn\n"}, {3, "/PageLayout /TwoColumnRight\n"}, {5, "/PageLayout /SinglePage\n"}, {4, ""}};
    for (auto [layout, text] : layouts) {
        ViewerSettings v;
        v.PageLayout = layout;
        EXPECT_EQ(Entries(v), text);
    }
    struct ModeCase {
        int mode, outlines;
        const char* text;
    };
    const ModeCase modes[] = {
        {1, 0, "/PageMode /UseOutlines\n"}, {3, 0, "/PageMode /UseThumbs\n"},
        {4, 0, "/PageMode /FullScreen\n"},  {5, 0, ""},
        {6, 0, "/PageMode /UseNone\n"},     {6, 9, "/PageMode /UseOutlines\n/Outlines 9 0 R\n"},
        {0, 9, "/Outlines 9 0 R\n"},
    };
    for (const ModeCase& c : modes) {
        ViewerSettings v;
        v.PageMode = c.mode;
        v.KeepOutlines = 1;
        EXPECT_EQ(Entries(v, c.outlines), c.text) << c.mode;
    }
}

TEST(PageDocument, BookmarksFollowTheCatalog) {
    // Two bookmarks lead to page 3, none to page 4.
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F 9 0 R >> >> >>");
    b.Object(4, "<< /Type /Page /Parent 2 0 R >>");
    b.Object(5, "<< /Type /Outlines /First 6 0 R /Last 7 0 R /Count 2 >>");
    b.Object(6, "<< /Title (One) /Parent 5 0 R /Next 7 0 R /Dest [3 0 R /XYZ 0 100 0] >>");
    b.Object(7, "<< /Title (Two) /Parent 5 0 R /Prev 6 0 R /Dest [3 0 R /Fit] >>");
    b.Object(9, "<< /Type /Font >>");
    b.Trailer("/Root 1 0 R");
    TestJob t;
    t.job.Viewer.KeepOutlines = 1;
    t.job.Viewer.PageMode = 2;
    Document doc = Analyze(t, b.Build());
    std::string out = Build(t, doc, 0);
    ExpectOffsetsRight(out);
    EXPECT_NE(out.find("/PageMode /UseOutlines\n/Outlines 5 0 R\n>>\nendobj\n5 0 obj\n<<\n/First 6 0 R\n/Last 7 0 R\n"
                       "/Count 2\n>>\nendobj\n6 0 obj\n<<\n/Title (One)\n/Dest [ 3 0 R /XYZ 0 100 0]\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("8 0 obj\n<<\n/CreationDate"), std::string::npos);
    EXPECT_NE(out.find("trailer\n<<\n/Size 9\n/Root 1 0 R\n/Info 8 0 R\n"), std::string::npos);
    out = Build(t, doc, 1);
    ExpectOffsetsRight(out);
    EXPECT_EQ(out.find("/Outlines"), std::string::npos);
    EXPECT_NE(out.find("/PageMode /UseThumbs\n>>\nendobj\n4 0 obj\n<<\n/CreationDate"), std::string::npos) << out;
}

}  // namespace
}  // namespace brisel
