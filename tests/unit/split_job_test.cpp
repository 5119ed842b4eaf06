#include "split/split_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "split/failure_reason.h"
#include "base/platform.h"
#include "split/output_naming.h"
#include "split/page_range.h"
#include "split/part_count.h"
#include "split/page_saver.h"
#include "split/file_sinks.h"
#include "split/split_stages.h"
#include "test_support.h"
#ifdef BRISEL_LIBRARY_TESTS
#include "brisel/brisel.hpp"
#endif

namespace brisel {
namespace {

namespace fs = std::filesystem;
using test::TestJob;

// A host that records what a job tells and answers the warning as told.
class RecordingHost : public JobHost {
public:
    std::vector<std::pair<std::string, int>> progress;
    int replacements = 0;
    bool answer = true;
    std::string warned;
    void Progress(Job& job, int percent) override { progress.push_back({job.StatusText, percent}); }
    void ReplaceStatusText(Job&) override { ++replacements; }
    bool ConfirmWarnLimit(Job&, const std::string& count) override {
        warned = count;
        return answer;
    }
    bool AskPassword(Job&, std::string&) override { return false; }
    void ShowMessage(Job&, MessageIcon, const std::string&) override {}
};

class SplitJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("brisel-unit-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    size_t FileCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

TEST_F(SplitJobTest, ProgressSequenceOfAClassicFile) {
    std::string path = Write("doc.pdf", test::SimpleDocument(3));
    AppState app;
    RecordingHost host;
    Job job(app, host);
    ASSERT_EQ(SplitAllPages(job, path), kResultDone);
    std::vector<std::pair<std::string, int>> expected = {{"Reading", 0},          {"Analyzing", 10},
                                                         {"Analyzing", 20},       {"Creating Pages", 30},
                                                         {"Creating Pages 1/3", 53}, {"Creating Pages 2/3", 76},
                                                         {"Creating Pages 3/3", 100}};
    EXPECT_EQ(host.progress, expected);
    EXPECT_EQ(FileCount(), 4u);
    EXPECT_EQ(app.PageCountCacheCount, 3);
    EXPECT_EQ(app.PageCountCachePath, path);
}

TEST_F(SplitJobTest, WarningCountsTheFilesOfTheRange) {
    std::string path = Write("w.pdf", test::SimpleDocument(60));
    AppState app;
    RecordingHost host;
    host.answer = false;
    Job job(app, host);
    EXPECT_EQ(SplitAllPages(job, path), kResultAlreadyTold);
    EXPECT_EQ(host.warned, "60");
    EXPECT_EQ(FileCount(), 1u);
    // 49 pages of the range stay below the limit of 50.
    Job range(app, host);
    range.FirstPage = 2;
    range.LastPage = 50;
    host.warned.clear();
    EXPECT_EQ(SplitPageRange(range, path), kResultDone);
    EXPECT_EQ(host.warned, "");
    EXPECT_EQ(FileCount(), 50u);
}

TEST_F(SplitJobTest, RangeChecks) {
    std::string path = Write("r.pdf", test::SimpleDocument(5));
    AppState app;
    RecordingHost host;
    Job job(app, host);
    job.FirstPage = 4;
    job.LastPage = 6;
    EXPECT_EQ(SplitPageRange(job, path), kResultBadPageRange);
    Job swapped(app, host);
    swapped.FirstPage = 4;
    swapped.LastPage = 2;
    EXPECT_EQ(SplitPageRange(swapped, path), kResultDone);
    EXPECT_TRUE(fs::exists(dir_ / "r-2.pdf"));
    EXPECT_TRUE(fs::exists(dir_ / "r-4.pdf"));
    EXPECT_FALSE(fs::exists(dir_ / "r-5.pdf"));
}

TEST_F(SplitJobTest, OnePageAndZeroCountDocuments) {
    AppState app;
    RecordingHost host;
    Job one(app, host);
    EXPECT_EQ(SplitAllPages(one, Write("one.pdf", test::SimpleDocument(1))), kResultOnePage);
    // /Count 0, or a /Count far beyond the pages, while the tree holds two
    // pages: the two pages are split, and the range checks against them.
    for (const char* count : {"/Count 0", "/Count 9999999999"}) {
        std::string file = test::SimpleDocument(2);
        file.replace(file.find("/Count 2"), 8, count);
        std::string path = Write("count.pdf", file);
        Job all(app, host);
        EXPECT_EQ(SplitAllPages(all, path), kResultDone) << count;
        EXPECT_EQ(all.PageCount, 2);
        EXPECT_TRUE(fs::exists(dir_ / "count-1.pdf"));
        EXPECT_TRUE(fs::exists(dir_ / "count-2.pdf"));
        EXPECT_FALSE(fs::exists(dir_ / "count-3.pdf"));
        Job range(app, host);
        range.LastPage = 3;
        EXPECT_EQ(SplitPageRange(range, path), kResultBadPageRange);
        fs::remove(dir_ / "count-1.pdf");
        fs::remove(dir_ / "count-2.pdf");
        EXPECT_EQ(QueryPageCount(all, path), 2);
    }
}

TEST_F(SplitJobTest, UnreadableInputsFail) {
    AppState app;
    RecordingHost host;
    Job job(app, host);
    // Each failure leaves the step and the code that name its reason.
    auto reason = [&] { return FailureReason(Language::English, job.Step, job.LastError); };
    EXPECT_EQ(SplitAllPages(job, (dir_ / "missing.pdf").string()), kResultFailed);
    EXPECT_EQ(reason(), "the file cannot be read, or is too short or too large for a PDF file");
    EXPECT_EQ(SplitAllPages(job, Write("short.pdf", "%PDF-1.4\n%%EOF\n")), kResultFailed);
    EXPECT_EQ(SplitAllPages(job, Write("junk.pdf", std::string(5000, 'x'))), kResultFailed);
    EXPECT_EQ(reason(), "the cross-reference table is damaged and could not be repaired");
    // A root without /Kids: its pages are found by scanning.
    std::string noKids = test::SimpleDocument(2);
    noKids.replace(noKids.find("/Kids"), 5, "/Kidz");
    EXPECT_EQ(SplitAllPages(job, Write("nokids.pdf", noKids)), kResultIncomplete);
    EXPECT_EQ(ResultDetail(job, kResultIncomplete),
              "the page tree is damaged: 2 pages found by scanning; their order may differ from the original");
    // Nor any page for the scan to find.
    std::string noPages = test::SimpleDocument(1);
    noPages.replace(noPages.find("/Kids"), 5, "/Kidz");
    noPages.replace(noPages.find("/Type /Page /Parent 2 0 R"), 25, "/Type /Font /Parent 9 0 R");
    EXPECT_EQ(SplitAllPages(job, Write("nopages.pdf", noPages)), kResultFailed);
    EXPECT_EQ(reason(), "the page tree is damaged");
    // A code the table does not know is given as its number.
    EXPECT_EQ(FailureReason(Language::English, JobStep::Analyze, -77), "code -77");
    EXPECT_EQ(FailureReason(Language::Japanese, JobStep::Start, -5), "コード -5");
}

TEST_F(SplitJobTest, StopBeforeReadingEndsWithBreak) {
    AppState app;
    RecordingHost host;
    Job job(app, host);
    job.StopCode = -2;
    EXPECT_EQ(SplitAllPages(job, Write("s.pdf", test::SimpleDocument(3))), kResultBreak);
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(SplitJobTest, PageCountQuery) {
    TestJob t;
    EXPECT_EQ(QueryPageCount(t.job, Write("q.pdf", test::SimpleDocument(7))), 7);
    EXPECT_EQ(QueryPageCount(t.job, (dir_ / "none.pdf").string()), -1);
    // The parts at bookmarks: a file without bookmarks has no level.
    std::vector<int32_t> levels{9};
    EXPECT_EQ(QueryBookmarkParts(t.job, (dir_ / "q.pdf").string(), levels), 7);
    EXPECT_TRUE(levels.empty());
    EXPECT_EQ(QueryBookmarkParts(t.job, (dir_ / "none.pdf").string(), levels), -1);
    // A stop asked before it reads anything.
    t.job.StopCode = kStopRequested;
    EXPECT_EQ(QueryBookmarkParts(t.job, (dir_ / "q.pdf").string(), levels), -1);
}

TEST_F(SplitJobTest, SaverKeepsWhatAOneByOneWriterWouldLeave) {
    // Page 2 cannot be written: pages 0 and 1 stay, later ones are removed
    // even when a writer thread finished them first.
    PageSaver saver(3);
    auto file = [&](int i) { return dir_ / (std::to_string(i) + ".pdf"); };
    for (int32_t i = 0; i < 6; ++i) {
        std::string path = (i == 2 ? dir_ / "missing" / "2.pdf" : file(i)).string();
        std::string bytes(static_cast<size_t>(1000 + i), 'x');
        saver.Submit(i, path, bytes, std::nullopt);
    }
    EXPECT_EQ(saver.Finish(), 2);
    EXPECT_TRUE(fs::exists(file(0)));
    EXPECT_TRUE(fs::exists(file(1)));
    for (int i = 3; i < 6; ++i) EXPECT_FALSE(fs::exists(file(i)));
    EXPECT_EQ(fs::file_size(file(1)), 1001u);
}

TEST_F(SplitJobTest, SaverForgetsOnlyFilesThatMustStay) {
    // A small file cap makes the saver forget settled files often; a late
    // failure must still remove every file after it, and none before it.
    PageSaver saver(2, 1u << 20, 2);
    auto file = [&](int i) { return dir_ / (std::to_string(i) + ".pdf"); };
    for (int32_t i = 0; i < 40; ++i) {
        std::string path = (i == 30 ? dir_ / "missing" / "30.pdf" : file(i)).string();
        std::string bytes(100, 'x');
        saver.Submit(i, path, bytes, std::nullopt);
    }
    EXPECT_EQ(saver.Finish(), 30);
    for (int i = 0; i < 30; ++i) EXPECT_TRUE(fs::exists(file(i))) << i;
    for (int i = 31; i < 40; ++i) EXPECT_FALSE(fs::exists(file(i))) << i;
}

TEST_F(SplitJobTest, SaverWritesFilesLargerThanItsCaps) {
    // One file is always let through, however small the caps: no deadlock,
    // and every byte arrives.
    PageSaver saver(2, 10, 1);
    for (int32_t i = 0; i < 20; ++i) {
        std::string bytes(static_cast<size_t>(5000 + i), static_cast<char>('a' + i));
        saver.Submit(i, (dir_ / (std::to_string(i) + ".pdf")).string(), bytes, std::nullopt);
    }
    EXPECT_EQ(saver.Finish(), -1);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(fs::file_size(dir_ / (std::to_string(i) + ".pdf")), 5000u + i);
}

// Plants a file under the name of page 3 once the names are chosen, as
// another run into the same folder would.
class PlantingHost : public RecordingHost {
public:
    std::string planted;
    void Progress(Job& job, int percent) override {
        RecordingHost::Progress(job, percent);
        if (job.StatusText.rfind("Creating Pages 1/", 0) == 0) std::ofstream(planted, std::ios::binary) << "precious";
    }
};

// The page whose name was taken goes under the next discriminator's name,
// the others keep theirs, and the job says so.
TEST_F(SplitJobTest, AFileThatTakesANameMeanwhileIsNeverOverwritten) {
    std::string path = Write("p.pdf", test::SimpleDocument(5));
    AppState app;
    PlantingHost host;
    host.planted = (dir_ / "p-3.pdf").string();
    Job job(app, host);
    EXPECT_EQ(SplitAllPages(job, path), kResultDone);
    std::ifstream kept(host.planted, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "precious");
    for (const char* name : {"p-1.pdf", "p-2.pdf", "p-03.pdf", "p-4.pdf", "p-5.pdf"})
        EXPECT_TRUE(fs::exists(dir_ / name)) << name;
    EXPECT_EQ(job.PagesRenamed, 1);
    EXPECT_NE(RenamedNote(job).find("1 page files were written under other names"), std::string::npos);
}

TEST(PageField, Rules) {
    int32_t v = -1;
    EXPECT_TRUE(ReadPageField("", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ReadPageField("   ", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ReadPageField("007", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ReadPageField(" 12 ", v));
    EXPECT_EQ(v, 12);
    for (const char* bad : {"0", "00", "1 2", "-3", "3a", "+4", "99999999999"}) EXPECT_FALSE(ReadPageField(bad, v)) << bad;
}

TEST(OutputNaming, BaseAndPadding) {
    OutputNaming n;
    n.SetBase("dir/A.PDF", false, "");
    EXPECT_EQ(n.base(), "dir/A-");
    TestJob t;
    ASSERT_TRUE(n.Choose(t.job, 1000, 0, 0));
    EXPECT_EQ(n.PathFor(7), "dir/A-0007.pdf");
    EXPECT_EQ(n.PathFor(1000), "dir/A-1000.pdf");
    std::string sep(1, kPathSeparator);
    n.SetBase("in" + sep + "report.pdf", true, "out" + sep);
    EXPECT_EQ(n.base(), "out" + sep + "report-");
    n.SetBase("in" + sep + "report.pdf", true, "out");
    EXPECT_EQ(n.base(), "out" + sep + "report-");
}

TEST(OutputNaming, DigitCount) {
    EXPECT_EQ(DecimalDigits(9), 1);
    EXPECT_EQ(DecimalDigits(10), 2);
    EXPECT_EQ(DecimalDigits(99999), 5);
}

// The page files without their creation date, which follows the clock.
std::string Undated(const std::string& bytes) {
    static const std::regex date(R"(/CreationDate \(D:[^)]*\))");
    return std::regex_replace(bytes, date, "/CreationDate ()");
}

TEST_F(SplitJobTest, MemorySinkGetsTheDiskSinksFilesFromBytes) {
    const std::string document = test::SimpleDocument(5);
    const std::string path = Write("m.pdf", document);
    AppState app;
    app.IsWarnLimit = false;
    SilentHost host;
    Job onDisk(app, host);
    ASSERT_EQ(SplitAllPages(onDisk, path), kResultDone);
    Job inMemory(app, host);
    std::vector<PlannedFile> plans;
    std::vector<std::string> files;
    MemorySink sink([&](const PlannedFile& file, std::string& bytes) {
        plans.push_back(file);
        files.push_back(bytes);
        return true;
    });
    SplitRequest request;
    ASSERT_EQ(ParsePageSelection("4-,2", request.pages, false), "");
    ASSERT_EQ(RunStages(inMemory, InputSource::Bytes(reinterpret_cast<const uint8_t*>(document.data()), document.size()),
                        request, sink),
              kResultDone);
    ASSERT_EQ(files.size(), 3u);
    for (size_t k = 0; k < files.size(); ++k) {
        const int32_t page = std::vector<int32_t>{2, 4, 5}[k];
        EXPECT_EQ(plans[k].first, page);
        EXPECT_EQ(plans[k].pages, std::vector<int32_t>{page - 1});
        std::ifstream in(dir_ / ("m-" + std::to_string(page) + ".pdf"), std::ios::binary);
        std::stringstream written;
        written << in.rdbuf();
        EXPECT_EQ(Undated(files[k]), Undated(written.str())) << page;
    }
    // Parts of two of the pages chosen, in page order; a page outside the
    // document.
    PartRequest every;
    every.every = 2;
    request.parts = every;
    plans.clear();
    files.clear();
    Job parts(app, host);
    ASSERT_EQ(RunStages(parts, InputSource::File(path), request, sink), kResultDone);
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].pages, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(plans[1].pages, std::vector<int32_t>{4});
    ASSERT_EQ(ParsePageSelection("3-9", request.pages, false), "");
    Job outside(app, host);
    EXPECT_EQ(RunStages(outside, InputSource::File(path), request, sink), kResultBadPageRange);
}

#ifndef _WIN32
// The command line's bus error handler passes a bus error outside its
// mapped inputs to the handler installed before it.
std::atomic<int> g_earlierBusErrors{0};

TEST(MappedInputs, BusErrorsElsewhereReachTheEarlierHandler) {
    struct sigaction earlier;
    std::memset(&earlier, 0, sizeof earlier);
    earlier.sa_handler = [](int) { g_earlierBusErrors.fetch_add(1); };
    sigemptyset(&earlier.sa_mask);
    ASSERT_EQ(::sigaction(SIGBUS, &earlier, nullptr), 0);
    WatchMappedInputs();
    const uint64_t faults = InputFaultCount();
    std::raise(SIGBUS);
    EXPECT_EQ(g_earlierBusErrors.load(), 1);
    EXPECT_EQ(InputFaultCount(), faults);
}
#endif

#ifdef BRISEL_LIBRARY_TESTS
// Two documents split on two threads at once give the bytes each gives
// alone: the library keeps no state of its own between calls.
TEST(Library, TwoDocumentsOnTwoThreadsAtOnce) {
    const std::string documents[2] = {test::SimpleDocument(6), test::SimpleDocument(9)};
    auto split = [&](int d) {
        std::vector<std::string> files;
        for (brisel::OutputFile& file : brisel::Split(brisel::Source::Bytes(documents[d].data(), documents[d].size())))
            files.push_back(Undated(file.bytes));
        return files;
    };
    const std::vector<std::string> alone[2] = {split(0), split(1)};
    ASSERT_EQ(alone[0].size(), 6u);
    ASSERT_EQ(alone[1].size(), 9u);
    for (int round = 0; round < 3; ++round) {
        std::vector<std::string> together[2];
        std::thread first([&] { together[0] = split(0); });
        std::thread second([&] { together[1] = split(1); });
        first.join();
        second.join();
        EXPECT_EQ(together[0], alone[0]);
        EXPECT_EQ(together[1], alone[1]);
    }
    // Failures carry the command line's status and a reason.
    try {
        brisel::Split(brisel::Source::Bytes("%PDF-1.4\nnot a document at all\n", 31));
        ADD_FAILURE();
    } catch (const brisel::Error& e) {
        EXPECT_EQ(e.code(), 1);
        EXPECT_FALSE(e.reason().empty());
    }
}
#endif

}  // namespace
}  // namespace brisel
