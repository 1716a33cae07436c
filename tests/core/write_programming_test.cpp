// Write programming, SIM clearing, the CLIR query and the data-mode switch, run whole against a
// scripted device in virtual time.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "fake_port.h"
#include "operations/line_services.h"
#include "operations/programming.h"
#include "recording_user.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::FakePort;
using test::table;

const char kAbsent[] = "GSM-Тарк Орвелин-9 не подключен. Проверте правильность выбраного порта";
const char kBusy[] = "GSM-Тарк Орвелин-9 в активном состоянии. Программирование не возможно";
const char kClirFallback[] =
    "Возникла непредвиденная ошибка. Повторите попытку через несколько минут";

// One line as the device received it: its text and the times of its first byte and its CR.
struct Sent {
    std::string text;
    std::uint64_t first;
    std::uint64_t cr;
};

std::vector<Sent> sentLines(const FakePort& port) {
    std::vector<Sent> result;
    bool open = false;
    for (const FakePort::Written& w : port.written) {
        if (!open) {
            result.push_back({"", w.at, 0});
            open = true;
        }
        if (w.byte == '\r') {
            result.back().cr = w.at;
            open = false;
        } else {
            result.back().text += static_cast<char>(w.byte);
        }
    }
    return result;
}

// Milliseconds of silence between the CR of each line and the first byte of the next, less
// the 100 ms every byte waits: 0 for lines sent back to back, 500 for one pause.
std::vector<std::uint64_t> gapsAfter(const std::vector<Sent>& lines, std::size_t from) {
    std::vector<std::uint64_t> gaps;
    for (std::size_t i = from; i + 1 < lines.size(); ++i) {
        gaps.push_back(lines[i + 1].first - lines[i].cr - 100);
    }
    return gaps;
}

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

enum class DeviceState { Free, Busy, Absent };

class Operations : public ::testing::Test {
  protected:
    Operations() { useDevice(DeviceState::Free); }

    // The device answers the presence check as given and, once free, the CLIR query with
    // `clirReply` after `clirDelay` ms; an echo of the query arrives while it is being sent.
    void useDevice(DeviceState state, std::string clirReply = "", std::uint64_t clirDelay = 1500) {
        port.setResponder([this, state, clirReply, clirDelay](const std::string& line) {
            if (line == "ATR2301") {
                switch (state) {
                    case DeviceState::Free:
                        return FakePort::Answer{"\r01 ", 20};
                    case DeviceState::Busy:
                        return FakePort::Answer{"\r01 \r\n", 20};
                    case DeviceState::Absent:
                        return FakePort::Answer{};
                }
            }
            if (line == "AT+CLIR?") {
                port.arrive("AT+CLIR?", clock.elapsed() - 50, 1);
                return FakePort::Answer{clirReply, clirDelay};
            }
            return FakePort::Answer{};
        });
    }

    std::vector<std::string> textOf(const std::vector<Sent>& lines) {
        std::vector<std::string> t;
        for (const Sent& s : lines) {
            t.push_back(s.text);
        }
        return t;
    }

    bool commandFileExists() { return std::filesystem::exists(dir.path("1.txt")); }

    VirtualClock clock{5000};
    FakePort port{clock};
    test::RecordingUser user{clock};
    test::TempDir dir;
    OperationContext ctx{port, clock, user, user, dir.dir()};
};

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
        {&SettingsRecord::controlTime, "", "'' is not a valid integer value"},
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

// ---- CLIR query -------------------------------------------------------------------------

struct ClirCase {
    const char* name;
    std::string reply;
    std::uint64_t delay;
    bool hasMessage;
    MessageKind kind;
    const char* message;
};

class ClirQuery : public Operations, public ::testing::WithParamInterface<ClirCase> {};

TEST_P(ClirQuery, JudgesTheReplyAndEndsWithStatus) {
    const ClirCase& c = GetParam();
    useDevice(DeviceState::Free, c.reply, c.delay);

    queryClir(ctx);

    const std::vector<Sent> lines = sentLines(port);
    ASSERT_EQ(textOf(lines), (std::vector<std::string>{"ATR2301", "ATK1", "AT+CLIR?", "AT+CPAS"}));
    EXPECT_EQ(lines[2].first - lines[1].cr, 600u);  // one pause after "ATK1"
    if (c.hasMessage) {
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].kind, c.kind);
        EXPECT_EQ(user.messages[0].text, cp(c.message));
        EXPECT_EQ(user.messages[0].buttons, MessageButtons::Ok);
        // The reply is read after eight pauses; "AT+CPAS" goes once the message is closed.
        EXPECT_GE(user.messages[0].at, lines[2].cr + 4000);
        EXPECT_LE(user.messages[0].at, lines[2].cr + 4101);
        EXPECT_EQ(lines[3].first, user.messages[0].at + 100);
    } else {
        EXPECT_TRUE(user.messages.empty());
    }
    EXPECT_EQ(user.events.size(), user.messages.size());  // the reader is left alone
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ClirQuery,
    ::testing::Values(
        ClirCase{"Permanent", "\r\r\n+CLIR: 0,1\r\n\r\nOK\r\n", 1500, true,
                 MessageKind::Information, "CLIR - предоставляется на постоянной основе"},
        ClirCase{"Unknown", "\r\r\n+CLIR: 0,2\r\n\r\nOK\r\n", 1500, true, MessageKind::Information,
                 "Не известно о предоставлении услуги CLIR. Уточните у оператора."},
        // A status the table does not know, or none at all, is not passed over in silence.
        ClirCase{"UnknownStatus", "\r\r\n+CLIR: 0,7\r\n\r\nOK\r\n", 1500, true,
                 MessageKind::Warning,
                 "Ответ сети на запрос услуги CLIR не удалось разобрать: состояние услуги «7». "
                 "Повторите попытку через несколько минут"},
        ClirCase{"NoStatus", "\r\r\n+CLIR: 0,", 1500, true, MessageKind::Warning,
                 "Ответ сети на запрос услуги CLIR не удалось разобрать: состояние услуги в нём "
                 "отсутствует. Повторите попытку через несколько минут"},
        ClirCase{"UnprintableStatus", "\r\r\n+CLIR: 0,\x7F", 1500, true, MessageKind::Warning,
                 "Ответ сети на запрос услуги CLIR не удалось разобрать: состояние услуги с кодом "
                 "7F. Повторите попытку через несколько минут"},
        ClirCase{"HeaderOneByteLate", "\r\r\r\n+CLIR: 0,1\r\n", 1500, true, MessageKind::Error,
                 kClirFallback},
        ClirCase{"Nothing", "", 1500, true, MessageKind::Error, kClirFallback},
        // Arrives after the eight pauses and the read's time-out.
        ClirCase{"TooLate", "\r\r\n+CLIR: 0,1\r\n", 4200, true, MessageKind::Error, kClirFallback}),
    [](const ::testing::TestParamInfo<ClirCase>& info) { return info.param.name; });

