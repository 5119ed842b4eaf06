#include "pdfread/stream_decode.h"

#include <gtest/gtest.h>

#include <string>
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
Located Locate(const std::string& dict, const std::string& rest) {
    TestJob t;
    Block b = BytesOf("<< " + dict + " >>" + rest);
    Cursor dictEnd = FindDictEnd(b.begin() + 2, b.end());
    Cursor data = nullptr, after = nullptr;
    size_t length = 0;
    int r = LocateStreamData(t.job, b.begin() + 2, dictEnd, b.end(), data, length, after);
    return {r, r == 0 ? std::string(reinterpret_cast<const char*>(data), length) : ""};
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
    EXPECT_EQ(Locate("/Length 99999", "\nstream\nHELLO\nendstream" + tail).result, -36);
    // A /Length that points into the data.
    EXPECT_EQ(Locate("/Length 2", "\nstream\nHELLO\nendstream" + tail).result, -36);
    EXPECT_EQ(Locate("/Size 2", "\nstream\nHELLO\nendstream" + tail).result, -33);
    EXPECT_EQ(Locate("/Length 5", "\nstrea").result, -34);
    EXPECT_EQ(Locate("/Length 5", "\nsomething else entirely\nendstream").result, -36);
}

int FilterState(const std::string& dict, int* result = nullptr) {
    TestJob t;
    Block b = BytesOf("<< " + dict + " >> stream\nxx\nendstream\n");
    Cursor dictEnd = FindDictEnd(b.begin() + 2, b.end());
    int state = 99;
    int r = ReadFilterState(t.job, b.begin() + 2, dictEnd, b.end(), state);
    if (result) *result = r;
    return state;
}

TEST(ReadFilterState, DerivesTheStateFromFilterAndParameters) {
    EXPECT_EQ(FilterState("/Length 2"), kFilterNone);
    EXPECT_EQ(FilterState("/Filter /FlateDecode"), kFilterFlate);
    EXPECT_EQ(FilterState("/Filter [/FlateDecode]"), kFilterOther);
    EXPECT_EQ(FilterState("/Filter /FlateDecodeX"), kFilterOther);
    EXPECT_EQ(FilterState("/Filter /LZWDecode"), kFilterOther);
    EXPECT_EQ(FilterState("/Filter /FlateDecode /DecodeParms << /Columns 6 /Predictor 12 >>"), 12);
    EXPECT_EQ(FilterState("/Filter /FlateDecode /DecodeParms << /Predictor 12 >>"), kFilterFlate);
    EXPECT_EQ(FilterState("/Filter /FlateDecode /DecodeParms << /Columns 6 /Predictor /X >>"), kFilterFlate);
    int r = 0;
    FilterState("/Filter /FlateDecode /DecodeParms << /Columns /X /Predictor 12 >>", &r);
    EXPECT_EQ(r, -32);
    FilterState("/Filter /FlateDecode /DecodeParms [<< /Columns 6 >>]", &r);
    EXPECT_EQ(r, -9);
}

int Decode(const std::string& in, std::string& out, size_t capacity) {
    std::vector<uint8_t> buffer(capacity);
    int r = DecodeFlate(U(in), in.size(), buffer.data(), capacity);
    out = r == 0 ? std::string(buffer.begin(), buffer.begin() + static_cast<long>(capacity)) : "";
    return r;
}

TEST(DecodeFlate, InflatesIntoTheCapacityGiven) {
    const std::string text = "0123456789 the quick brown fox 0123456789";
    const std::string packed = Deflate(text);
    std::string out;
    EXPECT_EQ(Decode(packed, out, 100), 0);
    EXPECT_EQ(out, text);
    // Output exactly as long as the capacity does not fit; one byte more does.
    EXPECT_EQ(Decode(packed, out, text.size()), -10);
    EXPECT_EQ(Decode(packed, out, text.size() + 1), 0);
    // Bytes after the end marker are ignored.
    EXPECT_EQ(Decode(packed + "trailing junk", out, 100), 0);
    EXPECT_EQ(out, text);
    // Damage and truncation are failures of their own, not lack of room.
    std::string damaged = packed;
    damaged[5] = static_cast<char>(damaged[5] ^ 0xff);
    damaged[6] = static_cast<char>(damaged[6] ^ 0xff);
    EXPECT_EQ(Decode(damaged, out, 100) == -4 || Decode(damaged, out, 100) == -5, true);
    EXPECT_EQ(Decode(packed.substr(0, packed.size() - 6), out, 100), -5);
    EXPECT_EQ(Decode("not zlib at all", out, 100), -4);
    EXPECT_EQ(Decode("", out, 100), -5);
}

TEST(InflateStream, RetriesWithLargerBlocksUntilTheDataFits) {
    const std::string zeros(300000, '\0');  // inflates about a thousandfold
    const std::string packed = Deflate(zeros);
    ASSERT_LT(packed.size() * 20, zeros.size());
    Block out;
    size_t decoded = 0;
    ASSERT_EQ(InflateStream(U(packed), packed.size(), out, decoded), 0);
    EXPECT_EQ(decoded, zeros.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), decoded), zeros);
    EXPECT_EQ(InflateStream(U(std::string("garbage")), 7, out, decoded), -4);
    EXPECT_TRUE(out.empty());
}

TEST(UndoUpPredictor, AddsTheRowAboveExceptToTheFilterByte) {
    uint8_t rows[] = {2, 1, 200, 9,  //
                      2, 1, 100, 1,  //
                      7, 0, 0,   255,  //
                      2, 5};           // partial row: untouched
    UndoUpPredictor(rows, sizeof rows, 4);
    const uint8_t expected[] = {2, 1, 200, 9, 2, 2, 44, 10, 7, 2, 44, 9, 2, 5};
    EXPECT_EQ(std::vector<uint8_t>(rows, rows + sizeof rows), std::vector<uint8_t>(expected, expected + 14));
}

}  // namespace
}  // namespace brisel
