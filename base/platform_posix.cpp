#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <cstdio>
#include <ctime>

#include "base/platform.h"

namespace brisel {

static FileFault FaultOf(int error) {
    switch (error) {
        case ENOENT:
            return FileFault::NotFound;
        case ENOTDIR:
            return FileFault::NotAFolder;
        case EEXIST:
            return FileFault::NameTaken;
        case ENOSPC:
        case EDQUOT:
            return FileFault::NoSpace;
        case EACCES:
        case EPERM:
            return FileFault::NoPermission;
        case EROFS:
            return FileFault::ReadOnly;
        case ENAMETOOLONG:
            return FileFault::NameTooLong;
        case ELOOP:
            return FileFault::LinkLoop;
        case EISDIR:
            return FileFault::IsFolder;
        case EIO:
            return FileFault::DeviceError;
        default:
            return FileFault::Other;
    }
}

static bool Report(FileFault* fault, FileFault value) {
    if (fault) *fault = value;
    return value == FileFault::None;
}

static bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

namespace {

// Mapped inputs, so that a bus error inside one (the file was cut short
// under the mapping) can be told from any other.
struct MappedRange {
    std::atomic<uintptr_t> start{0};
    std::atomic<size_t> size{0};
};
MappedRange g_mapped[64];
std::atomic<uint64_t> g_inputFaults{0};
size_t g_pageSize = 4096;
// Set once the front end installed the handler: only then are inputs mapped.
std::atomic<bool> g_watching{false};
struct sigaction g_earlierBusHandler;

// A bus error inside a mapped input: the file lost the bytes under that page.
// A page of zeros takes its place, so that the reader goes on to its next
// checkpoint, and the count tells the job that the input changed. Any other
// bus error ends the program as it would have.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (MappedRange& range : g_mapped) {
        const uintptr_t start = range.start.load();
        if (start == 0 || at < start || at - start >= range.size.load()) continue;
        void* page = reinterpret_cast<void*>(at & ~static_cast<uintptr_t>(g_pageSize - 1));
        if (::mmap(page, g_pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            g_inputFaults.fetch_add(1);
            return;
        }
        break;
    }
    // Not ours: the handler installed before this one takes it, or the
    // default action ends the program when the faulting access runs again.
    const struct sigaction& earlier = g_earlierBusHandler;
    if (earlier.sa_flags & SA_SIGINFO) {
        if (earlier.sa_sigaction) earlier.sa_sigaction(signal, info, context);
        return;
    }
    if (earlier.sa_handler != SIG_DFL && earlier.sa_handler != SIG_IGN) {
        earlier.sa_handler(signal);
        return;
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    ::sigaction(SIGBUS, &action, nullptr);
}

// false when every slot is taken: the input is then read instead.
bool WatchMapping(uint8_t* data, size_t size) {
    for (MappedRange& range : g_mapped) {
        uintptr_t expected = 0;
        if (range.start.compare_exchange_strong(expected, reinterpret_cast<uintptr_t>(data))) {
            range.size.store(size);
            return true;
        }
    }
    return false;
}

void Unmap(uint8_t* data, size_t size) {
    for (MappedRange& range : g_mapped) {
        if (range.start.load() != reinterpret_cast<uintptr_t>(data)) continue;
        range.size.store(0);
        range.start.store(0);
    }
    ::munmap(data, size);
}

}  // namespace

void WatchMappedInputs() {
    if (g_watching.exchange(true)) return;
    g_pageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_earlierBusHandler);
}

uint64_t InputFaultCount() { return g_inputFaults.load(); }

