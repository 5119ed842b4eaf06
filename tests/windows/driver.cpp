// Test driver for Brisel.exe under Wine. It reads one command per line on
// stdin (UTF-8, fields separated by tabs) and answers one line on stdout:
// "ok" followed by tab-separated values, or "err" and a reason. Both ways,
// backslash, tab and line breaks inside a field are escaped as \\, \t, \n, \r.
//
// It finds windows by process, class and title, reads and sets control
// texts, clicks buttons, types keys with SendInput, builds WM_DROPFILES
// drops inside the target process, reads the tooltip text, and plays the
// companion tool of the batch interface: its own window receives the
// WM_COMMAND 999 result messages. Every wait has a deadline and keeps this
// thread's messages flowing, so that a synchronous send to our window
// never blocks the program under test.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::wstring>;

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), s.data(), n, nullptr, nullptr);
  return s;
}

// Texts go back on one line: escape the characters that would break it.
std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\\') out += L"\\\\";
    else if (c == L'\n') out += L"\\n";
    else if (c == L'\r') out += L"\\r";
    else if (c == L'\t') out += L"\\t";
    else out += c;
  }
  return out;
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size()) {
      wchar_t c = text[++i];
      out += c == L'n' ? L'\n' : c == L'r' ? L'\r' : c == L't' ? L'\t' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

long long Number(const std::wstring& s) { return _wcstoi64(s.c_str(), nullptr, 0); }
HWND Handle(const std::wstring& s) { return (HWND)(INT_PTR)Number(s); }
std::wstring Decimal(long long v) { return std::to_wstring(v); }
std::wstring HandleText(HWND h) { return Decimal((long long)(INT_PTR)h); }

struct Failure {
  std::wstring why;
};

// Commands arrive on a reader thread so that the main thread can keep
// pumping messages while it waits for the next one.
CRITICAL_SECTION g_lines_lock;
std::deque<std::string> g_lines;
HANDLE g_line_event;
bool g_input_closed = false;

DWORD WINAPI ReadCommands(void*) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) {
    pending.append(buf, got);
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, nl);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending.erase(0, nl + 1);
      EnterCriticalSection(&g_lines_lock);
      g_lines.push_back(line);
      LeaveCriticalSection(&g_lines_lock);
      SetEvent(g_line_event);
    }
  }
  EnterCriticalSection(&g_lines_lock);
  g_input_closed = true;
  LeaveCriticalSection(&g_lines_lock);
  SetEvent(g_line_event);
  return 0;
}

void Reply(const std::wstring& text) {
  std::string line = Narrow(text) + "\n";
  DWORD put = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), (DWORD)line.size(), &put, nullptr);
}

// The companion tool's window and what it has received.
HWND g_own_window;
std::vector<long long> g_results;

LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && wp == 999) {
    g_results.push_back((long long)(int)lp);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void Pump(DWORD ms) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Polls `ready` until it holds or the deadline passes, pumping messages.
bool WaitUntil(DWORD timeout_ms, const std::function<bool()>& ready) {
  ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (ready()) return true;
    if (GetTickCount64() >= end) return false;
    Pump(15);
  }
}

std::map<DWORD, HANDLE> g_processes;

DWORD ProcessOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

std::wstring ClassOf(HWND h) {
  wchar_t name[256] = {};
  GetClassNameW(h, name, 256);
  return name;
}

std::wstring TextOf(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return L"";
  std::wstring text(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, len + 1, (LPARAM)text.data(), SMTO_ABORTIFHUNG, 5000, &got);
  text.resize(got);
  return text;
}

std::vector<HWND> TopWindows(DWORD pid) {
  std::vector<HWND> all;
  EnumWindows([](HWND h, LPARAM p) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, (LPARAM)&all);
  std::vector<HWND> found;
  for (HWND h : all)
    if (IsWindowVisible(h) && (pid == 0 || ProcessOf(h) == pid) && h != g_own_window) found.push_back(h);
  return found;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, [](HWND h, LPARAM p) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, (LPARAM)&all);
  return all;
}

