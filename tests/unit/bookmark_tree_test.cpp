#include "pagewriter/bookmark_tree.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "test_support.h"

namespace brisel {
namespace {

using test::TestJob;

// A document whose image holds the texts the records point at.
struct Texts {
    Document doc;
    std::string image;
    // Appends a text to the image; its position.
    int64_t Put(const std::string& text) {
        image += text;
        return static_cast<int64_t>(image.size() - text.size());
    }
    void Add(int32_t depth, int32_t page, const std::string& title, const std::string& view = "",
             int32_t count = 0, const std::string& colour = "", int32_t flags = 0) {
        OutlineRecord r;
        r.depth = depth;
        r.pageIndex = page;
        r.count = count;
        r.flags = flags;
        if (!title.empty()) r.titlePosition = Put(title), r.titleLength = static_cast<int32_t>(title.size());
        if (!view.empty()) r.viewPosition = Put(view), r.viewLength = static_cast<int32_t>(view.size());
        if (!colour.empty()) r.colourPosition = Put(colour), r.colourLength = static_cast<int32_t>(colour.size());
        if (doc.outlines.empty()) doc.outlines.emplace_back();  // record 0, the /Outlines dictionary
        doc.outlines.push_back(r);
    }
    void Seal() { doc.image = test::BytesOf(image); }
};

std::string Write(Texts& texts, const std::vector<int32_t>& selected, bool flat, int32_t first = 10) {
    texts.Seal();
    TestJob t;
    t.job.Viewer.KeepOutlines = 1;
    t.job.Viewer.FlatOutlines = flat;
    std::string out = "head";
    std::vector<size_t> offsets(static_cast<size_t>(first), 0);
    const int32_t next = WriteBookmarkTree(t.job, texts.doc, selected, first, out, offsets).value_or(-1);
    EXPECT_EQ(next, static_cast<int32_t>(offsets.size()));
    for (int32_t n = first; n < next; ++n)
        EXPECT_EQ(out.compare(offsets[static_cast<size_t>(n)], std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0);
    return out.substr(4);
}

TEST(BookmarkTree, PlaceholdersForMissingLevels) {
    // A (level 1) leads to this page, its child B elsewhere, B's child C here.
    Texts t;
    t.Add(1, 2, "(A)", "/Fit ", 0, "1 0 0 ", 2);
    t.Add(2, 4, "(B)", "/Fit ");
    t.Add(3, 2, "<FEFF0043>");
    EXPECT_EQ(Write(t, {1, 3}, false),
              "10 0 obj\n<<\n/First 11 0 R\n/Last 11 0 R\n/Count 3\n>>\nendobj\n"
              "11 0 obj\n<<\n/Title (A)\n/C [ 1 0 0 ]\n/F 2\n/Dest [ 3 0 R /Fit ]\n/Parent 10 0 R\n/First 12 0 R\n"
              "/Last 12 0 R\n/Count 2\n>>\nendobj\n"
              "12 0 obj\n<<\n/Title ()\n/Dest null\n/Parent 11 0 R\n/First 13 0 R\n/Last 13 0 R\n/Count 1\n>>\nendobj\n"
              "13 0 obj\n<<\n/Title <FEFF0043>\n/Dest null\n/Parent 12 0 R\n>>\nendobj\n");
    EXPECT_EQ(Write(t, {1, 3}, true),
              "10 0 obj\n<<\n/First 11 0 R\n/Last 12 0 R\n/Count 2\n>>\nendobj\n"
              "11 0 obj\n<<\n/Title (A)\n/C [ 1 0 0 ]\n/F 2\n/Dest [ 3 0 R /Fit ]\n/Parent 10 0 R\n/Next 12 0 R\n>>\nendobj\n"
              "12 0 obj\n<<\n/Title <FEFF0043>\n/Dest null\n/Parent 10 0 R\n/Prev 11 0 R\n>>\nendobj\n");
}

TEST(BookmarkTree, ClosedBookmarksCountWhatTheyHide) {
    // Closed X (-2 in the input) with one selected child; open Y with two
    // children, one of them closed with a child of its own.
    Texts t;
    t.Add(1, 0, "", "", -2);
    t.Add(2, 0, "(x1)");
    t.Add(1, 0, "(Y)", "/XYZ 0 0 0");
    t.Add(2, 0, "(y1)", "", -1);
    t.Add(3, 0, "(y1a)");
    t.Add(2, 0, "(y2)");
    std::string out = Write(t, {1, 2, 3, 4, 5, 6}, false);
    std::smatch m;
    auto countOf = [&](int n) {
        std::regex re(std::to_string(n) + " 0 obj\n<<\n(?:[^>]|>[^>])*?/Count (-?[0-9]+)\n>>");
        return std::regex_search(out, m, re) ? std::stoi(m[1]) : 0;
    };
    EXPECT_EQ(countOf(10), 4);   // X, Y, y1 and y2; x1 and y1a are hidden
    EXPECT_EQ(countOf(11), -1);  // X
    EXPECT_EQ(countOf(13), 2);   // Y: y1, y2 (y1a hidden)
    EXPECT_EQ(countOf(14), -1);  // y1
    EXPECT_NE(out.find("11 0 obj\n<<\n/Title ()\n/Dest null\n"), std::string::npos);
}

// Reads a written tree back: each node's parent and /Count, and the record a
// bookmark node came from ("(rK)" titles), or -1 for a placeholder.
struct ReadBack {
    std::vector<int> parent, count, record;
};
ReadBack Parse(const std::string& out, int first) {
    ReadBack r;
    std::regex object("([0-9]+) 0 obj\n<<\n((?:[^>]|>[^>])*)>>\nendobj\n");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), object); it != std::sregex_iterator(); ++it) {
        std::string body = (*it)[2];
        std::smatch m;
        r.parent.push_back(std::regex_search(body, m, std::regex("/Parent ([0-9]+) ")) ? std::stoi(m[1]) - first : -1);
        r.count.push_back(std::regex_search(body, m, std::regex("/Count (-?[0-9]+)")) ? std::stoi(m[1]) : 0);
        r.record.push_back(std::regex_search(body, m, std::regex("/Title \\(r([0-9]+)\\)")) ? std::stoi(m[1]) : -1);
    }
    return r;
}

