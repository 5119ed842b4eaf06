// Fuzz target: the outline analysis and the viewer-setting reads, with every
// "keep" choice on, then the first page files built in memory with their
// bookmark trees, through the stages every front end runs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/job.h"
#include "base/job_host.h"
#include "split/file_sinks.h"
#include "split/split_stages.h"

using namespace brisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 20) return 0;
    AppState app;
    app.IsWarnLimit = false;
    app.Viewer.OpenActionMode = "O";
    app.Viewer.Direction = kDirectionKeep;
    app.Viewer.PageLayout = kLayoutKeep;
    app.Viewer.PageMode = kModeKeep;
    app.Viewer.KeepOutlines = 1;
    app.Viewer.FlatOutlines = size & 1;
    SilentHost host;
    Job job(app, host);
    // The first three pages; parts at the top bookmarks for inputs of odd
    // size, so that the bookmark plan meets damaged outlines too.
    SplitRequest request;
    request.onePageFile = true;
    request.range = true;
    request.firstPage = 1;
    if (size & 1) {
        PartRequest parts;
        parts.mode = PartMode::AtBookmarks;
        request.parts = parts;
    }
    int files = 0;
    MemorySink sink([&files](const PlannedFile&, std::string&) { return ++files < 3; });
    RunStages(job, InputSource::Bytes(data, size), request, sink);
    return 0;
}
