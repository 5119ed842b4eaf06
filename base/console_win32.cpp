#ifdef _WIN32

#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "base/console.h"

namespace brisel {

static HANDLE HandleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

int TerminalColumns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (!GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(n > 0 ? static_cast<size_t>(n) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        arg.resize(arg.size() - 1);
        out.push_back(std::move(arg));
    }
    LocalFree(wide);
    return out;
}

bool IsTerminal(std::FILE* stream) {
    DWORD mode;
    return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

void WriteText(std::FILE* stream, const std::string& text) {
    std::fflush(stream);
    if (IsTerminal(stream)) {
        int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
        DWORD written;
        WriteConsoleW(HandleOf(stream), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

static std::string Utf8Of(const wchar_t* text, int length) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

// A console line read as UTF-16 and handed on as UTF-8, so that a password
// can hold any character, whatever the console's code page.
static bool ReadConsoleLine(HANDLE input, std::string& line) {
    std::wstring wide;
    bool got = false;
    for (;;) {
        wchar_t c;
        DWORD read = 0;
        if (!ReadConsoleW(input, &c, 1, &read, nullptr) || read == 0) break;
        got = true;
        if (c == L'\n') break;
        if (c != L'\r') wide += c;
    }
    line = Utf8Of(wide.data(), static_cast<int>(wide.size()));
    return got;
}

bool ReadTerminalLine(std::string& line, bool echo) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool console = GetConsoleMode(input, &saved) != 0;
    bool restore = !echo && console && SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    line.clear();
    bool got = false;
    if (console) {
        got = ReadConsoleLine(input, line);
        if (restore) {
            SetConsoleMode(input, saved);
            std::fputc('\n', stderr);
        }
        return got;
    }
    for (;;) {
        int c = std::fgetc(stdin);
        if (c == EOF) break;
        got = true;
        if (c == '\n') break;
        if (c != '\r') line += static_cast<char>(c);
    }
    if (restore) {
        SetConsoleMode(input, saved);
        std::fputc('\n', stderr);
    }
    return got;
}

Language UserLanguage() { return GetUserDefaultLangID() == 1041 ? Language::Japanese : Language::English; }

static std::atomic<std::atomic<int>*> g_stopCode{nullptr};

static std::atomic<bool> g_interrupted{false};

bool InterruptRequested() { return g_interrupted.load(); }
int InterruptSignal() { return 2; }

// Every console event asks the job to stop. Closing the console, log-off and
// shut-down end the process as soon as the handler returns: the handler
// waits (within the time Windows allows) until the job has let go of the
// stop code, so that the page files in flight are finished.
static BOOL WINAPI OnConsoleControl(DWORD type) {
    g_interrupted.store(true);
    if (std::atomic<int>* stop = g_stopCode.load()) stop->store(kStopRequested);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        for (int waited = 0; g_stopCode.load() && waited < 4500; waited += 50) Sleep(50);
    }
    return TRUE;
}

void RouteInterruptTo(std::atomic<int>* stopCode) {
    g_stopCode.store(stopCode);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace brisel

#endif
