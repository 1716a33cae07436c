// Write programming and SIM clearing, run whole against a scripted device in virtual time: the
// lines, their pauses and progress, the stops and the time left they tell.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "device_rig.h"
#include "operations/programming.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::DeviceState;
using test::FakePort;
using test::gapsAfter;
using Rig = test::DeviceRig;
using test::Operations;
using test::Sent;
using test::sentLines;
using test::table;
using test::textOf;

const char kAbsent[] = "GSM-Тарк Орвелин-9 не подключен. Проверте правильность выбраного порта";
const char kBusy[] = "GSM-Тарк Орвелин-9 в активном состоянии. Программирование не возможно";

std::string crlf(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) {
        s += l + "\r\n";
    }
    return s;
}

// The erases write programming sends after the record: every slot of 1 to 150 it did not write.
std::vector<std::string> erasesBut(std::initializer_list<int> written) {
    std::vector<std::string> lines;
    for (int slot = 1; slot <= 150; ++slot) {
        if (std::find(written.begin(), written.end(), slot) == written.end()) {
            lines.push_back("AT+CPBW=" + std::to_string(slot));
        }
    }
    return lines;
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- Write programming ------------------------------------------------------------------

TEST_F(Operations, WriteEmptyTablesSendsRegistersStoreAndStatus) {
    SettingsRecord record;
    for (PhoneTable& t : record.tables) {
        t.clear();
    }
    test::writeFile(dir.path("1.txt"), "old run\r\n");

    writeProgramming(ctx, record);

    const std::vector<Sent> lines = sentLines(port);
    // The record, then all 150 slots erased (the record writes none), "AT&W0" and "AT+CPAS".
    EXPECT_EQ(textOf(lines),
              joined(joined({"ATR2301", "ATW80015A", "ATW81010B", "ATW82010A", "ATW830100",
                             "ATW840107", "ATW860182", "ATW900100", "ATK1"},
                            erasesBut({})),
                     {"AT&W0", "AT+CPAS"}));
    // One pause before the first register line (after the presence check's own pause and
    // read), none between the first two, one after every later line but the status line.
    EXPECT_EQ(lines[1].first - lines[0].cr, 500u + 10u + 500u + 100u);
    const std::vector<std::uint64_t> gaps = gapsAfter(lines, 1);
    EXPECT_EQ(gaps.front(), 0u);
    for (std::size_t i = 1; i < gaps.size(); ++i) {
        EXPECT_EQ(gaps[i], 500u) << lines[i + 1].text;
    }
    EXPECT_EQ(clock.elapsed(), lines.back().cr);  // nothing after "AT+CPAS"

    // The file lists every line but "AT&W0", as the configuration file would.
    EXPECT_EQ(test::readFile(dir.path("1.txt")),
              crlf({"ATW80015A", "ATW81010B", "ATW82010A", "ATW830100", "ATW840107", "ATW860182",
                    "ATW900100", "ATK1", "AT+CPAS"}));

    // Empty tables count no rows; each erase, the forward step and the status line move the bar.
    EXPECT_EQ(user.events, (std::vector<std::string>{"stop reader", "show", "range 0 150", "close",
                                                     "start reader"}));
    EXPECT_EQ(user.positions.size(), 153u);
    EXPECT_EQ(user.positions.back(), 152);
    EXPECT_FALSE(user.readerStopped);
}

// The device took the whole record but "1.txt" cannot be written (the file is read-only, or
// a folder takes its name): the message says the device holds the record and why the file was
// not saved; the progress window closes and the reader runs again, as after a finished run.
TEST_F(Operations, WriteThatCannotSaveTheCommandListSaysTheDeviceHoldsTheRecord) {
    struct Case {
        const char* what;
        void (*make)(const std::string& path);
        const char* why;
    };
    const Case cases[] = {
        {"read-only file",
         [](const std::string& path) {
             test::writeFile(path, "old run\r\n");
             std::filesystem::permissions(path, std::filesystem::perms::owner_read);
         },
         "Permission denied"},
        {"folder", [](const std::string& path) { std::filesystem::create_directory(path); },
         "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir folder;
        const std::string path = folder.path("1.txt");
        c.make(path);
        test::DeviceRig rig;
        rig.port.setResponder([](const std::string& line) {
            return line == "ATR2301" ? FakePort::Answer{"\r01 ", 20} : FakePort::Answer{};
        });
        rig.ctx.workDir = folder.dir();
        try {
            writeProgramming(rig.ctx, SettingsRecord());
            ADD_FAILURE() << "no message";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), MessageKind::Warning);
            EXPECT_EQ(f.outcome(), Outcome::NotSaved);
            const Text head =
                cp("Программирование записано в GSM-Тарк Орвелин-9 полностью: устройство хранит "
                   "настройки из окна. Файл 1.txt не сохранен: Cannot create file \"");
            EXPECT_EQ(f.text().substr(0, head.size()), head) << f.text();
            EXPECT_NE(f.text().find(c.why), std::string::npos) << f.text();
        }
        EXPECT_EQ(rig.port.lines().back(), "AT+CPAS");
        EXPECT_FALSE(rig.user.shown);
        EXPECT_FALSE(rig.user.readerStopped);
        EXPECT_EQ(rig.user.events.back(), "start reader");
    }
}

