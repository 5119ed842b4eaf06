// Splits a PDF file twice: to memory, printing the size and the pages of
// each file, and to a folder, printing the command line's --json record.
#include <brisel/brisel.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: split_example input.pdf out-folder\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        // From bytes to memory.
        for (const brisel::OutputFile& file : brisel::Split(brisel::Source::Bytes(bytes.data(), bytes.size())))
            std::printf("pages %d-%d: %zu bytes\n", file.first, file.last, file.bytes.size());
        // From the file to disk.
        const brisel::SplitRecord record = brisel::SplitTo(brisel::Source::File(argv[1]), argv[2]);
        std::printf("%s\n", record.Json().c_str());
        return record.status;
    } catch (const brisel::Error& e) {
        std::fprintf(stderr, "split_example: %s: %s\n", e.path().c_str(), e.reason().c_str());
        return e.code();
    }
}
