#include "app/shell.h"

#include "app/win_handles.h"
#include "split/engine.h"

namespace brisel {

Shell g_shell;

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::wstring TextOf(Text text) { return Widen(Tr(g_shell.app.language, text)); }

const wchar_t* TemplateName(const wchar_t* japanese, const wchar_t* english) {
    return Japanese() ? japanese : english;
}

int ShowBox(HWND owner, const std::wstring& text, UINT icon) {
    return MessageBoxW(owner, text.c_str(), L"Brisel", MB_OK | icon | MB_SETFOREGROUND);
}

std::wstring WindowText(HWND window) {
    int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(n < 0 ? 0 : n));
    return text;
}

bool EndsInPdf(const std::wstring& path, size_t minLength) {
    size_t n = path.size();
    if (n < minLength || n < 4 || path[n - 4] != L'.') return false;
    auto is = [&](size_t fromEnd, wchar_t upper) {
        wchar_t c = path[n - fromEnd];
        return c == upper || c == upper + 32;
    };
    return is(3, L'P') && is(2, L'D') && is(1, L'F');
}

bool OpensForReading(const std::wstring& path) {
    if (path.empty()) return false;
    return static_cast<bool>(KernelHandle(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr)));
}

std::wstring CurrentFolder() {
    return GrownText([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); }, MAX_PATH);
}

std::wstring EnvironmentValue(const wchar_t* name) {
    return GrownText([name](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name, buffer, size); },
                     MAX_PATH);
}

std::wstring FullPath(const std::wstring& path, const std::wstring& base) {
    // "C:\x", "C:x", "\\server\x" and "\x" do not depend on the base folder.
    bool absolute = (path.size() >= 2 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
    std::wstring joined = absolute || base.empty() ? path : base + (base.back() == L'\\' ? L"" : L"\\") + path;
    std::wstring full = FullPathName(joined);
    return full.empty() ? joined : full;
}

std::wstring ResultText(int result, bool range, bool remembered, const std::string& detailText,
                        const std::string& noteText, UINT& icon) {
    // The cause, when the job knows it, goes on a line of its own under the
    // message.
    const std::wstring detail = detailText.empty() ? L"" : L"\n" + Widen(detailText);
    const std::wstring note = noteText.empty() ? L"" : L"\n" + Widen(noteText);
    icon = MB_ICONERROR;
    switch (result) {
        case kResultDone:
            icon = 0;
            return TextOf(remembered ? Text::DoneRememberedPassword : Text::Done) + note;
        case kResultIncomplete:
            // Instead of "Done": which pages lack parts of the damaged input.
            icon = MB_ICONWARNING;
            return (detail.empty() ? TextOf(Text::Done) : detail.substr(1)) + note;
        case kResultAlreadyTold:
            return L"";
        case kResultOnePage:
            return TextOf(Text::OnePage);
        case kResultCannotCreate:
            return TextOf(Text::CantCreate) + detail;
        case kResultBreak:
            icon = MB_ICONINFORMATION;
            return TextOf(Text::Break);
        case kResultBadPageRange:
            if (range) return TextOf(Text::BadPageInput);
            [[fallthrough]];
        default:
            return TextOf(Text::Failed) + detail;
    }
}

void ShowResultMessage(HWND owner, int result, bool range, bool remembered, const std::string& detail,
                       const std::string& note) {
    UINT icon = 0;
    const std::wstring text = ResultText(result, range, remembered, detail, note, icon);
    if (!text.empty()) ShowBox(owner, text, icon);
}

void CentreOnDesktop(HWND window) {
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    int left = (desktop.right - (rect.right - rect.left)) / 2;
    int top = (desktop.bottom - (rect.bottom - rect.top)) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
}

}  // namespace brisel
