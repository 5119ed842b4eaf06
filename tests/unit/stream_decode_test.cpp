#include "pdfread/stream_decode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "stream_pdf.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::Deflate;
using test::TestJob;

const uint8_t* U(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

struct Located {
    int result;
    std::string data;
};

// LocateStreamData over "<< dict >>" followed by the rest.
Located Locate(const std::string& dict, const std::string& rest, const LengthResolver& resolve = nullptr) {
    TestJob t;
    Block b = BytesOf("<< " + dict + " >>" + rest);
    Cursor dictEnd = FindDictEnd(b.begin() + 2, b.end());
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    const Failure f = LocateStreamData(b.begin() + 2, dictEnd, b.end(), data, length, after, resolve);
    return {f.code, f ? "" : std::string(reinterpret_cast<const char*>(data), length)};
}

TEST(LocateStreamData, MeasuresTheDataBetweenTheKeywords) {
    const std::string tail = "\nendobj\nmore bytes after it";
    EXPECT_EQ(Locate("/Length 5", "\nstream\r\nHELLO\r\nendstream" + tail).data, "HELLO");
    // Straight into endstream: a final line-end byte is taken as the line end.
    EXPECT_EQ(Locate("/Length 5", "\nstream\nHELLOendstream" + tail).data, "HELLO");
    EXPECT_EQ(Locate("/Length 5", "\nstream\nHELLO\nendstream" + tail).data, "HELLO");
    // Data whose last byte is CR, then the line end: /Length keeps the CR.
    EXPECT_EQ(Locate("/Length 6", "\nstream\nHELLO\r\nendstream" + tail).data, "HELLO\r");
    EXPECT_EQ(Locate("/Length 6", "\nstream\nHELLO\nendstream" + tail).data, "HELLO\n");
    // A space after "stream" belongs to the data.
    EXPECT_EQ(Locate("/Length 7", "\nstream \nHELLO\nendstream" + tail).data, " \nHELLO");
    // A /Length a little short still reaches "endstream" over line ends.
    EXPECT_EQ(Locate("/Length 3", "\nstream\nHEL\r\n\r\nendstream" + tail).data, "HEL\r\n");
    // Empty data, and a /Length beyond the image.
    EXPECT_EQ(Locate("/Length 0", "\nstream\nendstream" + tail).data, "");
    EXPECT_EQ(Locate("/Length 0", "\nstream\nendstream" + tail).result, 0);
    // A /Length beyond the image, into the data, absent, or an object
    // written after the stream (cairo): the first "endstream" ends the data.
    for (const char* wrong : {"/Length 99999", "/Length 2", "/Size 2", "/Length 9 0 R"})
        EXPECT_EQ(Locate(wrong, "\nstream\nHELLO\nendstream" + tail).data, "HELLO") << wrong;
    // An indirect /Length that the resolver finds is believed.
    auto six = [](int32_t number, int32_t generation) { return number == 9 && generation == 0 ? 6 : -1; };
    EXPECT_EQ(Locate("/Length 9 0 R", "\nstream\nHELLO\r\nendstream" + tail, six).data, "HELLO\r");
    EXPECT_EQ(Locate("/Length 5", "\nstrea").result, kStreamNoRoom);
    EXPECT_EQ(Locate("/Length 5", "\nsomething else entirely\nendstream").result, kStreamNoKeyword);
    EXPECT_EQ(Locate("/Length 5", "\nstream\nHELLO and no end keyword at all").result, kStreamNoKeyword);
}

int FilterState(const std::string& dict, int* result = nullptr) {
    TestJob t;
    Block b = BytesOf("<< " + dict + " >> stream\nxx\nendstream\n");
    Cursor dictEnd = FindDictEnd(b.begin() + 2, b.end());
    const Result<int> state = ReadFilterState(b.begin() + 2, dictEnd, b.end());
    if (result) *result = state.code();
    return state.value_or(99);
}

TEST(ReadFilterState, DerivesTheStateFromFilterAndParameters) {
    const std::pair<const char*, int> cases[] = {
        {"/Length 2", kFilterNone},
        {"/Filter null", kFilterNone},
        {"/Filter []", kFilterNone},
        {"/Filter /FlateDecode", kFilterFlate},
        {"/Filter /Fl", kFilterFlate},
        {"/Filter [/FlateDecode]", kFilterFlate},
        {"/Filter [ /Fl ]", kFilterFlate},
        {"/Filter [/FlateDecode /ASCII85Decode]", kFilterOther},
        {"/Filter [/ASCII85Decode /FlateDecode]", kFilterOther},
        {"/Filter /FlateDecodeX", kFilterOther},
        {"/Filter /LZWDecode", kFilterOther},
        {"/Filter /FlateDecode /DecodeParms << /Columns 6 /Predictor 12 >>", 12},
        {"/Filter /Fl /DecodeParms [<< /Columns 6 /Predictor 15 >>]", 15},
        {"/Filter /FlateDecode /DecodeParms << /Columns 6 /Predictor 2 >>", 2},
        {"/Filter /FlateDecode /DecodeParms << /Columns 6 /Predictor 1 >>", kFilterFlate},
        {"/Filter /FlateDecode /DecodeParms null", kFilterFlate},
        {"/Filter /FlateDecode /DecodeParms [null]", kFilterFlate},
        {"/Filter /FlateDecode /DecodeParms << /Predictor 12 >>", kFilterFlate},
        {"/Filter /FlateDecode /DecodeParms << /Columns 6 /Predictor /X >>", kFilterFlate},
    };
    for (const auto& [dict, state] : cases) EXPECT_EQ(FilterState(dict), state) << dict;
    int r = 0;
    FilterState("/Filter /FlateDecode /DecodeParms << /Columns /X /Predictor 12 >>", &r);
    EXPECT_EQ(r, kParmsBadColumns);
    FilterState("/Filter /FlateDecode /DecodeParms /Columns", &r);
    EXPECT_EQ(r, kParmsNotDict);
    // The row layout comes with the state.
    TestJob t;
    Block b = BytesOf("<< /Filter /Fl /DecodeParms << /Predictor 2 /Columns 7 /Colors 3 /BitsPerComponent 16 >> >>");
    PredictorParms parms;
    EXPECT_EQ(ReadFilterState(b.begin() + 2, FindDictEnd(b.begin() + 2, b.end()), b.end(), &parms).value_or(0), 2);
    EXPECT_EQ(parms.columns, 7);
    EXPECT_EQ(parms.colors, 3);
    EXPECT_EQ(parms.bitsPerComponent, 16);
}

int Decode(const std::string& in, std::string& out, size_t capacity) {
    std::vector<uint8_t> buffer(capacity);
    const Result<size_t> decoded = DecodeFlate(U(in), in.size(), buffer.data(), capacity);
    out = decoded ? std::string(buffer.begin(), buffer.begin() + static_cast<long>(*decoded)) : "";
    return decoded.code();
}

TEST(DecodeFlate, InflatesIntoTheCapacityGiven) {
    const std::string text = "0123456789 the quick brown fox 0123456789";
    const std::string packed = Deflate(text);
    std::string out;
    EXPECT_EQ(Decode(packed, out, 100), 0);
    EXPECT_EQ(out, text);
    // Output exactly as long as the capacity does not fit; one byte more does.
    EXPECT_EQ(Decode(packed, out, text.size()), kFlateTooLarge);
    EXPECT_EQ(Decode(packed, out, text.size() + 1), 0);
    // Bytes after the end marker are ignored.
    EXPECT_EQ(Decode(packed + "trailing junk", out, 100), 0);
    EXPECT_EQ(out, text);
    // Data that ends after a sync flush, without final block and checksum,
    // or whose checksum is wrong: the bytes inflated are the data.
    const std::string flushed = test::DeflateSyncFlushed(text);
    ASSERT_EQ(flushed.substr(flushed.size() - 4), std::string("\0\0\xff\xff", 4));
    EXPECT_EQ(Decode(flushed, out, 100), 0);
    EXPECT_EQ(out, text);
    std::string badSum = packed;
    badSum.back() = static_cast<char>(badSum.back() ^ 0x5a);
    EXPECT_EQ(Decode(badSum, out, 100), 0);
    EXPECT_EQ(out, text);
    // Cut short or damaged further on: what came before.
    EXPECT_EQ(Decode(flushed.substr(0, flushed.size() - 4), out, 100), 0);
    EXPECT_EQ(out, text);
    // A cut output is never mistaken for the whole: the room is the limit.
    EXPECT_EQ(Decode(flushed, out, text.size()), kFlateTooLarge);
    // Nothing usable is a failure, not lack of room.
    EXPECT_EQ(Decode("not zlib at all", out, 100), kFlateDamaged);
    EXPECT_EQ(Decode("", out, 100), kFlateTruncated);
    EXPECT_EQ(Decode(packed.substr(0, 2), out, 100), kFlateTruncated);
}

TEST(InflateStream, RetriesWithLargerBlocksUntilTheDataFits) {
    const std::string zeros(300000, '\0');  // inflates about a thousandfold
    const std::string packed = Deflate(zeros);
    ASSERT_LT(packed.size() * 20, zeros.size());
    Block out;
    const size_t decoded = InflateStream(U(packed), packed.size(), out).value_or(0);
    EXPECT_EQ(decoded, zeros.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), decoded), zeros);
    EXPECT_EQ(InflateStream(U(std::string("garbage")), 7, out).code(), kFlateDamaged);
    EXPECT_TRUE(out.empty());
}

