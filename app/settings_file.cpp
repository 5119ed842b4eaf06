#include "app/settings_file.h"

#include <cstdio>

#include "app/settings_text.h"

namespace brisel {

namespace {

// A folder is stored in the ANSI code page, as every reader of the file
// expects; one the code page cannot hold is stored in UTF-8 behind the mark.
std::string FolderToFile(const std::string& utf8) {
    std::wstring wide = Widen(utf8);
    if (wide.empty()) return {};
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, &lossy);
    if (n > 0 && !lossy) {
        std::string ansi(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                            nullptr, &lossy);
        if (!lossy) return ansi;
    }
    return std::string(kUtf8Mark) + utf8;
}

std::string FolderFromFile(const std::string& stored) {
    if (stored.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0) return stored.substr(kUtf8Mark.size());
    if (stored.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, stored.data(), static_cast<int>(stored.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, stored.data(), static_cast<int>(stored.size()), wide.data(), n);
    return Utf8(wide);
}

RECT DesktopRect() {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop;
}

}  // namespace

std::wstring ProgramFolder() {
    wchar_t found[MAX_PATH] = {};
    wchar_t* filePart = nullptr;
    DWORD n = SearchPathW(nullptr, L"Brisel.exe", nullptr, MAX_PATH, found, &filePart);
    if (n == 0 || n >= MAX_PATH || !filePart || lstrcmpiW(filePart, L"Brisel.exe") != 0) return {};
    return std::wstring(found, static_cast<size_t>(filePart - found));
}

void LoadSettings() {
    AppState& app = g_shell.app;
    std::string text;
    if (FILE* file = _wfopen(L"Brisel.ini", L"rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < (1u << 20))
            text.append(buffer, got);
        std::fclose(file);
    } else {
        return;
    }
    RECT desktop = DesktopRect();
    StoredSettings s = ParseSettings(text, desktop.right, desktop.bottom);
    g_shell.position = s.Position;
    app.SaveFolder = FolderFromFile(s.SaveFolder);
    app.IsSaveFolder = s.IsSaveFolder;
    app.IsSameDate = s.IsSameDate;
    app.IsWarnLimit = s.IsWarnLimit;
    app.WarnLimitN = s.WarnLimitN;
}

void SaveSettings(HWND mainWindow) {
    std::wstring folder = ProgramFolder();
    if (folder.empty()) return;
    const AppState& app = g_shell.app;
    StoredSettings s;
    s.SaveFolder = FolderToFile(app.SaveFolder);
    s.IsSaveFolder = app.IsSaveFolder;
    s.IsSameDate = app.IsSameDate;
    s.IsWarnLimit = app.IsWarnLimit;
    s.WarnLimitN = app.WarnLimitN;
    RECT window = {}, desktop = DesktopRect();
    GetWindowRect(mainWindow, &window);
    std::string text = FormatSettings(s, window.left, window.top, desktop.right, desktop.bottom);
    FILE* file = _wfopen((folder + L"Brisel.ini").c_str(), L"wb");
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace brisel
