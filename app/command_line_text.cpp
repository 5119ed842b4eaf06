#include "app/command_line_text.h"

namespace brisel {

namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

std::wstring ArgumentsAfterProgram(const std::wstring& line) {
    size_t i = 0;
    if (i < line.size() && line[i] == L'"') {
        size_t close = line.find(L'"', 1);
        i = close == std::wstring::npos ? line.size() : close + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
    }
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    return line.substr(i);
}

bool ApplyLanguageSwitch(std::wstring& line, Language& language) {
    if (line.size() < 3 || line[0] != L'/') return false;
    wchar_t a = Lower(line[1]), b = Lower(line[2]);
    if (a == L'u' && b == L's') language = Language::English;
    else if (a == L'j' && b == L'p') language = Language::Japanese;
    else return false;
    size_t from = 3;
    while (from < line.size() && line[from] == L' ') ++from;
    line.erase(0, from);
    return true;
}

CommandLinePath ReadCommandLinePath(const std::wstring& line) {
    CommandLinePath result;
    if (!line.empty() && line[0] == L'"') {
        size_t close = line.find(L'"', 1);
        if (close == std::wstring::npos) {
            result.path = line.substr(1);
            result.more = true;
        } else {
            result.path = line.substr(1, close - 1);
            result.more = close + 1 != line.size();
        }
    } else {
        size_t space = line.find(L' ');
        result.path = line.substr(0, space);
        result.more = space != std::wstring::npos;
    }
    return result;
}

OptionFileText SplitOptionFile(const std::string& bytes) {
    OptionFileText out;
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
    out.utf8 = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (out.utf8) text.erase(0, 3);
    size_t firstEnd = text.find('\n');
    out.optionLine = text.substr(0, firstEnd);
    if (firstEnd == std::string::npos) return out;
    out.inputPath = text.substr(firstEnd + 1);
    size_t lastFeed = out.inputPath.rfind('\n');
    if (lastFeed != std::string::npos) out.inputPath.resize(lastFeed);
    return out;
}

bool NamesPdf(const std::wstring& path) {
    size_t n = path.size();
    return n > 4 && path[n - 4] == L'.' && Lower(path[n - 3]) == L'p' && Lower(path[n - 2]) == L'd' &&
           Lower(path[n - 1]) == L'f';
}

}  // namespace brisel
