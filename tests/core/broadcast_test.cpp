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

// Each row's outcome as a letter: Confirmed, Unconfirmed, Refused, Not sent.
std::string outcomes(const BroadcastReport& report) {
    std::string letters;
    for (const RecipientRow& row : report.rows) {
        letters += "CURN"[static_cast<int>(row.outcome)];
    }
    return letters;
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

    // The report's times are the virtual clock's milliseconds.
    BroadcastReport run(const std::vector<Text>& text, const RecipientList& recipients) {
        BroadcastReport report;
        broadcastSms(ctx, text, recipients, report,
                     [this] { return std::to_string(clock.elapsed()); });
        return report;
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
            EXPECT_EQ(f.outcome(), Outcome::DeviceTrouble);
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
    const BroadcastReport result = run({cp("Ёё Hi")}, recipients);

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
    EXPECT_EQ(result.ending, BroadcastEnding::Finished);
    EXPECT_EQ(outcomes(result), "CCC");
    EXPECT_EQ(broadcastReportText(result), "");

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
    run({cp("Привет,"), "", cp("мир")}, {"112"});
    lines = port.lines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[5], ISCII_UNICODE(cp("Привет,мир")));
}

// A number is the line's leading "+" and digits, whole: an international number is not cut
// into somebody else's, and a name after it is not sent. A line without a number is not sent
// and is named in the report.
TEST_F(Broadcast, NumbersAreWholeAndLinesWithoutOneAreNamed) {
    const BroadcastReport result =
        run({"x"}, {"+8613812345678", cp("79001234567; Иван"), "", cp("Иван")});

    std::vector<std::string> lines = port.lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], sendLine("+8613812345678"));
    EXPECT_EQ(lines[8], sendLine("79001234567"));
    EXPECT_EQ(lines[9], kDeleteAll);
    EXPECT_EQ(user.maximum, 8);  // the two sends and the six steps before them
    EXPECT_EQ(outcomes(result), "CCNN");
    EXPECT_EQ(result.numbers(), 2u);
    EXPECT_TRUE(user.messages.empty());  // the window tells the report
    EXPECT_EQ(broadcastReportText(result), cp("Строки без номера абонента не разосланы: 2.\n"
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
            EXPECT_EQ(f.outcome(), Outcome::Refused);
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
    run({"x"}, {"555"});
    EXPECT_EQ(port.lines().size(), 9u);

    // A second broadcast repeats the whole sequence, preparation included.
    port.written.clear();
    user.events.clear();
    run({"x"}, RecipientList(10, "555"));
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
    run({"x"}, {"112"});
    EXPECT_EQ(port.lines().size(), 9u);
    EXPECT_EQ(user.readersStarted, 1);
}

// ---- Final results, first in first out ------------------------------------------------------

// The modem echoes each send line as it takes it (the prompt check before them needs it
// silent), and answers each send as the case says: its final result `delay` ms after the
// send's CR, or nothing.
struct SendAnswer {
    std::string bytes;
    std::uint64_t delay;
};

struct ResultCase {
    const char* name;
    std::vector<SendAnswer> answers;  // one per send, in order
    std::string outcomes;             // expected, one letter per recipient
    std::vector<std::string> errors;  // expected error codes, one per recipient
};

// Numbers of 20 characters: the echo of each send line alone is 93 bytes.
const RecipientList kLongNumbers = {"+7900111111111111111", "+7900222222222222222",
                                    "+7900333333333333333"};

TEST_F(Broadcast, EachFinalResultBelongsToItsOwnSend) {
    const std::string sent = "\r\n+CMSS: 5\r\n" + kOk;
    const std::string refused = "\r\n+CMS ERROR: 21\r\n";
    const ResultCase cases[] = {
        // A confirmation that comes after the next send's CR, then that send's refusal: the
        // refused number is refused, the confirmed one confirmed.
        {"late confirmation, then a refusal",
         {{sent, 15000}, {refused, 2500}, {sent, 1000}},
         "CRC",
         {"", "21", ""}},
        // The last send's result comes 20 s after it, in the wait for the results still owed.
        {"last result late", {{sent, 1000}, {sent, 1000}, {sent, 20000}}, "CCC", {"", "", ""}},
        {"bare error, modem silent at the end",
         {{sent, 1000}, {"\r\nERROR\r\n", 1000}, {"", 0}},
         "CRU",
         {"", "ERROR", ""}},
        {"no results at all", {{"", 0}, {"", 0}, {"", 0}}, "UUU", {"", "", ""}},
        // 7 s and then 30 s after the last send, the results still owed are given up.
        {"too late", {{sent, 1000}, {sent, 1000}, {sent, 40000}}, "CCU", {"", "", ""}},
        {"equipment error",
         {{"\r\n+CME ERROR: 3\r\n", 500}, {sent, 900}, {sent, 900}},
         "RCC",
         {"3", "", ""}},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(c.name);
        port.written.clear();
        std::size_t send = 0;
        port.setResponder([&](const std::string& line) {
            if (line.rfind("AT+CMSS=", 0) == 0) {
                port.arrive(line + "\r", clock.elapsed() + 5, 1);  // the echo, as it is taken
                const SendAnswer& a = c.answers.at(send++);
                return FakePort::Answer{a.bytes, a.delay};
            }
            return device.answer(line);
        });
        BroadcastReport report;
        try {
            report = run({"x"}, kLongNumbers);
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        EXPECT_EQ(outcomes(report), c.outcomes);
        for (std::size_t i = 0; i < report.rows.size(); ++i) {
            EXPECT_EQ(report.rows[i].error, c.errors[i]) << i;
            EXPECT_FALSE(report.rows[i].time.empty());
        }
        EXPECT_EQ(port.lines().back(), kDeleteAll);
        EXPECT_EQ(port.lines().size(), 11u);
    }
}

// The wait after the last send ends as soon as nothing is owed, or 30 s after the last send's
// own read.
TEST_F(Broadcast, TheWaitForResultsStillOwedLastsUpTo30Seconds) {
    for (const std::uint64_t delay : {std::uint64_t{0}, std::uint64_t{20000}}) {
        port.written.clear();
        port.setResponder([&](const std::string& line) {
            if (line.rfind("AT+CMSS=", 0) == 0) {
                return FakePort::Answer{delay ? "\r\n+CMSS: 1\r\n" : "", delay};
            }
            return device.answer(line);
        });
        const BroadcastReport report = run({"x"}, {"+79001111111"});
        const std::vector<std::uint64_t> ends = lineEnds();
        const std::uint64_t lastSend = ends[ends.size() - 2];
        const std::uint64_t closing = port.written[port.written.size() - 19].at;
        if (delay == 0) {
            EXPECT_EQ(outcomes(report), "U");
            EXPECT_GE(closing, lastSend + 7110 + 30000);
            EXPECT_LE(closing, lastSend + 7110 + 30000 + 700);
        } else {
            EXPECT_EQ(outcomes(report), "C");
            EXPECT_GE(closing, lastSend + delay);
            EXPECT_LE(closing, lastSend + delay + 700);
        }
    }
}

TEST_F(Broadcast, AStaleResultBeforeTheFirstSendAnswersNoSend) {
    // A "+CMSS:" that arrives after the last preparation read and before the first send's CR
    // answers no send; the recipient the silent modem never answered stays unconfirmed.
    custom["AT+CMSS="] = "";
    port.setResponder([this](const std::string& line) {
        if (line == "\x1A")
            port.arrive("\r\n+CMSS: 3\r\n", clock.elapsed() + 800);
        return device.answer(line);
    });
    EXPECT_EQ(outcomes(run({"x"}, {"112"})), "U");
}

// The line goes away during the first send's seven seconds: the broadcast ends at once with
// the line-lost message and whom it reached, sending nothing more, not even its closing line.
TEST(LineLost, BroadcastEndsWithinOneSendAndTellsWhomItReached) {
    struct ClosingPort : test::FakePort {
        using FakePort::FakePort;
        bool isOpen() const override { return closeAt == 0 || clock->elapsed() < closeAt; }
        VirtualClock* clock = nullptr;
        std::uint64_t closeAt = 0;
    };
    VirtualClock clock;
    ClosingPort port(clock);
    port.clock = &clock;
    test::RecordingUser user(clock);
    OperationContext ctx{port, clock, user, user, {}};
    test::ScriptedDevice device;
    port.setResponder([&](const std::string& line) {
        if (line == sendLine("+79000000001")) {
            port.closeAt = clock.elapsed() + 3000;
        }
        return device.answer(line);
    });
    RecipientList recipients;
    for (int i = 1; i <= 20; ++i) {
        recipients.push_back("+790000000" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    }
    BroadcastReport report;
    try {
        broadcastSms(ctx, {"x"}, recipients, report);
        FAIL() << "not ended";
    } catch (const Failure& f) {
        EXPECT_EQ(f.kind(), MessageKind::Error);
        EXPECT_EQ(f.outcome(), Outcome::LineLost);
        EXPECT_EQ(f.text(),
                  lineLostMessage() + cp("\n\nСообщение отправлено абонентам с 1 по 1 из 20: "
                                         "+79000000001.\nИз них не подтверждена отправка: "
                                         "+79000000001.\nНе отправлено абонентам с 2 по 20: "
                                         "+79000000002, +79000000003, +79000000004, +79000000005, "
                                         "+79000000006, +79000000007, +79000000008, +79000000009, "
                                         "+79000000010, +79000000011 и ещё 9."));
    }
    EXPECT_EQ(report.ending, BroadcastEnding::LineLost);
    // Its confirmation had come, but the line went before it was read.
    EXPECT_EQ(outcomes(report), "U" + std::string(19, 'N'));
    EXPECT_EQ(port.lines().back(), sendLine("+79000000001"));
    EXPECT_LE(clock.elapsed(), port.closeAt - 3000 + 7000 + 110);
}

// The question before a broadcast names how many recipients get which text, and the first
// five numbers as they will be sent.
TEST(BroadcastQuestion, NamesTheRecipientsTheTextAndTheFirstNumbers) {
    struct Case {
        std::vector<Text> text;
        RecipientList recipients;
        const char* question;  // UTF-8
    };
    const Case cases[] = {
        {{cp("Привет,"), cp(" мир")},
         {"111", "222", "333"},
         "Разослать SMS-сообщение 3 абонентам?\n\nТекст: «Привет, мир»\n\nНомера: 111, 222, 333"},
        {{},
         {"+7 900 123-45-67"},
         "Разослать пустое SMS-сообщение 1 абоненту?\n\nНомера: +79001234567"},
        {{"x"},
         RecipientList(21, "8 (900) 123-45-67"),
         "Разослать SMS-сообщение 21 абоненту?\n\nТекст: «x»\n\nНомера: 89001234567, "
         "89001234567, 89001234567, 89001234567, 89001234567 и ещё 16"},
        {{"x"},
         {"111", "222", "333", "444", "555", "666"},
         "Разослать SMS-сообщение 6 абонентам?\n\nТекст: «x»\n\nНомера: 111, 222, 333, 444, "
         "555 и ещё 1"},
        {{"x"},
         {"+7-900-1234567; Иван", "", "a", "12"},
         "Разослать SMS-сообщение 1 абоненту?\n\nТекст: «x»\n\nНомера: +79001234567\n\n"
         "Строки без номера абонента (3) будут пропущены."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(broadcastQuestion(c.text, planBroadcast(c.recipients)), cp(c.question));
    }
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

// A stop while the modem waits at its text prompt (taken after the prompt, before the text or
// before its end) cancels the text with ESC: nothing is stored, no send follows, and the run
// closes with its closing line.
TEST(Stop, AtTheTextPromptTheTextIsCancelled) {
    const std::string body = ISCII_UNICODE("Hi");
    for (const std::string& during : {std::string("AT+CMGW=\"002B"), body.substr(0, 4)}) {
        SCOPED_TRACE(during);
        BroadcastRig rig;
        rig.stopDuring(during);
        BroadcastReport report;
        try {
            broadcastSms(rig.ctx, {"Hi"}, rig.recipients, report);
            FAIL() << "not stopped";
        } catch (const Stopped& s) {
            EXPECT_EQ(s.text(), cp("Рассылка остановлена: сообщение не отправлено ни одному из 3 "
                                   "абонентов. Ввод текста сообщения отменён: в память модема оно "
                                   "не записано."));
        }
        EXPECT_EQ(report.ending, BroadcastEnding::StoppedInText);
        EXPECT_EQ(outcomes(report), "NNN");
        const std::string bytes = rig.port.bytes();
        const std::size_t prompt = bytes.find(kWrite + "\r");
        const std::size_t esc = bytes.find('\x1B');
        ASSERT_NE(esc, std::string::npos);
        EXPECT_GT(esc, prompt);
        // Only the text (when it went out before the stop) stands between the prompt and ESC;
        // after ESC only the closing line.
        const std::string between =
            bytes.substr(prompt + kWrite.size() + 1, esc - prompt - kWrite.size() - 1);
        EXPECT_TRUE(between.empty() || between == body + "\r") << between;
        EXPECT_EQ(bytes.substr(esc + 1), kDeleteAll + "\r");
        EXPECT_EQ(bytes.find('\x1A'), std::string::npos);
        EXPECT_EQ(bytes.find("AT+CMSS"), std::string::npos);
        EXPECT_EQ(rig.user.readersStarted, 1);
    }
}

// ---- The report ----------------------------------------------------------------------------

// A report of four numbers and a line without one, sent as `outcomes` says.
BroadcastReport sampleReport(BroadcastEnding ending, const std::string& letters) {
    BroadcastReport r = newBroadcastReport({"+79001111111 Ivan", cp("8 (900) 222-22-22; Пётр"),
                                            cp("Иван"), "+79003333333", "+79004444444 \"A;B\""});
    std::size_t k = 0;
    for (RecipientRow& row : r.rows) {
        if (row.number.empty()) {
            continue;
        }
        row.outcome = static_cast<SendOutcome>(std::string("CURN").find(letters[k++]));
        if (row.outcome != SendOutcome::NotSent) {
            row.time = "2026-12-09T18:0" + std::to_string(k) + ":00";
        }
        if (row.outcome == SendOutcome::Refused) {
            row.error = "21";
        }
    }
    r.ending = ending;
    return r;
}

TEST(BroadcastReportText, SaysWhomTheMessageReachedAndWhomNot) {
    const Text skipped = cp("\n\nСтроки без номера абонента не разосланы: 1.\nСтрока 3: Иван");
    struct Case {
        BroadcastEnding ending;
        const char* outcomes;
        Text text;
    };
    const Case cases[] = {
        {BroadcastEnding::Finished, "CCCC", skipped.substr(2)},
        {BroadcastEnding::Finished, "CURU",
         cp("Не подтверждена отправка SMS-сообщений: 2 из 4.\nНомера: 89002222222, "
            "+79004444444\n\nМодем отклонил отправку SMS-сообщений: 1 из 4.\nНомера: "
            "+79003333333 (ошибка 21)") +
             skipped},
        {BroadcastEnding::Stopped, "CRNN",
         cp("Рассылка остановлена. Сообщение отправлено абонентам с 1 по 2 из 4: +79001111111, "
            "89002222222.\nИз них модем отклонил: 89002222222 (ошибка 21).\nНе отправлено "
            "абонентам с 3 по 4: +79003333333, +79004444444.") +
             skipped},
        {BroadcastEnding::LineLost, "UNNN",
         lineLostMessage() +
             cp("\n\nСообщение отправлено абонентам с 1 по 1 из 4: +79001111111.\nИз них не "
                "подтверждена отправка: +79001111111.\nНе отправлено абонентам с 2 по 4: "
                "89002222222, +79003333333, +79004444444.") +
             skipped},
        {BroadcastEnding::LineLost, "NNNN",
         lineLostMessage() + cp("\n\nСообщение не отправлено ни одному из 4 абонентов.") + skipped},
    };
    for (const Case& c : cases) {
        const BroadcastReport r = sampleReport(c.ending, c.outcomes);
        EXPECT_EQ(broadcastReportText(r), c.text) << c.outcomes;
    }
    EXPECT_EQ(broadcastReportText(newBroadcastReport({"111"})), "");  // not run
}

TEST(BroadcastReportText, ListsTheFirstTenNumbersAndLines) {
    RecipientList list;
    for (int i = 0; i < 12; ++i) {
        list.push_back("90" + std::to_string(i));
        list.push_back(i == 0 ? std::string(40, 'a') : cp("Имя"));
    }
    BroadcastReport r = newBroadcastReport(list);
    for (RecipientRow& row : r.rows) {
        row.outcome = row.number.empty() ? SendOutcome::NotSent : SendOutcome::Unconfirmed;
    }
    r.ending = BroadcastEnding::Finished;
    EXPECT_EQ(broadcastReportText(r),
              cp("Не подтверждена отправка SMS-сообщений: 12 из 12.\nНомера: 900, 901, 902, 903, "
                 "904, 905, 906, 907, 908, 909 и ещё 2\n\nСтроки без номера абонента не "
                 "разосланы: 12.\nСтрока 2: ") +
                  std::string(30, 'a') + "..." +
                  cp("\nСтрока 4: Имя\nСтрока 6: Имя\nСтрока 8: Имя\nСтрока 10: Имя\n"
                     "Строка 12: Имя\nСтрока 14: Имя\nСтрока 16: Имя\nСтрока 18: Имя\n"
                     "Строка 20: Имя\nи ещё 2"));
}

// A second broadcast reaches every number not confirmed, and only those.
TEST(BroadcastReport, NotReachedAreTheNumbersNotConfirmed) {
    EXPECT_EQ(
        notReached(sampleReport(BroadcastEnding::Stopped, "CURN")),
        (RecipientList{cp("8 (900) 222-22-22; Пётр"), "+79003333333", "+79004444444 \"A;B\""}));
    EXPECT_TRUE(notReached(sampleReport(BroadcastEnding::Finished, "CCCC")).empty());
}

TEST(BroadcastReport, CsvFileRowPerLine) {
    const BroadcastReport r = sampleReport(BroadcastEnding::Stopped, "CURN");
    const std::string expected =
        "\xEF\xBB\xBFНомер;Имя;Результат;Время;Код ошибки\r\n"
        "+79001111111;Ivan;отправлено;2026-12-09T18:01:00;\r\n"
        "89002222222;Пётр;не подтверждено;2026-12-09T18:02:00;\r\n"
        ";Иван;не отправлено;;\r\n"
        "+79003333333;;отклонено;2026-12-09T18:03:00;21\r\n"
        "+79004444444;\"\"\"A;B\"\"\";не отправлено;;\r\n";
    EXPECT_EQ(broadcastReportCsv(r), expected);
    test::TempDir dir;
    saveBroadcastReport(dir.path("report.csv"), r);
    EXPECT_EQ(test::readFile(dir.path("report.csv")), expected);
    EXPECT_THROW(saveBroadcastReport(dir.path("missing/report.csv"), r), Failure);
}

}  // namespace
}  // namespace orv
