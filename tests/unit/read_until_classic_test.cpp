// The read, rewrite and repair sequence of the split job and of the page
// count query, on files that need no rewrite, a rewrite, or more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "base/platform.h"
#include "docstruct/document.h"
#include "pdfread/open_document.h"
#include "split/page_range.h"
#include "split/split_stages.h"
#include "stream_pdf.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;

// A host that records every status line it is shown.
class RecordingHost : public SilentHost {
public:
    void Progress(Job& job, int percent) override {
        shown.push_back(job.StatusText + " " + std::to_string(percent));
    }
    std::vector<std::string> shown;
};

struct Outcome {
    int result;
    std::vector<std::string> shown;
    Document doc;
};

Outcome ReadAll(const std::string& file) {
    AppState app;
    RecordingHost host;
    Job job(app, host);
    Outcome run;
    run.doc.image = BytesOf(file);
    run.result = ReadUntilClassic(job, run.doc);
    run.shown = host.shown;
    return run;
}

std::string ObjectStreamFile() {
    test::StreamPdf pdf;
    pdf.Packed(9, 1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Packed(9, 2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
        .Object(3, "<< /Type /Page /Parent 2 0 R >>")
        .Object(4, "<< /Type /Page /Parent 2 0 R >>")
        .Trailer("/Root 1 0 R");
    return pdf.Build();
}

std::string DamagedFile() {
    // startxref points into the header.
    std::string file = test::SimpleDocument(3);
    size_t at = file.rfind("startxref\n") + 10;
    return file.substr(0, at) + "7" + file.substr(file.find('\n', at));
}

const std::string kAnalyzing = "Analyzing 10";

TEST(ReadUntilClassic, GoesAsFarAsTheFileNeeds) {
    Outcome classic = ReadAll(test::SimpleDocument(2));
    EXPECT_EQ(classic.result, 0);
    EXPECT_EQ(classic.shown, std::vector<std::string>{kAnalyzing});

    Outcome streams = ReadAll(ObjectStreamFile());
    EXPECT_EQ(streams.result, 0);
    EXPECT_EQ(streams.shown, std::vector<std::string>(3, kAnalyzing));
    EXPECT_TRUE(streams.doc.table.valid());
    EXPECT_EQ(streams.doc.reader.rootNumber, 1);

    // A damaged file is repaired at once, without "Repairing".
    Outcome damaged = ReadAll(DamagedFile());
    EXPECT_EQ(damaged.result, 0);
    EXPECT_EQ(damaged.shown, std::vector<std::string>(3, kAnalyzing));

    // A file beyond repair tries twice, then fails.
    Outcome hopeless = ReadAll("%PDF-1.4\nnot a single object in here at all\n%%EOF\n");
    EXPECT_EQ(hopeless.result, -1);
    EXPECT_EQ(hopeless.shown,
              (std::vector<std::string>{kAnalyzing, kAnalyzing, kAnalyzing, "Repairing 10", kAnalyzing}));

    // An object-stream file whose cross-reference stream cannot be read is
    // rebuilt from its objects, its object streams unpacked.
    std::string broken = ObjectStreamFile();
    broken.replace(broken.rfind("/FlateDecode"), 12, "/LZWDecode  ");
    Outcome rebuilt = ReadAll(broken);
    EXPECT_EQ(rebuilt.result, 0);
    EXPECT_EQ(rebuilt.shown.size(), 5u);
    EXPECT_EQ(rebuilt.doc.reader.rootNumber, 1);
    ASSERT_NE(rebuilt.doc.table.Find(2), nullptr);
    EXPECT_EQ(rebuilt.doc.table.Find(2)->type, 'n');
    // One whose object streams cannot be read either is read all the same:
    // the objects they hold are missing, and cost only what needs them.
    broken.replace(broken.find("/FlateDecode"), 12, "/LZWDecode  ");
    Outcome unreadable = ReadAll(broken);
    EXPECT_EQ(unreadable.result, 0);
    EXPECT_EQ(unreadable.shown.size(), 5u);
    const XrefEntry* lost = unreadable.doc.table.Find(2);
    EXPECT_TRUE(lost == nullptr || lost->type != 'n');
    ASSERT_NE(unreadable.doc.table.Find(3), nullptr);
    EXPECT_EQ(unreadable.doc.table.Find(3)->type, 'n');
}

// The document opened and analysed as the split job does it: the page
// count, the statuses shown, and the body of one object.
struct Analysed {
    int32_t count = -1;
    std::vector<std::string> shown;
    std::string body;
};

Analysed OpenAndAnalyze(const std::string& file, int bodyOf) {
    AppState app;
    RecordingHost host;
    Job job(app, host);
    Document doc;
    doc.image = BytesOf(file);
    Analysed a;
    if (ReadUntilClassic(job, doc) == 0) a.count = AnalyzeOrRepair(job, doc, true).value_or(-1);
    a.shown = host.shown;
    if (a.count >= 0) {
        Cursor body = FindObject(doc.table, doc.start(), doc.end(), bodyOf, 0).value_or(nullptr);
        if (body) a.body.assign(reinterpret_cast<const char*>(body), std::min<size_t>(60, doc.end() - body));
    }
    return a;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

std::string Offset(size_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%010zu", value);
    return text;
}

TEST(ReadUntilClassic, DamageFoundOnlyByTheAnalysisIsRepairedOnce) {
    const std::string simple = test::SimpleDocument(3);
    const size_t page3 = simple.find("3 0 obj"), page4 = simple.find("4 0 obj");
    const size_t xref = simple.rfind("xref\n");
    const std::vector<std::string> repaired = {kAnalyzing, "Repairing 10", kAnalyzing};
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        // The table reads well, but the second page's entry names the first,
        // a few bytes before the second: found nearby, with no repair.
        {"entry at another object", Replaced(simple, Offset(page4) + " 00000 n", Offset(page3) + " 00000 n"),
         {kAnalyzing}},
        {"no /Root in any trailer", Replaced(simple, "/Root 1 0 R", "           "), repaired},
        // A /Prev loop fails the read: the repair runs at once.
        {"/Prev loop", Replaced(simple, "/Root 1 0 R", "/Root 1 0 R /Prev " + std::to_string(xref)),
         std::vector<std::string>(3, kAnalyzing)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Analysed a = OpenAndAnalyze(c.file, 4);
        EXPECT_EQ(a.count, 3);
        EXPECT_EQ(a.shown, c.shown);
        EXPECT_EQ(a.body.substr(0, 13), "<< /Type /Pag");
    }
    // A tree beyond the repair gives, after one repair, the pages a scan
    // of the objects finds.
    Analysed hopeless = OpenAndAnalyze(Replaced(simple, "/Type /Catalog /Pages 2 0 R", "/Type /Catalog /Pagez 2 0 R"), 4);
    EXPECT_EQ(hopeless.count, 3);
    EXPECT_EQ(hopeless.shown, repaired);
}

TEST(ReadUntilClassic, ChainsThatMixFormsAndOffsetsFromAShiftedHeader) {
    const std::string streams = ObjectStreamFile();
    const std::string rotated = "<< /Type /Page /Parent 2 0 R /Rotate 90 >>";
    // A classic update appended to a file of streams.
    std::string classicOver = streams + "4 0 obj\n" + rotated + "\nendobj\n";
    const size_t at = classicOver.size();
    classicOver += "xref\n4 1\n" + Offset(streams.size()) + " 00000 n \ntrailer\n<< /Size 11 /Root 1 0 R /Prev " +
                   std::to_string(streams.rfind("10 0 obj")) + " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    // A stream update appended to a classic file.
    test::StreamPdf update;
    update.Object(4, rotated).Object(8, "(pad)").Trailer("/Root 1 0 R");
    const std::string streamOver = update.Build(test::SimpleDocument(2));
    // Bytes in front of the header of a file whose offsets count from it.
    const std::string shifted = "junk from a mail gateway\r\n" + streams;
    // A startxref that leads nowhere: the last cross-reference stream is
    // found.
    const size_t sx = streams.rfind("startxref\n") + 10;
    const std::string lost = streams.substr(0, sx) + "7" + streams.substr(streams.find('\n', sx));
    const std::string plain = "<< /Type /Page /Parent 2 0 R >>";
    const std::tuple<const char*, std::string, std::string> files[] = {{"classic over streams", classicOver, rotated},
                                                                       {"streams over classic", streamOver, rotated},
                                                                       {"shifted", shifted, plain},
                                                                       {"startxref lost", lost, plain}};
    for (const auto& [name, file, page] : files) {
        SCOPED_TRACE(name);
        Analysed a = OpenAndAnalyze(file, 4);
        EXPECT_EQ(a.count, 2);
        EXPECT_EQ(std::count(a.shown.begin(), a.shown.end(), "Repairing 10"), 0);
        EXPECT_EQ(a.body.substr(0, a.body.find("endobj") - 1), page);
    }
}

TEST(ReadUntilClassic, ObjectStreamItsEntryMissesIsMissing) {
    test::StreamPdf pdf;
    pdf.Packed(9, 1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Packed(9, 2, "<< /Type /Pages /Kids [3 0 R] >>")
        .Object(3, "<< /Type /Page /Parent 2 0 R /PieceInfo 7 0 R >>")
        .Packed(12, 7, "<< /Unneeded true >>")
        .Trailer("/Root 1 0 R");
    // The bytes at object stream 12's entry are not its header.
    Analysed a = OpenAndAnalyze(Replaced(pdf.Build(), "12 0 obj", "12 0 abc"), 7);
    EXPECT_EQ(a.count, 1);
    EXPECT_EQ(a.body, "");  // listed free: a reference to it reads as null
}

TEST(ReadUntilClassic, EncryptedStreamFileItCannotOpenEndsAsTold) {
    test::StreamPdf pdf;
    pdf.Packed(9, 1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .Object(3, "<< /Filter /Standard /V 1 /R 2 /O <00> /U <00> /P -4 >>")
        .Trailer("/Root 1 0 R /Encrypt 3 0 R");
    Outcome run = ReadAll(pdf.Build());
    EXPECT_EQ(run.result, kOpenRefused);
    EXPECT_EQ(run.shown.size(), 3u);  // ended after the first rewrite
}

class QueryPageCountFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = (std::filesystem::temp_directory_path() /
                            ("brisel-query-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                             "-" + name))
                               .string();
        std::remove(path.c_str());
        WriteWholeFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        paths_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string& p : paths_) std::remove(p.c_str());
    }
    std::vector<std::string> paths_;
};

TEST_F(QueryPageCountFiles, CountsAfterRewriteAndRepair) {
    test::TestJob t;
    EXPECT_EQ(QueryPageCount(t.job, Write("classic.pdf", test::SimpleDocument(4))), 4);
    EXPECT_EQ(QueryPageCount(t.job, Write("streams.pdf", ObjectStreamFile())), 2);
    EXPECT_EQ(QueryPageCount(t.job, Write("damaged.pdf", DamagedFile())), 3);
    EXPECT_EQ(QueryPageCount(t.job, Write("hopeless.pdf", "%PDF-1.4\nno objects in this one\n%%EOF\n")), -1);
}

}  // namespace
}  // namespace brisel
