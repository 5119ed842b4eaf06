// The read, rewrite and repair sequence of the split job and of the page
// count query, on files that need no rewrite, a rewrite, or more.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
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

    // An object-stream file whose streams cannot be read gives up the same way.
    std::string broken = ObjectStreamFile();
    broken.replace(broken.rfind("/W [1 4 2]"), 10, "/W [0 4 2]");
    Outcome unreadable = ReadAll(broken);
    EXPECT_EQ(unreadable.result, -1);
    EXPECT_EQ(unreadable.shown.size(), 5u);
}

TEST(ReadUntilClassic, EncryptedStreamFileItCannotOpenEndsAsTold) {
    test::StreamPdf pdf;
    pdf.Packed(9, 1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .Object(3, "<< /Filter /Standard /V 1 /R 2 /O <00> /U <00> /P -4 >>")
        .Trailer("/Root 1 0 R /Encrypt 3 0 R");
    Outcome run = ReadAll(pdf.Build());
    EXPECT_EQ(run.result, 10);
    EXPECT_EQ(run.shown.size(), 3u);  // ended after the first rewrite
}

class QueryPageCountFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = (std::filesystem::temp_directory_path() /
                            ("brisel-query-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                             "-" + name))
                               .string();
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
