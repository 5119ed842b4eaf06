#include "base/failure_reasons.h"

namespace brisel {

namespace {

// Codes are local to the operation that sets them, so the same number means
// different things in different steps: each row names its step. Rows with
// the range [0, 0] stand for every code of their step not listed before
// them.
struct Reason {
    JobStep step;
    int32_t low, high;  // codes from low to high (both negative, low <= high)
    const char* english;
    const char* japanese;
};

constexpr int32_t kAny = 0;

const Reason kReasons[] = {
    {JobStep::Load, kAny, kAny, "the file cannot be read, or is too short or too large for a PDF file",
     "ファイルを読み込めないか、PDF ファイルとしては短すぎるか大きすぎます"},
    {JobStep::Read, kAny, kAny, "the cross-reference table is damaged and could not be repaired",
     "相互参照表が壊れていて修復できません"},
    {JobStep::Unlock, kAny, kAny, "the encryption of the file cannot be opened",
     "ファイルの暗号化を解除できません"},
    {JobStep::Analyze, -118, -111, "the catalog is missing or damaged", "カタログが見つからないか壊れています"},
    {JobStep::Analyze, -125, -119, "the catalog's page tree or viewer settings are damaged",
     "カタログのページツリーまたは表示設定が壊れています"},
    {JobStep::Analyze, -148, -145, "the page tree is too deep, or loops back on itself",
     "ページツリーが深すぎるか循環しています"},
    {JobStep::Analyze, -150, -102, "the page tree is damaged", "ページツリーが壊れています"},
    {JobStep::Outlines, kAny, kAny, "the bookmarks are damaged", "しおりが壊れています"},
    {JobStep::Name, -2000, -2000, "no free names are left for the page files, or they would be too long",
     "分解ファイルに使える名前がないか、名前が長すぎます"},
    {JobStep::Name, -2001, -2001, "a page file's name is taken", "分解ファイルの名前が既に使われています"},
    {JobStep::Write, -4000, -4000, "a page file cannot be created or written, or its name was taken meanwhile",
     "分解ファイルを作成または書き込みできないか、同じ名前のファイルが作られました"},
    {JobStep::Write, -301, -300, "not enough memory", "メモリが足りません"},
    {JobStep::Write, -308, -302, "the file does not begin with a PDF header", "ファイルの先頭に PDF ヘッダがありません"},
    {JobStep::Write, -312, -312, "the open action of the file is damaged", "ファイルの開き方の設定が壊れています"},
    {JobStep::Write, kAny, kAny, "a page refers to an object that is missing or damaged",
     "ページが参照するオブジェクトが見つからないか壊れています"},
};

}  // namespace

std::string FailureReason(Language language, JobStep step, int32_t code) {
    for (const Reason& r : kReasons) {
        if (r.step != step) continue;
        if (r.low == kAny || (code >= r.low && code <= r.high))
            return language == Language::Japanese ? r.japanese : r.english;
    }
    return (language == Language::Japanese ? "コード " : "code ") + std::to_string(code);
}

}  // namespace brisel
