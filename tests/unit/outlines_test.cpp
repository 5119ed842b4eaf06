#include "docstruct/outlines.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "base/texts.h"
#include "docstruct/named_dests.h"
#include "docstruct/page_tree.h"
#include "docstruct/viewer_settings.h"
#include "pagewriter/bookmark_tree.h"
#include "pdfread/read_xref.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::PdfBuilder;
using test::TestJob;

// Three pages (objects 3, 4, 5); the catalog carries the extra entries and
// the other objects are added as given.
struct Input {
    std::string catalog;
    std::map<int, std::string> objects;
};

Document Load(TestJob& t, const Input& input) {
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R " + input.catalog + " >>");
    b.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>");
    for (int n = 3; n <= 5; ++n) b.Object(n, "<< /Type /Page /Parent 2 0 R >>");
    for (const auto& [n, body] : input.objects) b.Object(n, body);
    b.Trailer("/Root 1 0 R");
    Document doc;
    doc.image = BytesOf(b.Build());
    EXPECT_EQ(ReadXref(t.job, doc.start(), doc.end(), doc.table, doc.reader).code, 0);
    return doc;
}

// Analyses with bookmarks kept; the result of AnalyzeDocument.
Result<int32_t> AnalyzeKeeping(TestJob& t, Document& doc) {
    t.job.Viewer.KeepOutlines = 1;
    return AnalyzeDocument(t.job, doc);
}

std::string At(const Document& doc, int64_t position, int32_t length) {
    if (position < 0) return "<none>";
    return std::string(reinterpret_cast<const char*>(doc.start() + position), static_cast<size_t>(length));
}

// Outline root 20 with the items 21 ... in one chain, none nested.
Input Chain(const std::vector<std::string>& items) {
    Input input;
    input.catalog = "/Outlines 20 0 R";
    const int last = 20 + static_cast<int>(items.size());
    input.objects[20] = "<< /Type /Outlines /First 21 0 R /Last " + std::to_string(last) + " 0 R /Count " +
                        std::to_string(items.size()) + " >>";
    for (size_t i = 0; i < items.size(); ++i) {
        const int n = 21 + static_cast<int>(i);
        std::string next = n < last ? " /Next " + std::to_string(n + 1) + " 0 R" : "";
        input.objects[n] = "<< /Parent 20 0 R" + next + " " + items[i] + " >>";
    }
    return input;
}

