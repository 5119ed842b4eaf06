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

TEST(PartPlan, RangeLists) {
    std::vector<PageSpan> spans;
    ASSERT_TRUE(ParsePartRanges("1-3,7,9-", spans));
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].first, 1);
    EXPECT_EQ(spans[0].last, 3);
    EXPECT_EQ(spans[1].last, 7);
    EXPECT_EQ(spans[2].last, 0);  // to the end
    EXPECT_TRUE(ParsePartRanges("9-, 1 - 3 ,5", spans));  // any order, spaces around numbers
    for (const char* bad : {"", ",", "1-3,", "0", "3-1", "1-3,3-5", "2-,7", "1-3,2", "-3", "a", "1-3;7", "1--3", "4,4"})
        EXPECT_FALSE(ParsePartRanges(bad, spans)) << bad;
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
    ASSERT_TRUE(ParsePartRanges("9-,1-3,7", ranges.ranges));
    EXPECT_EQ(plan(ranges, 0, 12), "1-3 7-7 9-12");
    EXPECT_EQ(plan(ranges, 2, 9), "3-3 7-7 9-9");
    EXPECT_EQ(plan(ranges, 3, 6), "refused");  // no range meets pages 4 to 6
    ASSERT_TRUE(ParsePartRanges("1-3,11-13", ranges.ranges));
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
    const std::vector<Part> parts{{0, 4}, {5, 5}, {6, 11}};
    ASSERT_TRUE(n.ChooseParts(t.job, 12, parts));
    EXPECT_EQ(n.PathForPart(0), base + "01-05.pdf");
    EXPECT_EQ(n.PathForPart(1), base + "06.pdf");  // one page: the page's own name
    // A taken part name moves every part to the next discriminator; the
    // single-page name of a page inside a part does not.
    for (const char* taken : {"report-07-12.pdf", "report-02.pdf"}) std::ofstream(dir / taken) << "x";
    ASSERT_TRUE(n.ChooseParts(t.job, 12, parts));
    EXPECT_EQ(n.PathForPart(2), base + "007-12.pdf");
    EXPECT_EQ(n.PathForPart(0), base + "001-05.pdf");
    ASSERT_TRUE(n.ChooseParts(t.job, 1000, {{0, 999}}));
    EXPECT_EQ(n.PathForPart(0), base + "0001-1000.pdf");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace brisel
