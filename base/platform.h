// The few things the engine needs from the operating system. platform_posix.cpp
// and platform_win32.cpp implement them; paths are UTF-8 byte strings (Windows
// opens them through the wide functions).
#pragma once

#include <cstddef>
#include <cstdint>
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

// Reads a whole file into a fresh block. false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, Block& out);

// Whether the file exists and can be opened for reading.
bool FileOpensForReading(const std::string& path);

// Whether anything (a file, a folder, a link) has this name.
bool PathExists(const std::string& path);

// Why an input cannot be read, as a person would be told.
enum class InputProblem { None, Missing, Folder, NoPermission, Unreadable };
InputProblem ProbeInput(const std::string& path);

enum class WriteResult { Ok, CannotCreate, WriteFailed };
// Creates a new file and writes all bytes in one pass. An existing file of
// that name is left as it is (CannotCreate); after a write error the partial
// file, which this call created, is removed.
WriteResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// Makes the folder and any missing parents. true when it exists afterwards.
bool CreateFolders(const std::string& path);

struct FileTimes {
    int64_t creation = 0, access = 0, write = 0;  // platform units
};
bool GetFileTimes(const std::string& path, FileTimes& times);
bool SetFileTimes(const std::string& path, const FileTimes& times);

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

#ifdef _WIN32
// A path as the wide file functions take it: a long one made absolute and
// given the extended-length prefix ("\\?\", "\\?\UNC\"), which lifts the
// 260-character limit where the system's long-path switch is off. Short
// paths and paths that have a prefix come back as they are.
std::wstring ExtendedPath(const std::wstring& path);

// The full name of a path (relative to the current folder), however long;
// empty when the system cannot make one.
std::wstring FullPathName(const std::wstring& path);
#endif

}  // namespace brisel