TEST(Outlines, DestinationsOfEveryForm) {
    Input input = Chain({
        "/Title (Explicit) /Dest [5 0 R /XYZ 0 792 0] /C [ 1 0 0.5] /F 3 /Count -3",
        "/Title <FEFF0041> /Dest (chap1)",
        "/Title 40 0 R /A << /S /GoTo /D (chap2) >>",
        "/Title (Uri) /A << /S /URI /URI (x) >> /Dest [3 0 R /Fit]",
        "/Title (Named) /Dest /intro",
        "/Title (Partial) /Dest (chap)",
        "/Title (Hex) /Dest <6368617031>",
        "/Title (Null) /Dest /gone",
        "/Title (NotAPage) /Dest [70 0 R /Fit]",
        "/Title (Indirect) /Dest 42 0 R",
        "/Title (Dup) /Dest (dup)",
        "/Title (Unclosed view) /Dest [4 0 R /XYZ 0 0 0",
    });
    input.catalog += " /Names << /Dests 50 0 R >> /Dests << /intro << /D [5 0 R /FitH 700] >> /gone null >>";
    input.objects[70] = "<< /Type /Font >>";
    input.objects[40] = "(Title\\) in an object)";
    input.objects[41] = "<< /D [3 0 R /FitH 100] >>";
    input.objects[42] = "[4 0 R /FitV 5]";
    // A two-level name tree; the first of two equal keys wins.
    input.objects[50] = "<< /Kids [51 0 R 52 0 R] >>";
    input.objects[51] = "<< /Names [(chap1) [4 0 R /Fit] (dup) [3 0 R /Fit]] >>";
    input.objects[52] = "<< /Kids [53 0 R] >>";
    input.objects[53] = "<< /Names [(chap2) 41 0 R (dup) [5 0 R /Fit]] >>";
    TestJob t;
    Document doc = Load(t, input);
    ASSERT_EQ(AnalyzeKeeping(t, doc).value_or(-1), 3);
    ASSERT_EQ(doc.outlines.size(), 13u);
    EXPECT_EQ(doc.outlines[0].depth, 0);
    EXPECT_EQ(doc.outlines[0].count, 12);

    struct Expected {
        const char* title;
        int32_t page;
        const char* view;
    };
    const Expected expected[] = {
        {"(Explicit)", 2, "/XYZ 0 792 0"}, {"<FEFF0041>", 1, "/Fit"},
        {"(Title\\) in an object)", 0, "/FitH 100"}, {"(Uri)", -1, "<none>"},
        {"(Named)", 2, "/FitH 700"},       {"(Partial)", -1, "<none>"},
        {"(Hex)", -1, "<none>"},           {"(Null)", -1, "<none>"},
        {"(NotAPage)", -1, "<none>"},      {"(Indirect)", 1, "/FitV 5"},
        {"(Dup)", 0, "/Fit"},              {"(Unclosed view)", -1, "<none>"},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const OutlineRecord& r = doc.outlines[i + 1];
        SCOPED_TRACE(expected[i].title);
        EXPECT_EQ(r.depth, 1);
        EXPECT_EQ(At(doc, r.titlePosition, r.titleLength), expected[i].title);
        EXPECT_EQ(r.pageIndex, expected[i].page);
        EXPECT_EQ(At(doc, r.viewPosition, r.viewLength), expected[i].view);
    }
    const OutlineRecord& first = doc.outlines[1];
    EXPECT_EQ(first.count, -3);
    EXPECT_EQ(first.flags, 3);
    EXPECT_EQ(At(doc, first.colourPosition, first.colourLength), "1 0 0.5");
    EXPECT_EQ(doc.outlines[2].colourLength, 0);

    // Each page finds its records in table order.
    EXPECT_EQ(SelectPageBookmarks(t.job, doc, 0), (std::vector<int32_t>{3, 11}));
    EXPECT_EQ(SelectPageBookmarks(t.job, doc, 1), (std::vector<int32_t>{2, 10}));
    EXPECT_EQ(SelectPageBookmarks(t.job, doc, 2), (std::vector<int32_t>{1, 5}));
    t.job.Viewer.KeepOutlines = 0;
    EXPECT_TRUE(SelectPageBookmarks(t.job, doc, 0).empty());
}

TEST(Outlines, NestingAndSiblingChains) {
    // 21 has children 22 and 23; 23's /Next names a missing object, which
    // ends the chain; 24 follows 21 at the top level.
    Input input;
    input.catalog = "/Outlines << /First 21 0 R /Count 4 /Next 24 0 R >>";
    input.objects[21] = "<< /Title (A) /First 22 0 R /Next 24 0 R /Dest [3 0 R /Fit] >>";
    input.objects[22] = "<< /Title (A1) /Next 23 0 R /First 25 0 R >>";
    input.objects[23] = "<< /Title (A2) /Next 99 0 R /Count 0 >>";
    input.objects[24] = "<< /Title (B) /Next (junk) >>";
    input.objects[25] = "<< /Title (A1a) /F 26 0 R >>";
    input.objects[26] = "2";
    TestJob t;
    Document doc = Load(t, input);
    ASSERT_EQ(AnalyzeKeeping(t, doc).value_or(-1), 3);
    std::vector<std::pair<std::string, int32_t>> seen;
    for (const OutlineRecord& r : doc.outlines) seen.push_back({At(doc, r.titlePosition, r.titleLength), r.depth});
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int32_t>>{
                        {"<none>", 0}, {"(A)", 1}, {"(A1)", 2}, {"(A1a)", 3}, {"(A2)", 2}, {"(B)", 1}}));
    EXPECT_EQ(doc.outlines[3].flags, 2);
}

int32_t Failure(const Input& input) {
    TestJob t;
    Document doc = Load(t, input);
    const Result<int32_t> analyzed = AnalyzeKeeping(t, doc);
    EXPECT_FALSE(analyzed);
    EXPECT_TRUE(doc.outlines.empty());
    return analyzed.code();
}

