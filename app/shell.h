// The state of the Windows program that outlives a window, and the helpers
// every window of it uses. Texts are UTF-16 inside the program; the engine
// receives UTF-8.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "split/engine.h"

namespace brisel {

// Which control gets the focus when the main window is activated.
enum FocusPosition { kFocusPath = 0, kFocusRef, kFocusSplitAll, kFocusSplitRange, kFocusExit, kControlCount };

// The choices of the parts dialog, kept in Brisel.ini between runs.
enum class PartChoice { Every = 0, AtBookmarks = 1, Ranges = 2, BySize = 3 };
struct PartSettings {
    PartChoice mode = PartChoice::Every;
    int32_t every = 10;
    int32_t level = 1;
    std::string ranges;  // as the command line's --parts takes it
    int32_t maxMegabytes = 10;
};

// What outlives a window of the program. The main window's own state lives
// with the window (main_window.h).
struct Shell {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND otherInstance = nullptr;  // main window of a copy that was running at start
    std::wstring commandLine;      // the command line, after the language switch
    std::wstring inputPath;        // the path a command works on
    std::wstring startFolder;      // the program's folder: help files
    std::wstring launchFolder;     // the current folder the program was started in
    // The settings file's Position value (left and top of the main window).
    std::string position;
    // Settings, the typed password, the page-count cache, the language.
    AppState app;
    PartSettings parts;
};

extern Shell g_shell;

inline bool Japanese() { return g_shell.app.language == Language::Japanese; }

std::wstring Widen(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// A text of the engine's table in the interface language.
std::wstring TextOf(Text text);
// English or Japanese, by the interface language.
inline const wchar_t* Pick(const wchar_t* english, const wchar_t* japanese) {
    return Japanese() ? japanese : english;
}

// A dialog template name: the Japanese name, or the English one ending in E.
const wchar_t* TemplateName(const wchar_t* japanese, const wchar_t* english);

// Every message box of the program: caption "Brisel", brought to the front.
int ShowBox(HWND owner, const std::wstring& text, UINT icon);

std::wstring WindowText(HWND window);

// Whether the text has at least minLength characters, a "." fourth from the
// end and "pdf" in any letter case after it.
bool EndsInPdf(const std::wstring& path, size_t minLength);

bool OpensForReading(const std::wstring& path);

// The value of an environment variable, empty when it is not set.
std::wstring EnvironmentValue(const wchar_t* name);

// The current folder, however long.
std::wstring CurrentFolder();

// The full name of a path; a relative one is taken from the base folder.
std::wstring FullPath(const std::wstring& path, const std::wstring& base);

// The message that belongs to a job's result, with the detail the job
// knows and its note about renamed page files; empty for 10. A range split
// has its own message for 5; remembered selects the remembered-password form
// of "Done". icon receives the box's icon.
std::wstring ResultText(int result, bool range, bool remembered, const std::string& detail, const std::string& note,
                        UINT& icon);

// Shows ResultText in a box, when there is one.
void ShowResultMessage(HWND owner, int result, bool range, bool remembered, const std::string& detail = {},
                       const std::string& note = {});

// Centres a window on the desktop and shows it.
void CentreOnDesktop(HWND window);

}  // namespace brisel