TEST_F(Operations, WritePhoneTablesIndicesPausesAndProgress) {
    SettingsRecord record;
    record.password = "12";
    record.tables[kCallBackTable] = table({"111", ""});
    record.tables[kAllowedTable] = table({"1234", "1234567890", ""});
    record.tables[kForbiddenTable] = table({"5678"});
    record.forwardNumber = "+7900";
    record.tables[kSpeedDialTable] = table({"", "55"});

    writeProgramming(ctx, record);

    const std::vector<Sent> lines = sentLines(port);
    const std::vector<std::string> sent = textOf(lines);
    const std::vector<std::string> tail(sent.begin() + 8, sent.end());
    EXPECT_EQ(
        tail,
        joined(joined({"ATW910101", "ATW920102", "ATK1", "AT+CPBW=1,\"111\",129,\"W111\"",
                       "AT+CPBW=2,\"1234\",129,\"N1234\"",
                       "AT+CPBW=3,\"1234567890\",129,\"R1234567890\"",
                       "AT+CPBW=4,\"5678\",129,\"B5678\"", "AT+CPBW=100,\"+7900\",129,\"+7900\"",
                       "AT+CPBW=101,\"55\",129,\"55\""},
                      erasesBut({1, 2, 3, 4, 100, 101})),
               {"AT&W0", "AT+CPAS"}));
    // Empty rows cost no pause: every gap after the first pair is one.
    for (std::uint64_t gap : gapsAfter(lines, 2)) {
        EXPECT_EQ(gap, 500u);
    }

    // The file holds what the configuration file would for the same record.
    const std::string path = dir.path("saved.cfg");
    SaveData(path, record);
    EXPECT_EQ(test::readFile(dir.path("1.txt")), test::readFile(path));

    // Eight rows and 144 erases; every row, valid or not, every erase, the forward step and the
    // status line move the bar, which thus ends two above its maximum.
    EXPECT_EQ(user.maximum, 8 + 144);
    std::vector<int> expected;
    for (int p = 0; p <= 8 + 144 + 2; ++p) {
        expected.push_back(p);
    }
    EXPECT_EQ(user.positions, expected);
}

TEST_F(Operations, WriteSpeedDialFrom101AndNoForwardNumber) {
    SettingsRecord record;  // tagged tables hold one empty row each
    record.tables[kSpeedDialTable] = table({"201", "+202"});

    writeProgramming(ctx, record);

    const std::vector<std::string> sent = port.lines();
    const std::vector<std::string> tail(sent.begin() + 9, sent.end());
    EXPECT_EQ(
        tail,
        joined(joined({"AT+CPBW=101,\"201\",129,\"201\"", "AT+CPBW=102,\"+202\",129,\"+202\""},
                      erasesBut({101, 102})),
               {"AT&W0", "AT+CPAS"}));
    EXPECT_EQ(user.maximum, 5 + 148);
    EXPECT_EQ(user.positions.back(), 5 + 148 + 2);
}

TEST_F(Operations, WriteStopsAtAFailedPresenceCheck) {
    for (DeviceState state : {DeviceState::Absent, DeviceState::Busy}) {
        VirtualClock c;
        FakePort p(c);
        test::RecordingUser u(c);
        OperationContext context{p, c, u, u, dir.dir()};
        p.setResponder([state](const std::string&) {
            return FakePort::Answer{state == DeviceState::Busy ? "\r01 \r\n" : "", 20};
        });
        try {
            writeProgramming(context, SettingsRecord());
            FAIL() << "passed";
        } catch (const Failure& f) {
            EXPECT_EQ(f.text(), cp(state == DeviceState::Busy ? kBusy : kAbsent));
        }
        EXPECT_EQ(p.lines(), std::vector<std::string>{"ATR2301"});
        EXPECT_EQ(u.events, std::vector<std::string>{"stop reader"});
        EXPECT_TRUE(u.readerStopped);
        EXPECT_FALSE(commandFileExists());
    }
}

