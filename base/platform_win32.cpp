#ifdef _WIN32

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>

#include "base/platform.h"

namespace brisel {

// Paths are UTF-8; Windows opens them as UTF-16 through the wide
// functions, so that any name the file system holds can be read and written.
static std::wstring Utf16(const std::string& path) {
    if (path.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return wide;
}

std::wstring GrownText(const std::function<unsigned long(wchar_t* buffer, unsigned long size)>& fill,
                       size_t firstSize) {
    // The needed size can change between two calls (another thread moves
    // the current folder or sets the variable): a few tries.
    std::wstring text(firstSize, L'\0');
    for (int tries = 0; tries < 4; ++tries) {
        const DWORD n = fill(text.data(), static_cast<DWORD>(text.size()));
        if (n == 0) return {};
        if (n < text.size()) {
            text.resize(n);
            return text;
        }
        text.resize(n);
    }
    return {};
}

std::wstring FullPathName(const std::wstring& path) {
    return GrownText([&path](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); },
                     path.size() + MAX_PATH);
}

std::wstring ExtendedPath(const std::wstring& path) {
    // 248: CreateDirectoryW leaves room for an 8.3 file name below the
    // folder, so its limit is the lowest of the file functions.
    if (path.size() < 248 || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
    // The prefix turns off the name clean-up ("/" to "\\", "." and ".."), so
    // the full name is made first.
    std::wstring full = FullPathName(path);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return full.empty() ? path : full;
}

static std::wstring WidePath(const std::string& path) { return ExtendedPath(Utf16(path)); }

static HANDLE OpenExisting(const std::string& path, DWORD access, DWORD share) {
    return CreateFileW(WidePath(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

static void Unmap(uint8_t* data, size_t) { UnmapViewOfFile(data); }

static FileFault FaultOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return FileFault::NotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return FileFault::NameTaken;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileFault::NoSpace;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return FileFault::NoPermission;
        case ERROR_WRITE_PROTECT:
            return FileFault::ReadOnly;
        case ERROR_FILENAME_EXCED_RANGE:
            return FileFault::NameTooLong;
        case ERROR_CANT_RESOLVE_FILENAME:
            return FileFault::LinkLoop;
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return FileFault::DeviceError;
        default:
            return FileFault::Other;
    }
}

static bool Report(FileFault* fault, FileFault value) {
    if (fault) *fault = value;
    return value == FileFault::None;
}

// The file is mapped copy-on-write: its pages come from the file cache as
// they are touched, and the few bytes the job edits (blanked annotations)
// are copied, never written back. A 2 GB input needs no 2 GB of heap. The
// view is only made while nobody else may write the file (a writer could cut
// it short under the view); a file another program holds open for writing is
// read into memory instead.
bool ReadWholeFile(const std::string& path, Block& out, FileFault* fault) {
    if (fault) *fault = FileFault::Other;
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Report(fault, FileFault::IsFolder);
    bool exclusive = true;
    HANDLE file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        exclusive = false;
        file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    }
    if (file == INVALID_HANDLE_VALUE) return Report(fault, FaultOf(GetLastError()));
    if (GetFileType(file) != FILE_TYPE_DISK) {
        const DWORD type = GetFileType(file);
        CloseHandle(file);
        return Report(fault, type == FILE_TYPE_PIPE ? FileFault::IsFifo : FileFault::IsDevice);
    }
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
              static_cast<uint64_t>(size.QuadPart) <= static_cast<uint64_t>(SIZE_MAX);
    if (ok && exclusive && size.QuadPart > 0) {
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
        void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0) : nullptr;
        if (mapping) CloseHandle(mapping);
        if (view) {
            CloseHandle(file);
            out.Adopt(static_cast<uint8_t*>(view), static_cast<size_t>(size.QuadPart), Unmap);
            return Report(fault, FileFault::None);
        }
    }
    // An empty file, or one that cannot be mapped: read into memory.
    Block block;
    if (ok) ok = block.Allocate(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < block.size()) {
        DWORD chunk = static_cast<DWORD>(block.size() - done > 0x40000000 ? 0x40000000 : block.size() - done);
        DWORD got = 0;
        if (!ReadFile(file, block.data() + done, chunk, &got, nullptr) || got == 0) ok = false;
        done += got;
    }
    CloseHandle(file);
    if (ok) out = std::move(block);
    // Only a file others may write is read this way: a short read means it
    // was cut short meanwhile.
    return Report(fault, ok ? FileFault::None : exclusive ? FileFault::Other : FileFault::Changed);
}

// A mapped input is opened so that nobody may write it: it cannot change
// under the mapping.
void WatchMappedInputs() {}

uint64_t InputFaultCount() { return 0; }

bool FileOpensForReading(const std::string& path, FileFault* fault) {
    HANDLE file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) return Report(fault, FaultOf(GetLastError()));
    CloseHandle(file);
    return Report(fault, FileFault::None);
}

