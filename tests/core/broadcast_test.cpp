#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "device_rig.h"
#include "sms/broadcast.h"
#include "sms/ucs2.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::FakePort;

const std::string kDeleteAll = "AT+CMGDA=\"DEL ALL\"";
const std::string kWrite = "AT+CMGW=\"002B0033003100310031003100310031\"";
const std::string kOk = "\r\nOK\r\n";

std::string sendLine(const Text& number) {
    return "AT+CMSS=1,\"" + ISCII_UNICODE(number) + "\"";
}

Text errorText(const char* number) {
    return cp("Ошибка выполения № ") + number +
           cp(". Проверте правильность подключения. При повторении ошибки обратитесь за "
              "консультацией в сервисный центр.");
}

// The scripted device's modem, which answers every line as a GSM modem in text mode does;
// `custom` replaces the answer to lines beginning with a key (an empty answer: the modem stays
// silent).
class Broadcast : public ::testing::Test {
  protected:
    void SetUp() override {
        port.setResponder([this](const std::string& line) { return device.answer(line); });
    }

    BroadcastResult run(const std::vector<Text>& text, const RecipientList& recipients) {
        return broadcastSms(ctx, text, recipients);
    }

    // Runs a broadcast that must stop with the numbered error; checks what it leaves.
    void expectError(const char* number, std::size_t linesSent, int position) {
        SCOPED_TRACE(number);
        try {
            run({"Hi"}, {"+79001234567"});
            FAIL() << "no error";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), MessageKind::Error);
            EXPECT_EQ(f.text(), errorText(number));
        }
        EXPECT_EQ(port.lines().size(), linesSent);  // nothing sent after the failed read
        EXPECT_TRUE(user.shown);
        EXPECT_EQ(user.caption, cp("Подготовка к отправке SMS-Сообщений"));
        EXPECT_EQ(user.position, position);
        EXPECT_TRUE(user.readerStopped);
        EXPECT_EQ(user.readersStarted, 0);
        EXPECT_TRUE(user.messages.empty());
    }

    // When each line's CR was written.
    std::vector<std::uint64_t> lineEnds() const {
        std::vector<std::uint64_t> ends;
        for (const FakePort::Written& w : port.written) {
            if (w.byte == '\r')
                ends.push_back(w.at);
        }
        return ends;
    }

    VirtualClock clock;
    FakePort port{clock};
    test::RecordingUser user{clock};
    OperationContext ctx{port, clock, user, user, {}};
    test::ScriptedDevice device;
    std::map<std::string, std::string>& custom = device.beginning;
};

TEST_F(Broadcast, ThreeRecipientsWholeExchange) {
    const RecipientList recipients = {"+79001111111", "+79002222222", "+79003333333"};
    const BroadcastResult result = run({cp("Ёё Hi")}, recipients);

    const std::vector<std::string> expected = {
        kDeleteAll,
        "AT+CMGF=1",
        "AT+CSCS=\"UCS2\"",
        "AT+CSMP=17,167,0,25",
        kWrite,
        "0401045100200048"
        "0069",
        "\x1A",
        sendLine("+79001111111"),
        sendLine("+79002222222"),
        sendLine("+79003333333"),
        kDeleteAll,
    };
    EXPECT_EQ(port.lines(), expected);
    EXPECT_EQ(port.bytes().back(), '\r');  // the closing line is the last thing written

    // The last position is set again, to the maximum, when the sends are done.
    EXPECT_EQ(user.positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9}));
    const std::vector<std::string> events = {
        "stop reader",
        "caption " + cp("Подготовка к отправке SMS-Сообщений"),
        "show",
        "range 0 9",
        "caption " + cp("Отправка SMS-сообщения адрессату №  1"),
        "caption " + cp("Отправка SMS-сообщения адрессату №  2"),
        "caption " + cp("Отправка SMS-сообщения адрессату №  3"),
        "caption " + cp("Завершение отправки сообщений"),
        "start reader",
        "caption " + cp("Запись программирования"),
        "close",
    };
    EXPECT_EQ(user.events, events);
    EXPECT_GE(port.dtrRaised, 1);
    EXPECT_EQ(port.rtsRaised, 1);
    EXPECT_EQ(port.purges, 0);  // nothing purged between the sends: late answers still count
    EXPECT_FALSE(user.readerStopped);
    EXPECT_EQ(user.readersStarted, 1);
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(result.recipients, 3u);
    EXPECT_TRUE(result.unconfirmed.empty());

    // From each line's CR to the first byte of the next: the pauses and reads between them
    // (a read ends 10 ms after the last byte it took), and 100 ms before the byte.
    const std::vector<std::uint64_t> ends = lineEnds();
    ASSERT_EQ(ends.size(), expected.size());
    std::vector<std::uint64_t> gaps;
    std::size_t line = 0;
    for (std::size_t i = 0; i + 1 < port.written.size(); ++i) {
        if (port.written[i].byte == '\r') {
            gaps.push_back(port.written[i + 1].at - ends[line++]);
        }
    }
    const std::vector<std::uint64_t> expectedGaps = {
        600,                     // pause
        110,                     // read: what the previous command left, at once
        610,                     // read, pause
        610,                     // pause, read
        1000 + 10 + 1000 + 100,  // two pauses, read, buffer cleared, two pauses
        600,                     // pause
        500 + 10 + 500 + 100,    // pause, read, pause
        7000 + 10 + 100,         // fourteen pauses, read of the answer
        7110,
        7110,
    };
    EXPECT_EQ(gaps, expectedGaps);
    EXPECT_EQ(port.written.front().at, 100u);
}

