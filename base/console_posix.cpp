#ifndef _WIN32

#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/console.h"

namespace brisel {

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

int TerminalColumns(std::FILE* stream) {
    struct winsize size {};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void WriteText(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool ReadTerminalLine(std::string& line, bool echo) {
    struct termios saved;
    bool restore = false;
    if (!echo && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        struct termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        restore = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    line.clear();
    bool got = false;
    for (;;) {
        int c = std::fgetc(stdin);
        if (c == EOF) break;
        got = true;
        if (c == '\n') break;
        if (c != '\r') line += static_cast<char>(c);
    }
    if (restore) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    return got;
}

Language UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::strncmp(value, "ja", 2) == 0 ? Language::Japanese : Language::English;
    }
    return Language::English;
}

static std::atomic<std::atomic<int>*> g_stopCode{nullptr};

static std::atomic<bool> g_interrupted{false};
static std::atomic<int> g_signal{SIGINT};

bool InterruptRequested() { return g_interrupted.load(); }
int InterruptSignal() { return g_signal.load(); }

static void OnInterrupt(int signal) {
    if (!g_interrupted.exchange(true)) g_signal.store(signal);
    if (std::atomic<int>* stop = g_stopCode.load()) stop->store(kStopRequested);
}

void RouteInterruptTo(std::atomic<int>* stopCode) {
    g_stopCode.store(stopCode);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaction(signal, &action, nullptr);
}

}  // namespace brisel

#endif