// A message box: a dialog with a static text and push buttons only (an
// icon static besides). A box counts once its text is in place: a box
// being created is visible before its dialog procedure has filled it.
bool IsMessageBox(HWND h) {
  if (ClassOf(h) != L"#32770") return false;
  bool text = false, button = false;
  for (HWND c : Children(h)) {
    std::wstring cls = ClassOf(c);
    if (_wcsicmp(cls.c_str(), L"Static") != 0 && _wcsicmp(cls.c_str(), L"Button") != 0) return false;
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
      LONG type = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
      if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return false;
      button = true;
    }
    if (_wcsicmp(cls.c_str(), L"Static") == 0 && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON &&
        GetWindowLongW(c, GWL_ID) != 4000 && !TextOf(c).empty())
      text = true;
  }
  return text && button;
}

HWND Control(HWND parent, const std::wstring& id) {
  if (id.empty() || id == L"-") return parent;
  HWND c = GetDlgItem(parent, (int)Number(id));
  if (!c) throw Failure{L"no control " + id};
  return c;
}

// The visible text of a message box: the static that is not an icon.
std::wstring MessageText(HWND box) {
  for (HWND c : Children(box))
    if (_wcsicmp(ClassOf(c).c_str(), L"Static") == 0 &&
        (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON && IsWindowVisible(c))
      return TextOf(c);
  return L"";
}

// Icon kind of a message box, from its icon static: "none" when hidden or
// absent, else "icon" (Wine and Windows both keep the control).
std::wstring MessageIcon(HWND box) {
  for (HWND c : Children(box))
    if (_wcsicmp(ClassOf(c).c_str(), L"Static") == 0 &&
        (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      if (!IsWindowVisible(c)) return L"none";
      DWORD_PTR icon = 0;
      SendMessageTimeoutW(c, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
      return icon ? L"icon" : L"none";
    }
  return L"none";
}

WORD KeyCode(const std::wstring& name) {
  static const std::map<std::wstring, WORD> keys = {
      {L"tab", VK_TAB},     {L"return", VK_RETURN}, {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE},
      {L"left", VK_LEFT},   {L"right", VK_RIGHT},   {L"up", VK_UP},         {L"down", VK_DOWN},
      {L"space", VK_SPACE}, {L"f1", VK_F1},         {L"back", VK_BACK},     {L"delete", VK_DELETE},
      {L"home", VK_HOME},   {L"end", VK_END},       {L"ctrl", VK_CONTROL},  {L"shift", VK_SHIFT},
      {L"alt", VK_MENU}};
  auto it = keys.find(name);
  if (it != keys.end()) return it->second;
  if (name.size() == 1 && iswalnum(name[0])) return (WORD)towupper(name[0]);
  throw Failure{L"unknown key " + name};
}

INPUT Key(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = (WORD)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN || vk == VK_HOME || vk == VK_END ||
      vk == VK_DELETE)
    in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  return in;
}

// "ctrl+s tab shift+tab": chords separated by spaces, keys by "+".
void TypeKeys(const std::wstring& chords) {
  size_t pos = 0;
  while (pos < chords.size()) {
    size_t end = chords.find(L' ', pos);
    if (end == std::wstring::npos) end = chords.size();
    std::wstring chord = chords.substr(pos, end - pos);
    pos = end + 1;
    if (chord.empty()) continue;
    std::vector<WORD> codes;
    size_t k = 0;
    while (k <= chord.size()) {
      size_t plus = chord.find(L'+', k);
      if (plus == std::wstring::npos) plus = chord.size();
      codes.push_back(KeyCode(chord.substr(k, plus - k)));
      k = plus + 1;
    }
    std::vector<INPUT> inputs;
    for (WORD c : codes) inputs.push_back(Key(c, false));
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) inputs.push_back(Key(*it, true));
    if (SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)) != inputs.size())
      throw Failure{L"SendInput failed"};
  }
}