// A read that fails is judged as nothing received, whatever it may have left behind.
class FailingReadPort : public FakePort {
  public:
    using FakePort::FakePort;
    bool read(std::size_t max, std::string& out) override {
        if (++reads_ == 1) {
            return FakePort::read(max, out);  // the presence check
        }
        out += "\r\r\n+CLIR: 0,1";
        return false;
    }

  private:
    int reads_ = 0;
};

TEST_F(Operations, ClirFailedReadGivesTheFallback) {
    FailingReadPort p(clock);
    p.setResponder([](const std::string& line) {
        return FakePort::Answer{line == "ATR2301" ? "\r01 " : "", 20};
    });
    OperationContext context{p, clock, user, user, dir.dir()};
    queryClir(context);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, cp(kClirFallback));
    EXPECT_EQ(p.lines().back(), "AT+CPAS");
}

TEST_F(Operations, ClirStopsAtAFailedPresenceCheck) {
    useDevice(DeviceState::Absent);
    EXPECT_THROW(queryClir(ctx), Failure);
    EXPECT_EQ(port.lines(), std::vector<std::string>{"ATR2301"});
    EXPECT_TRUE(user.messages.empty());
}

// ---- Data-transfer mode -----------------------------------------------------------------

TEST_F(Operations, DataModeSendsATK1AndTellsHowToLeave) {
    switchToDataMode(ctx);
    EXPECT_EQ(port.lines(), (std::vector<std::string>{"ATR2301", "ATK1"}));
    ASSERT_EQ(user.messages.size(), 1u);
    const auto& m = user.messages[0];
    EXPECT_EQ(m.kind, MessageKind::Information);
    EXPECT_EQ(m.buttons, MessageButtons::Yes);
    EXPECT_EQ(m.text, cp("Переход в режим передачи данных выполнен. Для выхода из режима "
                         "перезапустите питание устройства"));
    // About 2.4 s after the command: the pause after "ATK1" in which a line that went away
    // with it is noticed.
    EXPECT_EQ(m.at - 5000, 800u + 510u + 500u + 500u);
    EXPECT_EQ(port.written.back().at + 500, m.at);  // nothing after "ATK1"
    EXPECT_EQ(user.events.size(), 1u);              // no reader stop, no progress window
}

// The line goes away with "ATK1": the loss is reported, not the switch. The port may know it
// at once, or only when the line is next touched.
class LineGoneOnTouchPort : public FakePort {
  public:
    using FakePort::FakePort;
    void setDtr() override {
        FakePort::setDtr();
        if (lines().size() >= 2) {
            setOpen(false);
        }
    }
};

TEST_F(Operations, DataModeOnAVanishedLineReportsTheLoss) {
    const Text lost =
        cp("Связь с GSM-Тарк Орвелин-9 потеряна. Проверьте подключение и повторите операцию");
    port.setResponder([&](const std::string& line) {
        if (line == "ATK1") {
            port.setOpen(false);
        }
        return FakePort::Answer{line == "ATR2301" ? "\r01 " : "", 20};
    });
    LineGoneOnTouchPort lookPort(clock);
    lookPort.setResponder([](const std::string& line) {
        return FakePort::Answer{line == "ATR2301" ? "\r01 " : "", 20};
    });
    for (FakePort* p : {static_cast<FakePort*>(&port), static_cast<FakePort*>(&lookPort)}) {
        OperationContext context{*p, clock, user, user, dir.dir()};
        try {
            switchToDataMode(context);
            FAIL() << "passed";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), MessageKind::Error);
            EXPECT_EQ(f.text(), lost);
        }
        EXPECT_EQ(p->lines(), (std::vector<std::string>{"ATR2301", "ATK1"}));
    }
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(Operations, DataModeStopsAtAFailedPresenceCheck) {
    useDevice(DeviceState::Busy);
    try {
        switchToDataMode(ctx);
        FAIL() << "passed";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), cp(kBusy));
    }
    EXPECT_EQ(port.lines(), std::vector<std::string>{"ATR2301"});
    EXPECT_TRUE(user.messages.empty());
}

}  // namespace
}  // namespace orv