TEST_F(Broadcast, MessageTextAndRecipientNumbersOnTheWire) {
    // An empty text still runs every step; its body line is the CR alone.
    run({}, {"+3111111"});
    std::vector<std::string> lines = port.lines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "\x1A");
    EXPECT_EQ(lines[7], "AT+CMSS=1,\"002B0033003100310031003100310031\"");
    EXPECT_NE(port.bytes().find(std::string("\r\x1A\r")), std::string::npos);

    // The shown lines are joined without their breaks.
    port.written.clear();
    run({cp("Привет,"), "", cp("мир")}, {"1"});
    lines = port.lines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[5], ISCII_UNICODE(cp("Привет,мир")));
}

// A number is the line's leading "+" and digits, whole: an international number is not cut
// into somebody else's, and a name after it is not sent. A line without a number is not sent
// and is named in the report.
TEST_F(Broadcast, NumbersAreWholeAndLinesWithoutOneAreNamed) {
    const BroadcastResult result =
        run({"x"}, {"+8613812345678", cp("79001234567; Иван"), "", cp("Иван")});

    std::vector<std::string> lines = port.lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], sendLine("+8613812345678"));
    EXPECT_EQ(lines[8], sendLine("79001234567"));
    EXPECT_EQ(lines[9], kDeleteAll);
    EXPECT_EQ(user.maximum, 8);  // the two sends and the six steps before them
    EXPECT_EQ(result.recipients, 2u);
    EXPECT_TRUE(result.unconfirmed.empty());
    ASSERT_EQ(result.skipped.size(), 2u);
    EXPECT_EQ(result.skipped[0].line, 3u);
    EXPECT_EQ(result.skipped[1].line, 4u);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(user.messages[0].text, cp("Строки без номера абонента не разосланы: 2.\n"
                                        "Строка 3: (пустая)\nСтрока 4: Иван"));
}

// With no number to send to, the broadcast says so and sends nothing at all.
TEST_F(Broadcast, NoNumberSendsNothingAndSaysSo) {
    for (const RecipientList& list : {RecipientList{}, RecipientList{"", cp("Иван")}}) {
        try {
            run({"x"}, list);
            FAIL() << "no warning";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), MessageKind::Warning);
            EXPECT_EQ(f.text().rfind(cp("В списке абонентов нет ни одного номера. Сообщение не "
                                        "отправлено."),
                                     0),
                      0u);
        }
    }
    EXPECT_TRUE(port.written.empty());
    EXPECT_TRUE(user.events.empty());  // no reader stopped, no progress window
    EXPECT_EQ(noRecipientsMessage(planBroadcast({"", cp("Иван")})),
              cp("В списке абонентов нет ни одного номера. Сообщение не отправлено.\n\n"
                 "Строки без номера абонента:\nСтрока 1: (пустая)\nСтрока 2: Иван"));
}

TEST_F(Broadcast, TheTenthCaptionAndASecondRun) {
    run({"x"}, {"5"});
    EXPECT_EQ(port.lines().size(), 9u);

    // A second broadcast repeats the whole sequence, preparation included.
    port.written.clear();
    user.events.clear();
    run({"x"}, RecipientList(10, "5"));
    EXPECT_EQ(port.lines().size(), 18u);
    EXPECT_EQ(port.lines().front(), kDeleteAll);
    EXPECT_EQ(user.maximum, 16);
    EXPECT_EQ(user.events[user.events.size() - 5],
              "caption " + cp("Отправка SMS-сообщения адрессату №  10"));
}

// The input is not purged between the preparation's commands, so each of the first reads
// takes what the command before left: a read fails only when the modem fell silent one
// command earlier.
TEST_F(Broadcast, ErrorOne) {
    custom[kDeleteAll] = "";
    custom["AT+CMGF=1"] = "";
    expectError("1", 2, 1);
}

TEST_F(Broadcast, ErrorTwo) {
    custom["AT+CMGF=1"] = "";
    custom["AT+CSCS="] = "";
    expectError("2", 3, 2);
}