// Brings a window to the foreground and waits until it is there.
void Foreground(HWND h, DWORD timeout) {
  if (GetForegroundWindow() == h) return;
  if (!WaitUntil(timeout, [&] {
        if (GetForegroundWindow() != h) SetForegroundWindow(h);
        return GetForegroundWindow() == h;
      }))
    throw Failure{L"window does not come to the foreground"};
}

// Copies `bytes` into fresh memory of the process that owns `h`.
void* RemoteCopy(HANDLE process, const void* bytes, size_t size) {
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) throw Failure{L"VirtualAllocEx failed"};
  SIZE_T put = 0;
  if (!WriteProcessMemory(process, remote, bytes, size, &put) || put != size)
    throw Failure{L"WriteProcessMemory failed"};
  return remote;
}

HANDLE OpenOwner(HWND h) {
  HANDLE p = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                         FALSE, ProcessOf(h));
  if (!p) throw Failure{L"cannot open the window's process"};
  return p;
}

// Drops files on a window the way the shell does: a DROPFILES block with
// wide names, made inside the target process, whose address is the HDROP.
void Drop(HWND target, const Args& files, POINT at) {
  std::vector<BYTE> block(sizeof(DROPFILES));
  DROPFILES df = {};
  df.pFiles = sizeof(DROPFILES);
  df.pt = at;
  df.fNC = FALSE;
  df.fWide = TRUE;
  memcpy(block.data(), &df, sizeof df);
  for (const std::wstring& f : files) {
    const BYTE* p = reinterpret_cast<const BYTE*>(f.c_str());
    block.insert(block.end(), p, p + (f.size() + 1) * sizeof(wchar_t));
  }
  block.insert(block.end(), sizeof(wchar_t), 0);
  HANDLE process = OpenOwner(target);
  void* remote = RemoteCopy(process, block.data(), block.size());
  CloseHandle(process);
  if (!PostMessageW(target, WM_DROPFILES, (WPARAM)remote, 0)) throw Failure{L"PostMessage WM_DROPFILES failed"};
}

// The text of the tooltip tool that belongs to control `tool` of `owner`,
// read through TTM_GETTEXTW with a record placed in the owner's process.
std::wstring TooltipText(HWND owner, HWND tool) {
  HWND tip = nullptr;
  DWORD pid = ProcessOf(owner);
  std::vector<HWND> all;
  EnumWindows([](HWND h, LPARAM p) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, (LPARAM)&all);
  for (HWND h : all)
    if (ProcessOf(h) == pid && ClassOf(h) == TOOLTIPS_CLASSW) tip = h;
  if (!tip) throw Failure{L"no tooltip window"};
  HANDLE process = OpenOwner(owner);
  const size_t chars = 1024;
  std::vector<BYTE> zero(chars * sizeof(wchar_t), 0);
  wchar_t* remote_text = (wchar_t*)RemoteCopy(process, zero.data(), zero.size());
  // TTTOOLINFOW without the trailing lpReserved member: the version 5 size.
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = owner;
  info.uId = (UINT_PTR)tool;
  info.lpszText = remote_text;
  void* remote_info = RemoteCopy(process, &info, sizeof info);
  DWORD_PTR r = 0;
  SendMessageTimeoutW(tip, TTM_GETTEXTW, chars, (LPARAM)remote_info, SMTO_ABORTIFHUNG, 5000, &r);
  std::vector<wchar_t> text(chars, 0);
  SIZE_T got = 0;
  ReadProcessMemory(process, remote_text, text.data(), chars * sizeof(wchar_t), &got);
  TTTOOLINFOW back = {};
  ReadProcessMemory(process, remote_info, &back, sizeof back, &got);
  VirtualFreeEx(process, remote_text, 0, MEM_RELEASE);
  VirtualFreeEx(process, remote_info, 0, MEM_RELEASE);
  CloseHandle(process);
  text[chars - 1] = 0;
  return text.data();
}

