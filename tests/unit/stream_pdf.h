// A builder of PDF files that keep their cross-reference data in streams and
// objects in object streams, with every offset right, for the rewrite tests.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace brisel::test {

// zlib-format compression of the bytes.
std::string Deflate(const std::string& bytes);
// The same data as an editor's update leaves it: a sync flush and nothing
// after it, no final block, no checksum.
std::string DeflateSyncFlushed(const std::string& bytes);

class StreamPdf {
public:
    // An object stored in the file as "N G obj ... endobj".
    StreamPdf& Object(int number, std::string body, int generation = 0);
    // An object compressed into the object stream numbered stream.
    StreamPdf& Packed(int stream, int number, std::string body);
    // Entries of the cross-reference stream dictionary besides /Type, /Size,
    // /W, /Index, /Filter, /DecodeParms and /Length, e.g. "/Root 1 0 R".
    StreamPdf& Trailer(std::string entries);
    // Extra entries of every object stream dictionary.
    StreamPdf& ObjectStreamEntries(std::string entries);
    StreamPdf& Widths(int w1, int w2, int w3);
    // Flate compression of the object streams and the cross-reference stream;
    // the PNG Up predictor on the cross-reference stream (needs compression).
    StreamPdf& Compress(bool on);
    StreamPdf& Predictor(bool on);
    // Writes /Index [0 Size] instead of leaving it out.
    StreamPdf& ExplicitIndex(bool on);

    // The whole file; with a base, an incremental update appended to it
    // whose cross-reference stream has /Prev pointing at the base's.
    std::string Build(const std::string& base = "") const;
    // Offset of an object's header (or -1) in the last Build().
    long OffsetOf(int number) const;
    // Offset of the cross-reference stream in the last Build().
    long XrefOffset() const { return xrefOffset_; }

private:
    struct Obj {
        int number, generation;
        std::string body;
    };
    std::string StreamObject(int number, const std::string& dict, const std::string& data) const;
    std::string XrefData(const std::vector<std::vector<long>>& rows) const;

    std::vector<Obj> objects_;
    std::map<int, std::vector<Obj>> packed_;  // by object stream number
    std::vector<int> streamOrder_;
    std::string trailer_, objectStreamEntries_;
    int w_[3] = {1, 4, 2};
    bool compress_ = true, predictor_ = true, explicitIndex_ = false;
    mutable std::map<int, long> offsets_;
    mutable long xrefOffset_ = -1;
};

}  // namespace brisel::test
