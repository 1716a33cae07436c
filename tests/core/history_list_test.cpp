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
using test::writeFile;

constexpr const char kHead[] = "operation write\nversion 1.0.7\nstart 2026-12-09 22:30:00\n";
constexpr const char kEnd[] = "end 2026-12-09 22:31:15\nstatus 0\nmessage x\n";

TEST(HistoryOutcome, EveryLineIsJudged) {
    const std::string head = kHead, ended = head + kEnd;
    const struct {
        std::string text;
        const char* problem;  // empty: taken
    } cases[] = {
        {head, ""},  // a run going on
        {ended + "  b\n    c\nfigure s 1\nunconfirmed +7900\n", ""},
        {"", "строка 1: файл кончается до записи «operation»"},
        {"operation write\nversion 1.0.7\nsta", "строка 3: строка оборвана, нет её конца"},
        {ended + "note y\n", "строка 7: неизвестная запись «note»"},
        {"version 1.0.7\n", "строка 1: запись «version» не на своём месте, ожидалась «operation»"},
        {head + "start 2026-12-09 22:30:00\n",
         "строка 4: запись «start» не на своём месте, ожидалась «end»"},
        {"operation w\nversion 1\nstart 2026-12-09T22:30:00\n",
         "строка 3: время «2026-12-09T22:30:00» не в виде ГГГГ-ММ-ДД чч:мм:сс"},
        {head + "end 2026-12-09 22:31:15\n", "строка 5: файл кончается до записи «status»"},
        {ended + "figure s 1\n  y\n", "строка 8: продолжение сообщения не на своём месте"},
        {ended + "figure seconds\n", "строка 7: у показателя нет имени или значения"},
        {ended + "unconfirmed +7900\nfigure s 1\n", "строка 8: показатель не на своём месте"},
        {"operation \n", "строка 1: пустая запись «operation»"},
    };
    for (const auto& c : cases) {
        HistoryEntry entry;
        const std::string problem = *c.problem ? std::string("outcome.txt, ") + c.problem : "";
        EXPECT_EQ(parseHistoryOutcome(c.text, entry), problem.empty()) << c.text;
        EXPECT_EQ(entry.problem, problem);
        EXPECT_EQ(entry.unfinished(), c.text == head);
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
    std::vector<std::string> names;
    for (const HistoryEntry& e : all) {
        names.push_back(e.name + (e.unfinished() ? " going on" : ""));
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"20261209-223002-check going on", "20261209-223001-read-2",
                                        "20261209-223001-read", "20261209-223000-write"}));
    EXPECT_EQ(all[3].folder, first);
    // As the record wrote them.
    EXPECT_EQ(all[3].label + "|" + all[3].port + "|" + all[3].byIdName + "|" + all[3].start + "|" +
                  all[3].end + "|" + all[3].status + "|" + all[3].message + "|" +
                  all[3].unconfirmed.at(0) + "|" + all[3].figures.at(0).second,
              "Подстанция 3|/dev/ttyUSB0|/dev/serial/by-id/usb-gw-if00|2026-12-09 22:30:00|"
              "2026-12-09 22:30:01|0|Программирование\nзавершено|+7900|12");
    EXPECT_EQ(listHistory(h.data.dir(), 2).size(), 2u);
    EXPECT_TRUE(listHistory(h.history.folder()).empty());
}

#ifndef _WIN32
// Each file of a record as something else, or past its bound: refused by its name, never read
// beyond the bound; a transcript's tail is read from its end.
TEST(HistoryFiles, NothingIsReadPastItsBoundOrFromWhatIsNoFile) {
    const char* files[] = {"outcome.txt", "label.txt", "port.txt", "record.cfg"};
    for (const char* file : files) {
        for (test::Hostile hostile : test::kAllHostile) {
            SCOPED_TRACE(std::string(file) + " as " + test::name(hostile));
            HistoryRecords h;
            const std::string record = h.finished("write", "site");
            std::filesystem::remove(h.path(record, file));
            test::makeHostile(hostile, h.path(record, file), historyFileBound(file).bytes,
                              "ATW910107\r\n");
            EXPECT_THROW(readHistoryFile(record, file), FileRefused);
            if (hostile == test::Hostile::kPastBound) {
                EXPECT_EQ(readHistoryFileTail(record, file, 100).size(), 99u);
            } else {
                EXPECT_THROW(readHistoryFileTail(record, file, 100), FileRefused);
            }
            const std::string problem = readHistoryEntry(record).problem;
            EXPECT_EQ(problem.rfind(file == std::string("record.cfg") ? "" : file, 0), 0u);
        }
    }
}
#endif

TEST(HistoryList, AMissingLabelOrPortIsNoProblemAMissingOutcomeIs) {
    HistoryRecords h;
    const std::string record = h.finished("write");
    std::filesystem::remove(h.path(record, kHistoryLabelFile));
    std::filesystem::remove(h.path(record, kHistoryPortFile));
    EXPECT_EQ(readHistoryEntry(record).problem, "");
    std::filesystem::remove(h.path(record, kHistoryOutcomeFile));
    EXPECT_EQ(readHistoryEntry(record).problem.substr(0, 29), "outcome.txt: Cannot open file");
}

TEST(HistoryList, RelabelReplacesTheLabelOnly) {
    HistoryRecords h;
    const std::string record = h.finished("write", "old");
    relabelHistoryRecord(record, "Щит 2\nлевый");
    EXPECT_EQ(readHistoryEntry(record).label, "Щит 2 левый");
    for (const std::string& folder : {h.data.dir(), h.history.folder() + "/20261209-223059-x"}) {
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
    const struct {
        std::size_t most;
        const char* tail;
    } tails[] = {
        {29, "line one\nline two\nline three\n"},
        {28, "line two\nline three\n"},  // cut inside the first line: from the next
        {20, "line two\nline three\n"},  // exactly at a line's start
        {5, "hree\n"},                   // one line longer than the tail
    };
    for (const auto& t : tails) {
        EXPECT_EQ(readHistoryFileTail(record, kHistoryTranscriptFile, t.most), t.tail) << t.most;
    }
    for (const char* name : {"../outcome.txt", "", "..", "a/b", "missing.txt"}) {
        EXPECT_THROW(readHistoryFile(record, name), FileRefused) << name;
    }
}

}  // namespace
}  // namespace orv