TEST_F(Broadcast, ErrorThree) {
    custom["AT+CSCS="] = "";
    custom["AT+CSMP="] = "";
    expectError("3", 4, 3);
}

TEST_F(Broadcast, ErrorFour) {
    custom["AT+CMGW="] = "";
    expectError("4", 5, 4);
}

TEST_F(Broadcast, ErrorFive) {
    custom["00"] = "";  // the text line
    custom["\x1A"] = "";
    expectError("5", 7, 5);
}

TEST_F(Broadcast, UnopenedPortStopsAtErrorOne) {
    port.setOpen(false);
    expectError("1", 0, 1);
}

TEST_F(Broadcast, PromptCheckUsesWhatEarlierRepliesLeft) {
    // A three-byte reply over the leftovers of "\r\nOK\r\n" reads "\r\n>K": no prompt.
    custom["AT+CMGW="] = "\r\n>";
    expectError("4/1", 5, 4);
}

TEST_F(Broadcast, ShortReplyCompletedByLeftoversPasses) {
    // The parameters' reply alone is in the buffer and leaves "> " in bytes 3 and 4; the
    // two-byte reply to the write command completes the prompt.
    custom["AT+CSCS="] = "";
    custom["AT+CSMP="] = "\r\n> OK";
    custom["AT+CMGW="] = "\r\n";
    run({"x"}, {"1"});
    EXPECT_EQ(port.lines().size(), 9u);
    EXPECT_EQ(user.readersStarted, 1);
}

TEST_F(Broadcast, UnconfirmedRecipientsAreReported) {
    const RecipientList recipients = {"+79001111111", "+79002222222", "+79003333333 X",
                                      "+79004444444"};
    custom[sendLine("+79002222222")] = "\r\n+CMS ERROR: 21\r\n";
    custom[sendLine("+79003333333")] = "";  // no answer at all
    const BroadcastResult result = run({"x"}, recipients);

    // The same lines as a run in which every send is confirmed.
    EXPECT_EQ(port.lines().size(), 12u);
    EXPECT_EQ(user.positions.back(), 10);
    EXPECT_EQ(result.recipients, 4u);
    EXPECT_EQ(result.unconfirmed, (std::vector<Text>{"+79002222222", "+79003333333"}));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(user.messages[0].text, cp("Не подтверждена отправка SMS-сообщений: 2 из 4.\n"
                                        "Номера: +79002222222, +79003333333"));
    EXPECT_EQ(user.events.back(), "tell " + user.messages[0].text);  // after the window closed
    EXPECT_FALSE(user.readerStopped);
}

TEST_F(Broadcast, StaleConfirmationDoesNotCount) {
    // A "+CMSS:" that arrives after the last preparation read and before the send command's
    // CR answers no send; the recipient the silent modem never answered stays unconfirmed.
    custom["AT+CMSS="] = "";
    port.setResponder([this](const std::string& line) {
        if (line == "\x1A")
            port.arrive("\r\n+CMSS: 3\r\n", clock.elapsed() + 800);
        return device.answer(line);
    });
    const BroadcastResult result = run({"x"}, {"1"});
    EXPECT_EQ(result.unconfirmed, (std::vector<Text>{"1"}));
}

// A slow network's confirmation counts as long as no other line has gone out: it arrives 9 s
// after the send, past the read at 7 s, while the next send's line is still being sent or,
// after the last send, while the broadcast waits for it.
TEST_F(Broadcast, LateConfirmationCountsUntilTheNextLine) {
    const std::string late = "\r\n+CMSS: 9\r\n" + kOk;
    port.setResponder([&](const std::string& line) {
        FakePort::Answer a = device.answer(line);
        if (line == sendLine("+79001111111") || line == sendLine("+79003333333")) {
            a = {late, 9000};
        }
        return a;
    });
    BroadcastResult result = run({"x"}, {"+79001111111", "+79002222222", "+79003333333"});
    EXPECT_TRUE(result.unconfirmed.empty());
    EXPECT_TRUE(user.messages.empty());
    // The last send's answer was waited for; the closing line follows it.
    const std::vector<std::uint64_t> ends = lineEnds();
    const std::uint64_t lastSend = ends[ends.size() - 2];
    const std::uint64_t closing = port.written.size() - std::string(kDeleteAll).size() - 1;
    EXPECT_GT(port.written[closing].at, lastSend + 9000);
    EXPECT_LT(port.written[closing].at, lastSend + 9000 + 700);

    // An answer after the closing line's CR does not count, and the wait is over seven
    // seconds after the read.
    port.written.clear();
    user.messages.clear();
    port.setResponder([&](const std::string& line) {
        FakePort::Answer a = device.answer(line);
        if (line.rfind("AT+CMSS=", 0) == 0) {
            a = {late, 17000};
        }
        return a;
    });
    result = run({"x"}, {"+79001111111"});
    EXPECT_EQ(result.unconfirmed, (std::vector<Text>{"+79001111111"}));
    const std::uint64_t sent = lineEnds()[7];
    EXPECT_GE(port.written[port.written.size() - std::string(kDeleteAll).size() - 1].at,
              sent + 14000);
    EXPECT_LE(port.written[port.written.size() - std::string(kDeleteAll).size() - 1].at,
              sent + 14000 + 800);
}

