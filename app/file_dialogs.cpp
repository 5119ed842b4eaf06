// The open-file dialog of the Ref command, the folder browser, and the
// output choices of the page-range and parts dialogs.
#include "app/dialogs.h"
#include "resources/ids.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>

namespace brisel {

bool ChooseInputFiles(HWND owner, std::vector<std::wstring>& files) {
    std::vector<wchar_t> buffer(1 << 16, L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = L"pdf(*.pdf)\0*.pdf\0";
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrDefExt = L"pdf";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    ofn.lpstrTitle = Pick(L"Refer to a file", L"ファイルを参照");
    if (!GetOpenFileNameW(&ofn)) return false;
    // One file: its path. Several: the folder, then each name, each ended
    // by a NUL, the list by two.
    files.clear();
    std::wstring first = buffer.data();
    const wchar_t* name = buffer.data() + first.size() + 1;
    if (!*name) {
        files.push_back(first);
        return true;
    }
    if (!first.empty() && first.back() != L'\\') first += L'\\';
    for (; *name; name += wcslen(name) + 1) files.push_back(first + name);
    return true;
}

namespace {

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    const auto* folder = reinterpret_cast<const std::wstring*>(data);
    if (message == BFFM_INITIALIZED && !folder->empty())
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
    return 0;
}

}  // namespace

bool ChooseFolder(HWND owner, std::wstring& folder) {
    // The display name (not a path) has the size the browser fixes.
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = display;
    info.lpszTitle = Pick(L"Select Folder", L"保存先フォルダの指定");
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&folder);
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return false;
    // The file-system name of any length, allocated by the shell.
    PWSTR path = nullptr;
    bool ok = SUCCEEDED(SHGetNameFromIDList(item, SIGDN_FILESYSPATH, &path)) && path;
    CoTaskMemFree(item);
    if (ok) folder = path;
    CoTaskMemFree(path);
    return ok;
}

void ShowOutputChoices(HWND dialog, const AppState& app) {
    CheckDlgButton(dialog, ID_SAVE_FOLDER, app.IsSaveFolder ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, ID_SAME_DATE, app.IsSameDate ? BST_CHECKED : BST_UNCHECKED);
}

bool KeepOutputChoices(HWND dialog, AppState& app) {
    if (IsDlgButtonChecked(dialog, ID_SAVE_FOLDER) == BST_CHECKED) {
        std::wstring folder = Widen(app.SaveFolder);
        if (!ChooseFolder(dialog, folder)) return false;
        app.SaveFolder = Utf8(folder);
        app.IsSaveFolder = true;
    } else {
        app.IsSaveFolder = false;
    }
    app.IsSameDate = IsDlgButtonChecked(dialog, ID_SAME_DATE) == BST_CHECKED;
    return true;
}

}  // namespace brisel
