// The time left that the long operations tell from their schedule, and stops asked for in the
// middle of a line, for write programming, read programming, SIM clearing and the SMS
// broadcast, run whole against a scripted device in virtual time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "fake_port.h"
#include "operations/programming.h"
#include "operations/schedule.h"
#include "recording_user.h"
#include "scripted_device.h"
#include "settings/config_file.h"
#include "sms/broadcast.h"
#include "sms/ucs2.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::FakePort;
using test::ScriptedDevice;

// How far a told time may lie from the rest of the run. The schedule takes a reply read as
// 10 ms; a reply still arriving when the read begins costs a few tens more.
constexpr std::int64_t kSlack = 100;

struct Rig {
    VirtualClock clock{1000};
    FakePort port{clock};
    test::RecordingUser user{clock};
    test::TempDir dir;
    ScriptedDevice device;
    StopRequest stop;
    OperationContext ctx{port, clock, user, user, dir.dir(), &stop};

    Rig() {
        port.setResponder([this](const std::string& line) { return device.respond(line); });
    }

    // Asks for the stop while the line that begins with `head` is being sent, `head` being
    // shorter than the line: the stop comes in the middle of it.
    void stopDuring(const std::string& head) {
        port.setWriteWatcher([this, head](const std::string& soFar) {
            if (soFar == head) {
                stop.request();
            }
        });
    }

    // The line sent right before the last one, and the last one.
    std::pair<std::string, std::string> lastTwoLines() const {
        const std::vector<std::string> lines = port.lines();
        return {lines.at(lines.size() - 2), lines.back()};
    }

    // Milliseconds from the CR of the line before the last to the last line's first byte.
    std::uint64_t gapBeforeLastLine() const {
        std::uint64_t lastCr = 0;
        std::uint64_t previousCr = 0;
        for (const FakePort::Written& w : port.written) {
            if (w.byte == '\r') {
                previousCr = lastCr;
                lastCr = w.at;
            }
        }
        for (const FakePort::Written& w : port.written) {
            if (w.at > previousCr) {
                return w.at - previousCr;
            }
        }
        return 0;
    }
};

// Every time the operation told equals the rest of its run to within kSlack; an upper bound is
// never below it. Returns the largest deviation of an exact figure.
std::int64_t checkTimeLeft(const test::RecordingUser& user, std::uint64_t end,
                           std::size_t atLeast) {
    EXPECT_GE(user.timeLeft.size(), atLeast);
    std::int64_t worst = 0;
    for (const auto& report : user.timeLeft) {
        const auto rest = static_cast<std::int64_t>(end - report.at);
        const auto told = static_cast<std::int64_t>(report.left);
        if (report.upperBound) {
            EXPECT_GE(told + kSlack, rest) << "at " << report.at;
        } else {
            EXPECT_NEAR(told, rest, kSlack) << "at " << report.at;
            worst = std::max(worst, std::abs(told - rest));
        }
    }
    if (!user.timeLeft.empty()) {
        EXPECT_EQ(user.timeLeft.back().left, 0u);
    }
    return worst;
}

SettingsRecord smallRecord() {
    SettingsRecord record;
    record.password = "12";
    record.tables[kCallBackTable] = test::table({"111", ""});
    record.tables[kAllowedTable] = test::table({"1234", ""});
    record.forwardNumber = "+7900";
    record.tables[kSpeedDialTable] = test::table({"55", ""});
    return record;
}

// ---- Time left --------------------------------------------------------------------------

TEST(TimeLeftText, MinutesAndSecondsRoundedUp) {
    EXPECT_EQ(timeLeftText(200000, false), cp("осталось 3 мин 20 с"));
    EXPECT_EQ(timeLeftText(199001, false), cp("осталось 3 мин 20 с"));
    EXPECT_EQ(timeLeftText(45000, true), cp("осталось не более 45 с"));
    EXPECT_EQ(timeLeftText(120000, false), cp("осталось 2 мин"));
    EXPECT_EQ(timeLeftText(1, false), cp("осталось 1 с"));
    EXPECT_EQ(timeLeftText(0, false), cp("осталось 0 с"));
    EXPECT_EQ(timeLeftText(3720000, false), cp("осталось 1 ч 2 мин"));
}

