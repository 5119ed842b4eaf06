// Fuzz target: the whole split of an image held in memory through the
// stages every front end runs, with a sink that keeps no file: reading,
// rewrite and repair, analysis, planning, annotation blanking and every page
// file built in memory.
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
    // Annotations filtered for inputs of even size, dropped for odd ones.
    app.KeepAnnotations = size % 2 == 0;
    SilentHost host;
    Job job(app, host);
    // The silent host declines the password prompt: only files that open
    // with the empty password are decrypted.
    SplitRequest request;
    request.onePageFile = true;
    MemorySink sink([](const PlannedFile&, std::string&) { return true; });
    RunStages(job, InputSource::Bytes(data, size), request, sink);
    return 0;
}
