// What a start of the program does with its command line, decided while the
// main window is created: a normal start (a path goes into the path field),
// a hand-over to a running copy, the settings dialog alone, a batch run for
// the companion tool, or a refused automatic start.
#include "app/command_line.h"

#include <cstdio>
#include <cwchar>

#include "app/command_line_text.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/win_handles.h"
#include "split/engine.h"
#include "resources/ids.h"

namespace brisel {

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// Reads the file path of a normal start or a hand-over, with the messages
// for a name that is no PDF, for more than one argument and for a file that
// cannot be opened. true with the full path (last component as the file
// system stores it) when the file opens.
bool PathFromCommandLine(HWND window, std::wstring& fullPath) {
    CommandLinePath read = ReadCommandLinePath(g_shell.commandLine);
    if (!NamesPdf(read.path)) {
        ShowBox(window, TextOf(Text::NotPdfFile), MB_ICONERROR);
        return false;
    }
    if (read.more)
        ShowBox(window, Pick(L"Only One PDF File is Available", L"一度に処理できるファイルは一つです"),
                MB_ICONINFORMATION);
    // Relative to the folder the program was started in, not to its own
    // folder, which is the current folder by now.
    std::wstring full = FullPath(read.path, g_shell.launchFolder);
    WIN32_FIND_DATAW found;
    if (FindHandle(FindFirstFileW(ExtendedPath(full).c_str(), &found))) {
        size_t slash = full.find_last_of(L"\\/");
        full = full.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + found.cFileName;
    }
    if (!OpensForReading(full)) {
        ShowFileNotFound(window, full);
        return false;
    }
    fullPath = full;
    return true;
}

// The option file's bytes as text: UTF-8 after a byte-order mark, else the
// ANSI code page in which the companion tool writes it.
std::wstring DecodeOptionText(const std::string& bytes, bool utf8) {
    if (bytes.empty()) return {};
    UINT page = utf8 ? CP_UTF8 : CP_ACP;
    int n = MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return wide;
}

void BatchRun(HWND window) {
    const std::wstring& line = g_shell.commandLine;
    // Without TMP there is no folder for the option file: the run ends as
    // when the file is missing.
    std::wstring optionPath = EnvironmentValue(L"TMP");
    size_t space = line.rfind(L' ');
    if (optionPath.empty() || space == std::wstring::npos) return;
    if (optionPath.back() != L'\\') optionPath += L'\\';
    optionPath = ExtendedPath(optionPath + line.substr(space + 1));

    FILE* file = _wfopen(optionPath.c_str(), L"rb");
    if (!file) return;
    std::string bytes;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && bytes.size() < (1u << 20))
        bytes.append(buffer, got);
    std::fclose(file);
    OptionFileText options = SplitOptionFile(bytes);
    g_shell.app.Viewer = ParseOptionLine(options.optionLine);
    std::wstring input = DecodeOptionText(options.inputPath, options.utf8);

    wchar_t mode = line[2];
    HWND caller = nullptr;
    if (mode == L'c') {
        caller = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstoull(line.c_str() + 3, nullptr, 10)));
        if (!caller) mode = L'u';
    }
    if (OpensForReading(input)) {
        g_shell.inputPath = input;
        g_shell.app.RememberedPassword = false;
        SplitOrder order;
        order.files = {input};
        // A window closed during the job closes without a result box.
        auto show = [&](const RunOutcome& outcome) {
            if (!MainOf(window).closeAfterJob) ShowRunOutcome(window, order, outcome);
        };
        if (mode == L'c') {
            RunOutcome outcome = RunProgressWindow(window, order);
            SendMessageW(caller, WM_COMMAND, ID_BATCH_RESULT, static_cast<LPARAM>(outcome.files[0].result));
        } else if (mode == L'p') {
            order.kind = SplitKind::Range;
            if (RunPageRangeDialog(window, input, order.firstPage, order.lastPage) == IDOK)
                show(RunProgressWindow(window, order));
        } else if (mode == L'u') {
            show(RunProgressWindow(window, order));
        }
    } else if (mode == L'c') {
        SendMessageW(caller, WM_COMMAND, ID_BATCH_RESULT, kResultBadPageRange);
    }
    DeleteFileW(optionPath.c_str());
}

}  // namespace

bool DispatchCommandLine(HWND window) {
    const std::wstring& line = g_shell.commandLine;
    if (line == L"-Bs") {
        // The desktop stands in for the main window: the dialog is centred
        // on the screen.
        RunSettingsDialog(nullptr);
        return true;
    }
    if (line.size() > 5 && StartsWith(line, L"-B")) {
        BatchRun(window);
        return true;
    }
    if (StartsWith(line, L"-Ac") || StartsWith(line, L"-Auto ") || StartsWith(line, L"-Autop ")) {
        ShowBox(window, Pick(L"Use Quilvo Ver1.71-", L"Quilvo Ver1.71 以上をご使用ください"), 0);
        return true;
    }
    if (g_shell.otherInstance) {
        SetForegroundWindow(g_shell.otherInstance);
        std::wstring path;
        if (!line.empty() && PathFromCommandLine(window, path))
            SetDlgItemTextW(g_shell.otherInstance, ID_PATH, path.c_str());
        return true;
    }
    std::wstring path;
    if (!line.empty() && PathFromCommandLine(window, path)) SetDlgItemTextW(window, ID_PATH, path.c_str());
    return false;
}

}  // namespace brisel