TEST(TimeLeft, WriteProgrammingTellsTheRestOfItsScheduleAfterEveryLine) {
    Rig rig;
    writeProgramming(rig.ctx, smallRecord());
    const std::size_t lines = rig.port.lines().size();
    // Counted from the presence check's end: every line, its pauses and the erase tail.
    EXPECT_EQ(checkTimeLeft(rig.user, rig.clock.elapsed(), lines - 1), 0);
    EXPECT_FALSE(rig.user.timeLeft.front().upperBound);
    EXPECT_GT(rig.user.timeLeft.front().left, 230000u);  // the erase tail: about four minutes
}

TEST(TimeLeft, SimClearingTellsTheRestOfItsScheduleAfterEveryErase) {
    Rig rig;
    clearSim(rig.ctx);
    EXPECT_EQ(checkTimeLeft(rig.user, rig.clock.elapsed(), 152), 0);
    // "ATK1", 150 erases with their pauses, two pauses and the status line.
    EXPECT_EQ(rig.user.timeLeft.front().left, 500u + 9 * 1500u + 90 * 1600u + 51 * 1700u + 1800u);
}

// The scan ends at the first empty slot, which nobody knows in advance: the time is told as
// the most it can take, shrinks with every slot read, and is exact once the scan is over.
TEST(TimeLeft, ReadProgrammingTellsAnUpperBoundThatTightensAsTheScanGoes) {
    Rig rig;
    for (int i : {1, 2, 3, 101, 102}) {
        rig.device.fill(i, "89" + std::to_string(i), "W89" + std::to_string(i));
    }
    SettingsRecord record;
    readProgramming(rig.ctx, record);
    const std::uint64_t end = rig.clock.elapsed();
    checkTimeLeft(rig.user, end, 14 + 1 + 7);

    const auto& reports = rig.user.timeLeft;
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_LE(reports[i].left, reports[i - 1].left);
    }
    // Bounds while the registers and the scan are read, then the exact closing.
    const auto firstExact =
        std::find_if(reports.begin(), reports.end(), [](const auto& r) { return !r.upperBound; });
    ASSERT_NE(firstExact, reports.end());
    EXPECT_TRUE(
        std::all_of(reports.begin(), firstExact, [](const auto& r) { return r.upperBound; }));
    EXPECT_EQ(firstExact->left, 1300u);  // "AT+CPAS" and its pause
    // At the start the bound holds all 150 slots.
    EXPECT_GT(reports.front().left, 200000u);
}

TEST(TimeLeft, ReadProgrammingOfAFullPhoneBookTakesExactlyItsBound) {
    Rig rig;
    for (int i = 1; i <= 150; ++i) {
        rig.device.fill(i, std::to_string(7000 + i), std::to_string(7000 + i));
    }
    SettingsRecord record;
    readProgramming(rig.ctx, record);
    const std::uint64_t end = rig.clock.elapsed();
    for (const auto& report : rig.user.timeLeft) {
        EXPECT_NEAR(static_cast<double>(report.left), static_cast<double>(end - report.at), kSlack);
    }
}

class BroadcastRig : public Rig {
  public:
    BroadcastRig() {
        port.setResponder([](const std::string& line) -> FakePort::Answer {
            if (line.rfind("AT+CMSS=", 0) == 0) {
                return {"\r\n+CMSS: 7\r\n\r\nOK\r\n", 1000};
            }
            if (line.rfind("AT+CMGW=", 0) == 0) {
                return {"\r\n> "};
            }
            return {"\r\nOK\r\n"};
        });
    }
    const RecipientList recipients = {"+79001111111", "+79002222222", "+79003333333"};
};

TEST(TimeLeft, BroadcastTellsTheRestOfItsScheduleAfterEveryLine) {
    BroadcastRig rig;
    broadcastSms(rig.ctx, {cp("Ёлка")}, rig.recipients);
    checkTimeLeft(rig.user, rig.clock.elapsed(), 10);
    EXPECT_GT(rig.user.timeLeft.front().left, 3 * 13000u);
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
        writeProgramming(rig.ctx, smallRecord());
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
    writeProgramming(rig.ctx, smallRecord());
    EXPECT_EQ(rig.lastTwoLines(), std::make_pair(std::string("AT&W0"), std::string("AT+CPAS")));
    EXPECT_EQ(test::readFile(rig.dir.path("1.txt")).substr(0, 9), "ATW80015A");
}

