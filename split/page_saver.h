// Saving page files on background threads while the job builds the next
// pages: writing a page file is mostly the kernel copying its bytes, which
// other cores can do meanwhile. A few files are written at once, and the
// bytes waiting or being written stay under a cap beyond one page, so memory
// stays bounded by the largest page file plus a constant.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/platform.h"
#include "pagewriter/page_spans.h"

namespace brisel {

class PageSaver {
public:
    // Another name for the file of a page whose name was taken after it was
    // chosen: attempt 1, 2, ... until it returns an empty text.
    using Alternative = std::function<std::string(int32_t index, int attempt)>;

    // threads: how many files are written at once (at least 1); byteCap and
    // fileCap: how many bytes and files may wait or be in writing.
    explicit PageSaver(int threads, size_t byteCap = 4u << 20, size_t fileCap = 64, Alternative alternative = {});
    ~PageSaver();
    PageSaver(const PageSaver&) = delete;
    PageSaver& operator=(const PageSaver&) = delete;

    // Queues a page file. It is written whole under no name and then given
    // its name, never replacing a file that holds it; when one does, the
    // alternatives are tried. The bytes are taken from buffer, which receives a
    // spare buffer whose capacity can be reused. Waits while too much is in
    // flight. With times, the file gets them once it is written.
    void Submit(int32_t index, const std::string& path, std::string& buffer, const std::optional<FileTimes>& times);
    // The same for a file whose large streams are spans of the input (taken
    // from spans): their bytes are read from the input as the file is
    // written, in pieces, so the input must stay mapped until Finish.
    void Submit(int32_t index, const std::string& path, std::string& buffer, PageSpans& spans,
                const std::optional<FileTimes>& times);

    // The stop request, asked between the pieces of a file with spans: a
    // file stopped half-way is not written (it counts as one that failed).
    void SetStop(const std::atomic<int>* stop) { stop_ = stop; }

    // Whether the files reach the disk before Finish returns (set before the
    // first Submit).
    void SetDurable(bool durable) { durable_ = durable; }

    // Files put in place of a file that holds their name (whole, in one
    // step) instead of taking another name.
    void SetReplace(bool replace) { replace_ = replace; }

    // Whether a file could not be written so far.
    bool Failed();

    // Waits for every queued file. Returns the lowest index whose file could
    // not be created or written, or -1; the files of higher indexes that were
    // written meanwhile are removed, so that what stays is what a one-by-one
    // writer would have left.
    int32_t Finish();

    // After Finish: why the written files could not be flushed to the disk
    // (None when they were, or when nothing needed it).
    FileFault syncFault() const { return syncFault_; }
    // After Finish: why the lowest failed file could not be written, and its name.
    FileFault failedFault() const { return failedFault_; }
    const std::string& failedPath() const { return failedPath_; }
    // Files written under an alternative name.
    int32_t renamed() const { return static_cast<int32_t>(renamedPaths_.size()); }
    // The names that files written under another name than the one asked got,
    // by index.
    const std::map<int32_t, std::string>& renamedPaths() const { return renamedPaths_; }

    // How many writers a job uses (see page_saver.cpp for why two).
    static int DefaultThreads();

private:
    struct Task {
        int32_t index;
        std::string path;
        std::string bytes;
        std::optional<FileTimes> times;
        PageSpans spans;
        uint64_t inputFaults = 0;  // the input's faults when it was queued
    };
    FileFault WriteTask(NewFile& file, Task& task, const std::string& path);
    void Run();
    void ForgetSettledFiles();

    std::mutex mutex_;
    std::condition_variable wake_, room_;
    std::deque<Task> queue_;
    std::vector<std::string> spares_;
    std::set<int32_t> pending_;  // indexes submitted and not yet written
    std::vector<std::pair<int32_t, std::string>> written_;
    size_t bytesInFlight_ = 0;
    size_t tasksInFlight_ = 0;
    const size_t byteCap_, fileCap_;
    int32_t failedIndex_ = -1;
    FileFault failedFault_ = FileFault::None;
    std::string failedPath_;
    std::map<int32_t, std::string> renamedPaths_;
    const Alternative alternative_;
    bool closing_ = false;
    bool durable_ = false;
    FileFault syncFault_ = FileFault::None;
    std::string folder_;  // of the files written
    bool replace_ = false;
    const std::atomic<int>* stop_ = nullptr;
    // That folder, opened at the first file: the files go into it even if
    // its path is renamed or swapped for a link meanwhile.
    FolderHandle folderHandle_;
    bool folderOpened_ = false;
    std::string openedFolder_;
    // The open folder when path lies in it; null for a path elsewhere.
    const FolderHandle* FolderFor(const std::string& path) const {
        return FolderOf(path) == openedFolder_ ? &folderHandle_ : nullptr;
    }
    std::vector<std::thread> threads_;
};

}  // namespace brisel