// What comes after the next line's CR is that line's answer, not the one before; and once
// the last send is answered, even with an error, nothing more is waited for.
TEST_F(Broadcast, AnswerAfterTheNextCrIsNotTheOneBefore) {
    port.setResponder([&](const std::string& line) {
        if (line == sendLine("1")) {
            return FakePort::Answer{"", 0};
        }
        if (line == sendLine("2")) {
            port.arrive("\r\n+CMSS: 4\r\n" + kOk, clock.elapsed() + 5);
            return FakePort::Answer{"", 0};
        }
        if (line == sendLine("3")) {
            return FakePort::Answer{"\r\n+CMS ERROR: 500\r\n", 1000};
        }
        return device.answer(line);
    });
    const BroadcastResult result = run({"x"}, {"1", "2", "3"});
    EXPECT_EQ(result.unconfirmed, (std::vector<Text>{"1", "3"}));
    const std::vector<std::uint64_t> ends = lineEnds();
    EXPECT_EQ(ends.back() - ends[ends.size() - 2], 7110u + 100u * std::string(kDeleteAll).size());
}

TEST(BroadcastReport, ListsTheFirstTenOfEach) {
    BroadcastResult r;
    r.recipients = 20;
    EXPECT_EQ(broadcastReport(r), "");
    for (int i = 1; i <= 12; ++i) {
        r.unconfirmed.push_back(std::to_string(i));
    }
    EXPECT_EQ(broadcastReport(r), cp("Не подтверждена отправка SMS-сообщений: 12 из 20.\n"
                                     "Номера: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 и ещё 2"));
    r.unconfirmed.resize(1);
    for (std::size_t i = 1; i <= 11; ++i) {
        r.skipped.push_back({i * 2, i == 1 ? std::string(40, 'a') : cp("Имя")});
    }
    EXPECT_EQ(broadcastReport(r),
              cp("Не подтверждена отправка SMS-сообщений: 1 из 20.\nНомера: 1\n\n"
                 "Строки без номера абонента не разосланы: 11.\n") +
                  cp("Строка 2: ") + std::string(30, 'a') + "..." +
                  cp("\nСтрока 4: Имя\nСтрока 6: Имя\nСтрока 8: Имя\nСтрока 10: Имя\n"
                     "Строка 12: Имя\nСтрока 14: Имя\nСтрока 16: Имя\nСтрока 18: Имя\n"
                     "Строка 20: Имя\nи ещё 1"));
}

// The question before a broadcast names how many recipients get which text.
TEST(BroadcastQuestion, NamesTheRecipientsAndTheText) {
    const BroadcastPlan three = planBroadcast({"1", "2", "3"});
    EXPECT_EQ(broadcastQuestion({cp("Привет,"), cp(" мир")}, three),
              cp("Разослать SMS-сообщение 3 абонентам?\n\nТекст: «Привет, мир»"));
    EXPECT_EQ(broadcastQuestion({}, planBroadcast({"1"})),
              cp("Разослать пустое SMS-сообщение 1 абоненту?"));
    EXPECT_EQ(broadcastQuestion({"x"}, planBroadcast(RecipientList(21, "1"))),
              cp("Разослать SMS-сообщение 21 абоненту?\n\nТекст: «x»"));
    EXPECT_EQ(broadcastQuestion({"x"}, planBroadcast(RecipientList(11, "1"))),
              cp("Разослать SMS-сообщение 11 абонентам?\n\nТекст: «x»"));
    EXPECT_EQ(broadcastQuestion({"x"}, planBroadcast({"1", "", "a"})),
              cp("Разослать SMS-сообщение 1 абоненту?\n\nТекст: «x»\n\n"
                 "Строки без номера абонента (2) будут пропущены."));
}

// ---- Time left and stops -------------------------------------------------------------------

// The scripted device's modem, and three recipients.
struct BroadcastRig : test::DeviceRig {
    const RecipientList recipients = {"+79001111111", "+79002222222", "+79003333333"};
};

TEST(TimeLeft, BroadcastTellsTheRestOfItsScheduleAfterEveryLine) {
    BroadcastRig rig;
    broadcastSms(rig.ctx, {cp("Ёлка")}, rig.recipients);
    test::checkTimeLeft(rig.user, rig.clock.elapsed(), 10);
    EXPECT_GT(rig.user.timeLeft.front().left, 3 * 13000u);
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