// The file is mapped privately: pages come straight from the page cache
// without a copy (a 1 GB input loads in a quarter of the time a read takes,
// at the same peak memory), and the few bytes the job edits (blanked
// annotations) are copied on write, never written back to the file. A file
// cut short under the mapping is caught (OnBusError) instead of killing
// the program; that needs the process's SIGBUS handler, so files are mapped
// only once the front end asked for it (WatchMappedInputs). What is not
// mapped is read, and refused when it changes while it is read.
bool ReadWholeFile(const std::string& path, Block& out, FileFault* fault) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Report(fault, FaultOf(errno));
    struct stat before;
    if (::fstat(fd, &before) != 0) {
        ::close(fd);
        return Report(fault, FileFault::Other);
    }
    if (!S_ISREG(before.st_mode)) {
        ::close(fd);
        return Report(fault, S_ISFIFO(before.st_mode) ? FileFault::IsFifo
                             : S_ISDIR(before.st_mode) ? FileFault::IsFolder
                             : S_ISCHR(before.st_mode) || S_ISBLK(before.st_mode) ? FileFault::IsDevice
                                                                                    : FileFault::Other);
    }
    if (before.st_size > 0 && g_watching.load()) {
        // Not populated: the kernel reads the pages a job touches as it
        // touches them, so that resident memory follows what the pages need
        // rather than the input's size. Only pages actually edited are
        // copied.
        const size_t size = static_cast<size_t>(before.st_size);
        void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED && !WatchMapping(static_cast<uint8_t*>(mapped), size)) {
            ::munmap(mapped, size);
            mapped = MAP_FAILED;
        }
        if (mapped != MAP_FAILED) {
            ::close(fd);
            out.Adopt(static_cast<uint8_t*>(mapped), size, Unmap);
            return Report(fault, FileFault::None);
        }
    }
    Block block;
    if (before.st_size < 0 || !block.Allocate(static_cast<size_t>(before.st_size))) {
        ::close(fd);
        return Report(fault, FileFault::Other);
    }
    FileFault result = FileFault::None;
    size_t done = 0;
    while (result == FileFault::None && done < block.size()) {
        ssize_t n = ::read(fd, block.data() + done, block.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = FaultOf(errno);
        else if (n == 0) result = FileFault::Changed;  // cut short meanwhile
        else done += static_cast<size_t>(n);
    }
    struct stat after;
    if (result == FileFault::None && (::fstat(fd, &after) != 0 || !SameFile(before, after)))
        result = FileFault::Changed;
    ::close(fd);
    if (result == FileFault::None) out = std::move(block);
    return Report(fault, result);
}

bool FileOpensForReading(const std::string& path, FileFault* fault) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Report(fault, FaultOf(errno));
    ::close(fd);
    return Report(fault, FileFault::None);
}

bool NameTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

namespace {


// Whether a file without a name can be given one through /proc (linkat of
// an O_TMPFILE descriptor needs no privilege that way).
bool ProcFdAvailable() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, int& error) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileFault SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FaultOf(errno);
    int result = 0;
#ifdef __linux__
    // Since Linux 5.8 syncfs also reports a write-back error of the file
    // system met since the folder was opened here, which the writes of the
    // page files, closed without a flush, could not report.
    result = ::syncfs(fd);
#endif
    if (result == 0) result = ::fsync(fd);
    // Some file systems cannot flush a folder; their files were flushed.
    const int error = result == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
    ::close(fd);
    return error == 0 ? FileFault::None : FaultOf(error);
}

namespace {

// Whether name is ".brisel-" with 16 hexadecimal digits and ".tmp".
bool IsTemporaryName(const char* name) {
    if (std::strlen(name) != 28 || std::strncmp(name, ".brisel-", 8) != 0 || std::strcmp(name + 24, ".tmp") != 0)
        return false;
    for (int i = 8; i < 24; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])) || std::isupper(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

}  // namespace

void RemoveStaleTemporaries(const std::string& folder) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    const time_t before = ::time(nullptr) - 60;
    while (const struct dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name)) continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_mtime > before) continue;
        ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

InputProblem ProbeInput(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? InputProblem::Missing
               : errno == EACCES                   ? InputProblem::NoPermission
                                                   : InputProblem::Unreadable;
    if (S_ISDIR(st.st_mode)) return InputProblem::Folder;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == EACCES || errno == EPERM ? InputProblem::NoPermission : InputProblem::Unreadable;
    ::close(fd);
    return InputProblem::None;
}

FolderHandle::~FolderHandle() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool FolderHandle::Open(const std::string& folder) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return handle_ >= 0;
}

