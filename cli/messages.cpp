#include "cli/messages.h"

#include <cstdio>

namespace brisel {

namespace {

const TextPair kTexts[] = {
    {"no such file", "ファイルが見つかりません"},
    {"is a folder, not a file", "ファイルではなくフォルダです"},
    {"no permission to read it", "読み込む権限がありません"},
    {"cannot be opened", "開けません"},
    {"%s page files, past the warn limit: going on without asking (no terminal)",
     "%s個のファイルを作成します（警告の上限を超えていますが、端末がないため確認せずに続けます）"},
    {"needs a password and there is no terminal to ask for it (give it with --password-file FILE or "
     "BRISEL_PASSWORD)",
     "パスワードが必要ですが、入力を求める端末がありません（--password-file FILE または BRISEL_PASSWORD "
     "で指定してください）"},
    {"the password is wrong", "パスワードが違います"},
    {"no password was given", "パスワードが入力されませんでした"},
    {"its permissions forbid splitting without the owner password (give the owner password with --password, "
     "--password-file FILE or BRISEL_PASSWORD)",
     "アクセス権限により、所有者パスワードなしでは分割できません（--password、--password-file FILE または "
     "BRISEL_PASSWORD で所有者パスワードを指定してください）"},
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<size_t>(CliText::OwnerPasswordNeeded) + 1,
              "one pair per CliText");

}  // namespace

const char* CliTr(Language language, CliText text) {
    return Pick(language, kTexts[static_cast<size_t>(text)]);
}

std::string CliTrFormat(Language language, CliText text, const std::string& arg) {
    std::string out = CliTr(language, text);
    if (size_t at = out.find("%s"); at != std::string::npos) out.replace(at, 2, arg);
    return out;
}

std::string InputProblemText(Language language, InputProblem problem) {
    switch (problem) {
        case InputProblem::None: return "";
        case InputProblem::Missing: return CliTr(language, CliText::NoSuchFile);
        case InputProblem::Folder: return CliTr(language, CliText::IsFolder);
        case InputProblem::NoPermission: return CliTr(language, CliText::NoPermission);
        case InputProblem::Unreadable: break;
    }
    return CliTr(language, CliText::CannotOpen);
}

void ReportFailure(const std::string& file, const std::string& reason) {
    WriteText(stderr, "brisel: " + file + ": " + OneLine(reason) + "\n");
}

}  // namespace brisel