TEST(Outlines, StructuralErrorsFailTheAnalysis) {
    EXPECT_EQ(Failure(Chain({"/First 99 0 R"})), kValueNotFound);
    EXPECT_EQ(Failure(Chain({"/First 21 x R"})), kValueMalformed);
    EXPECT_EQ(Failure(Chain({"/Count /x"})), kItemBadCount);
    EXPECT_EQ(Failure(Chain({"/Title 98 0 R"})), kValueNotFound);
    Input notDict = Chain({"/First 30 0 R"});
    notDict.objects[30] = "[1 2 3]";
    EXPECT_EQ(Failure(notDict), kItemNotDict);
    // Name-tree errors count only when a bookmark needs the tree.
    Input badTree = Chain({"/Dest (a)"});
    badTree.catalog += " /Names << /Dests << /Kids 7 0 R >> >>";
    EXPECT_EQ(Failure(badTree), kNameKidsNotArray);
    badTree.objects[21] = "<< /Parent 20 0 R /Dest [3 0 R /Fit] >>";
    TestJob t;
    Document doc = Load(t, badTree);
    EXPECT_EQ(AnalyzeKeeping(t, doc).value_or(-1), 3);
}

TEST(Outlines, CyclesEndWithoutRunningAway) {
    // /Next back to the first item and /First back to an ancestor are cut
    // where they loop, the bookmarks before the cut kept; a name tree node
    // that lists itself fails.
    for (const auto& items : {std::vector<std::string>{"/Title (a)", "/Title (b) /Next 21 0 R"},
                              std::vector<std::string>{"/First 22 0 R", "/First 21 0 R"}}) {
        TestJob t;
        Document doc = Load(t, Chain(items));
        EXPECT_EQ(AnalyzeKeeping(t, doc).value_or(-1), 3);
        EXPECT_EQ(doc.outlines.size(), 3u);
        EXPECT_GE(doc.warnings.Count(WarningKind::BookmarkLoop), 1);
    }
    Input tree = Chain({"/Dest (x)"});
    tree.catalog += " /Names << /Dests << /Kids [60 0 R] >> >>";
    tree.objects[60] = "<< /Kids [61 0 R] >>";
    tree.objects[61] = "<< /Kids [60 0 R] >>";
    EXPECT_EQ(Failure(tree), kNameTreeLoop);
}

// Records what the job reports.
class RecordingHost : public SilentHost {
public:
    void Progress(Job& job, int percent) override { shown.push_back(job.StatusText + " " + std::to_string(percent)); }
    std::vector<std::string> shown;
};

TEST(Outlines, ProgressAlternatesInJapaneseDuringTheNameTreeWalk) {
    Input input = Chain({"/Dest (b)"});
    input.catalog += " /Names << /Dests << /Kids [50 0 R 51 0 R] >> >>";
    input.objects[50] = "<< /Names [(a) [3 0 R /Fit]] >>";
    input.objects[51] = "<< /Kids [52 0 R] >>";
    input.objects[52] = "<< /Names [(b) [4 0 R /Fit]] >>";
    for (Language language : {Language::English, Language::Japanese}) {
        AppState app;
        app.language = language;
        RecordingHost host;
        Job job(app, host);
        Document doc = [&] {
            TestJob t;
            return Load(t, input);
        }();
        job.Viewer.KeepOutlines = 1;
        ASSERT_EQ(AnalyzeDocument(job, doc).value_or(-1), 3);
        EXPECT_EQ(doc.outlines[1].pageIndex, 1);
        const std::string full = Tr(language, Text::AnalyzingOutline) + std::string(" 15");
        const std::string other = Tr(language, Text::AnalyzingOutlineShort) + std::string(" 15");
        // The start, then kids 50, 51, 52 and the return from 51's kids.
        EXPECT_EQ(host.shown, (std::vector<std::string>{full, full, other, full, other}));
    }
    EXPECT_EQ(Tr(Language::Japanese, Text::AnalyzingOutlineShort), std::string("しおり構造"));
}

// Raises the stop request at the given progress report, as Break would.
class StoppingHost : public SilentHost {
public:
    explicit StoppingHost(int at) : at_(at) {}
    void Progress(Job& job, int) override {
        if (++reports_ == at_) job.StopCode = -2;
    }

private:
    int at_, reports_ = 0;
};

TEST(Outlines, StopRequestEndsTheAnalysisWithTheStopCode) {
    Input input = Chain({"/Dest (b)"});
    input.catalog += " /Names << /Dests << /Kids [50 0 R 50 0 R] >> >>";
    input.objects[50] = "<< /Names [(b) [4 0 R /Fit]] >>";
    // At the start of the outline walk, and at the name tree's first kid.
    for (int at : {1, 2}) {
        AppState app;
        StoppingHost host(at);
        Job job(app, host);
        Document doc = [&] {
            TestJob t;
            return Load(t, input);
        }();
        job.Viewer.KeepOutlines = 1;
        const Result<int32_t> analyzed = AnalyzeDocument(job, doc);
        EXPECT_EQ(analyzed.code(), job.StopCode.load());
    }
}

