// Reading the history back: outcome.txt parsed strictly (a line that is not as the record writes
// it is refused by its number), the list newest first and bounded, files past their bounds or of
// another kind refused, a new label, the tail of a long file.

#include "records/history_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "base/errors.h"
#include "history_records.h"
#include "hostile_file.h"

namespace orv {
namespace {

using test::HistoryRecords;
using test::readFile;
using test::writeFile;

constexpr const char kHead[] = "operation write\nversion 1.0.7\nstart 2026-12-09 22:30:00\n";
constexpr const char kEnd[] = "end 2026-12-09 22:31:15\nstatus 0\n";

TEST(HistoryOutcome, WhatFinishWritesIsReadBack) {
    HistoryRecords h;
    HistoryRecord record = h.history.begin("sms", "");
    h.now += 75;
    record.finish({"7",
                   "Разослано\nне всем",
                   {{"seconds", "75"}, {"lines_sent", "40"}},
                   {"+79990001122", "+79990003344"}});
    const HistoryEntry entry = readHistoryEntry(record.folder());
    EXPECT_EQ(entry.problem, "");
    EXPECT_EQ(entry.operation, "sms");
    EXPECT_EQ(entry.version, "1.0.7");
    EXPECT_EQ(entry.start, "2026-12-09 22:30:00");
    EXPECT_EQ(entry.end, "2026-12-09 22:31:15");
    EXPECT_EQ(entry.status, "7");
    EXPECT_EQ(entry.message, "Разослано\nне всем");
    EXPECT_EQ(entry.figures.size(), 2u);
    EXPECT_EQ(entry.figures[1], std::make_pair(std::string("lines_sent"), std::string("40")));
    EXPECT_EQ(entry.unconfirmed, (std::vector<std::string>{"+79990001122", "+79990003344"}));
    EXPECT_FALSE(entry.unfinished());
}

TEST(HistoryOutcome, EveryLineIsJudged) {
    const struct {
        const char* what;
        std::string text;
        const char* problem;  // empty: taken
        bool unfinished;
    } cases[] = {
        {"a run going on", kHead, "", true},
        {"a finished run", std::string(kHead) + kEnd + "message \n", "", false},
        {"message lines", std::string(kHead) + kEnd + "message a\n  b\n    c\nfigure s 1\n", "",
         false},
        {"an empty file", "", "outcome.txt, строка 1: файл кончается до записи «operation»", false},
        {"cut inside a line", "operation write\nversion 1.0.7\nsta",
         "outcome.txt, строка 3: строка оборвана, нет её конца", false},
        {"an unknown key", std::string(kHead) + kEnd + "message x\nfigure s 1\nnote y\n",
         "outcome.txt, строка 8: неизвестная запись «note»", false},
        {"keys out of order", "version 1.0.7\noperation write\n",
         "outcome.txt, строка 1: запись «version» не на своём месте, ожидалась «operation»", false},
        {"a key twice", std::string(kHead) + "start 2026-12-09 22:30:00\n",
         "outcome.txt, строка 4: запись «start» не на своём месте, ожидалась «end»", false},
        {"a time of another form", "operation write\nversion 1\nstart 2026-12-09T22:30:00\n",
         "outcome.txt, строка 3: время «2026-12-09T22:30:00» не в виде ГГГГ-ММ-ДД чч:мм:сс", false},
        {"an end without status", std::string(kHead) + "end 2026-12-09 22:31:15\n",
         "outcome.txt, строка 5: файл кончается до записи «status»", false},
        {"a continuation after a figure",
         std::string(kHead) + kEnd + "message x\nfigure s 1\n  y\n",
         "outcome.txt, строка 8: продолжение сообщения не на своём месте", false},
        {"a continuation before the message", std::string(kHead) + "  y\n",
         "outcome.txt, строка 4: продолжение сообщения не на своём месте", false},
        {"a figure without a value", std::string(kHead) + kEnd + "message x\nfigure seconds\n",
         "outcome.txt, строка 7: у показателя нет имени или значения", false},
        {"a figure after the numbers",
         std::string(kHead) + kEnd + "message x\nunconfirmed +7900\nfigure s 1\n",
         "outcome.txt, строка 8: показатель не на своём месте", false},
        {"an empty operation", "operation \n", "outcome.txt, строка 1: пустая запись «operation»",
         false},
        {"a blank line", std::string(kHead) + "\n", "outcome.txt, строка 4: неизвестная запись «»",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HistoryEntry entry;
        EXPECT_EQ(parseHistoryOutcome(c.text, entry), std::string(c.problem).empty());
        EXPECT_EQ(entry.problem, c.problem);
        EXPECT_EQ(entry.unfinished(), c.unfinished);
    }
}

TEST(HistoryList, NewestFirstBoundedAndOnlyRecords) {
    HistoryRecords h;
    const std::string first = h.finished("write", "Подстанция 3");
    h.finished("read");
    --h.now;  // the same second: the counter orders them
    h.finished("read");
    h.history.begin("check", "");  // still going on
    std::filesystem::create_directories(h.history.folder() + "/notes");
    writeFile(h.history.folder() + "/20261209-000000-file", "not a folder");

    const std::vector<HistoryEntry> all = listHistory(h.data.dir());
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].name, "20261209-223002-check");
    EXPECT_TRUE(all[0].unfinished());
    EXPECT_EQ(all[1].name, "20261209-223001-read-2");
    EXPECT_EQ(all[2].name, "20261209-223001-read");
    EXPECT_EQ(all[3].folder, first);
    EXPECT_EQ(all[3].label, "Подстанция 3");
    EXPECT_EQ(all[3].port, "/dev/ttyUSB0");
    EXPECT_EQ(all[3].byIdName, "/dev/serial/by-id/usb-gw-if00");
    EXPECT_EQ(all[3].status, "0");
    EXPECT_EQ(listHistory(h.data.dir(), 2).size(), 2u);

