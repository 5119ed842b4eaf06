#include "split/page_saver.h"

#include <algorithm>
#include <cstdio>

namespace brisel {

PageSaver::PageSaver(int threads, size_t byteCap, size_t fileCap, Alternative alternative)
    : byteCap_(byteCap), fileCap_(fileCap), alternative_(std::move(alternative)) {
    for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { Run(); });
}

PageSaver::~PageSaver() { Finish(); }

// The file system creates files in one folder one at a time: while one
// writer creates a file, the other writes the bytes of the file it has just
// created. More writers would only wait for the folder, spinning a core.
int PageSaver::DefaultThreads() { return 2; }

void PageSaver::Submit(int32_t index, const std::string& path, std::string& buffer,
                       const std::optional<FileTimes>& times) {
    PageSpans none;
    Submit(index, path, buffer, none, times);
}

void PageSaver::Submit(int32_t index, const std::string& path, std::string& buffer, PageSpans& spans,
                       const std::optional<FileTimes>& times) {
    std::unique_lock<std::mutex> lock(mutex_);
    // One file may always be in flight, whatever its size; more only while
    // they fit under both caps. Files wait in the queue so that the writers
    // go on creating files back to back while the job builds the next pages.
    room_.wait(lock, [&] {
        return tasksInFlight_ == 0 || (tasksInFlight_ < fileCap_ && bytesInFlight_ + buffer.size() <= byteCap_);
    });
    if (!folderOpened_) {
        folderOpened_ = true;
        openedFolder_ = FolderOf(path);
        folderHandle_.Open(openedFolder_);
    }
    Task task{index, path, std::string(), times, std::move(spans), InputFaultCount()};
    spans.clear();
    task.bytes.swap(buffer);
    if (!spares_.empty()) {
        buffer.swap(spares_.back());
        spares_.pop_back();
    }
    bytesInFlight_ += task.bytes.size();
    ++tasksInFlight_;
    pending_.insert(index);
    queue_.push_back(std::move(task));
    wake_.notify_one();
}

// Pieces of a large stream: a few megabytes each, small enough that a stop
// between them is honoured at once, large enough that the copy runs at the
// disk's speed.
constexpr size_t kSpanPiece = 4u << 20;

FileFault PageSaver::WriteTask(NewFile& file, Task& task, const std::string& path) {
    if (task.spans.spans.empty())
        return file.Write(path, reinterpret_cast<const uint8_t*>(task.bytes.data()), task.bytes.size(), durable_,
                          FolderFor(path));
    const FileFault fault = file.Write(
        path,
        [&](const NewFile::Put& put) {
            return WalkPageBytes(task.bytes, task.spans, kSpanPiece, put,
                                 [&] { return stop_ && stop_->load(std::memory_order_relaxed) != 0; });
        },
        durable_, FolderFor(path));
    // The spans were read from the input as it was then: a file cut short
    // under the mapping meanwhile gave zeros, which no page file may hold.
    if (fault == FileFault::None && InputFaultCount() != task.inputFaults) return FileFault::Changed;
    return fault;
}

bool PageSaver::Failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failedIndex_ >= 0;
}

void PageSaver::Run() {
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        NewFile file;
        std::string path = task.path;
        FileFault fault = WriteTask(file, task, path);
        if (fault == FileFault::None) fault = replace_ ? file.Replace(path) : file.Publish(path);
        bool renamed = false;
        for (int attempt = 1; fault == FileFault::NameTaken && alternative_; ++attempt) {
            std::string other = alternative_(task.index, attempt);
            if (other.empty()) break;
            path = std::move(other);
            fault = file.Publish(path);
            renamed = true;
        }
        const bool ok = fault == FileFault::None;
        // A file that cannot take the times keeps its own; that is no failure.
        if (ok && task.times) SetFileTimes(path, *task.times, FolderFor(path));
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.erase(task.index);
        if (ok) {
            if (folder_.empty()) folder_ = FolderOf(path);
            if (renamed) renamedPaths_.emplace(task.index, path);
            written_.push_back({task.index, std::move(path)});
        } else if (failedIndex_ < 0 || task.index < failedIndex_) {
            failedIndex_ = task.index;
            failedFault_ = fault;
            failedPath_ = task.path;
        }
        ForgetSettledFiles();
        bytesInFlight_ -= task.bytes.size();
        --tasksInFlight_;
        // A few buffers are kept for reuse; more would hold on to memory.
        if (spares_.size() < 4) {
            task.bytes.clear();
            spares_.push_back(std::move(task.bytes));
        }
        room_.notify_all();
    }
}

// A written file needs remembering only while a lower index may still fail
// (or has failed): one below every pending index, and below any failure,
// stays whatever happens. Forgetting those keeps the list to about the files
// in flight instead of one path per page of the document.
void PageSaver::ForgetSettledFiles() {
    if (written_.size() < 2 * fileCap_) return;
    const int32_t lowestPending = pending_.empty() ? INT32_MAX : *pending_.begin();
    std::erase_if(written_, [&](const auto& file) {
        return file.first < lowestPending && (failedIndex_ < 0 || file.first < failedIndex_);
    });
}

int32_t PageSaver::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
    if (failedIndex_ >= 0) {
        for (const auto& [index, path] : written_)
            if (index > failedIndex_) RemoveFile(path, FolderFor(path));
        written_.clear();
    } else if (durable_ && !folder_.empty() && syncFault_ == FileFault::None) {
        // Every page file is in one folder: one flush makes them durable.
        syncFault_ = folder_ == openedFolder_ ? SyncFolder(folderHandle_, folder_) : SyncFolder(folder_);
    }
    return failedIndex_;
}

}  // namespace brisel
