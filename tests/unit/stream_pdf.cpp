#include "stream_pdf.h"

#include <zlib.h>

#include <algorithm>

namespace brisel::test {

std::string Deflate(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
             static_cast<uLong>(bytes.size()));
    out.resize(size);
    return out;
}

std::string DeflateSyncFlushed(const std::string& bytes) {
    z_stream zs{};
    deflateInit(&zs, Z_DEFAULT_COMPRESSION);
    std::string out(compressBound(static_cast<uLong>(bytes.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = static_cast<uInt>(bytes.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_SYNC_FLUSH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

StreamPdf& StreamPdf::Object(int number, std::string body, int generation) {
    objects_.push_back({number, generation, std::move(body)});
    return *this;
}

StreamPdf& StreamPdf::Packed(int stream, int number, std::string body) {
    if (!packed_.count(stream)) streamOrder_.push_back(stream);
    packed_[stream].push_back({number, 0, std::move(body)});
    return *this;
}

StreamPdf& StreamPdf::Trailer(std::string entries) {
    trailer_ = std::move(entries);
    return *this;
}

StreamPdf& StreamPdf::ObjectStreamEntries(std::string entries) {
    objectStreamEntries_ = std::move(entries);
    return *this;
}

StreamPdf& StreamPdf::Widths(int w1, int w2, int w3) {
    w_[0] = w1;
    w_[1] = w2;
    w_[2] = w3;
    return *this;
}

StreamPdf& StreamPdf::Compress(bool on) {
    compress_ = on;
    return *this;
}

StreamPdf& StreamPdf::Predictor(bool on) {
    predictor_ = on;
    return *this;
}

StreamPdf& StreamPdf::ExplicitIndex(bool on) {
    explicitIndex_ = on;
    return *this;
}

std::string StreamPdf::StreamObject(int number, const std::string& dict, const std::string& data) const {
    std::string stored = compress_ ? Deflate(data) : data;
    return std::to_string(number) + " 0 obj\n<< " + dict + (compress_ ? " /Filter /FlateDecode" : "") +
           " /Length " + std::to_string(stored.size()) + " >>\nstream\n" + stored + "\r\nendstream\nendobj\n";
}

std::string StreamPdf::XrefData(const std::vector<std::vector<long>>& rows) const {
    const bool up = compress_ && predictor_;
    std::string data, previous;
    for (const std::vector<long>& row : rows) {
        std::string raw;
        for (int f = 0; f < 3; ++f)
            for (int i = w_[f] - 1; i >= 0; --i) raw += static_cast<char>((row[f] >> (8 * i)) & 0xff);
        if (up) {
            std::string diff = raw;
            for (size_t i = 0; i < raw.size() && !previous.empty(); ++i)
                diff[i] = static_cast<char>(raw[i] - previous[i]);
            data += '\x02' + diff;
        } else {
            data += raw;
        }
        previous = raw;
    }
    return data;
}

std::string StreamPdf::Build(const std::string& base) const {
    std::string out = base.empty() ? std::string("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n") : base;
    offsets_.clear();
    std::map<int, std::vector<long>> entries;  // number -> type, field 2, field 3
    for (const Obj& o : objects_) {
        offsets_[o.number] = static_cast<long>(out.size());
        entries[o.number] = {1, static_cast<long>(out.size()), o.generation};
        out += std::to_string(o.number) + " " + std::to_string(o.generation) + " obj\n" + o.body + "\nendobj\n";
    }
    for (int stream : streamOrder_) {
        std::string header, bodies;
        const std::vector<Obj>& objs = packed_.at(stream);
        for (size_t i = 0; i < objs.size(); ++i) {
            header += std::to_string(objs[i].number) + " " + std::to_string(bodies.size()) + " ";
            bodies += objs[i].body + "\n";
            entries[objs[i].number] = {2, stream, static_cast<long>(i)};
        }
        offsets_[stream] = static_cast<long>(out.size());
        entries[stream] = {1, static_cast<long>(out.size()), 0};
        out += StreamObject(stream,
                            "/Type /ObjStm /N " + std::to_string(objs.size()) + " /First " +
                                std::to_string(header.size()) + " " + objectStreamEntries_,
                            header + bodies);
    }
    int xrefNumber = entries.empty() ? 1 : entries.rbegin()->first + 1;
    xrefOffset_ = static_cast<long>(out.size());
    entries[xrefNumber] = {1, xrefOffset_, 0};
    const int size = xrefNumber + 1;

    // Rows: everything from 0 for a whole file, only the new entries (in
    // runs of consecutive numbers) for an update.
    std::vector<std::vector<long>> rows;
    std::string index;
    if (base.empty()) {
        for (int n = 0; n < size; ++n)
            rows.push_back(entries.count(n) ? entries[n] : std::vector<long>{0, 0, n == 0 ? 65535 : 0});
        if (explicitIndex_) index = "/Index [0 " + std::to_string(size) + "] ";
    } else {
        int runStart = -1, previous = -2;
        for (auto& [n, row] : entries) {
            if (n != previous + 1) {
                if (runStart >= 0) index += std::to_string(runStart) + " " + std::to_string(previous - runStart + 1) + " ";
                runStart = n;
            }
            rows.push_back(row);
            previous = n;
        }
        index = "/Index [" + index + std::to_string(runStart) + " " + std::to_string(previous - runStart + 1) + "] ";
        size_t sx = base.rfind("startxref");
        index += "/Prev " + std::to_string(std::stol(base.substr(sx + 9))) + " ";
    }
    std::string dict = "/Type /XRef /Size " + std::to_string(size) + " /W [" + std::to_string(w_[0]) + " " +
                       std::to_string(w_[1]) + " " + std::to_string(w_[2]) + "] " + index + trailer_;
    if (compress_ && predictor_) dict += " /DecodeParms << /Columns " + std::to_string(w_[0] + w_[1] + w_[2]) +
                                         " /Predictor 12 >>";
    out += StreamObject(xrefNumber, dict, XrefData(rows));
    out += "startxref\n" + std::to_string(xrefOffset_) + "\n%%EOF\n";
    return out;
}

long StreamPdf::OffsetOf(int number) const {
    auto it = offsets_.find(number);
    return it == offsets_.end() ? -1 : it->second;
}

}  // namespace brisel::test