InputProblem ProbeInput(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
                   ? InputProblem::Missing
               : error == ERROR_ACCESS_DENIED ? InputProblem::NoPermission
                                              : InputProblem::Unreadable;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return InputProblem::Folder;
    HANDLE file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ACCESS_DENIED ? InputProblem::NoPermission : InputProblem::Unreadable;
    CloseHandle(file);
    return InputProblem::None;
}

bool NameTaken(const std::string& path) {
    if (GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    // A file locked by another program still holds its name.
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}

std::string FolderOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

NewFile::~NewFile() { Discard(); }

void NewFile::Discard() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
    if (!temporary_.empty()) DeleteFileW(WidePath(temporary_).c_str());
    temporary_.clear();
}

// Windows cannot make a file without a name: the bytes go to a hidden
// temporary name in the same folder, which MoveFileExW (without
// MOVEFILE_REPLACE_EXISTING) then turns into the page's name.
// Each page file was flushed as it was written (FlushFileBuffers) and got
// its name with a move written through to the disk.
FileFault SyncFolder(const std::string&) { return FileFault::None; }

// Files go by their paths here: the folder is not held open.
FolderHandle::~FolderHandle() = default;
bool FolderHandle::Open(const std::string&) { return false; }
FileFault SyncFolder(const FolderHandle&, const std::string& folder) { return SyncFolder(folder); }
void RemoveFile(const std::string& path, const FolderHandle*) { DeleteFileW(WidePath(path).c_str()); }

FileFault NewFile::Write(const std::string& path, const uint8_t* data, size_t size, bool durable,
                         const FolderHandle* folder) {
    return Write(path, [&](const Put& put) { return put(data, size); }, durable, folder);
}

FileFault NewFile::Write(const std::string& path, const std::function<bool(const Put& put)>& fill, bool durable,
                         const FolderHandle*) {
    Discard();
    durable_ = durable;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 16; ++attempt) {
        uint8_t random[8];
        if (!RandomBytes(random, sizeof random)) return FileFault::Other;
        char name[40];
        std::snprintf(name, sizeof name, "\\~brisel-%02x%02x%02x%02x%02x%02x%02x%02x.tmp", random[0], random[1],
                      random[2], random[3], random[4], random[5], random[6], random[7]);
        temporary_ = FolderOf(path) + name;
        file = CreateFileW(WidePath(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            const DWORD error = GetLastError();
            temporary_.clear();
            return FaultOf(error);
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        temporary_.clear();
        return FileFault::Other;
    }
    DWORD error = 0;
    const bool filled = fill([&](const uint8_t* data, size_t size) {
        size_t done = 0;
        while (!error && done < size) {
            DWORD chunk = static_cast<DWORD>(size - done > 0x40000000 ? 0x40000000 : size - done);
            DWORD put = 0;
            if (!WriteFile(file, data + done, chunk, &put, nullptr) || put == 0) error = GetLastError();
            if (!error && put == 0) error = ERROR_DISK_FULL;
            done += put;
        }
        return error == 0;
    });
    // Stopped between pieces, with no write failed.
    if (!filled && !error) error = ERROR_OPERATION_ABORTED;
    // The file's bytes and size reach the disk before it gets its name.
    if (!error && durable && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && !error) error = GetLastError();
    if (error) {
        Discard();
        return FaultOf(error);
    }
    return FileFault::None;
}

FileFault NewFile::Publish(const std::string& path) {
    if (temporary_.empty()) return FileFault::Other;
    const std::wstring from = WidePath(temporary_);
    // Durable: the new name is on the disk when the move returns.
    if (!MoveFileExW(from.c_str(), WidePath(path).c_str(), durable_ ? MOVEFILE_WRITE_THROUGH : 0))
        return FaultOf(GetLastError());
    // The page file is an ordinary file, not the hidden temporary one.
    SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    temporary_.clear();
    return FileFault::None;
}

FileFault NewFile::Replace(const std::string& path) {
    if (temporary_.empty()) return FileFault::Other;
    const std::wstring to = WidePath(path);
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FileFault::IsFolder;
    if (!MoveFileExW(WidePath(temporary_).c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return FaultOf(GetLastError());
    SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    temporary_.clear();
    return FileFault::None;
}

WriteResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size, FileFault* fault) {
    NewFile file;
    FileFault result = file.Write(path, data, size);
    if (result != FileFault::None) {
        Report(fault, result);
        return WriteResult::WriteFailed;
    }
    result = file.Publish(path);
    Report(fault, result);
    return result == FileFault::None ? WriteResult::Ok : WriteResult::CannotCreate;
}

bool CreateFolders(const std::string& path, FileFault* fault) {
    // Each prefix that ends before a separator, then the whole path. Drive
    // roots ("C:") and the server part of a UNC name already exist or cannot
    // be made, so failures along the way do not count. Paths are UTF-8, whose
    // multi-byte sequences never hold a separator byte.
    bool afterSeparator = true;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const bool separator = c == '\\' || c == '/';
        if (separator && !afterSeparator && path[i - 1] != ':')
            CreateDirectoryW(WidePath(path.substr(0, i)).c_str(), nullptr);
        afterSeparator = separator;
    }
    const std::wstring wide = WidePath(path);
    const DWORD made = CreateDirectoryW(wide.c_str(), nullptr) ? 0 : GetLastError();
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Report(fault, FileFault::None);
    return Report(fault, attributes != INVALID_FILE_ATTRIBUTES ? FileFault::NotAFolder
                         : made != 0 && made != ERROR_ALREADY_EXISTS ? FaultOf(made)
                                                                      : FileFault::NotFound);
}

static int64_t ToInt(const FILETIME& t) {
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}
static FILETIME ToFileTime(int64_t v) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) & 0xffffffffu);
    t.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) >> 32);
    return t;
}

