#include <gtest/gtest.h>

#include "base/platform.h"
#include "split/name_pattern.h"
#include "split/output_naming.h"
#include "encrypted_input.h"
#include "test_support.h"

namespace brisel {
namespace {

TEST(NamePattern, FieldsExpand) {
    const struct {
        const char* pattern;
        int32_t page, count;
        const char* name;
    } cases[] = {
        {"%s-%d.pdf", 7, 150, "report-007.pdf"},
        {"%d", 7, 9, "7"},
        {"page%4d.pdf", 12, 150, "page0012.pdf"},
        {"p%03d.pdf", 1234, 2000, "p1234.pdf"},  // never shorter than the number
        {"%%%d%%.pdf", 3, 10, "%03%.pdf"},
        {"%s_%s_%1d", 10, 10, "report_report_10"},
        {"a%xb%d", 1, 2, "a%xb1"},  // only checked patterns are expanded; the rest is text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandNamePattern(c.pattern, {"report", c.page, c.count, 0, ""}), c.name) << c.pattern;
    }
}

TEST(NamePattern, CheckRefusesWhatCannotNameEveryPage) {
    for (const char* good : {"%d", "%s-%d.pdf", "%1d", "%099d.pdf", "100%%-%d", "%s%d%s"})
        EXPECT_EQ(CheckNamePattern(good), "") << good;
    const struct {
        const char* pattern;
        const char* reason;
    } bad[] = {
        {"", "--name needs a pattern such as \"%s-%d.pdf\""},
        {"%s.pdf", "--name needs the page number in it (%d or %Nd)"},
        {"%%d.pdf", "--name needs the page number in it (%d or %Nd)"},
        {"out/%d.pdf", "--name takes a file name without a folder (give the folder with --out)"},
        {"%x-%d", "--name knows %d, %Nd (N from 1 to 99), %s, %e, %Ne, %t and %%, not \"%x\""},
        {"%d%", "--name knows %d, %Nd (N from 1 to 99), %s, %e, %Ne, %t and %%, not \"%\""},
        {"%0d", "--name knows %d, %Nd (N from 1 to 99), %s, %e, %Ne, %t and %%, not \"%0\""},
        {"%1000d", "--name knows %d, %Nd (N from 1 to 99), %s, %e, %Ne, %t and %%, not \"%1\""},
        {"%2s%d", "--name knows %d, %Nd (N from 1 to 99), %s, %e, %Ne, %t and %%, not \"%2\""},
    };
    for (const auto& b : bad) EXPECT_EQ(CheckNamePattern(b.pattern), b.reason) << b.pattern;
}

TEST(NamePattern, NamingWithAPatternKeepsTheFolderAndNeverDiscriminates) {
    test::TempFolder folder;
    const std::string sep(1, kPathSeparator);
    std::string dir = folder.Path("");
    dir.pop_back();
    OutputNaming naming;
    naming.SetBase(dir + sep + "Scan.PDF", false, "");
    naming.SetPattern("%s-%d.pdf");
    test::TestJob t;
    ASSERT_TRUE(naming.Choose(t.job, 12, 0, 12));
    EXPECT_EQ(naming.PathFor(3), dir + sep + "Scan-03.pdf");
    naming.SetBase(dir + sep + "Scan.PDF", true, dir + sep + "out");
    EXPECT_EQ(naming.PathFor(3), dir + sep + "out" + sep + "Scan-03.pdf");
    // A taken name fails the choice and is named; pages outside the range
    // do not count.
    naming.SetBase(dir + sep + "Scan.PDF", false, "");
    ASSERT_TRUE(test::WriteFile(dir + sep + "Scan-05.pdf", test::BytesOf("x")));
    EXPECT_TRUE(naming.Choose(t.job, 12, 0, 4));
    EXPECT_FALSE(naming.Choose(t.job, 12, 0, 12));
    EXPECT_EQ(t.job.LastError, kNameTaken);
    EXPECT_EQ(t.job.OutputPath, dir + sep + "Scan-05.pdf");
}

}  // namespace
}  // namespace brisel