std::wstring Describe(HWND c) {
  RECT r = {};
  GetWindowRect(c, &r);
  return Decimal(GetWindowLongW(c, GWL_ID) & 0xffff) + L"|" + ClassOf(c) + L"|" + Escape(TextOf(c)) + L"|" +
         Decimal(IsWindowVisible(c) ? 1 : 0) + L"|" + Decimal(IsWindowEnabled(c) ? 1 : 0) + L"|" +
         Decimal(r.left) + L"," + Decimal(r.top) + L"," + Decimal(r.right) + L"," + Decimal(r.bottom) + L"|" +
         Decimal(GetWindowLongW(c, GWL_STYLE));
}

DWORD Timeout(const Args& a, size_t i) { return i < a.size() ? (DWORD)Number(a[i]) : 20000; }

// Runs one command; returns the values of its "ok" answer.
std::wstring Run(const Args& a) {
  const std::wstring& cmd = a[0];
  auto need = [&](size_t n) {
    if (a.size() < n + 1) throw Failure{cmd + L": too few arguments"};
  };
  if (cmd == L"hwnd") return HandleText(g_own_window);
  if (cmd == L"env") {  // env NAME [VALUE]: sets or removes a variable for later starts
    need(1);
    SetEnvironmentVariableW(a[1].c_str(), a.size() > 2 ? a[2].c_str() : nullptr);
    return L"";
  }
  if (cmd == L"start") {  // start EXE CMDLINE [CWD]
    need(2);
    std::wstring line = L"\"" + a[1] + L"\"";
    if (!a[2].empty()) line += L" " + a[2];
    // The child's standard handles are NUL, so that nothing it writes can
    // mix with our answers.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    static HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    const wchar_t* cwd = a.size() > 3 && !a[3].empty() ? a[3].c_str() : nullptr;
    if (!CreateProcessW(a[1].c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd, &si, &pi))
      throw Failure{L"CreateProcess failed: " + Decimal(GetLastError())};
    CloseHandle(pi.hThread);
    g_processes[pi.dwProcessId] = pi.hProcess;
    return Decimal(pi.dwProcessId);
  }
  if (cmd == L"wait") {  // wait PID [TIMEOUT] -> exit code
    need(1);
    auto it = g_processes.find((DWORD)Number(a[1]));
    if (it == g_processes.end()) throw Failure{L"unknown process"};
    HANDLE p = it->second;
    if (!WaitUntil(Timeout(a, 2), [&] { return WaitForSingleObject(p, 0) == WAIT_OBJECT_0; }))
      throw Failure{L"process still runs"};
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    return Decimal(code);
  }
  if (cmd == L"watch") {  // watch PID [TIMEOUT] -> exit code, then the text of every message box
    need(1);               // shown meanwhile (each is answered with its first button)
    auto it = g_processes.find((DWORD)Number(a[1]));
    if (it == g_processes.end()) throw Failure{L"unknown process"};
    HANDLE p = it->second;
    std::wstring seen;
    std::vector<HWND> answered;
    if (!WaitUntil(Timeout(a, 2), [&] {
          for (HWND h : TopWindows(it->first))
            if (IsMessageBox(h) && std::find(answered.begin(), answered.end(), h) == answered.end()) {
              answered.push_back(h);
              seen += L"\t" + Escape(MessageText(h));
              PostMessageW(h, WM_COMMAND, IDOK, 0);
            }
          return WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
        }))
      throw Failure{L"process still runs"};
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    return Decimal(code) + seen;
  }
  if (cmd == L"running") {  // running PID -> 1 or 0
    need(1);
    auto it = g_processes.find((DWORD)Number(a[1]));
    return it != g_processes.end() && WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT ? L"1" : L"0";
  }
  if (cmd == L"kill") {
    need(1);
    auto it = g_processes.find((DWORD)Number(a[1]));
    if (it != g_processes.end()) {
      TerminateProcess(it->second, 99);
      WaitForSingleObject(it->second, 10000);
    }
    return L"";
  }
  if (cmd == L"stopall") {  // ends every started process that still runs -> their ids
    std::wstring out;
    for (auto& p : g_processes)
      if (WaitForSingleObject(p.second, 0) == WAIT_TIMEOUT) {
        TerminateProcess(p.second, 99);
        WaitForSingleObject(p.second, 10000);
        out += (out.empty() ? L"" : L"\t") + Decimal(p.first);
      }
    return out;
  }
  if (cmd == L"results") {  // the WM_COMMAND 999 results received so far, then forgets them
    std::wstring out;
    for (long long r : g_results) out += (out.empty() ? L"" : L"\t") + Decimal(r);
    g_results.clear();
    return out;
  }
  if (cmd == L"window") {  // window PID CLASS TITLE [TIMEOUT] -> hwnd of a visible top-level window
    need(3);
    DWORD pid = (DWORD)Number(a[1]);
    HWND found = nullptr;
    bool ok = WaitUntil(Timeout(a, 4), [&] {
      for (HWND h : TopWindows(pid))
        if ((a[2].empty() || ClassOf(h) == a[2]) && (a[3].empty() || TextOf(h) == a[3])) {
          found = h;
          return true;
        }
      return false;
    });
    if (!ok) {
      std::wstring seen;
      for (HWND h : TopWindows(pid)) seen += L" [" + ClassOf(h) + L" \"" + TextOf(h) + L"\"]";
      throw Failure{L"no window " + a[2] + L" \"" + a[3] + L"\"; there are:" + seen};
    }
    return HandleText(found);
  }
  if (cmd == L"dialogwith") {  // dialogwith PID ID [TIMEOUT] -> a visible dialog that holds control ID
    need(2);
    DWORD pid = (DWORD)Number(a[1]);
    int id = (int)Number(a[2]);
    HWND found = nullptr;
    if (!WaitUntil(Timeout(a, 3), [&] {
          for (HWND h : TopWindows(pid))
            if (ClassOf(h) == L"#32770" && GetDlgItem(h, id)) {
              found = h;
              return true;
            }
          return false;
        }))
      throw Failure{L"no dialog with control " + a[2]};
    return HandleText(found);
  }
  if (cmd == L"windows") {  // windows PID -> class|title|hwnd of every visible top-level window
    need(1);
    std::wstring out;
    for (HWND h : TopWindows((DWORD)Number(a[1])))
      out += (out.empty() ? L"" : L"\t") + ClassOf(h) + L"|" + Escape(TextOf(h)) + L"|" + HandleText(h);
    return out;
  }
  if (cmd == L"gone") {  // gone HWND [TIMEOUT]: waits until the window is destroyed
    need(1);
    HWND h = Handle(a[1]);
    if (!WaitUntil(Timeout(a, 2), [&] { return !IsWindow(h); }))
      throw Failure{L"window still there"};
    return L"";
  }
  if (cmd == L"msgbox") {  // msgbox PID [TIMEOUT] -> hwnd, caption, text, icon, foreground
    need(1);
    DWORD pid = (DWORD)Number(a[1]);
    HWND box = nullptr;
    if (!WaitUntil(Timeout(a, 2), [&] {
          for (HWND h : TopWindows(pid))
            if (IsMessageBox(h)) {
              box = h;
              return true;
            }
          return false;
        }))
      throw Failure{L"no message box"};
    // A box that is brought to the front gets there at once; give it a
    // moment to settle before judging.
    bool front = WaitUntil(3000, [&] { return GetForegroundWindow() == box; });
    return HandleText(box) + L"\t" + Escape(TextOf(box)) + L"\t" + Escape(MessageText(box)) + L"\t" +
           MessageIcon(box) + L"\t" + (front ? L"1" : L"0");
  }
  if (cmd == L"boxes") {  // boxes PID -> how many message boxes the process shows now
    need(1);
    int n = 0;
    for (HWND h : TopWindows((DWORD)Number(a[1])))
      if (IsMessageBox(h)) ++n;
    return Decimal(n);
  }
  if (cmd == L"text") {  // text HWND [ID]
    need(1);
    return Escape(TextOf(Control(Handle(a[1]), a.size() > 2 ? a[2] : L"")));
  }
  if (cmd == L"settext") {  // settext HWND ID TEXT
    need(3);
    const std::wstring& text = a[3];
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(Control(Handle(a[1]), a[2]), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG,
                             10000, &r))
      throw Failure{L"WM_SETTEXT timed out"};
    return L"";
  }
  if (cmd == L"click") {  // click HWND ID: a posted BM_CLICK, as a mouse click on the button
    need(2);
    PostMessageW(Control(Handle(a[1]), a[2]), BM_CLICK, 0, 0);
    return L"";
  }
  if (cmd == L"command") {  // command HWND ID: a posted WM_COMMAND as from a menu item
    need(2);
    PostMessageW(Handle(a[1]), WM_COMMAND, (WPARAM)Number(a[2]), a.size() > 3 ? (LPARAM)Number(a[3]) : 0);
    return L"";
  }
  if (cmd == L"close") {
    need(1);
    PostMessageW(Handle(a[1]), WM_CLOSE, 0, 0);
    return L"";
  }
  if (cmd == L"endsession") {  // endsession HWND: the log-off messages, as Windows sends them -> query answer
    need(1);
    DWORD_PTR query = 0, done = 0;
    if (!SendMessageTimeoutW(Handle(a[1]), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &query) ||
        !SendMessageTimeoutW(Handle(a[1]), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &done))
      throw Failure{L"the window did not answer"};
    return Decimal(static_cast<long long>(query));
  }
  if (cmd == L"state") {  // state HWND ID -> visible enabled checked
    need(2);
    HWND c = Control(Handle(a[1]), a[2]);
    DWORD_PTR checked = 0;
    SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &checked);
    return Decimal(IsWindowVisible(c) ? 1 : 0) + L"\t" + Decimal(IsWindowEnabled(c) ? 1 : 0) + L"\t" +
           Decimal((long long)checked);
  }
  if (cmd == L"waitstate") {  // waitstate HWND ID ENABLED [TIMEOUT]
    need(3);
    HWND c = Control(Handle(a[1]), a[2]);
    bool want = Number(a[3]) != 0;
    if (!WaitUntil(Timeout(a, 4), [&] { return (IsWindowEnabled(c) != FALSE) == want; }))
      throw Failure{L"enabled state stays " + Decimal(!want)};
    return L"";
  }
  if (cmd == L"sel") {  // sel HWND ID -> selection start and end of an edit control
    need(2);
    DWORD_PTR r = 0;
    SendMessageTimeoutW(Control(Handle(a[1]), a[2]), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return Decimal(LOWORD(r)) + L"\t" + Decimal(HIWORD(r));
  }
  if (cmd == L"rect") {  // rect HWND [ID] -> left top right bottom on the screen
    need(1);
    RECT r = {};
    GetWindowRect(Control(Handle(a[1]), a.size() > 2 ? a[2] : L""), &r);
    return Decimal(r.left) + L"\t" + Decimal(r.top) + L"\t" + Decimal(r.right) + L"\t" + Decimal(r.bottom);
  }
  if (cmd == L"children") {  // children HWND -> id|class|text|visible|enabled|rect|style per control
    need(1);
    std::wstring out;
    for (HWND c : Children(Handle(a[1]))) out += (out.empty() ? L"" : L"\t") + Describe(c);
    return out;
  }
  if (cmd == L"focus") {  // focus HWND -> id of the focused control in the window's thread, and hwnd
    need(1);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(Handle(a[1]), nullptr), &info);
    return Decimal(info.hwndFocus ? GetWindowLongW(info.hwndFocus, GWL_ID) & 0xffff : 0) + L"\t" +
           HandleText(info.hwndFocus) + L"\t" + HandleText(info.hwndActive);
  }
  if (cmd == L"waitfocus") {  // waitfocus HWND ID [TIMEOUT]
    need(2);
    HWND want = Control(Handle(a[1]), a[2]);
    DWORD thread = GetWindowThreadProcessId(Handle(a[1]), nullptr);
    HWND seen = nullptr;
    if (!WaitUntil(Timeout(a, 3), [&] {
          GUITHREADINFO info = {};
    info.cbSize = sizeof info;
          GetGUIThreadInfo(thread, &info);
          seen = info.hwndFocus;
          return seen == want;
        }))
      throw Failure{L"focus is on control " + Decimal(seen ? GetWindowLongW(seen, GWL_ID) & 0xffff : 0)};
    return L"";
  }
  // whole HWND -> every visible control that starts outside the client area
  // or overlaps another. (Texts cannot be measured from here: under Wine a
  // font handle of another process means nothing in this one.)
  if (cmd == L"whole") {
    need(1);
    HWND w = Handle(a[1]);
    RECT client = {};
    GetClientRect(w, &client);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::vector<std::pair<HWND, RECT>> shown;
    std::wstring out;
    auto report = [&](HWND c, const wchar_t* why) {
      out += (out.empty() ? L"" : L"\t") + Decimal(GetWindowLongW(c, GWL_ID) & 0xffff) + L" " + why;
    };
    for (HWND c : Children(w)) {
      if (!IsWindowVisible(c) || GetParent(c) != w) continue;
      RECT r = {}, both = {};
      GetWindowRect(c, &r);
      if (r.left < client.left || r.top < client.top || r.left >= client.right || r.top >= client.bottom)
        report(c, L"outside");
      // A group box frames the controls inside it.
      if (ClassOf(c) == L"Button" && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) continue;
      // Neighbours may touch or overlap a little by design (two check
      // boxes of 18 units 15 apart); a quarter of the smaller one is not.
      auto area = [](const RECT& x) { return (long long)(x.right - x.left) * (x.bottom - x.top); };
      for (auto& [other, o] : shown)
        if (IntersectRect(&both, &r, &o) && 4 * area(both) > std::min(area(r), area(o))) report(c, L"overlaps");
      shown.emplace_back(c, r);
    }
    return out;
  }
  if (cmd == L"ping") {  // ping HWND [TIMEOUT]: a sent message the window's thread must answer -> milliseconds
    need(1);
    DWORD_PTR r = 0;
    ULONGLONG start = GetTickCount64();
    if (!SendMessageTimeoutW(Handle(a[1]), WM_NULL, 0, 0, SMTO_NORMAL, a.size() > 2 ? (UINT)Number(a[2]) : 1000, &r))
      throw Failure{L"the window did not answer in time"};
    return Decimal(static_cast<long long>(GetTickCount64() - start));
  }
  if (cmd == L"dpi") {  // dpi HWND -> the DPI the window is drawn at
    need(1);
    return Decimal(GetDpiForWindow(Handle(a[1])));
  }
  if (cmd == L"paint") {  // paint HWND: has the window and its children repainted now
    need(1);
    HWND h = Handle(a[1]);
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR r = 0;
    SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return L"";
  }
  if (cmd == L"foreground") return HandleText(GetForegroundWindow());
  if (cmd == L"decoy") {  // a new visible window of ours, brought to the foreground -> its hwnd
    HWND decoy = CreateWindowExW(0, L"BriselTestCompanion", L"decoy", WS_POPUP | WS_BORDER, 600, 500, 200,
                                        80, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(decoy, SW_SHOW);
    Foreground(decoy, Timeout(a, 1));
    return HandleText(decoy);
  }
  if (cmd == L"front") {  // front HWND: brings it to the foreground
    need(1);
    Foreground(Handle(a[1]), Timeout(a, 2));
    return L"";
  }
  if (cmd == L"keys") {  // keys HWND SPEC: types into the foreground window, which must be HWND
    need(2);
    Foreground(Handle(a[1]), 10000);
    TypeKeys(a[2]);
    return L"";
  }
  if (cmd == L"mouse") {  // mouse X Y: moves the pointer there (screen pixels)
    need(2);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(Number(a[1]) * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = (LONG)(Number(a[2]) * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (SendInput(1, &in, sizeof in) != 1) throw Failure{L"SendInput failed"};
    return L"";
  }
  if (cmd == L"drop") {  // drop HWND FILE...
    need(2);
    Drop(Handle(a[1]), Args(a.begin() + 2, a.end()), POINT{40, 40});
    return L"";
  }
  if (cmd == L"tooltip") {  // tooltip HWND ID -> the tool text of control ID of window HWND
    need(2);
    return Escape(TooltipText(Handle(a[1]), Control(Handle(a[1]), a[2])));
  }
  if (cmd == L"metrics") {  // system metrics the window placement depends on
    RECT desk = {};
    GetWindowRect(GetDesktopWindow(), &desk);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    APPBARDATA bar = {};
    bar.cbSize = sizeof bar;
    UINT_PTR has_bar = SHAppBarMessage(ABM_GETTASKBARPOS, &bar);
    return Decimal(desk.right) + L"\t" + Decimal(desk.bottom) + L"\t" + Decimal(GetSystemMetrics(SM_CYSIZE)) +
           L"\t" + Decimal(has_bar) + L"\t" + Decimal(bar.rc.left) + L"\t" + Decimal(bar.rc.top) + L"\t" +
           Decimal(bar.rc.right) + L"\t" + Decimal(bar.rc.bottom) + L"\t" + Decimal(GetUserDefaultLangID()) +
           L"\t" + Decimal(GetACP()) + L"\t" + Decimal(GetDpiForSystem());
  }
  if (cmd == L"shortname") {  // shortname PATH -> its 8.3 name
    need(1);
    wchar_t out[MAX_PATH] = {};
    if (!GetShortPathNameW(a[1].c_str(), out, MAX_PATH)) throw Failure{L"GetShortPathName failed"};
    return Escape(out);
  }
  throw Failure{L"unknown command " + cmd};
}

Args Split(const std::wstring& line) {
  Args a;
  size_t pos = 0;
  for (;;) {
    size_t tab = line.find(L'\t', pos);
    if (tab == std::wstring::npos) {
      a.push_back(Unescape(line.substr(pos)));
      return a;
    }
    a.push_back(Unescape(line.substr(pos, tab - pos)));
    pos = tab + 1;
  }
}

}  // namespace

int main() {
  // Rectangles in the pixels of the screen, whatever DPI the program runs at.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  InitializeCriticalSection(&g_lines_lock);
  g_line_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = OwnWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BriselTestCompanion";
  RegisterClassW(&wc);
  // A message-only window: it receives the result messages and nothing
  // that is broadcast to top-level windows.
  g_own_window = CreateWindowExW(0, wc.lpszClassName, L"companion", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
  CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr);
  Reply(L"ok\tready");
  for (;;) {
    std::string line;
    bool have = false, closed = false;
    EnterCriticalSection(&g_lines_lock);
    if (!g_lines.empty()) {
      line = g_lines.front();
      g_lines.pop_front();
      have = true;
    }
    closed = g_input_closed;
    LeaveCriticalSection(&g_lines_lock);
    if (!have) {
      if (closed) break;
      MsgWaitForMultipleObjects(1, &g_line_event, FALSE, 100, QS_ALLINPUT);
      Pump(0);
      continue;
    }
    Args a = Split(Widen(line));
    if (a.empty() || a[0].empty()) continue;
    if (a[0] == L"quit") break;
    try {
      std::wstring out = Run(a);
      Reply(out.empty() ? L"ok" : L"ok\t" + out);
    } catch (const Failure& f) {
      Reply(L"err\t" + Escape(f.why));
    }
  }
  // The reader thread may still sit in ReadFile: leave without running
  // static destructors under it.
  fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
