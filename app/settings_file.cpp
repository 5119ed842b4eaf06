#include "app/settings_file.h"

#include <cstdio>

#include "app/settings_text.h"
#include "app/win_handles.h"
#include "split/engine.h"

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

// The settings file's text, or false when it cannot be opened.
bool ReadSettingsFile(const std::wstring& path, std::string& text) {
    FILE* file = _wfopen(ExtendedPath(path).c_str(), L"rb");
    if (!file) return false;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < (1u << 20)) text.append(buffer, got);
    std::fclose(file);
    return true;
}

bool WriteSettingsFile(const std::wstring& path, const std::string& text) {
    FILE* file = _wfopen(ExtendedPath(path).c_str(), L"wb");
    if (!file) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// Whether the program may write the file: opened for writing, and removed
// again when this test created it.
bool Writable(const std::wstring& path) {
    const std::wstring wide = ExtendedPath(path);
    KernelHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    file.Reset();
    if (created) DeleteFileW(wide.c_str());
    return true;
}

}  // namespace

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    // A cut-off path fills the buffer exactly: grow until it fits, up to the
    // longest path the system has.
    while (path.size() <= 65536) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            size_t slash = path.find_last_of(L'\\');
            return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
        }
        path.resize(path.size() * 2);
    }
    return {};
}

std::wstring ProgramSettingsPath() {
    std::wstring folder = ProgramFolder();
    return folder.empty() ? std::wstring() : folder + L"Brisel.ini";
}

std::wstring UserSettingsPath() {
    std::wstring appData = EnvironmentValue(L"APPDATA");
    if (appData.empty()) return {};
    if (appData.back() != L'\\') appData += L'\\';
    return appData + L"Brisel\\Brisel.ini";
}

void LoadSettings() {
    AppState& app = g_shell.app;
    // The copy in the user's profile stands in for the one beside the
    // program only while the program's folder cannot be written: a portable
    // copy keeps its own settings even after an installed one made a profile
    // copy.
    const std::wstring beside = ProgramSettingsPath(), user = UserSettingsPath();
    std::string text;
    bool useUser = !user.empty() && GetFileAttributesW(ExtendedPath(user).c_str()) != INVALID_FILE_ATTRIBUTES &&
                   (beside.empty() || !Writable(beside));
    if (!ReadSettingsFile(useUser ? user : beside, text)) return;
    RECT desktop = DesktopRect();
    StoredSettings s = ParseSettings(text, desktop.right, desktop.bottom);
    g_shell.position = s.Position;
    app.SaveFolder = FolderFromFile(s.SaveFolder);
    app.IsSaveFolder = s.IsSaveFolder;
    app.IsSameDate = s.IsSameDate;
    app.IsWarnLimit = s.IsWarnLimit;
    app.WarnLimitN = s.WarnLimitN;
    PartSettings& parts = g_shell.parts;
    parts.mode = static_cast<PartChoice>(s.PartMode);
    parts.every = s.PartEvery;
    parts.level = s.PartLevel;
    parts.ranges = s.PartRanges;
    parts.maxMegabytes = s.PartMaxMB;
}

void SaveSettings(HWND mainWindow) {
    const AppState& app = g_shell.app;
    StoredSettings s;
    s.SaveFolder = FolderToFile(app.SaveFolder);
    s.IsSaveFolder = app.IsSaveFolder;
    s.IsSameDate = app.IsSameDate;
    s.IsWarnLimit = app.IsWarnLimit;
    s.WarnLimitN = app.WarnLimitN;
    const PartSettings& parts = g_shell.parts;
    s.PartMode = static_cast<int32_t>(parts.mode);
    s.PartEvery = parts.every;
    s.PartLevel = parts.level;
    s.PartRanges = parts.ranges;
    s.PartMaxMB = parts.maxMegabytes;
    RECT window = {}, desktop = DesktopRect();
    GetWindowRect(mainWindow, &window);
    std::string text = FormatSettings(s, window.left, window.top, desktop.right, desktop.bottom);
    const std::wstring beside = ProgramSettingsPath();
    if (!beside.empty() && WriteSettingsFile(beside, text)) return;
    // The program's folder cannot be written (Program Files): the user's
    // profile keeps the settings instead.
    const std::wstring user = UserSettingsPath();
    if (user.empty()) return;
    CreateFolders(Utf8(user.substr(0, user.find_last_of(L'\\'))));
    WriteSettingsFile(user, text);
}

}  // namespace brisel
