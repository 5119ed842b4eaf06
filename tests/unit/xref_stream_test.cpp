#include "pdfread/xref_stream.h"
#include "split/unlock.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "pdfread/read_xref.h"
#include "pdfread/read_xref_streams.h"
#include "pdfread/stream_decode.h"
#include "pdfread/stream_dict.h"
#include "pdfread/xref_records.h"
#include "rewrite_support.h"
#include "stream_pdf.h"

namespace brisel {
namespace {

using test::BodyOf;
using test::Rewritten;
using test::StreamPdf;
using test::TestJob;
using test::TextOf;

Rewritten Normalise(TestJob& t, const std::string& file) {
    test::Rewritten r = test::RewriteAndRead(t.job, file, [](Job& job, Block& image, const XrefTable& table,
                                                                          ReaderRecord& reader) {
        JobStreamDecryption decryption(reader);
        return NormaliseXrefStreams(job, image, table, reader, &decryption);
    });
    // What the rewrite found, where the test looks for it.
    t.reader = r.reader;
    return r;
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// Catalog, page tree, a page with its content in the file, and objects
// spread over two object streams.
StreamPdf SmallDocument() {
    StreamPdf pdf;
    pdf.Packed(10, 1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Packed(10, 2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>")
        .Object(4, "<< /Length 8 >>\nstream\nBT ET q\nendstream")
        .Packed(11, 5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .Packed(11, 6, "(a string with endobj inside)")
        .Trailer("/Root 1 0 R /Info 6 0 R");
    return pdf;
}

TEST(NormaliseXrefStreams, UnpacksObjectStreamsInEveryLayout) {
    struct Layout {
        const char* name;
        bool compress, predictor, explicitIndex;
        int w1, w2, w3;
    };
    const Layout layouts[] = {{"flate + predictor 12", true, true, false, 1, 4, 2},
                              {"flate", true, false, false, 1, 3, 1},
                              {"uncompressed, /Index [0 n]", false, false, true, 1, 2, 1},
                              {"wide fields", true, true, true, 2, 8, 3}};
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        StreamPdf pdf = SmallDocument();
        pdf.Compress(layout.compress).Predictor(layout.predictor).ExplicitIndex(layout.explicitIndex);
        pdf.Widths(layout.w1, layout.w2, layout.w3);
        TestJob t;
        Rewritten r = Normalise(t, pdf.Build());
        ASSERT_EQ(r.result, 0) << r.error;
        ASSERT_EQ(r.read, 1) << t.job.LastError;
        EXPECT_EQ(t.reader.xrefStreams, 0);
        EXPECT_EQ(r.root, 1);
        EXPECT_EQ(r.rootGeneration, 0);
        // The same /Size as the stream: objects 0 to 12.
        EXPECT_EQ(r.table.HighestNumber(), 12);
        EXPECT_NE(TextOf(r.image).find("/Size 13\n"), std::string::npos);
        EXPECT_EQ(BodyOf(t, r, 1), "<< /Type /Catalog /Pages 2 0 R >>");
        EXPECT_EQ(BodyOf(t, r, 2), "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        EXPECT_EQ(BodyOf(t, r, 5), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        EXPECT_EQ(BodyOf(t, r, 4).substr(0, 15), "<< /Length 8 >>");
        EXPECT_EQ(CountPages(r.image.begin(), r.image.end(), r.root, r.rootGeneration, r.table).value_or(-1), 1);
        // The object streams are gone, and their entries point nowhere.
        EXPECT_EQ(TextOf(r.image).find("/ObjStm"), std::string::npos);
        EXPECT_EQ(r.table.Find(10), nullptr);
        EXPECT_EQ(r.table.Find(11), nullptr);
        // Objects in the file moved with the bytes before them.
        EXPECT_NE(BodyOf(t, r, 3).find("/Type /Page "), std::string::npos);
    }
}

TEST(NormaliseXrefStreams, ObjectsAreWrittenWithGenerationZero) {
    StreamPdf pdf = SmallDocument();
    TestJob t;
    Rewritten r = Normalise(t, pdf.Build());
    ASSERT_EQ(r.read, 1);
    const std::string image = TextOf(r.image);
    const XrefEntry* five = r.table.Find(5);
    EXPECT_EQ(five->generation, 0);
    EXPECT_EQ(image.compare(static_cast<size_t>(five->offset), 8, "5 0 obj\n"), 0);
    // The unpacked object keeps its bytes; a literal holding "endobj" too.
    EXPECT_EQ(BodyOf(t, r, 6).substr(0, 14), "(a string with");
}

TEST(NormaliseXrefStreams, IncrementalUpdateWinsOverObjectStreamCopies) {
    StreamPdf base = SmallDocument();
    std::string original = base.Build();
    // Object 5 rewritten in the file; object 2 re-packed into a new stream.
    StreamPdf update;
    update.Object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>")
        .Packed(20, 2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /Rotate 90 >>")
        .Trailer("/Root 1 0 R");
    TestJob t;
    Rewritten r = Normalise(t, update.Build(original));
    ASSERT_EQ(r.result, 0) << r.error;
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(BodyOf(t, r, 5), "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
    EXPECT_EQ(BodyOf(t, r, 2), "<< /Type /Pages /Kids [3 0 R] /Count 1 /Rotate 90 >>");
    const std::string image = TextOf(r.image);
    // The older copies in the older object streams were not unpacked.
    EXPECT_EQ(Occurrences(image, "/BaseFont /Helvetica"), 0u);
    EXPECT_EQ(Occurrences(image, "/Count 1 >>"), 0u);
    EXPECT_EQ(Occurrences(image, "\n2 0 obj\n"), 1u);
    // Objects only in the base are still found.
    EXPECT_EQ(BodyOf(t, r, 1), "<< /Type /Catalog /Pages 2 0 R >>");
    EXPECT_EQ(r.table.HighestNumber() + 1, 22);  // the newest /Size
}

TEST(NormaliseXrefStreams, HybridFileTakesCompressedObjectsFromItsStream) {
    // Classic table for 1..4 and 6; object 5 lives in object stream 4 and is
    // listed only by the stream named by /XRefStm, which also lists object 3
    // as free: the classic entry of 3 stays.
    const std::string header = "%PDF-1.5\n";
    std::string objects;
    long offsets[7] = {};
    auto add = [&](int n, const std::string& body) {
        offsets[n] = static_cast<long>(header.size() + objects.size());
        objects += std::to_string(n) + " 0 obj\n" + body + "\nendobj\n";
    };
    add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> >>");
    const std::string packed = "5 0 << /Type /Font /BaseFont /Symbol >>";
    add(4, "<< /Type /ObjStm /N 1 /First 4 /Length " + std::to_string(packed.size()) + " >>\nstream\n" + packed +
               "\nendstream");
    std::string rows = std::string("\x00\x00\x00\x00", 4) + std::string("\x02\x00\x04\x00", 4);
    add(6, "<< /Type /XRef /Size 7 /W [1 2 1] /Index [3 1 5 1] /Length 8 >>\nstream\n" + rows + "\nendstream");
    std::string file = header + objects;
    const long xref = static_cast<long>(file.size());
    file += "xref\n0 7\n0000000000 65535 f \n";
    for (int n = 1; n <= 6; ++n) {
        char line[32];
        std::snprintf(line, sizeof line, "%010ld 00000 %c \n", n == 5 ? 0L : offsets[n], n == 5 ? 'f' : 'n');
        file += line;
    }
    file += "trailer\n<< /Size 7 /Root 1 0 R /XRefStm " + std::to_string(offsets[6]) + " >>\nstartxref\n" +
            std::to_string(xref) + "\n%%EOF\n";

    TestJob t;
    Rewritten r = Normalise(t, file);
    ASSERT_EQ(r.result, 0) << r.error;
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(t.reader.xrefStreams, 0);
    EXPECT_EQ(r.root, 1);
    EXPECT_EQ(BodyOf(t, r, 5), "<< /Type /Font /BaseFont /Symbol >>");
    EXPECT_NE(BodyOf(t, r, 3).find("/Type /Page "), std::string::npos);
    EXPECT_EQ(BodyOf(t, r, 6).substr(0, 13), "<< /Type /XRe");
    EXPECT_EQ(CountPages(r.image.begin(), r.image.end(), r.root, r.rootGeneration, r.table).value_or(-1), 1);

    // Without /XRefStm the classic section alone is read: the object only
    // the stream lists is missing.
    std::string without = file;
    without.replace(without.find("/XRefStm"), 8, "/Foo    ");
    TestJob t2;
    Rewritten w = Normalise(t2, without);
    ASSERT_EQ(w.result, 0) << w.error;
    EXPECT_EQ(BodyOf(t2, w, 5), "<missing>");
    // The classic section lists it free, and the rewrite keeps it so.
    const XrefEntry* five = w.table.Find(5);
    EXPECT_TRUE(five == nullptr || five->type == 'f');
    EXPECT_NE(BodyOf(t2, w, 3).find("/Type /Page "), std::string::npos);
}

// A file whose one uncompressed cross-reference stream (W [1 2 1]) has the
// given dictionary entries and rows; "@1" and "@2" in a row's field 2 stand
// for the offsets of objects 1 and 2.
std::string RawStreamFile(const std::string& dict, const std::vector<std::array<int, 3>>& rows) {
    std::string file = "%PDF-1.5\n";
    const int one = static_cast<int>(file.size());
    file += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    const int two = static_cast<int>(file.size());
    file += "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n";
    const int xref = static_cast<int>(file.size());
    std::string data;
    for (auto row : rows) {
        int field2 = row[1] == -1 ? one : row[1] == -2 ? two : row[1] == -3 ? xref : row[1];
        data += static_cast<char>(row[0]);
        data += static_cast<char>(field2 >> 8 & 0xff);
        data += static_cast<char>(field2 & 0xff);
        data += static_cast<char>(row[2]);
    }
    file += "3 0 obj\n<< /Type /XRef /W [1 2 1] " + dict + " /Length " + std::to_string(data.size()) +
            " >>\nstream\n" + data + "\nendstream\nendobj\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return file;
}

TEST(NormaliseXrefStreams, RowsOutsideTheRecordsAreIgnored) {
    // /Index names numbers beyond /Size (read, as readers read them; their
    // offsets hold no objects, so they are listed free), one beyond what any
    // file may list (ignored), and more rows follow than the index lists.
    std::string file = RawStreamFile("/Size 4 /Root 1 0 R /Index [0 3 100000 2 2147483647 1 3 1]",
                                     {{0, 0, 255}, {1, -1, 0}, {1, -2, 0}, {1, 7, 0}, {1, 8, 0}, {1, 9, 0},
                                      {1, -3, 0}, {1, 11, 0}, {2, 1, 0}, {1, 12, 0}});
    TestJob t;
    Rewritten r = Normalise(t, file);
    ASSERT_EQ(r.result, 0) << r.error;
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(r.table.HighestNumber(), 100001);
    EXPECT_EQ(r.table.Find(100000)->type, 'f');
    EXPECT_EQ(r.table.Find(100001)->type, 'f');
    EXPECT_EQ(BodyOf(t, r, 2), "<< /Type /Pages /Kids [] /Count 0 >>");
    EXPECT_EQ(BodyOf(t, r, 3).substr(0, 13), "<< /Type /XRe");

    // A /Size far beyond anything the file could hold is refused.
    TestJob t2;
    EXPECT_EQ(Normalise(t2, RawStreamFile("/Size 2000000000 /Root 1 0 R", {{1, -1, 0}})).result, kStreamsTooManyObjects);
}

TEST(NormaliseXrefStreams, PrevChainThatLoopsEnds) {
    StreamPdf base = SmallDocument();
    base.Trailer("/Root 1 0 R /Pad 0000000000");
    std::string original = base.Build();
    StreamPdf update;
    update.Object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>").Trailer("/Root 1 0 R");
    std::string file = update.Build(original);
    // The base stream's /Prev leads back to the update's stream.
    char prev[32];
    std::snprintf(prev, sizeof prev, "/Prev %010ld", update.XrefOffset());
    file.replace(file.find("/Pad 0000000000"), 15, prev);
    TestJob t;
    Rewritten r = Normalise(t, file);
    ASSERT_EQ(r.result, 0) << r.error;
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(BodyOf(t, r, 5), "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");

    // A stream whose /Prev names itself.
    std::string self = SmallDocument().Trailer("/Root 1 0 R /Pad 0000000000").Build();
    size_t sx = self.rfind("startxref\n");
    std::snprintf(prev, sizeof prev, "/Prev %010ld", std::stol(self.substr(sx + 10)));
    self.replace(self.find("/Pad 0000000000"), 15, prev);
    TestJob t2;
    EXPECT_EQ(Normalise(t2, self).result, 0);
}

TEST(NormaliseXrefStreams, DamagedObjectStreamCostsOnlyItsObjects) {
    std::string good = SmallDocument().Predictor(false).Build();
    // Object stream 10 (the catalog and the page tree) is the first stream
    // in the file; stream 11 holds the font.
    size_t data = good.find("stream\n", good.find("/ObjStm")) + 7;
    // A damaged zlib header inflates nothing at all; damage a few bytes in
    // leaves no readable object-stream header. Either way the objects of
    // stream 10 are missing and the rest is read.
    for (size_t from : {size_t{0}, size_t{4}}) {
        SCOPED_TRACE(from);
        std::string damaged = good;
        for (size_t i = from; i < from + (from ? 8 : 2); ++i)
            damaged[data + i] = static_cast<char>(damaged[data + i] ^ 0x5a);
        TestJob t;
        Rewritten r = Normalise(t, damaged);
        ASSERT_EQ(r.result, 0) << r.error;
        ASSERT_EQ(r.read, 1);
        for (int32_t lost : {1, 2}) {
            const XrefEntry* e = r.table.Find(lost);
            EXPECT_TRUE(e == nullptr || e->type != 'n') << lost;
        }
        EXPECT_EQ(BodyOf(t, r, 5), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    }
}

TEST(NormaliseXrefStreams, UnsupportedDictionariesFail) {
    struct Case {
        const char* name;
        std::string file;
        int code;
    };
    std::string good = SmallDocument().Build();
    auto lastReplaced = [&](const std::string& from, const std::string& to) {
        std::string f = good;
        f.replace(f.rfind(from), from.size(), to);
        return f;
    };
    const Case cases[] = {
        {"no widths", SmallDocument().Widths(0, 0, 0).Build(), kStreamsNoW},
        {"LZW filter", lastReplaced("/FlateDecode", "/LZWDecode  "), kUnsupportedFilter},
        {"filter chain", lastReplaced(" /Filter /FlateDecode", "/Filter[/FlateDecode/LZW]"), kUnsupportedFilter},
        {"predictor 3", lastReplaced("/Predictor 12", "/Predictor 03"), kUnsupportedFilter},
        {"not /XRef", lastReplaced("/Type /XRef", "/Type /XRaf"), kStreamWrongType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestJob t;
        Rewritten r = Normalise(t, c.file);
        EXPECT_EQ(r.result, c.code);
        EXPECT_EQ(TextOf(r.image), c.file);
        // The failure names the cross-reference stream: its object and offset.
        const size_t at = std::stoul(c.file.substr(c.file.rfind("startxref") + 9));
        EXPECT_EQ(r.failure.offset, static_cast<int64_t>(at));
        EXPECT_EQ(r.failure.object, std::stoi(c.file.substr(at)));
    }
    // An object stream in a filter the reader lacks costs only its objects.
    TestJob t;
    Rewritten r = Normalise(t, SmallDocument().ObjectStreamEntries("/Filter /LZWDecode").Build());
    ASSERT_EQ(r.result, 0) << r.error;
    ASSERT_EQ(r.read, 1);
    EXPECT_EQ(BodyOf(t, r, 3).substr(0, 15), "<< /Type /Page ");
}

TEST(NormaliseXrefStreams, FormsTheStandardAllowsBeyondThePlainest) {
    std::string good = SmallDocument().Build();
    auto lastReplaced = [&](const std::string& from, const std::string& to) {
        std::string f = good;
        f.replace(f.rfind(from), from.size(), to);
        return f;
    };
    // Every object in the file: a first width of 0 makes every row type 1.
    StreamPdf inFile;
    inFile.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Object(3, "<< /Type /Page /Parent 2 0 R >>")
        .Trailer("/Root 1 0 R")
        .ExplicitIndex(true)
        .Widths(0, 4, 2);
    const std::pair<const char*, std::string> files[] = {
        {"abbreviation", lastReplaced(" /Filter /FlateDecode", "/Filter /Fl         ")},
        {"array of one filter", lastReplaced(" /Filter /FlateDecode", "/Filter[/FlateDecode]")},
        {"parameters in an array", lastReplaced("/DecodeParms << /Columns 7 /Predictor 12 >>",
                                                "/DecodeParms [<< /Columns 7 /Predictor 12 >>]")},
        {"first width 0", inFile.Build()},
    };
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        TestJob t;
        Rewritten r = Normalise(t, file);
        ASSERT_EQ(r.result, 0) << r.error;
        ASSERT_EQ(r.read, 1);
        EXPECT_EQ(BodyOf(t, r, 1), "<< /Type /Catalog /Pages 2 0 R >>");
        EXPECT_EQ(BodyOf(t, r, 2), "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    }
}

TEST(NormaliseXrefStreams, SizeCostsWhatTheEntriesNameNotWhatItSays) {
    // Objects numbered far above the file's size are read.
    StreamPdf high = SmallDocument();
    high.Object(156341, "(numbered far above the size of the file)");
    const std::string highFile = high.Build();
    ASSERT_LT(highFile.size(), 156341u);
    TestJob t;
    Rewritten r = Normalise(t, highFile);
    ASSERT_EQ(r.result, 0) << r.error;
    EXPECT_EQ(BodyOf(t, r, 156341), "(numbered far above the size of the file)");
    // A /Size far above every entry makes no table of that size; one beyond
    // what any file may cost is refused.
    std::string file = SmallDocument().Build();
    const size_t at = file.rfind("/Size 13 ");
    TestJob t2;
    r = Normalise(t2, file.substr(0, at) + "/Size 30000000 " + file.substr(at + 9));
    ASSERT_EQ(r.result, 0) << r.error;
    EXPECT_EQ(r.table.HighestNumber(), 12);
    EXPECT_EQ(BodyOf(t2, r, 5), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    TestJob t3;
    EXPECT_EQ(Normalise(t3, file.substr(0, at) + "/Size 40000000 " + file.substr(at + 9)).result, kStreamsTooManyObjects);
    // A /Size below the objects (a writer that counted its entries) loses
    // none of them.
    TestJob t4;
    r = Normalise(t4, file.substr(0, at) + "/Size 5  " + file.substr(at + 9));
    ASSERT_EQ(r.result, 0) << r.error;
    EXPECT_EQ(r.table.HighestNumber(), 12);
    EXPECT_EQ(BodyOf(t4, r, 6).substr(0, 14), "(a string with");
}

TEST(NormaliseXrefStreams, PredictorWithoutColumnsIsIgnored) {
    // Predictor 12 without /Columns counts as plain Flate: rows must then be
    // stored without predictor bytes.
    std::string file = SmallDocument().Predictor(false).Build();
    file.replace(file.rfind(" /Filter"), 8, "/DecodeParms<</Predictor 12>> /Filter");
    TestJob t;
    Rewritten r = Normalise(t, file);
    EXPECT_EQ(r.result, 0) << r.error;
    EXPECT_EQ(BodyOf(t, r, 1), "<< /Type /Catalog /Pages 2 0 R >>");
}

TEST(NormaliseXrefStreams, EncryptionItCannotOpenIsRefused) {
    StreamPdf pdf = SmallDocument();
    pdf.Object(7, "<< /Filter /Standard /V 2 /R 3 /O <00> /U <00> /P -4 >>")
        .Trailer("/Root 1 0 R /Encrypt 7 0 R /ID [<01><01>]");
    std::string file = pdf.Build();
    TestJob t;
    Rewritten r = Normalise(t, file);
    EXPECT_EQ(r.result, kOpenRefused);
    EXPECT_EQ(t.reader.refused, 1);
    EXPECT_EQ(TextOf(r.image), file);

    // /Encrypt naming an object no stream lists in the file.
    file = SmallDocument().Trailer("/Root 1 0 R /Encrypt 2 0 R").Build();
    TestJob t2;
    EXPECT_EQ(Normalise(t2, file).result, kRewriteNoEncryptObject);
    EXPECT_EQ(t2.reader.refused, 0);
}

}  // namespace
}  // namespace brisel