// A letter in a numeric field or the password is refused with the runtime's conversion
// message before the presence check: nothing reaches the device, no file is written, the
// reader keeps running. (Sending the lines before the faulty one would leave the device half
// programmed: a new password length with part of its digits.)
TEST_F(Operations, WriteConversionErrorSendsNothingAndWritesNoFile) {
    test::writeFile(dir.path("1.txt"), "old run\r\n");
    struct Case {
        Text SettingsRecord::*field;
        Text text;
        std::string message;
    };
    const Case cases[] = {
        {&SettingsRecord::password, "1a", "'a' is not a valid integer value"},
        {&SettingsRecord::numberLength, "1x", "'1x' is not a valid integer value"},
        {&SettingsRecord::callDuration, "x", "'x' is not a valid integer value"},
        {&SettingsRecord::controlTime, "",
         test::cp("Поле «Время контроля посылки вызова(сек)» не заполнено: допустимо целое "
                  "число от 0 до 99.")},
        {&SettingsRecord::numberLength, "",
         test::cp("Поле «Значность набираемых номеров» не заполнено: допустимо целое число от 0 "
                  "до 99.")},
    };
    for (const Case& c : cases) {
        SettingsRecord record;
        record.*c.field = c.text;
        try {
            writeProgramming(ctx, record);
            ADD_FAILURE() << "passed: " << c.text;
        } catch (const Failure& f) {
            EXPECT_EQ(f.text(), c.message);
        }
    }
    EXPECT_TRUE(port.written.empty());
    EXPECT_EQ(test::readFile(dir.path("1.txt")), "old run\r\n");
    EXPECT_TRUE(user.events.empty());
    EXPECT_FALSE(user.readerStopped);
}

// A device pulled out mid-run: the line goes away after the third register line. The run
// stops there with a message instead of sending on into nothing and recording "1.txt" as done;
// SIM clearing likewise stops at the first erase that reached nobody.
TEST_F(Operations, ALineLostMidRunStopsWithAMessageAndNoCommandList) {
    const std::string lost =
        "Связь с GSM-Тарк Орвелин-9 потеряна. Проверьте подключение и повторите операцию";
    port.setResponder([&](const std::string& line) {
        if (line == "ATR2301") {
            return FakePort::Answer{"\r01 ", 20};
        }
        if (line.rfind("ATW8201", 0) == 0 || line == "AT+CPBW=2") {
            port.setOpen(false);
        }
        return FakePort::Answer{};
    });
    test::writeFile(dir.path("1.txt"), "old run\r\n");
    try {
        writeProgramming(ctx, SettingsRecord());
        FAIL() << "passed";
    } catch (const Failure& f) {
        EXPECT_EQ(f.kind(), MessageKind::Error);
        EXPECT_EQ(f.text(), cp(lost));
        EXPECT_EQ(f.outcome(), Outcome::LineLost);
    }
    EXPECT_EQ(port.lines().back(), "ATW82010A");
    EXPECT_EQ(test::readFile(dir.path("1.txt")), "old run\r\n");
    EXPECT_TRUE(user.readerStopped);

    port.setOpen(true);
    port.written.clear();
    try {
        clearSim(ctx);
        FAIL() << "passed";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), cp(lost));
    }
    EXPECT_EQ(port.lines().back(), "AT+CPBW=2");
}

TEST_F(Operations, WriteRefusesAnUnreadableRecordBeforeTouchingTheDevice) {
    SettingsRecord record;
    record.volume = "100";
    EXPECT_THROW(writeProgramming(ctx, record), Failure);
    EXPECT_TRUE(port.written.empty());
    EXPECT_TRUE(user.events.empty());
}

// ---- SIM clearing -----------------------------------------------------------------------

