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
    {"%d of %d pages are incomplete (the file is damaged or cut short): %s",
     "%d / %d ページが不完全です（ファイルが壊れているか途中で切れています）: %s"},
    {"(%d of %d pages written)", "（%d / %d ページ作成済み）"},
    {"%d page files were written under other names, since their names were taken meanwhile",
     "%d 個の分解ファイルは、名前が途中で他のファイルに使われたため別の名前で作成しました"},
    {"%d of %d pages could not be found (the file is damaged or cut short)",
     "%d / %d ページが見つかりません（ファイルが壊れているか途中で切れています）"},
    {"Some pages could not be found (the file is damaged or cut short)",
     "見つからないページがあります（ファイルが壊れているか途中で切れています）"},
    {"the file's last update is cut short: pages it changed may show what they held before it",
     "ファイルの最後の更新が途中で切れています: 更新されたページが更新前の内容のままの場合があります"},
    {"the page tree is damaged: %d pages found by scanning; their order may differ from the original",
     "ページツリーが壊れています: %d ページを走査で見つけました。元の順序と異なる場合があります"},
    {"%d of %d pages could not be read and were not written (the file is damaged): %s",
     "%d / %d ページを読み込めないため作成しませんでした（ファイルが壊れています）: %s"},
    {"%d of %d pages were repaired (streams whose stated length was wrong were written with their true length): %s",
     "%d / %d ページを修復しました（長さの誤ったストリームを正しい長さで書き出しました）: %s"},
    {"%d of %d pages keep every shared resource (their content could not be read): %s",
     "%d / %d ページは共有リソースをすべて保持しています（内容を読み取れませんでした）: %s"},
};

struct FaultPair {
    FileFault fault;
    TextPair output, input;
};

const FaultPair kFaults[] = {
    {FileFault::NotFound, {"the folder does not exist", "フォルダが存在しません"},
     {"the file does not exist", "ファイルが存在しません"}},
    {FileFault::NotAFolder, {"a part of the path is a file, not a folder", "パスの途中がフォルダではなくファイルです"},
     {"a part of the path is a file, not a folder", "パスの途中がフォルダではなくファイルです"}},
    {FileFault::NameTaken, {"another file took the name, and no other name was free",
                            "他のファイルが名前を使い、ほかに使える名前がありません"},
     {"the file exists", "ファイルが存在します"}},
    {FileFault::NoSpace, {"no space left on the device", "ディスクに空きがありません"},
     {"no space left on the device", "ディスクに空きがありません"}},
    {FileFault::NoPermission, {"no permission to write into the folder", "フォルダに書き込む権限がありません"},
     {"no permission to read the file", "ファイルを読む権限がありません"}},
    {FileFault::ReadOnly, {"the folder is on a read-only file system", "フォルダは読み取り専用です"},
     {"the file is on a read-only file system", "ファイルは読み取り専用です"}},
    {FileFault::NameTooLong, {"the name is too long", "名前が長すぎます"}, {"the name is too long", "名前が長すぎます"}},
    {FileFault::LinkLoop,
     {"a symbolic link in the path loops back on itself", "パス中のシンボリックリンクが循環しています"},
     {"a symbolic link in the path loops back on itself", "パス中のシンボリックリンクが循環しています"}},
    {FileFault::IsFifo, {"a named pipe holds the name", "名前付きパイプが名前を使っています"},
     {"not a regular file but a named pipe (FIFO)", "通常のファイルではなく名前付きパイプです"}},
    {FileFault::IsDevice, {"a device holds the name", "デバイスが名前を使っています"},
     {"not a regular file but a device", "通常のファイルではなくデバイスです"}},
    {FileFault::IsFolder, {"a folder holds the name", "フォルダが名前を使っています"},
     {"is a folder, not a file", "ファイルではなくフォルダです"}},
    {FileFault::Changed, {"the file changed while it was written", "書き込み中にファイルが変更されました"},
     {"the input changed while it was read", "読み込み中に入力ファイルが変更されました"}},
    {FileFault::DeviceError, {"the device reported an input/output error", "デバイスで入出力エラーが発生しました"},
     {"the device reported an input/output error while reading", "読み込み中にデバイスで入出力エラーが発生しました"}},
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<size_t>(Text::PagesResourcesKept) + 1,
              "one pair per Text");

}  // namespace

const char* FaultText(Language language, FileFault fault, bool input) {
    for (const FaultPair& f : kFaults) {
        if (f.fault != fault) continue;
        return Pick(language, input ? f.input : f.output);
    }
    if (input) return language == Language::Japanese ? "ファイルを読み込めません" : "the file cannot be read";
    return language == Language::Japanese ? "ファイルを作成または書き込みできません" : "the file cannot be created or written";
}

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
