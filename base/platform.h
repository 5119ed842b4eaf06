// The few things the engine needs from the operating system. platform_posix.cpp
// and platform_win32.cpp implement them; paths are UTF-8 byte strings (Windows
// opens them through the wide functions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/block.h"

namespace brisel {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
// Paths reach the file system with the extended-length prefix, which allows
// 32 767 UTF-16 units; the prefix and "UNC" take their share of that.
constexpr size_t kMaxPathLength = 32767 - 8;
#else
constexpr char kPathSeparator = '/';
constexpr size_t kMaxPathLength = 4095;
#endif

// Why a file could not be read, created or written, in the terms a person
// can act on.
enum class FileFault : int {
    None = 0,
    NotFound,      // the file (or its folder) does not exist
    NotAFolder,    // a part of the path that should be a folder is a file
    NameTaken,     // something holds the name already: a file, a folder, a link (even a dangling one)
    NoSpace,       // the device, or the user's share of it, is full
    NoPermission,  // the folder may not be written, or the file may not be read
    ReadOnly,      // the folder lies on a read-only file system
    NameTooLong,
    LinkLoop,      // symbolic links that lead back to themselves
    IsFifo,        // not a regular file: a named pipe,
    IsDevice,      // a device,
    IsFolder,      // or a folder
    Changed,       // the file changed (was cut short or rewritten) while it was read
    DeviceError,   // the device failed to read or write (EIO)
    Other,
};

// Reads a whole file into a fresh block. false when it cannot be opened or
// read, with the reason in *fault. Only a regular file is read: a pipe, a
// device or a folder is refused at once. A file cut short or rewritten
// while it is read is refused (FileFault::Changed); once read, what happens
// to the file no longer matters.
bool ReadWholeFile(const std::string& path, Block& out, FileFault* fault = nullptr);

// Lets ReadWholeFile map its files, and installs the SIGBUS handler that
// turns an input cut short under its mapping into zeros and a count
// (InputFaultCount); a bus error elsewhere goes to the handler installed
// before, or ends the program. A program calls it once, before any job: the
// handler is the process's, so the library never calls it, and reads its
// inputs instead. Windows maps inputs nobody may write; there it does nothing.
void WatchMappedInputs();

// How many times, in this process, an input was found cut short under its
// mapping. A job that sees the count change while it reads or writes fails
// with FileFault::Changed; the bytes it met there were zeros.
uint64_t InputFaultCount();

// Whether the file exists and can be opened for reading. Never waits for a
// writer of a named pipe.
bool FileOpensForReading(const std::string& path, FileFault* fault = nullptr);

// Whether something holds the name: a file, a folder, or a symbolic link,
// even one that leads nowhere.
bool NameTaken(const std::string& path);

// A file that is written whole before it gets its name, so that a stop, a
// crash or a full disk never leaves a cut-short file under a name. The bytes
// go into a file of the same folder that has no name (or a hidden temporary
// one where the system cannot make a file without a name); Publish then
// gives it its name without replacing anything. Whatever was not published
// is removed when the object goes.
// A folder opened once: files written through it go into that folder
// whatever happens to its path meanwhile (the folder renamed, or swapped for
// a symbolic link to another one). Where a system has no such handle
// (Windows here), the files go by their paths.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder; false (files then go by path) when it cannot be.
    bool Open(const std::string& folder);
    intptr_t handle() const { return handle_; }

private:
    intptr_t handle_ = -1;
};

class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Writes the bytes into a new unnamed file in the folder of path. With
    // durable, where SyncFolder cannot flush a whole file system at once,
    // the file's bytes are flushed to the disk before it can get its name.
    // With an open folder (the folder of path), the file is made in it and
    // Publish names it there.
    FileFault Write(const std::string& path, const uint8_t* data, size_t size, bool durable = false,
                    const FolderHandle* folder = nullptr);
    // The same for bytes handed over in pieces: fill(put) calls put(data,
    // size) for each piece in order and returns false when it stops early
    // (put returned false, or it was asked to stop); the file is then
    // discarded and the result is Other unless a write failed.
    using Put = std::function<bool(const uint8_t* data, size_t size)>;
    FileFault Write(const std::string& path, const std::function<bool(const Put& put)>& fill, bool durable = false,
                    const FolderHandle* folder = nullptr);
    // Gives the written file this name (in the same folder). NameTaken when
    // something holds it; it is never replaced, and another name may be tried.
    FileFault Publish(const std::string& path);
    // Gives the written file this name, in place of a file that holds it: in
    // one step, so that the name holds the old file or the new one, whole. A
    // symbolic link at the name is replaced, never followed; a folder is not.
    FileFault Replace(const std::string& path);