TEST_F(Operations, ClearSimErasesSlots1To150) {
    port.setResponder([&](const std::string& line) {
        if (line == "ATR2301") {
            return FakePort::Answer{"\r01 ", 20};
        }
        if (line.rfind("AT+CPBW=", 0) == 0) {
            EXPECT_EQ(line, "AT+CPBW=" + std::to_string(user.position));
        }
        return FakePort::Answer{};
    });

    clearSim(ctx);

    const std::vector<Sent> lines = sentLines(port);
    ASSERT_EQ(lines.size(), 153u);
    EXPECT_EQ(lines[1].text, "ATK1");
    EXPECT_EQ(lines[2].text, "AT+CPBW=1");
    EXPECT_EQ(lines[101].text, "AT+CPBW=100");
    EXPECT_EQ(lines[101].cr - lines[101].first, 1100u);  // twelve bytes with the CR
    EXPECT_EQ(lines[151].text, "AT+CPBW=150");
    EXPECT_EQ(lines[152].text, "AT+CPAS");

    const std::vector<std::uint64_t> gaps = gapsAfter(lines, 1);
    EXPECT_EQ(gaps.front(), 0u);  // no pause after "ATK1"
    for (std::size_t i = 1; i + 1 < gaps.size(); ++i) {
        EXPECT_EQ(gaps[i], 500u) << lines[i + 1].text;
    }
    EXPECT_EQ(gaps.back(), 1500u);  // its own pause, then two more

    // Presence check, "ATK1", 150 erases with their pauses, two pauses and the status line.
    const std::uint64_t total = clock.elapsed() - 5000;
    EXPECT_EQ(total, 800u + 510u + 500u + 9 * 1500u + 90 * 1600u + 51 * 1700u + 1000u + 800u);
    EXPECT_NEAR(static_cast<double>(total), 248000.0, 1000.0);

    EXPECT_EQ(user.events,
              (std::vector<std::string>{
                  "stop reader", "caption " + cp("Стирание Sim-карты"), "show", "range 0 150",
                  "caption " + cp("Запись программирования"), "close", "start reader"}));
    EXPECT_EQ(user.positions.size(), 151u);
    EXPECT_EQ(user.positions.back(), 150);
}

TEST_F(Operations, ClearSimStopsAtAFailedPresenceCheck) {
    useDevice(DeviceState::Absent);
    try {
        clearSim(ctx);
        FAIL() << "passed";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), cp(kAbsent));
    }
    EXPECT_EQ(port.lines(), std::vector<std::string>{"ATR2301"});
    EXPECT_EQ(user.events, std::vector<std::string>{"stop reader"});
}

// ---- Time left ----------------------------------------------------------------------------

TEST(TimeLeft, WriteProgrammingTellsTheRestOfItsScheduleAfterEveryLine) {
    Rig rig;
    writeProgramming(rig.ctx, test::shortRecord());
    const std::size_t lines = rig.port.lines().size();
    // Counted from the presence check's end: every line, its pauses and the erase tail.
    EXPECT_EQ(test::checkTimeLeft(rig.user, rig.clock.elapsed(), lines - 1), 0);
    EXPECT_FALSE(rig.user.timeLeft.front().upperBound);
    EXPECT_GT(rig.user.timeLeft.front().left, 230000u);  // the erase tail: about four minutes
}

TEST(TimeLeft, SimClearingTellsTheRestOfItsScheduleAfterEveryErase) {
    Rig rig;
    clearSim(rig.ctx);
    EXPECT_EQ(test::checkTimeLeft(rig.user, rig.clock.elapsed(), 152), 0);
    // "ATK1", 150 erases with their pauses, two pauses and the status line.
    EXPECT_EQ(rig.user.timeLeft.front().left, 500u + 9 * 1500u + 90 * 1600u + 51 * 1700u + 1800u);
}

// ---- Stops ------------------------------------------------------------------------------

struct WriteStop {
    const char* name;
    const char* head;  // the beginning of the line the stop comes in
    const char* line;  // that line whole
    int sent;          // the lines sent before the status line closes the run
};

class StopWriteProgramming : public ::testing::TestWithParam<WriteStop> {};

