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
    {"not a PDF file", "PDF ファイルではありません"},
    {"the names %s... were taken: wrote %s... instead",
     "%s などの名前は使われていたため、%s などの名前で作成しました"},
    {"%s page files exist and were left as they are", "%s 個の分解ファイルは既にあるため、そのままにしました"},
    {"page %s alone is larger than %s: written as a part of its own",
     "%s ページだけで %s を超えるため、単独のファイルにしました"},
    {"stopped: %s page files would be created, and the answer was no",
     "中止しました: %s 個のファイルを作成する確認に「いいえ」と答えました"},
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<size_t>(CliText::WarnDeclined) + 1,
              "one pair per CliText");

}  // namespace

const char* CliTr(Language language, CliText text) {
    return Pick(language, kTexts[static_cast<size_t>(text)]);
}

std::string CliTrFormat(Language language, CliText text, const std::string& arg, const std::string& second) {
    std::string out = CliTr(language, text);
    size_t at = out.find("%s");
    if (at != std::string::npos) {
        out.replace(at, 2, arg);
        at = out.find("%s", at + arg.size());
        if (at != std::string::npos) out.replace(at, 2, second);
    }
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