namespace {

// Where a file of path lies: in an open folder, by its last component; or
// by its whole path.
int FolderFd(intptr_t folder) { return folder >= 0 ? static_cast<int>(folder) : AT_FDCWD; }
std::string NameIn(intptr_t folder, const std::string& path) {
    if (folder < 0) return path;
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
intptr_t HandleOf(const FolderHandle* folder) { return folder ? folder->handle() : -1; }

}  // namespace

FileFault SyncFolder(const FolderHandle& handle, const std::string& folder) {
    if (handle.handle() < 0) return SyncFolder(folder);
    int result = 0;
#ifdef __linux__
    result = ::syncfs(static_cast<int>(handle.handle()));
#endif
    if (result == 0) result = ::fsync(static_cast<int>(handle.handle()));
    const int error = result == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
    return error == 0 ? FileFault::None : FaultOf(error);
}

void RemoveFile(const std::string& path, const FolderHandle* folder) {
    const intptr_t at = HandleOf(folder);
    ::unlinkat(FolderFd(at), NameIn(at, path).c_str(), 0);
}

NewFile::~NewFile() { Discard(); }

void NewFile::Discard() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
    if (!temporary_.empty()) ::unlinkat(FolderFd(folder_), temporary_.c_str(), 0);
    temporary_.clear();
}

FileFault NewFile::Write(const std::string& path, const uint8_t* data, size_t size, bool durable,
                         const FolderHandle* folderHandle) {
    return Write(path, [&](const Put& put) { return put(data, size); }, durable, folderHandle);
}

FileFault NewFile::Write(const std::string& path, const std::function<bool(const Put& put)>& fill, bool durable,
                         const FolderHandle* folderHandle) {
    Discard();
    folder_ = HandleOf(folderHandle);
    const int at = FolderFd(folder_);
    const std::string folder = folder_ >= 0 ? std::string(".") : FolderOf(path);
    int fd = -1;
    if (ProcFdAvailable()) {
        fd = ::openat(at, folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        // Other errors (a full disk, a read-only folder) are the folder's own.
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return FaultOf(errno);
    }
    if (fd < 0) {
        // A hidden name of our own that no page file can have.
        for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
            uint8_t random[8];
            if (!RandomBytes(random, sizeof random)) return FileFault::Other;
            char name[40];
            std::snprintf(name, sizeof name, ".brisel-%02x%02x%02x%02x%02x%02x%02x%02x.tmp", random[0], random[1],
                          random[2], random[3], random[4], random[5], random[6], random[7]);
            temporary_ = folder_ >= 0 ? std::string(name) : folder + "/" + name;
            fd = ::openat(at, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) {
                const int error = errno;
                temporary_.clear();
                return FaultOf(error);
            }
        }
        if (fd < 0) {
            temporary_.clear();
            return FileFault::Other;
        }
    }
    handle_ = fd;
    int error = 0;
    bool ok = fill([&](const uint8_t* data, size_t size) { return WriteAll(fd, data, size, error); });
#ifndef __linux__
    // No syncfs here: each file is flushed before it gets its name.
    if (ok && durable && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
#else
    (void)durable;
#endif
    // A named temporary is closed before it is published: some file systems
    // report a failed write only when the file is closed.
    if (!temporary_.empty()) {
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        handle_ = -1;
    }
    if (!ok) {
        Discard();
        // Stopped between pieces, with no write failed.
        return error ? FaultOf(error) : FileFault::Other;
    }
    return FileFault::None;
}

FileFault NewFile::Publish(const std::string& path) {
    if (temporary_.empty()) {
        if (handle_ < 0) return FileFault::Other;
        char link[40];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", static_cast<int>(handle_));
        // linkat never replaces an existing name (nor follows a link that holds it).
        if (::linkat(AT_FDCWD, link, FolderFd(folder_), NameIn(folder_, path).c_str(), AT_SYMLINK_FOLLOW) != 0)
            return FaultOf(errno);
        ::close(static_cast<int>(handle_));
        handle_ = -1;
        return FileFault::None;
    }
    const int at = FolderFd(folder_);
    const std::string name = NameIn(folder_, path);
    if (::linkat(at, temporary_.c_str(), at, name.c_str(), 0) != 0) {
        const int error = errno;
        // File systems without hard links: a rename that refuses to replace.
        if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS) return FaultOf(error);
        if (::renameat2(at, temporary_.c_str(), at, name.c_str(), RENAME_NOREPLACE) != 0) return FaultOf(errno);
    } else {
        ::unlinkat(at, temporary_.c_str(), 0);
    }
    temporary_.clear();
    return FileFault::None;
}

