#include "base/texts.h"

#include <cstdio>
#include <vector>

namespace brisel {

namespace {

const TextPair kTexts[] = {
    {"Reading", "文書読み込み中"},
    {"Analyzing", "文書構造解析中"},
    {"Repairing", "文書修復中"},
    {"Creating Pages", "ページ作成中"},
    {"Creating Pages %d/%d", "ページ作成中 %d/%d"},
    {"Analyzing Outline", "しおり構造解析中"},
    {"Analyzing Outline", "しおり構造"},
    {"Done", "分解操作完了"},
    {"Done\n(The password input last time was used)", "分解操作完了\n（前回入力パスワードを使用）"},
    {"Can't Split\nThis PDF File has Only One Page", "これ以上分解できません"},
    {"Can't Create New Files", "分解ファイルを作成できません"},
    {"Bad Page Input", "ページ指定に誤りがあります"},
    {"Break", "分解操作が中断されました"},
    {"Failed", "分解操作に失敗しました"},
    {"Fail in decrypting", "未対応の暗号化ファイルです"},
    {"Split operation is not admitted", "分解操作が許可されていません"},
    {"Input right password", "正しいパスワードを入力してください"},
    {"Input password", "パスワードを入力してください"},
    {"Not PDF File", "ＰＤＦファイルではありません"},
    {"File Not Found\n- NOT Available Character in Filename ? -\n\n\"%s\"",
     "ファイルが見つかりません\n（本ソフトで使用できない文字をファイル名中に用いている可能性）\n\n\"%s\""},
    {"%s files are created newly.", "%s個のファイルが新規作成されます。\nよろしいですか？"},
    {"Bad", "入力値に誤りがあります"},
    {"Failed", "ページ数解析に失敗しました"},
    {"Can't Split\nThis PDF File has Only One Page", "１ページからなるファイルです\nこれ以上分解できません"},
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<size_t>(Text::OnePageFile) + 1,
              "one pair per Text");

}  // namespace

const char* Tr(Language language, Text text) {
    return Pick(language, kTexts[static_cast<size_t>(text)]);
}

std::string TrFormat(Language language, Text text, const std::string& arg) {
    const char* format = Tr(language, text);
    int n = std::snprintf(nullptr, 0, format, arg.c_str());
    if (n < 0) return format;
    std::vector<char> out(static_cast<size_t>(n) + 1);
    std::snprintf(out.data(), out.size(), format, arg.c_str());
    return std::string(out.data(), static_cast<size_t>(n));
}

std::string TrFormat(Language language, Text text, int a, int b) {
    char out[256];
    std::snprintf(out, sizeof out, Tr(language, text), a, b);
    return out;
}

}  // namespace brisel
