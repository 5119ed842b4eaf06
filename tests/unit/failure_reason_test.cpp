// The reason a person reads for each failure code, in both languages: every
// code in every step it can be met in keeps the text the table in
// fixtures/failure_reasons.txt gives, whichever layer now says it.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "split/failure_reason.h"

namespace brisel {
namespace {

JobStep StepNamed(const std::string& name) {
    static const std::map<std::string, JobStep> kSteps = {
        {"Start", JobStep::Start},       {"Load", JobStep::Load},         {"Read", JobStep::Read},
        {"Unlock", JobStep::Unlock},     {"Analyze", JobStep::Analyze},   {"Outlines", JobStep::Outlines},
        {"Name", JobStep::Name},         {"Write", JobStep::Write}};
    return kSteps.at(name);
}

TEST(FailureReason, EveryCodeKeepsItsText) {
    std::ifstream in(std::string(BRISEL_FIXTURES) + "/failure_reasons.txt");
    ASSERT_TRUE(in) << "fixtures/failure_reasons.txt";
    std::map<std::string, std::pair<std::string, std::string>> texts;
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("T ", 0) == 0) {
            const size_t space = line.find(' ', 2), tab = line.find('\t');
            texts[line.substr(2, space - 2)] = {line.substr(space + 1, tab - space - 1), line.substr(tab + 1)};
            continue;
        }
        std::istringstream row(line);
        std::string step, text;
        int32_t code = 0;
        row >> step >> code >> text;
        std::string english = "code " + std::to_string(code), japanese = "コード " + std::to_string(code);
        if (text != "-") std::tie(english, japanese) = texts.at(text);
        EXPECT_EQ(FailureReason(Language::English, StepNamed(step), code), english) << line;
        EXPECT_EQ(FailureReason(Language::Japanese, StepNamed(step), code), japanese) << line;
        ++rows;
    }
    EXPECT_GT(rows, 1000);
}

}  // namespace
}  // namespace brisel