FileFault NewFile::Replace(const std::string& path) {
    const int at = FolderFd(folder_);
    const std::string folder = folder_ >= 0 ? std::string() : FolderOf(path) + "/";
    if (temporary_.empty()) {
        // An unnamed file gets a hidden name first: rename replaces a name in
        // one step, linkat cannot.
        if (handle_ < 0) return FileFault::Other;
        char link[40];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", static_cast<int>(handle_));
        for (int attempt = 0; temporary_.empty() && attempt < 16; ++attempt) {
            uint8_t random[8];
            if (!RandomBytes(random, sizeof random)) return FileFault::Other;
            char name[40];
            std::snprintf(name, sizeof name, ".brisel-%02x%02x%02x%02x%02x%02x%02x%02x.tmp", random[0], random[1],
                          random[2], random[3], random[4], random[5], random[6], random[7]);
            const std::string candidate = folder + name;
            if (::linkat(AT_FDCWD, link, at, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) temporary_ = candidate;
            else if (errno != EEXIST) return FaultOf(errno);
        }
        if (temporary_.empty()) return FileFault::Other;
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    const std::string name = NameIn(folder_, path);
    struct stat st;
    if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) return FileFault::IsFolder;
    if (::renameat(at, temporary_.c_str(), at, name.c_str()) != 0) return FaultOf(errno);
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
    // Each prefix that ends before a separator, then the whole path.
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        if (path[i - 1] == '/') continue;
        if (::mkdir(path.substr(0, i).c_str(), 0777) != 0 && errno != EEXIST) return Report(fault, FaultOf(errno));
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Report(fault, FaultOf(errno));
    return Report(fault, S_ISDIR(st.st_mode) ? FileFault::None : FileFault::NotAFolder);
}

// POSIX has no settable creation time: access and modification times are kept
// in nanoseconds; creation mirrors modification.
bool GetFileTimes(const std::string& path, FileTimes& times) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    times.access = static_cast<int64_t>(st.st_atim.tv_sec) * 1000000000 + st.st_atim.tv_nsec;
    times.write = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    times.creation = times.write;
    return true;
}

bool GetFileState(const std::string& path, FileState& state) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    state.device = static_cast<uint64_t>(st.st_dev);
    state.inode = static_cast<uint64_t>(st.st_ino);
    state.size = static_cast<uint64_t>(st.st_size);
    state.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    state.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

bool SetFileTimes(const std::string& path, const FileTimes& times, const FolderHandle* folder) {
    struct timespec ts[2];
    ts[0].tv_sec = static_cast<time_t>(times.access / 1000000000);
    ts[0].tv_nsec = static_cast<long>(times.access % 1000000000);
    ts[1].tv_sec = static_cast<time_t>(times.write / 1000000000);
    ts[1].tv_nsec = static_cast<long>(times.write % 1000000000);
    const intptr_t at = HandleOf(folder);
    return ::utimensat(FolderFd(at), NameIn(at, path).c_str(), ts, 0) == 0;
}

static CalendarTime ToCalendar(bool utc) {
    struct timeval tv;
    ::gettimeofday(&tv, nullptr);
    time_t seconds = tv.tv_sec;
    struct tm parts;
    if (utc) ::gmtime_r(&seconds, &parts);
    else ::localtime_r(&seconds, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min,         parts.tm_sec,     static_cast<int>(tv.tv_usec / 1000)};
}

CalendarTime UtcNow() { return ToCalendar(true); }
CalendarTime LocalNow() { return ToCalendar(false); }

bool RandomBytes(uint8_t* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::getrandom(out + done, size - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

size_t PathLength(const std::string& path) { return path.size(); }

std::string FileTitle(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SetBytesAside(const uint8_t* data, size_t size) {
#ifdef MADV_PAGEOUT
    // Whole pages inside the range only. Reclaiming never loses a byte: an
    // edited page of a private mapping, like any anonymous page, goes to
    // swap or stays.
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + page - 1) / page * page;
    const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + size) / page * page;
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_PAGEOUT);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace brisel

#endif
