// Helpers for unit tests: a job with a silent host, exact-size byte buffers
// (so that the sanitizers catch any read past the end), and a small builder
// of classic PDF files with correct offsets.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/block.h"
#include "base/job.h"
#include "base/job_host.h"
#include "pdfread/reader_record.h"

namespace brisel::test {

struct TestJob {
    AppState app;
    SilentHost host;
    Job job{app, host};
    ReaderRecord reader;
};

// The bytes of a text in a heap block of exactly that size.
inline Block BytesOf(const std::string& text) {
    Block block;
    block.Assign(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return block;
}

inline std::string TextOf(const Block& block) {
    return std::string(reinterpret_cast<const char*>(block.data()), block.size());
}

// Builds a classic PDF: the header, the objects in order, one cross-reference
// section covering 0..highest, and a trailer.
class PdfBuilder {
public:
    PdfBuilder& Header(std::string header) {
        header_ = std::move(header);
        return *this;
    }
    // body is everything between "N G obj" and "endobj".
    PdfBuilder& Object(int number, std::string body, int generation = 0) {
        objects_.push_back({number, generation, std::move(body)});
        return *this;
    }
    // Extra trailer entries besides /Size, e.g. "/Root 1 0 R".
    PdfBuilder& Trailer(std::string entries) {
        trailer_ = std::move(entries);
        return *this;
    }
    std::string Build() const;
    // Offset of an object's header in the last Build().
    long OffsetOf(int number) const;

private:
    struct Obj {
        int number, generation;
        std::string body;
    };
    std::string header_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<Obj> objects_;
    std::string trailer_;
    mutable std::vector<std::pair<int, long>> offsets_;
};

// Reads a file of tests/fixtures into a block; false when it cannot.
bool ReadFixture(const std::string& name, Block& out);

// A simple document: catalog 1, Pages 2, pages 3.. with the given count.
std::string SimpleDocument(int pages);

}  // namespace brisel::test