    test::TempDir empty;
    EXPECT_TRUE(listHistory(empty.dir()).empty());
}

#ifndef _WIN32
TEST(HistoryList, FilesOfAnotherKindOrPastTheirBoundAreRefusedByName) {
    const struct {
        const char* file;
        std::size_t bound;
        const char* problemStart;
    } files[] = {
        {"outcome.txt", std::size_t{4} << 20, "outcome.txt: "},
        {"label.txt", std::size_t{16} << 10, "label.txt: "},
        {"port.txt", std::size_t{16} << 10, "port.txt: "},
    };
    for (const auto& f : files) {
        for (test::Hostile hostile : test::kAllHostile) {
            SCOPED_TRACE(std::string(f.file) + " as " + test::name(hostile));
            HistoryRecords h;
            const std::string record = h.finished("write", "site");
            std::filesystem::remove(h.path(record, f.file));
            test::makeHostile(hostile, h.path(record, f.file), f.bound);
            const HistoryEntry entry = readHistoryEntry(record);
            EXPECT_EQ(entry.problem.rfind(f.problemStart, 0), 0u) << entry.problem;
            EXPECT_FALSE(entry.unfinished());
        }
    }
}
#endif

TEST(HistoryList, AMissingLabelOrPortIsNoProblem) {
    HistoryRecords h;
    const std::string record = h.finished("write");
    std::filesystem::remove(h.path(record, kHistoryLabelFile));
    std::filesystem::remove(h.path(record, kHistoryPortFile));
    const HistoryEntry entry = readHistoryEntry(record);
    EXPECT_EQ(entry.problem, "");
    EXPECT_EQ(entry.label, "");
    EXPECT_EQ(entry.port, "");

    writeFile(h.path(record, kHistoryPortFile), "/dev/ttyS0\nby-id\nthird\n");
    EXPECT_EQ(readHistoryEntry(record).problem, "port.txt, строка 3: лишняя строка");
    std::filesystem::remove(h.path(record, kHistoryOutcomeFile));
    EXPECT_EQ(readHistoryEntry(record).problem.rfind("outcome.txt: Cannot open file", 0), 0u);
}

TEST(HistoryList, RelabelReplacesTheLabelOnly) {
    HistoryRecords h;
    const std::string record = h.finished("write", "old");
    relabelHistoryRecord(record, "Щит 2\nлевый");
    EXPECT_EQ(readHistoryEntry(record).label, "Щит 2 левый");
    relabelHistoryRecord(record, "");
    EXPECT_EQ(readFile(h.path(record, kHistoryLabelFile)), "");

    const std::string refused[] = {h.data.dir(), h.history.folder() + "/20261209-223059-gone"};
    for (const std::string& folder : refused) {
        EXPECT_THROW(relabelHistoryRecord(folder, "x"), Failure) << folder;
    }
    EXPECT_THROW(relabelHistoryRecord(record, std::string(5000, 'x')), Failure);
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(h.path(record, kHistoryLabelFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

TEST(HistoryFiles, ReadWholeOrByItsTail) {
    HistoryRecords h;
    const std::string record = h.finished("write");
    writeFile(h.path(record, kHistoryTranscriptFile), "line one\nline two\nline three\n");
    EXPECT_EQ(readHistoryFile(record, kHistoryTranscriptFile), "line one\nline two\nline three\n");
    const struct {
        std::size_t most;
        const char* tail;
    } tails[] = {
        {100, "line one\nline two\nline three\n"},
        {29, "line one\nline two\nline three\n"},
        {28, "line two\nline three\n"},  // cut inside the first line: from the next
        {20, "line two\nline three\n"},  // exactly at a line's start
        {19, "line three\n"},
        {5, "hree\n"},  // one line longer than the tail
    };
    for (const auto& t : tails) {
        EXPECT_EQ(readHistoryFileTail(record, kHistoryTranscriptFile, t.most), t.tail) << t.most;
    }
    for (const char* name : {"../outcome.txt", "", "..", "a/b"}) {
        EXPECT_THROW(readHistoryFile(record, name), FileRefused) << name;
        EXPECT_THROW(readHistoryFileTail(record, name, 10), FileRefused) << name;
    }
    EXPECT_THROW(readHistoryFile(record, "missing.txt"), FileRefused);
}

}  // namespace
}  // namespace orv