// A stop in the middle of any kind of line ends the run at that line's end: the status line
// follows at once, no "1.txt" is written, the reader runs again, and the user learns that the
// device holds part of the record.
TEST_P(StopWriteProgramming, EndsAtTheEndOfTheLine) {
    const WriteStop& c = GetParam();
    Rig rig;
    test::writeFile(rig.dir.path("1.txt"), "earlier\r\n");
    rig.stopDuring(c.head);
    try {
        writeProgramming(rig.ctx, test::shortRecord());
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.kind(), MessageKind::Information);
        EXPECT_EQ(s.text(), cp("Запись программирования остановлена: передано строк " +
                               std::to_string(c.sent) +
                               " из 161. В GSM-Тарк Орвелин-9 записана только часть "
                               "программирования, выполните запись программирования снова. "
                               "Файл 1.txt не изменен."));
    }
    EXPECT_EQ(rig.lastTwoLines(), std::make_pair(std::string(c.line), std::string("AT+CPAS")));
    EXPECT_EQ(rig.gapBeforeLastLine(), 100u);  // no pause: the status line right away
    EXPECT_EQ(rig.port.lines().size(), static_cast<std::size_t>(c.sent) + 2);
    EXPECT_EQ(test::readFile(rig.dir.path("1.txt")), "earlier\r\n");
    EXPECT_FALSE(rig.user.readerStopped);
    EXPECT_EQ(rig.user.readersStarted, 1);
    EXPECT_FALSE(rig.user.shown);
}

// The record sends 7 register lines, 2 password lines, "ATK1", 4 phone-book lines, then the
// erases of the 146 slots it leaves, "AT&W0" and "AT+CPAS".
INSTANTIATE_TEST_SUITE_P(
    Lines, StopWriteProgramming,
    ::testing::Values(WriteStop{"Register", "ATW8201", "ATW82010A", 3},
                      WriteStop{"PasswordDigit", "ATW9201", "ATW920102", 9},
                      WriteStop{"DataMode", "ATK", "ATK1", 10},
                      WriteStop{"PhoneBook", "AT+CPBW=2,", "AT+CPBW=2,\"1234\",129,\"N1234\"", 12},
                      WriteStop{"Erase", "AT+CPBW=9", "AT+CPBW=9", 21},
                      WriteStop{"LastErase", "AT+CPBW=150", "AT+CPBW=150", 160}),
    [](const ::testing::TestParamInfo<WriteStop>& info) { return info.param.name; });

// "AT&W0" is the last line a stop can end the run after: one that comes while it is sent is too
// late, and the run ends as it always does.
TEST(Stop, WriteProgrammingStoppedInItsLastLinesEndsAsUsual) {
    Rig rig;
    rig.stopDuring("AT&W");
    writeProgramming(rig.ctx, test::shortRecord());
    EXPECT_EQ(rig.lastTwoLines(), std::make_pair(std::string("AT&W0"), std::string("AT+CPAS")));
    EXPECT_EQ(test::readFile(rig.dir.path("1.txt")).substr(0, 9), "ATW80015A");
}

TEST(Stop, WriteProgrammingStoppedBeforeItsFirstLineWritesNothing) {
    Rig rig;
    rig.stopDuring("ATR230");  // the presence check: taken before the first register line
    EXPECT_THROW(writeProgramming(rig.ctx, test::shortRecord()), Stopped);
    EXPECT_EQ(rig.port.lines(), (std::vector<std::string>{"ATR2301", "AT+CPAS"}));
}

TEST(Stop, SimClearingTellsWhichSlotsWereErasedAndLeavesTheRest) {
    Rig rig;
    for (int i = 1; i <= 150; ++i) {
        rig.device.fill(i, "89" + std::to_string(i), "W89" + std::to_string(i));
    }
    rig.stopDuring("AT+CPBW=3");
    try {
        clearSim(rig.ctx);
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.text(), cp("Стирание Sim-карты остановлено. Стерты записи с 1 по 3, "
                               "записи с 4 по 150 не изменены."));
    }
    EXPECT_EQ(rig.lastTwoLines(), std::make_pair(std::string("AT+CPBW=3"), std::string("AT+CPAS")));
    EXPECT_EQ(rig.gapBeforeLastLine(), 100u);
    EXPECT_EQ(rig.device.slots.size(), 147u);
    EXPECT_EQ(rig.device.slots.begin()->first, 4);
    EXPECT_EQ(rig.user.readersStarted, 1);
    EXPECT_FALSE(rig.user.shown);
    EXPECT_EQ(rig.user.caption, cp("Запись программирования"));

    // Stopped in "ATK1": nothing erased.
    Rig early;
    early.stopDuring("ATK");
    try {
        clearSim(early.ctx);
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.text(), cp("Стирание Sim-карты остановлено. Ни одна запись не стерта."));
    }
    EXPECT_EQ(early.port.lines(), (std::vector<std::string>{"ATR2301", "ATK1", "AT+CPAS"}));
}

}  // namespace
}  // namespace orv