bool GetFileTimes(const std::string& path, FileTimes& times) {
    HANDLE file = OpenExisting(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME c, a, w;
    bool ok = GetFileTime(file, &c, &a, &w);
    CloseHandle(file);
    if (ok) times = {ToInt(c), ToInt(a), ToInt(w)};
    return ok;
}

bool GetFileState(const std::string& path, FileState& state) {
    HANDLE file = OpenExisting(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!ok) return false;
    state.device = info.dwVolumeSerialNumber;
    state.inode = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    state.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    state.modified = ToInt(info.ftLastWriteTime);
    state.changed = 0;
    return true;
}

void RemoveStaleTemporaries(const std::string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WidePath(folder + "\\~brisel-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const int64_t before = ToInt(now) - int64_t{60} * 10000000;  // a minute, in 100 ns
    do {
        const std::wstring name = found.cFileName;
        if (name.size() != 28 || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            continue;
        bool ours = name.compare(24, 4, L".tmp") == 0;
        for (size_t i = 8; i < 24 && ours; ++i)
            ours = (name[i] >= L'0' && name[i] <= L'9') || (name[i] >= L'a' && name[i] <= L'f');
        if (!ours || ToInt(found.ftLastWriteTime) > before) continue;
        DeleteFileW((WidePath(folder + "\\") + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool SetFileTimes(const std::string& path, const FileTimes& times, const FolderHandle*) {
    HANDLE file = OpenExisting(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME c = ToFileTime(times.creation), a = ToFileTime(times.access), w = ToFileTime(times.write);
    bool ok = SetFileTime(file, &c, &a, &w);
    CloseHandle(file);
    return ok;
}

static CalendarTime FromSystemTime(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

CalendarTime UtcNow() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return FromSystemTime(t);
}

CalendarTime LocalNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return FromSystemTime(t);
}

bool RandomBytes(uint8_t* out, size_t size) {
    return BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

size_t PathLength(const std::string& path) { return Utf16(path).size(); }

std::string FileTitle(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SetBytesAside(const uint8_t* data, size_t size) {
    // Unlocking pages that are not locked takes them out of the working set;
    // their bytes stay (a copy-on-write view's edited pages go to the page
    // file). Whole pages inside the range only.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const uintptr_t page = info.dwPageSize;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
    const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + size) / page * page;
    if (to > from) VirtualUnlock(reinterpret_cast<void*>(from), to - from);
}

}  // namespace brisel

#endif
