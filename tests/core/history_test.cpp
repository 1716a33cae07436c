// The history of operations: the record folders' names and counters, the bounds that remove
// the oldest, and a history that cannot be written, told once without stopping anything.

#include "records/history.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
#include "sample_record.h"
#include "test_support.h"

namespace orv {
namespace {

using test::readFile;
using test::TempDir;

constexpr std::time_t kStart = 1796855400;  // 2026-12-09 22:30:00 UTC

// A history over a temporary data folder and a clock the test moves.
struct HistoryFixture : ::testing::Test {
    TempDir data;
    std::time_t now = kStart;
    History history{data.dir(), [this] { return now; }, "1.0.7"};

    std::vector<std::string> records() const {
        std::vector<std::string> names;
        platform::listDirectory(history.folder(), names);
        names.erase(std::remove(names.begin(), names.end(), ".lock"), names.end());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(HistoryFolderName, TimeOperationAndCounter) {
    const struct {
        std::time_t start;
        const char* operation;
        int counter;
        const char* name;
    } cases[] = {
        {kStart, "write", 1, "20261209-223000-write"},
        {kStart, "write", 2, "20261209-223000-write-2"},
        {kStart + 59, "read", 12, "20261209-223059-read-12"},
        {0, "check", 1, "19700101-000000-check"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(historyFolderName(c.start, c.operation, c.counter), c.name);
    }
}

TEST_F(HistoryFixture, RecordsOfOneSecondTakeTheNextCounter) {
    const std::string first = history.begin("write", "").folder();
    const std::string second = history.begin("write", "").folder();
    const std::string other = history.begin("read", "").folder();
    EXPECT_EQ(first, history.folder() + "/20261209-223000-write");
    EXPECT_EQ(second, history.folder() + "/20261209-223000-write-2");
    EXPECT_EQ(other, history.folder() + "/20261209-223000-read");
    EXPECT_EQ(history.takeProblem(), "");
}

TEST_F(HistoryFixture, RecordHoldsWhatTheRunGaveIt) {
    test::writeFile(data.path("1.txt"), "ATR8001\r\n");
    HistoryRecord record = history.begin("write", "Подстанция 3");
    record.setPort("/dev/ttyUSB0", "/dev/serial/by-id/usb-gw-if00");
    record.saveConfiguration(test::sampleRecord());
    record.copyCommandList(data.path("1.txt"));
    const std::string transcript = record.transcriptPath();
    EXPECT_EQ(transcript, record.folder() + "/transcript.txt");
    // What a crash now would leave: the start, no end.
    EXPECT_EQ(readFile(record.folder() + "/outcome.txt"),
              "operation write\nversion 1.0.7\nstart 2026-12-09 22:30:00\n");
    now += 75;
    record.finish({"failed", "Нет ответа\nот устройства", {{"written", "12"}}, {"+79990001122"}});

    EXPECT_EQ(readFile(record.folder() + "/label.txt"), "Подстанция 3\n");
    EXPECT_EQ(readFile(record.folder() + "/port.txt"),
              "/dev/ttyUSB0\n/dev/serial/by-id/usb-gw-if00\n");
    EXPECT_EQ(readFile(record.folder() + "/1.txt"), "ATR8001\r\n");
    EXPECT_FALSE(readFile(record.folder() + "/record.cfg").empty());
    EXPECT_EQ(readFile(record.folder() + "/outcome.txt"),
              "operation write\nversion 1.0.7\nstart 2026-12-09 22:30:00\n"
              "end 2026-12-09 22:31:15\nstatus failed\nmessage Нет ответа\n  от устройства\n"
              "figure written 12\nunconfirmed +79990001122\n");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(record.folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Its files too: the configuration and "1.txt" hold the device's password.
    record.saveConfigurationAs(kWindowBeforeFile, test::shortRecord());
    for (const char* name :
         {"outcome.txt", "label.txt", "port.txt", "record.cfg", "1.txt", "window-before.cfg"}) {
        ASSERT_EQ(::stat((record.folder() + "/" + name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
#endif
}

TEST(HistoryBounds, TheOldestGoFirst) {
    const struct {
        std::size_t records;
        std::uint64_t bytes;
        std::vector<const char*> kept;  // seconds past 22:30:00 of what stands after the fifth
    } cases[] = {
        // Four records of 200 bytes each stand (22:30:00 to :03); a fifth begins at :04.
        {10, 1000, {"00", "01", "02", "03", "04"}},
        {5, 1000, {"00", "01", "02", "03", "04"}},
        {3, 1000, {"02", "03", "04"}},
        {1, 1000, {"04"}},
        {10, 800, {"00", "01", "02", "03", "04"}},
        {10, 450, {"02", "03", "04"}},
        {10, 200, {"03", "04"}},
        {10, 199, {"04"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records, " << c.bytes << " bytes");
        TempDir data;
        std::time_t clock = kStart;
        History bounded(data.dir(), [&clock] { return clock; }, "1.0.7", {c.records, c.bytes});
        for (int i = 0; i < 4; ++i, ++clock) {
            // outcome.txt is 53 bytes, label.txt empty.
            test::writeFile(bounded.begin("op", "").transcriptPath(), std::string(147, 'x'));
        }
        bounded.begin("op", "");
        std::vector<std::string> kept;
        for (const char* second : c.kept) {
            kept.push_back(std::string("20261209-2230") + second + "-op");
        }
        std::vector<std::string> names;
        platform::listDirectory(bounded.folder(), names);
        names.erase(std::remove(names.begin(), names.end(), ".lock"), names.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, kept);
    }
}

TEST_F(HistoryFixture, ForeignEntriesAreNeitherCountedNorRemoved) {
    std::filesystem::create_directories(history.folder() + "/notes");
    test::writeFile(history.folder() + "/20261209-000000", "not a record");
    History one(data.dir(), [this] { return now; }, "1.0.7", {1, 1000});
    one.begin("op", "");
    EXPECT_EQ(records(),
              (std::vector<std::string>{"20261209-000000", "20261209-223000-op", "notes"}));
}

// What a run does with its record, none of which may throw when the record is inert.
void useRecord(HistoryRecord& record, const std::string& commandList) {
    record.setPort("/dev/ttyUSB0", "");
    record.saveConfiguration(test::sampleRecord());
    record.copyCommandList(commandList);
    record.finish({"0", "", {}, {}});
}

TEST_F(HistoryFixture, HistoryBlockedByAFileIsToldOnceAndNothingThrows) {
    test::writeFile(history.folder(), "not a folder");
    HistoryRecord record;
    EXPECT_NO_THROW({
        record = history.begin("write", "site");
        useRecord(record, data.path("1.txt"));
    });
    EXPECT_FALSE(record.ok());
    EXPECT_EQ(record.folder(), "");
    EXPECT_EQ(
        history.takeProblem().rfind("История операций не записывается: " + history.folder(), 0),
        0u);
    history.begin("read", "");
    EXPECT_EQ(history.takeProblem(), "");
}

#ifndef _WIN32
TEST_F(HistoryFixture, ReadOnlyDataFolderIsToldOnceAndNothingThrows) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere";
    }
    ::chmod(data.dir().c_str(), 0500);
    HistoryRecord record;
    EXPECT_NO_THROW({
        record = history.begin("write", "site");
        useRecord(record, data.path("1.txt"));
    });
    EXPECT_FALSE(record.ok());
    EXPECT_EQ(record.transcriptPath(), "");
    const std::string problem = history.takeProblem();
    EXPECT_NE(problem.find("История операций не записывается: " + history.folder()),
              std::string::npos);
    history.begin("read", "");
    EXPECT_EQ(history.takeProblem(), "");
    ::chmod(data.dir().c_str(), 0700);
}
#endif

}  // namespace
}  // namespace orv
