// Parts of several pages: the range list, the plan of each mode under a page
// limit, and the names of the part files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "split/output_naming.h"
#include "split/part_plan.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::TestJob;

// "A-B A-B ..." in 1-based pages, with "@r" after a part started by record r.
std::string Describe(const std::vector<Part>& parts) {
    std::string text;
    for (const Part& p : parts) {
        if (!text.empty()) text += ' ';
        text += std::to_string(p.first + 1);
        text += '-';
        text += std::to_string(p.last + 1);
        if (p.bookmark >= 0) {
            text += '@';
            text += std::to_string(p.bookmark);
        }
    }
    return text;
}

// Selections as --pages and --parts read them, resolved against 12 pages.
TEST(PartPlan, Selections) {
    auto pages = [](const std::string& text, bool disjoint = false) {
        std::vector<PageSpan> spans;
        if (!ParsePageSelection(text, spans, disjoint).empty()) return std::string("refused");
        std::string out;
        std::vector<int32_t> some;
        for (const PageSpan& span : spans) {
            const int32_t missing = ResolvePageSpan(span, 12, some);
            if (missing != 0) return "missing " + std::to_string(missing);
            for (int32_t p : some) out += std::to_string(p) + " ";
            out += "| ";
        }
        return out;
    };
    EXPECT_EQ(pages("1-3,7,9-"), "1 2 3 | 7 | 9 10 11 12 | ");
    EXPECT_EQ(pages("9-, 1 - 3 ,5"), "9 10 11 12 | 1 2 3 | 5 | ");  // any order, spaces around
    EXPECT_EQ(pages("z,r3-z,-2,r12"), "12 | 10 11 12 | 1 2 | 1 | ");
    EXPECT_EQ(pages("1-z:odd,-6:even,r1-z:even"), "1 3 5 7 9 11 | 2 4 6 | 12 | ");
    EXPECT_EQ(pages("13"), "missing 13");
    EXPECT_EQ(pages("r13-z"), "missing -13");
    EXPECT_EQ(pages("r2-3"), "missing " + std::to_string(INT32_MIN));  // backwards once counted
    EXPECT_EQ(pages("1-z:odd,2-z:even", true), "1 3 5 7 9 11 | 2 4 6 8 10 12 | ");
    EXPECT_EQ(pages("1-3:odd,2", true), "1 3 | 2 | ");
    for (const char* bad : {"", ",", "1-3,", "0", "3-1", "z-r2", "-", "a", "1-3;7", "1--3", "r0", "r", "1:od", "x3"})
        EXPECT_EQ(pages(bad), "refused") << bad;
    for (const char* shared : {"1-3,2-4", "2-,7", "1-3,2", "4,4", "1-5:odd,3"})
        EXPECT_EQ(pages(shared, true), "refused") << shared;
}

TEST(PartPlan, ModesUnderPageLimit) {
    // Top-level bookmarks at pages 1, 5 and 9 of 12, a section at page 3,
    // one leading nowhere, one back to page 5, one to the same page as the
    // previous and a second one on page 9.
    OutlineTable outlines(1);
    for (auto [depth, page] : std::vector<std::pair<int, int>>{
             {1, 0}, {2, 2}, {1, -1}, {1, 4}, {1, 4}, {1, 8}, {1, 3}, {1, 8}, {2, 10}})
        outlines.push_back(OutlineRecord{.depth = depth, .pageIndex = page});
    auto plan = [&](PartRequest request, int32_t first, int32_t last) {
        std::vector<Part> parts;
        return PlanParts(request, outlines, 12, first, last, parts) ? Describe(parts) : "refused";
    };
    PartRequest every;
    every.every = 5;
    EXPECT_EQ(plan(every, 0, 12), "1-5 6-10 11-12");
    EXPECT_EQ(plan(every, 2, 11), "3-7 8-11");
    every.every = 12;
    EXPECT_EQ(plan(every, 0, 12), "1-12");

    PartRequest marks;
    marks.mode = PartMode::AtBookmarks;
    EXPECT_EQ(plan(marks, 0, 12), "1-4@1 5-8@4 9-12@6");
    EXPECT_EQ(plan(marks, 1, 12), "2-4 5-8@4 9-12@6");
    EXPECT_EQ(plan(marks, 4, 8), "5-8@4");
    marks.level = 2;
    EXPECT_EQ(plan(marks, 0, 12), "1-2 3-10@2 11-12@9");
    marks.level = 3;  // no bookmark of that level: one part
    EXPECT_EQ(plan(marks, 0, 12), "1-12");

    PartRequest ranges;
    ranges.mode = PartMode::Ranges;
    ASSERT_EQ(ParsePageSelection("9-,1-3,7", ranges.ranges, true), "");
    EXPECT_EQ(plan(ranges, 0, 12), "1-3 7-7 9-12");
    EXPECT_EQ(plan(ranges, 2, 9), "3-3 7-7 9-9");
    EXPECT_EQ(plan(ranges, 3, 6), "refused");  // no range meets pages 4 to 6
    ASSERT_EQ(ParsePageSelection("1-3,11-13", ranges.ranges, true), "");
    EXPECT_EQ(plan(ranges, 0, 12), "refused");  // beyond the document
}

TEST(PartPlan, Names) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "brisel-part-names";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    OutputNaming n;
    n.SetBase((dir / "report.pdf").string(), false, "");
    const std::string base = (dir / "report-").string();
    TestJob t;
    const std::vector<Part> parts{{0, 4, -1, {}}, {5, 5, -1, {}}, {6, 11, -1, {}}};
    ASSERT_TRUE(n.ChooseParts(t.job, 12, parts));
    EXPECT_EQ(n.PathForPart(0), base + "01-05.pdf");
    EXPECT_EQ(n.PathForPart(1), base + "06.pdf");  // one page: the page's own name
    // A taken part name moves every part to the next discriminator; the
    // single-page name of a page inside a part does not.
    for (const char* taken : {"report-07-12.pdf", "report-02.pdf"}) std::ofstream(dir / taken) << "x";
    ASSERT_TRUE(n.ChooseParts(t.job, 12, parts));
    EXPECT_EQ(n.PathForPart(2), base + "007-12.pdf");
    EXPECT_EQ(n.PathForPart(0), base + "001-05.pdf");
    ASSERT_TRUE(n.ChooseParts(t.job, 1000, {{0, 999, -1, {}}}));
    EXPECT_EQ(n.PathForPart(0), base + "0001-1000.pdf");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace brisel