// Encodes rows with the PNG tag of each row (bpp bytes a pixel), as an
// encoder would; the test decodes them back.
std::vector<uint8_t> PngEncode(const std::vector<uint8_t>& raw, size_t rowBytes, size_t bpp,
                               const std::vector<int>& tags) {
    std::vector<uint8_t> out;
    for (size_t r = 0; r * rowBytes < raw.size(); ++r) {
        const int tag = tags[r % tags.size()];
        out.push_back(static_cast<uint8_t>(tag));
        for (size_t i = 0; i < rowBytes; ++i) {
            auto at = [&](size_t row, size_t col) { return static_cast<int>(raw[row * rowBytes + col]); };
            const int a = i >= bpp ? at(r, i - bpp) : 0;
            const int b = r ? at(r - 1, i) : 0;
            const int c = r && i >= bpp ? at(r - 1, i - bpp) : 0;
            const int p = a + b - c;
            const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c) ? a
                              : std::abs(p - b) <= std::abs(p - c)                                   ? b
                                                                                                     : c;
            const int predicted[] = {0, a, b, (a + b) / 2, paeth, b, b};
            out.push_back(static_cast<uint8_t>(at(r, i) - predicted[tag]));
        }
    }
    return out;
}

TEST(UndoPredictor, PngRowsWithTheirOwnTagsAndTiffDifferences) {
    std::vector<uint8_t> raw(7 * 12);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 37 + (i / 12) * 91 + 5);
    struct Layout {
        int colors, bits;
    };
    // Columns 12 at 8 bits, 4 three-colour pixels, 6 sixteen-bit samples.
    const std::pair<Layout, int32_t> layouts[] = {{{1, 8}, 12}, {{3, 8}, 4}, {{1, 16}, 6}};
    // Every tag on every row in turn, and an unknown tag read as Up.
    const std::vector<std::vector<int>> tagRuns = {{0}, {1}, {2}, {3}, {4}, {0, 1, 2, 3, 4}, {4, 6, 1}};
    for (const auto& [layout, columns] : layouts) {
        PredictorParms parms{columns, layout.colors, layout.bits};
        const size_t bpp = static_cast<size_t>(layout.colors * layout.bits / 8);
        for (const auto& tags : tagRuns) {
            // The last row is short: an encoder that does not pad.
            std::vector<uint8_t> data = PngEncode(raw, 12, bpp, tags);
            data.resize(data.size() - 5);
            size_t length = data.size();
            ASSERT_FALSE(UndoPredictor(data.data(), length, 10 + tags[0] % 6, parms));
            EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + static_cast<long>(length)),
                      std::vector<uint8_t>(raw.begin(), raw.end() - 5))
                << "colors " << layout.colors << " bits " << layout.bits << " first tag " << tags[0];
        }
        // TIFF: each sample is the difference from the one a pixel before.
        std::vector<uint8_t> tiff = raw;
        const size_t sample = static_cast<size_t>(layout.bits / 8);
        for (size_t r = 0; r < 7; ++r)
            for (size_t i = 12; i-- > bpp;) {
                if (sample == 1) {
                    tiff[r * 12 + i] = static_cast<uint8_t>(raw[r * 12 + i] - raw[r * 12 + i - bpp]);
                } else if (i % 2 == 0) {
                    const int v = (raw[r * 12 + i] << 8 | raw[r * 12 + i + 1]) -
                                  (raw[r * 12 + i - bpp] << 8 | raw[r * 12 + i - bpp + 1]);
                    tiff[r * 12 + i] = static_cast<uint8_t>((v >> 8) & 0xff);
                    tiff[r * 12 + i + 1] = static_cast<uint8_t>(v & 0xff);
                }
            }
        size_t length = tiff.size();
        ASSERT_FALSE(UndoPredictor(tiff.data(), length, 2, parms));
        EXPECT_EQ(tiff, raw) << "TIFF colors " << layout.colors << " bits " << layout.bits;
    }
    // Predictors and layouts it does not undo.
    size_t length = raw.size();
    EXPECT_EQ(UndoPredictor(raw.data(), length, 3, PredictorParms{12, 1, 8}).code, kUnsupportedFilter);
    EXPECT_EQ(UndoPredictor(raw.data(), length, 2, PredictorParms{12, 1, 4}).code, kUnsupportedFilter);
    EXPECT_EQ(UndoPredictor(raw.data(), length, 12, PredictorParms{0, 1, 8}).code, kUnsupportedFilter);
}

}  // namespace
}  // namespace brisel