TEST(BookmarkTree, CountsMatchTheWalkUpDefinitionOnRandomTrees) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        Texts t;
        std::vector<int32_t> selected;
        int32_t depth = 1;
        const int records = 1 + static_cast<int>(random() % 30);
        for (int k = 1; k <= records; ++k) {
            depth = k == 1 ? 1 : 1 + static_cast<int32_t>(random() % static_cast<unsigned>(depth + 1));
            const bool here = random() % 3 != 0;
            t.Add(depth, here ? 0 : 1, "(r" + std::to_string(k) + ")", "/Fit", random() % 4 == 0 ? -1 : 0);
            if (here) selected.push_back(k);
        }
        if (selected.empty()) continue;
        ReadBack back = Parse(Write(t, selected, false), 10);
        const size_t v = back.parent.size();
        // The definition: every node starts with its number of children,
        // negated when closed; each open node with children then adds its
        // count to its ancestors up to and including the first closed one,
        // which has it subtracted.
        std::vector<int> expected(v, 0);
        auto closed = [&](size_t n) { return back.record[n] >= 0 && t.doc.outlines[back.record[n]].count < 0; };
        for (size_t n = 1; n < v; ++n) ++expected[static_cast<size_t>(back.parent[n])];
        for (size_t n = 0; n < v; ++n) expected[n] = closed(n) ? -expected[n] : expected[n];
        for (size_t k = 1; k < v; ++k) {
            if (expected[k] <= 0) continue;
            for (int a = back.parent[k]; a >= 0; a = back.parent[static_cast<size_t>(a)]) {
                if (expected[static_cast<size_t>(a)] < 0) {
                    expected[static_cast<size_t>(a)] -= expected[k];
                    break;
                }
                expected[static_cast<size_t>(a)] += expected[k];
            }
        }
        ASSERT_EQ(back.count, expected) << "round " << round;
        // Every bookmark sits at its own depth under its parents.
        for (size_t n = 1; n < v; ++n) {
            int d = 0;
            for (int a = static_cast<int>(n); a > 0; a = back.parent[static_cast<size_t>(a)]) ++d;
            if (back.record[n] >= 0) {
                ASSERT_EQ(d, t.doc.outlines[static_cast<size_t>(back.record[n])].depth);
            }
        }
    }
}

}  // namespace
}  // namespace brisel
