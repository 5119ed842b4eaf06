// Fuzz target: the reading side over an image held in memory.
#include <cstddef>
#include <cstdint>

#include "base/block.h"
#include "base/job.h"
#include "pdfread/read_xref.h"
#include "base/job_host.h"

using namespace brisel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 20) return 0;
    AppState app;
    SilentHost host;
    Job job(app, host);
    Block image;
    if (!image.Assign(data, size)) return 0;
    XrefTable table;
    ReaderRecord reader;
    if (!ReadXref(job, image.data(), image.end(), table, reader))
        static_cast<void>(CountPages(image.data(), image.end(), reader.rootNumber, reader.rootGeneration, table));
    return 0;
}
