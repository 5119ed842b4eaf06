#include "split/option_line.h"

#include <gtest/gtest.h>

#include <string>

namespace brisel {
namespace {

// The chosen fields in one line of text, for compact comparisons.
std::string Fields(std::string_view line) {
    ViewerSettings v = ParseOptionLine(line);
    return "zoom=" + v.OpenActionMode + " fit=" + std::to_string(v.FitWindow) + " dir=" + std::to_string(v.Direction) +
           " layout=" + std::to_string(v.PageLayout) + " mode=" + std::to_string(v.PageMode) +
           " keep=" + std::to_string(v.KeepOutlines) + " flat=" + std::to_string(v.FlatOutlines);
}

TEST(OptionLine, ExampleLineAndDefaults) {
    EXPECT_EQ(Fields("/d100 /p1 /nt /ok\n"), "zoom=100 fit=0 dir=0 layout=1 mode=3 keep=1 flat=0");
    EXPECT_EQ(Fields(""), "zoom=N fit=0 dir=0 layout=0 mode=0 keep=0 flat=0");
    EXPECT_EQ(ParseOptionLine("").OpenActionView, ViewerSettings::kViewNotSet);
}

TEST(OptionLine, Zoom) {
    EXPECT_EQ(ParseOptionLine("/da").OpenActionMode, "A");
    EXPECT_EQ(ParseOptionLine("/dw").OpenActionMode, "W");
    EXPECT_EQ(ParseOptionLine("/dh").OpenActionMode, "H");
    EXPECT_EQ(ParseOptionLine("/do").OpenActionMode, "O");
    EXPECT_EQ(Fields("/d150f"), "zoom=150 fit=1 dir=0 layout=0 mode=0 keep=0 flat=0");
    EXPECT_EQ(ParseOptionLine("/d075 ").OpenActionMode, "75");
    // Zoom 0, "f" alone and a run ended by another byte give no zoom.
    for (const char* line : {"/d0", "/df", "/d0f", "/dx", "/d12x", "/d 100", "/dn", "/D100"})
        EXPECT_EQ(Fields(line), "zoom=N fit=0 dir=0 layout=0 mode=0 keep=0 flat=0") << line;
    // A later /d overrides, unless it sets nothing; a letter drops the fit.
    EXPECT_EQ(ParseOptionLine("/d100 /dw").OpenActionMode, "W");
    EXPECT_EQ(ParseOptionLine("/d100 /dx").OpenActionMode, "100");
    EXPECT_EQ(ParseOptionLine("/d100 /df").OpenActionMode, "N");
    EXPECT_EQ(Fields("/d150f /do"), "zoom=O fit=0 dir=0 layout=0 mode=0 keep=0 flat=0");
    // A run too long for a percentage sets nothing.
    EXPECT_EQ(ParseOptionLine("/d300 /d99999999999").OpenActionMode, "300");
    EXPECT_EQ(ParseOptionLine("/d2147483647").OpenActionMode, "2147483647");
}

TEST(OptionLine, DirectionLayoutModeOutlines) {
    EXPECT_EQ(ParseOptionLine("/io").Direction, 2);
    EXPECT_EQ(ParseOptionLine("/ir").Direction, 1);
    EXPECT_EQ(ParseOptionLine("/il").Direction, 0);
    const std::pair<const char*, int> layouts[] = {{"/p1", 1}, {"/p2l", 2}, {"/p2r", 3}, {"/po", 4},
                                                   {"/ps", 5}, {"/pn", 0},  {"/p2x", 0}, {"/p2", 0}};
    for (auto [line, layout] : layouts) EXPECT_EQ(ParseOptionLine(line).PageLayout, layout) << line;
    const std::pair<const char*, int> modes[] = {
        {"/nf", 4}, {"/nt", 3}, {"/no", 1}, {"/no\n", 1}, {"/not ", 2}, {"/norg", 5}, {"/non /x", 6},
        {"/nn", 0}, {"/nox", 0}, {"/nor ", 0}, {"/norgx", 0}, {"/no/ok", 0}, {"/n", 0}};
    for (auto [line, mode] : modes) EXPECT_EQ(ParseOptionLine(line).PageMode, mode) << line;
    EXPECT_EQ(Fields("/ok"), "zoom=N fit=0 dir=0 layout=0 mode=0 keep=1 flat=0");
    EXPECT_EQ(Fields("/okt\r\n"), "zoom=N fit=0 dir=0 layout=0 mode=0 keep=1 flat=1");
    for (const char* line : {"/okx", "/okt/", "/on", "/o k", "/ok\rx"}) EXPECT_EQ(ParseOptionLine(line).KeepOutlines, 0) << line;
}

TEST(OptionLine, LineEndsAtTheFirstLineFeed) {
    EXPECT_EQ(Fields("/d50 /ir\n/p1 /nf /ok\n"), "zoom=50 fit=0 dir=1 layout=0 mode=0 keep=0 flat=0");
    // A line feed where a code is expected ends the line too.
    EXPECT_EQ(Fields("/no /d\n/p1"), "zoom=N fit=0 dir=0 layout=0 mode=1 keep=0 flat=0");
    // Unknown letters and stray text are skipped.
    EXPECT_EQ(Fields("x /x //d200 /q1 /p2r /"), "zoom=N fit=0 dir=0 layout=3 mode=0 keep=0 flat=0");
}

}  // namespace
}  // namespace brisel