private:
    void Discard();
    intptr_t handle_ = -1;
    bool durable_ = false;
    intptr_t folder_ = -1;   // the open folder the names below are relative to, or -1
    std::string temporary_;  // the hidden temporary name, when one was needed
};

// Flushes the files written into the folder, and the folder's own entries,
// to the disk: after it returns None, a power cut leaves them whole under
// their names. On Linux one flush of the folder's file system (measured
// at a fraction of the cost of flushing each file); elsewhere the files
// were flushed one by one as they were written (NewFile::Write durable),
// and the folder is flushed where the system allows.
FileFault SyncFolder(const std::string& folder);
// The same for an open folder (by its path when it has no handle).
FileFault SyncFolder(const FolderHandle& handle, const std::string& folder);

// Removes a file of an open folder (by its path when the folder has no handle).
void RemoveFile(const std::string& path, const FolderHandle* folder);

// Removes from folder the hidden temporary files of earlier runs that were
// killed before they could remove them (where files without a name are not
// available): only names of the form this program gives them, only regular
// files of this user, and only those last written a minute or more before
// now, so that a run writing into the same folder keeps its own.
void RemoveStaleTemporaries(const std::string& folder);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// Why an input cannot be read, as a person would be told.
enum class InputProblem { None, Missing, Folder, NoPermission, Unreadable };
InputProblem ProbeInput(const std::string& path);

enum class WriteResult { Ok, CannotCreate, WriteFailed };
// Creates a new file with all bytes (a NewFile published under path). An
// existing file of that name is left as it is (CannotCreate); after a write
// error nothing is left behind. The reason goes into *fault.
WriteResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size, FileFault* fault = nullptr);

// Makes the folder and any missing parents. true when it exists afterwards;
// otherwise *fault tells why the first folder that could not be made was
// not (a read-only file system, a full device, no permission).
bool CreateFolders(const std::string& path, FileFault* fault = nullptr);

struct FileTimes {
    int64_t creation = 0, access = 0, write = 0;  // platform units
};
bool GetFileTimes(const std::string& path, FileTimes& times);

// What tells one state of a file from another: its identity, size and the
// times of its last change of content and of its entry. A file edited in
// place, cut short or replaced under its name has another state.
struct FileState {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified = 0, changed = 0;
    bool operator==(const FileState&) const = default;
};
bool GetFileState(const std::string& path, FileState& state);
bool SetFileTimes(const std::string& path, const FileTimes& times, const FolderHandle* folder = nullptr);

struct CalendarTime {
    int year, month, day, hour, minute, second, millisecond;
};
CalendarTime UtcNow();
CalendarTime LocalNow();

// Fills the buffer from the operating system's cryptographic random source.
bool RandomBytes(uint8_t* out, size_t size);

// The length of a path as the file system counts it against kMaxPathLength:
// UTF-16 units on Windows, bytes elsewhere.
size_t PathLength(const std::string& path);

// The last component of a path (the file name as shown to a person).
std::string FileTitle(const std::string& path);

// Says that the bytes [data, data + size) of a block will not be read again
// soon (a rewrite has copied them): the system may take back their memory
// (a mapped input's pages are read again from the file when needed). The
// bytes stay readable and unchanged; where the system cannot do it,
// nothing happens.
void SetBytesAside(const uint8_t* data, size_t size);

#ifdef _WIN32
// A path as the wide file functions take it: a long one made absolute and
// given the extended-length prefix ("\\?\", "\\?\UNC\"), which lifts the
// 260-character limit where the system's long-path switch is off. Short
// paths and paths that have a prefix come back as they are.
std::wstring ExtendedPath(const std::wstring& path);

// The full name of a path (relative to the current folder), however long;
// empty when the system cannot make one.
std::wstring FullPathName(const std::wstring& path);

// The text of a system function of the kind that fills a buffer of size
// units and returns the text's length when it fits, or the size it needs
// (the terminating zero included) when not: called again with a buffer of
// that size, first with firstSize units. Empty when the call fails.
std::wstring GrownText(const std::function<unsigned long(wchar_t* buffer, unsigned long size)>& fill,
                       size_t firstSize);
#endif

}  // namespace brisel
