// The two sinks of the write stage: files on disk, named and saved with
// every guarantee of a page file, and bytes handed to a caller.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "split/output_naming.h"
#include "split/split_stages.h"

namespace brisel {

class PageSaver;

// Page files beside the input, or in a folder: names that never overwrite a
// file, each file written whole before it gets its name, the files after
// one that could not be written removed.
class DiskSink : public FileSink {
public:
    // base: the input's path (its folder and name give the files' names);
    // with useFolder, the files go into folder instead. pattern: names from
    // a --name pattern, or empty.
    DiskSink(const std::string& base, bool useFolder, const std::string& folder, const std::string& pattern);
    ~DiskSink() override;

    int Begin(Job& job, const OpenedDocument& opened, const SplitPlan& plan) override;
    std::string NameOf(size_t k) const override;
    bool Skip(size_t k) override;
    bool Take(Job& job, size_t k, const PlannedFile& file, std::string& bytes, PageSpans& spans) override;
    bool TakesSpans() const override { return true; }
    int Finish(Job& job, size_t taken, WarningList& warnings) override;

    // After Finish: the paths of the files written, in order.
    const std::vector<std::string>& written() const { return written_; }

    // What to do with names that exist (before Begin): another set of names
    // (the default), the new files in their place, or the old files left.
    void SetIfExists(IfExists ifExists);
    // After Begin: whether file k's name exists (Replace and Skip).
    bool Taken(size_t k) const;
    // After Begin, when the plain names were taken and others chosen: the
    // first plain name, and the name used instead; else empty.
    std::string TakenName() const;
    std::string UsedName() const;
    // After Finish: the files left as they were (Skip).
    int32_t skipped() const { return skipped_; }

private:
    OutputNaming naming_;
    IfExists ifExists_ = IfExists::Rename;
    // Files named as parts: parts, or pages that leave gaps between them.
    bool partNames_ = false;
    int32_t lowPage_ = 1;  // the lowest first page, for names by page
    int32_t skipped_ = 0;
    std::vector<int32_t> firstPages_;  // 1-based first page of each file
    std::optional<FileTimes> times_;
    std::unique_ptr<PageSaver> saver_;
    // What was handed to the saver: the index that keys each file, and its path.
    std::vector<std::pair<int32_t, std::string>> submitted_;
    std::vector<std::string> written_;
};

// Hands each file, once built, to a function with its plan entry. The
// function takes the bytes (it may move them away) and returns false to stop
// the split, which then ends as a stopped job.
class MemorySink : public FileSink {
public:
    using Deliver = std::function<bool(const PlannedFile& file, std::string& bytes)>;
    explicit MemorySink(Deliver deliver) : deliver_(std::move(deliver)) {}

    int Begin(Job&, const OpenedDocument&, const SplitPlan&) override { return 0; }
    std::string NameOf(size_t) const override { return std::string(); }
    // The bytes hold every byte of the file: memory output is in memory.
    bool Take(Job& job, size_t k, const PlannedFile& file, std::string& bytes, PageSpans& spans) override;
    int Finish(Job&, size_t, WarningList&) override { return 0; }

private:
    Deliver deliver_;
};

}  // namespace brisel
