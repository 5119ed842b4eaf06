#ifndef _WIN32

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "base/platform.h"

namespace brisel {

static void Unmap(uint8_t* data, size_t size) { ::munmap(data, size); }

// The file is mapped privately: pages come straight from the page cache
// without a copy, and the few bytes the job edits (blanked annotations) are
// copied on write, never written back to the file.
bool ReadWholeFile(const std::string& path, Block& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0;
    if (ok && st.st_size > 0) {
        // Populated read-only first: populating a writable private mapping
        // would copy every page; made writable afterwards, only the pages
        // actually edited are copied.
        const size_t size = static_cast<size_t>(st.st_size);
        void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (mapped != MAP_FAILED && ::mprotect(mapped, size, PROT_READ | PROT_WRITE) != 0) {
            ::munmap(mapped, size);
            mapped = MAP_FAILED;
        }
        if (mapped != MAP_FAILED) {
            ::close(fd);
            out.Adopt(static_cast<uint8_t*>(mapped), static_cast<size_t>(st.st_size), Unmap);
            return true;
        }
    }
    Block block;
    if (ok) ok = block.Allocate(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < block.size()) {
        ssize_t n = ::read(fd, block.data() + done, block.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (ok) out = std::move(block);
    return ok;
}

bool FileOpensForReading(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
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

WriteResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    // O_EXCL: a file that took the name after it was chosen is never
    // truncated; the page fails instead.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return WriteResult::CannotCreate;
    size_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ::unlink(path.c_str());
        return WriteResult::WriteFailed;
    }
    return WriteResult::Ok;
}

bool CreateFolders(const std::string& path) {
    // Each prefix that ends before a separator, then the whole path.
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        if (path[i - 1] == '/') continue;
        if (::mkdir(path.substr(0, i).c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

bool SetFileTimes(const std::string& path, const FileTimes& times) {
    struct timespec ts[2];
    ts[0].tv_sec = static_cast<time_t>(times.access / 1000000000);
    ts[0].tv_nsec = static_cast<long>(times.access % 1000000000);
    ts[1].tv_sec = static_cast<time_t>(times.write / 1000000000);
    ts[1].tv_nsec = static_cast<long>(times.write % 1000000000);
    return ::utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
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

}  // namespace brisel

#endif
