#include "split/page_range.h"

#include "split/split_stages.h"

namespace brisel {

bool ReadPageField(const std::string& text, int32_t& value) {
    size_t from = text.find_first_not_of(' ');
    if (from == std::string::npos) {
        value = 0;
        return true;
    }
    size_t to = text.find_last_not_of(' ') + 1;
    int64_t v = 0;
    for (size_t i = from; i < to; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > INT32_MAX) return false;
    }
    if (v == 0) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t QueryPageCount(Job& job, const std::string& inputPath) {
    job.LastError = 0;
    job.StopCode = 0;
    OpenedDocument opened;
    if (OpenStage(job, InputSource::File(inputPath), SplitRequest(), opened, true) != 0) return -1;
    return opened.pageCount;
}

}  // namespace brisel
