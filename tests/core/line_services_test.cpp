// The CLIR query and the switch into data-transfer mode, run whole against a scripted device in
// virtual time.

#include <gtest/gtest.h>

#include "base/errors.h"
#include "device_rig.h"
#include "operations/line_services.h"

namespace orv {
namespace {

using test::cp;
using test::DeviceState;
using test::FakePort;
using test::Operations;
using test::Sent;
using test::sentLines;
using test::textOf;

const char kBusy[] = "GSM-Тарк Орвелин-9 в активном состоянии. Программирование не возможно";
const char kClirFallback[] =
    "Возникла непредвиденная ошибка. Повторите попытку через несколько минут";

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

    const Outcome outcome = queryClir(ctx);

    // Only an answer that could be told is done; a reply not understood is the device's trouble.
    const bool told = c.hasMessage && c.kind == MessageKind::Information;
    EXPECT_EQ(outcome, told ? Outcome::Done : Outcome::DeviceTrouble);
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
    EXPECT_EQ(queryClir(context), Outcome::DeviceTrouble);
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
            EXPECT_EQ(f.outcome(), Outcome::LineLost);
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