TEST(Stop, WriteProgrammingStoppedBeforeItsFirstLineWritesNothing) {
    Rig rig;
    rig.stopDuring("ATR230");  // the presence check: taken before the first register line
    EXPECT_THROW(writeProgramming(rig.ctx, smallRecord()), Stopped);
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

// A register read and a slot read each end with the read of their reply; then "AT+CPAS" and
// its pause close the run. Neither the window's record nor "1.txt" changes.
TEST(Stop, ReadProgrammingLeavesTheRecordAndTheFileAsTheyWere) {
    for (const auto& [head, line] : {std::pair<std::string, std::string>{"ATR840", "ATR8401"},
                                     {"ATK", "ATK1"},
                                     {"AT+CPBR=", "AT+CPBR=2"}}) {
        SCOPED_TRACE(line);
        Rig rig;
        for (int i : {1, 2, 3}) {
            rig.device.fill(i, "89" + std::to_string(i), "W89" + std::to_string(i));
        }
        test::writeFile(rig.dir.path("1.txt"), "earlier\r\n");
        // The second slot read: the stop comes while its command is being sent.
        int slotReads = 0;
        rig.port.setWriteWatcher([&](const std::string& soFar) {
            if (soFar == head && (line != "AT+CPBR=2" || ++slotReads == 2)) {
                rig.stop.request();
            }
        });
        SettingsRecord record = smallRecord();
        const SettingsRecord before = record;
        try {
            readProgramming(rig.ctx, record);
            FAIL() << "not stopped";
        } catch (const Stopped& s) {
            EXPECT_EQ(s.text(), cp("Чтение программирования остановлено. Окно программы не "
                                   "изменено, файл 1.txt не записан."));
        }
        EXPECT_EQ(rig.lastTwoLines(), std::make_pair(line, std::string("AT+CPAS")));
        // The line's reply was read after its pause, as in any read.
        EXPECT_GE(rig.gapBeforeLastLine(), line == "ATK1" ? 600u : 610u);
        EXPECT_EQ(record, before);
        EXPECT_EQ(test::readFile(rig.dir.path("1.txt")), "earlier\r\n");
        EXPECT_FALSE(rig.user.shown);
        EXPECT_EQ(rig.user.caption, cp("Запись программирования"));
    }
}

// A stop in the preparation sends the message to nobody; one in a send waits for that send's
// answer, then closes with the memory emptied and names who got the message and who did not.
TEST(Stop, BroadcastReportsWhoWasSentToAndWhoWasNot) {
    BroadcastRig rig;
    rig.stopDuring("AT+CSCS");
    try {
        broadcastSms(rig.ctx, {"Hi"}, rig.recipients);
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.text(), cp("Рассылка остановлена: сообщение не отправлено ни одному из 3 "
                               "абонентов."));
    }
    EXPECT_EQ(rig.lastTwoLines(),
              std::make_pair(std::string("AT+CSCS=\"UCS2\""), std::string("AT+CMGDA=\"DEL ALL\"")));
    EXPECT_EQ(rig.user.readersStarted, 1);
    EXPECT_FALSE(rig.user.shown);

    BroadcastRig second;
    const std::string secondSend = "AT+CMSS=1,\"" + ISCII_UNICODE("+79002222222") + "\"";
    second.stopDuring(secondSend.substr(0, secondSend.size() - 2));
    try {
        broadcastSms(second.ctx, {"Hi"}, second.recipients);
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.text(), cp("Рассылка остановлена. Сообщение отправлено абонентам с 1 по 2 "
                               "из 3: +79001111111, +79002222222.\nНе отправлено абонентам с 3 "
                               "по 3: +79003333333."));
    }
    EXPECT_EQ(second.lastTwoLines(),
              std::make_pair(secondSend, std::string("AT+CMGDA=\"DEL ALL\"")));
    // The send's seven seconds and the read of its answer came first.
    EXPECT_EQ(second.gapBeforeLastLine(), 7000u + 10u + 100u);
    EXPECT_FALSE(second.user.readerStopped);
}

}  // namespace
}  // namespace orv