// Viewer settings read from the catalog for the "keep" choices.
ViewerSettings Keep(const Input& input, int32_t& result, ViewerSettings v = {}) {
    TestJob t;
    Document doc = Load(t, input);
    t.job.Viewer = v;
    const Result<int32_t> analyzed = AnalyzeDocument(t.job, doc);
    result = analyzed ? *analyzed : analyzed.code();
    ViewerSettings out = t.job.Viewer;
    // Report the view as the text it points at.
    if (out.OpenActionView >= 0) out.OpenActionMode += ":" + At(doc, out.OpenActionView, 4);
    return out;
}

ViewerSettings KeepAll() {
    ViewerSettings v;
    v.OpenActionMode = "O";
    v.Direction = 2;
    v.PageLayout = 4;
    v.PageMode = 5;
    return v;
}

TEST(ViewerSettingsRead, KeepChoicesTakeTheInputsValues) {
    int32_t r;
    Input input;
    input.catalog = "/OpenAction [5 0 R /XYZ 0 792 null] /ViewerPreferences << /FitWindow true /Direction /R2L >>"
                    " /PageLayout /TwoColumnLeft /PageMode /FullScreen";
    ViewerSettings v = Keep(input, r, KeepAll());
    EXPECT_EQ(r, 3);
    EXPECT_EQ(v.OpenActionMode, "O:/XYZ");
    EXPECT_EQ(v.FitWindow, 1);
    EXPECT_EQ(v.Direction, 1);
    EXPECT_EQ(v.PageLayout, 2);
    EXPECT_EQ(v.PageMode, 4);
    // Without keep choices nothing is read.
    v = Keep(input, r);
    EXPECT_EQ(v.OpenActionView, ViewerSettings::kViewNotSet);
    EXPECT_EQ(v.FitWindow + v.Direction + v.PageLayout + v.PageMode, 0);

    // Indirect GoTo actions, a first element that is a name, and the forms
    // that give no view; a referenced /ViewerPreferences is not read.
    const std::pair<const char*, const char*> actions[] = {
        {"/OpenAction 7 0 R", "O:/Fit"},
        {"/OpenAction [/Name% c\n/FitH 3]", "O:/Fit"},
        {"/OpenAction [(a\\)b) /FitV 3]", "O:/Fit"},
        {"/OpenAction << /S /GoTo /D (chap1) >>", "O"},
        {"/OpenAction << /S /URI /URI (x) >>", "O"},
        {"", "O"},
    };
    Input indirect;
    indirect.objects[7] = "<< /S /GoTo /D 8 0 R >>";
    indirect.objects[8] = "[4 0 R /Fit]";
    indirect.objects[9] = "<< /FitWindow true /Direction /R2L >>";
    for (auto [entry, mode] : actions) {
        indirect.catalog = std::string(entry) + " /ViewerPreferences 9 0 R /PageLayout 3 /PageMode /UseNone";
        v = Keep(indirect, r, KeepAll());
        EXPECT_EQ(r, 3) << entry;
        EXPECT_EQ(v.OpenActionMode, mode) << entry;
        EXPECT_EQ(v.FitWindow, 0);
        EXPECT_EQ(v.Direction, 2);
        EXPECT_EQ(v.PageLayout, 4);
        EXPECT_EQ(v.PageMode, 5);
    }
}

TEST(ViewerSettingsRead, MalformedValuesFail) {
    const std::pair<const char*, int32_t> cases[] = {
        {"/OpenAction [5 0 /XYZ]", kViewerMalformed},
        {"/OpenAction [5 0 R /XYZ 0 0 0 >>", kViewerMalformed},  // no "]" closes the view
        {"/OpenAction 99 0 R", kViewerNotFound},
        {"/OpenAction 7 x R", kViewerNoGeneration},
        {"/OpenAction 7 0 X", kViewerNoR},
        {"/OpenAction [] ", kViewerMalformed},
        {"/ViewerPreferences << /FitWindow(true) >>", kViewerMalformed},
    };
    for (auto [entry, code] : cases) {
        Input input;
        input.catalog = entry;
        int32_t r;
        Keep(input, r, KeepAll());
        EXPECT_EQ(r, code) << entry;
    }
}

}  // namespace
}  // namespace brisel
