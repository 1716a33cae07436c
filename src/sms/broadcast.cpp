#include "sms/broadcast.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <string>

#include "link/com_create.h"
#include "link/device.h"
#include "operations/schedule.h"
#include "operations/step.h"
#include "settings/device_vocabulary.h"
#include "sms/ucs2.h"

namespace orv {
namespace {

// The modem's answer to a sent message comes from the network: seven seconds pass after
// each send command before its answer is read.
constexpr int kSendPauses = 14;

// After the last send the results still owed are waited for this long.
constexpr Millis kOwedWait = 30000;

// The most of one line of the modem's output that is kept to be judged: far more than any
// final result, so that a modem that never ends a line costs no more than this.
constexpr std::size_t kLongestLine = 1024;

// How many numbers the question before a broadcast shows.
constexpr std::size_t kQuestionNumbers = 5;

// The reply buffer of one broadcast. Every read writes from its first byte on and leaves the
// bytes after what it brought as they were, so a short reply is judged together with what
// earlier replies left behind it.
class ReplyBuffer {
  public:
    // One read of up to 100 bytes; false when it failed or brought nothing.
    bool read(Port& port) {
        std::string bytes;
        if (!port.read(bytes_.size(), bytes) || bytes.empty()) {
            return false;
        }
        std::copy_n(bytes.begin(), std::min(bytes.size(), bytes_.size()), bytes_.begin());
        return true;
    }

    bool startsWithPrompt() const { return std::memcmp(bytes_.data(), device::kSmsPrompt, 4) == 0; }

    void clear() { bytes_.fill('\0'); }

  private:
    std::array<char, device::kReplyBuffer> bytes_{};
};

// Error № `number`: the broadcast stops, nothing more is sent, the progress window stays and
// the reader stays stopped.
[[noreturn]] void stopWithError(const char* number) {
    throw Failure(MessageKind::Error,
                  cp1251::fromUtf8("Ошибка выполения № ") + number +
                      cp1251::fromUtf8(". Проверте правильность подключения. При повторении "
                                       "ошибки обратитесь за консультацией в сервисный центр."),
                  Outcome::DeviceTrouble);
}

// The quoted UCS2 hex text of a number, as the modem's commands take it.
std::string quotedNumber(const Text& number) {
    return "\"" + ISCII_UNICODE(number) + "\"";
}

// One read of what the modem said, and whatever more is already there.
std::string readAnswer(Port& port) {
    std::string bytes;
    if (!port.read(device::kReplyBuffer, bytes)) {
        return bytes;
    }
    for (std::size_t before = 0; port.available() > 0 && before != bytes.size();) {
        before = bytes.size();
        if (!port.read(port.available(), bytes)) {
            break;
        }
    }
    return bytes;
}

// A final result of a send, as one line of the modem's output gives it.
struct FinalResult {
    bool sent = false;
    std::string error;  // the code of a refusal
};

std::string trimBlanks(const std::string& text) {
    const std::size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) {
        return std::string();
    }
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

bool startsWith(const std::string& text, const char* head) {
    return text.compare(0, std::strlen(head), head) == 0;
}

// The line's final result, if it is one. The echo of a send line ("AT+CMSS=...") and the
// information lines of other commands are none.
std::optional<FinalResult> finalResult(const std::string& rawLine) {
    const std::string line = trimBlanks(rawLine);
    if (startsWith(line, device::kSmsSentMark)) {
        return FinalResult{true, {}};
    }
    for (const char* mark : {device::kSmsErrorMark, device::kEquipmentErrorMark}) {
        if (startsWith(line, mark)) {
            return FinalResult{false, trimBlanks(line.substr(std::strlen(mark)))};
        }
    }
    if (line == device::kCommandError) {
        return FinalResult{false, device::kCommandError};
    }
    return std::nullopt;
}

// "абоненту" after 1, 21, 31..., "абонентам" after every other number.
Text recipientsWord(std::size_t count) {
    const bool one = count % 10 == 1 && count % 100 != 11;
    return cp1251::fromUtf8(one ? "абоненту" : "абонентам");
}

std::string messageBody(const std::vector<Text>& lines) {
    std::string body;
    for (const Text& line : lines) {
        body += ISCII_UNICODE(line);
    }
    return body;
}

std::string sendLine(const Text& number) {
    return device::kSmsSendStored + quotedNumber(number);
}

using Then = Step::Then;

// The broadcast's steps after its progress window is shown: the preparation (the message
// memory emptied, text mode, UCS2, the message parameters), the message written once with the
// placeholder destination (the command, the text, its end), one send per number with its seven
// seconds and the read of what the modem said, and the closing line, which empties the memory
// again. The wait for results still owed after the last send is not planned: its reads, a pause
// each, are repeated up to 30 seconds, and it is told as an upper bound while it lasts.
struct BroadcastSteps {
    BroadcastSteps(const std::string& placeholder, const std::vector<Text>& lines,
                   const std::vector<Text>& numbers)
        : preparation{Step(device::kSmsDeleteAll).then(Then::Pause),
                      Step(device::kSmsTextMode).then(Then::RaiseRts).then(Then::ReadReply),
                      Step(device::kSmsCharsetUcs2).then(Then::ReadReply).then(Then::Pause),
                      Step(device::kSmsParameters).then(Then::Pause).then(Then::ReadReply)},
          write(Step(device::kSmsWrite + placeholder)
                    .then(Then::Pause, 2)
                    .then(Then::ReadReply)
                    .then(Then::Pause, 2)),
          text(Step(messageBody(lines)).then(Then::Pause)),
          endOfText(Step(std::string(1, device::kSmsEndOfText))
                        .then(Then::Pause)
                        .then(Then::ReadReply)
                        .then(Then::Pause)),
          owedRead(Step::pauses(1).then(Then::ReadReply)),
          closing(Step(device::kSmsDeleteAll).readingBeforeCr()) {
        for (const Text& number : numbers) {
            sends.push_back(
                Step(sendLine(number)).then(Then::Pause, kSendPauses).then(Then::ReadReply));
        }
        // What the modem said before the first send's CR answers none of the sends.
        if (!sends.empty()) {
            sends.front().readingBeforeCr();
        }
    }

    Millis planned() const {
        return plannedTime(preparation) + write.planned() + text.planned() + endOfText.planned() +
               plannedTime(sends) + closing.planned();
    }

    Steps preparation;
    Step write;
    Step text;  // the shown lines converted and joined without their breaks
    Step endOfText;
    Steps sends;
    Step owedRead;  // one read of the wait for results still owed
    Step closing;
};

// The error each reply read of the preparation ends the run with when nothing comes: the first
// step reads none.
constexpr std::array<const char*, 4> kPreparationErrors = {nullptr, "1", "2", "3"};

// One broadcast from its progress window on. Its report is filled in as it goes: each send is
// unconfirmed when it goes out, and each final result the modem gives settles the oldest send
// still owed one.
class BroadcastRun {
  public:
    BroadcastRun(OperationContext& ctx, const std::vector<Text>& lines,
                 const std::vector<Text>& numbers, BroadcastReport& report,
                 const LocalTime& localTime)
        : ctx_(ctx),
          port_(ctx.port),
          clock_(ctx.clock),
          user_(ctx.user),
          numbers_(numbers),
          report_(report),
          localTime_(localTime),
          steps_(quotedNumber(device::kSmsPlaceholderDestination), lines, numbers),
          timeLeft_(ctx.user) {
        for (std::size_t i = 0; i < report.rows.size(); ++i) {
            if (!report.rows[i].number.empty()) {
                rows_.push_back(i);
            }
        }
    }

    void run() {
        ctx_.reader.stopReader();
        port_.setDtr();
        user_.setCaption(cp1251::fromUtf8("Подготовка к отправке SMS-Сообщений"));
        user_.showProgress();
        maximum_ = static_cast<int>(numbers_.size()) + 6;
        user_.setRange(0, maximum_);
        user_.setPosition(position_);
        timeLeft_.set(steps_.planned());

        prepare();
        writeMessage();
        for (std::size_t k = 0; k < numbers_.size(); ++k) {
            sendTo(k);
        }
        awaitOwed();
        user_.setCaption(cp1251::fromUtf8("Завершение отправки сообщений"));
        user_.setPosition(maximum_);
        closeRun();
        report_.ending = BroadcastEnding::Finished;
    }

  private:
    // A step done: the progress bar moves on, and what is left shrinks by its planned time.
    void advance(const Step& done) {
        user_.setPosition(++position_);
        timeLeft_.done(done.planned());
    }

    // Empties the message memory, then text mode, UCS2 and the message parameters.
    void prepare() {
        for (std::size_t i = 0; i < steps_.preparation.size(); ++i) {
            const Step& step = steps_.preparation[i];
            lineBoundary();
            step.run(ctx_, [&] {
                if (!reply_.read(port_)) {
                    stopWithError(kPreparationErrors[i]);
                }
            });
            advance(step);
        }
    }

    // Writes the message once into the modem's memory, with the placeholder destination. Once
    // the modem shows its prompt it waits for the text: a stop taken then, before the text or
    // before its end, cancels the text instead of ending it.
    void writeMessage() {
        lineBoundary();
        steps_.write.run(ctx_, [&] {
            if (!reply_.read(port_)) {
                stopWithError("4");
            }
            if (!reply_.startsWithPrompt()) {
                stopWithError("4/1");
            }
            reply_.clear();
        });
        advance(steps_.write);

        cancelTextOnStop();
        steps_.text.run(ctx_);
        timeLeft_.done(steps_.text.planned());
        cancelTextOnStop();
        steps_.endOfText.run(ctx_, [&] {
            if (!reply_.read(port_)) {
                stopWithError("5");
            }
        });
        advance(steps_.endOfText);
    }

    // At the text prompt: ESC drops the text, so the modem stores nothing and sends nothing;
    // then the run closes as a stopped one does.
    void cancelTextOnStop() {
        if (!ctx_.stopRequested()) {
            return;
        }
        sendPaced(std::string(1, device::kSmsCancelText), port_, clock_);
        Pause(clock_);
        endStopped(BroadcastEnding::StoppedInText);
    }

    // The stored message to the k-th number. The line is checked before and after the send:
    // a send whose line went away while it was sent did not reach the modem.
    void sendTo(std::size_t k) {
        lineBoundary();
        requireLine();
        user_.setCaption(cp1251::fromUtf8("Отправка SMS-сообщения адрессату №  ") +
                         std::to_string(k + 1));
        const Step& send = steps_.sends[k];
        send.send(ctx_);
        if (k == 0) {
            partial_.clear();
        }
        requireLine();
        RecipientRow& row = report_.rows[rows_[k]];
        row.outcome = SendOutcome::Unconfirmed;
        row.time = localTime_();
        owed_.push_back(rows_[k]);
        send.complete(ctx_, [&] {
            requireLine();
            take(readAnswer(port_));
        });
        advance(send);
    }

    // After the last send: up to 30 seconds more for the results still owed, read every pause.
    void awaitOwed() {
        const Millis from = clock_.now();
        Millis waited = 0;
        while (!owed_.empty() && waited < kOwedWait) {
            timeLeft_.set(kOwedWait - waited + steps_.owedRead.planned() + steps_.closing.planned(),
                          true);
            lineBoundary();
            steps_.owedRead.run(ctx_, [&] {
                requireLine();
                take(readAnswer(port_));
            });
            waited = static_cast<Millis>(clock_.now() - from);
        }
        timeLeft_.set(steps_.closing.planned());
    }

    // What the modem said, line by line: each final result settles the oldest send owed one;
    // results that answer no send (before the first one, or more than were sent) are dropped.
    void take(const std::string& bytes) {
        for (char c : bytes) {
            if (c != '\r' && c != '\n') {
                if (partial_.size() < kLongestLine) {
                    partial_ += c;
                }
                continue;
            }
            const std::optional<FinalResult> result = finalResult(partial_);
            partial_.clear();
            if (!result || owed_.empty()) {
                continue;
            }
            RecipientRow& row = report_.rows[owed_.front()];
            owed_.pop_front();
            row.outcome = result->sent ? SendOutcome::Confirmed : SendOutcome::Refused;
            row.error = result->error;
        }
    }

    // The closing line: the memory emptied. What the modem said up to its CR still counts.
    void closeRun() {
        take(steps_.closing.send(ctx_));
        timeLeft_.done(steps_.closing.planned());
        ctx_.reader.startReader();
        user_.setCaption(cp1251::fromUtf8("Запись программирования"));
        user_.closeProgress();
    }

    // A stop is taken before each line. A send's seven seconds and the read of its results
    // belong to it. The stopped run closes as a finished one does.
    void lineBoundary() {
        if (ctx_.stopRequested()) {
            endStopped(BroadcastEnding::Stopped);
        }
    }

    [[noreturn]] void endStopped(BroadcastEnding ending) {
        closeRun();
        report_.ending = ending;
        throw Stopped(broadcastReportText(report_));
    }

    // The serial line went away: nothing more reaches the modem, and the report tells whom
    // the message was sent before.
    void requireLine() {
        if (!port_.isOpen()) {
            report_.ending = BroadcastEnding::LineLost;
            throw Failure(MessageKind::Error, broadcastReportText(report_), Outcome::LineLost);
        }
    }

    OperationContext& ctx_;
    Port& port_;
    Clock& clock_;
    OperationUser& user_;
    const std::vector<Text>& numbers_;
    BroadcastReport& report_;
    const LocalTime& localTime_;
    const BroadcastSteps steps_;
    std::vector<std::size_t> rows_;  // the report's rows of the numbers, in list order
    std::deque<std::size_t> owed_;   // the rows whose sends await a result, oldest first
    std::string partial_;            // the modem's line not ended yet
    ReplyBuffer reply_;
    TimeLeft timeLeft_;
    int position_ = 0;
    int maximum_ = 0;
};

}  // namespace

BroadcastPlan planBroadcast(const RecipientList& recipients) {
    BroadcastPlan plan;
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        Text number = recipientNumber(recipients[i]);
        if (number.empty()) {
            plan.skipped.push_back({i + 1, recipients[i]});
        } else {
            plan.numbers.push_back(std::move(number));
        }
    }
    return plan;
}

Text broadcastQuestion(const std::vector<Text>& lines, const BroadcastPlan& plan) {
    Text joined;
    for (const Text& line : lines) {
        joined += line;
    }
    const std::size_t count = plan.numbers.size();
    Text text = cp1251::fromUtf8(joined.empty() ? "Разослать пустое SMS-сообщение "
                                                : "Разослать SMS-сообщение ") +
                std::to_string(count) + " " + recipientsWord(count) + "?";
    if (!joined.empty()) {
        text += cp1251::fromUtf8("\n\nТекст: «") + joined + cp1251::fromUtf8("»");
    }
    if (count > 0) {
        const std::size_t shown = std::min(count, kQuestionNumbers);
        text += cp1251::fromUtf8("\n\nНомера: ");
        for (std::size_t i = 0; i < shown; ++i) {
            text += (i > 0 ? ", " : "") + plan.numbers[i];
        }
        if (count > shown) {
            text += cp1251::fromUtf8(" и ещё ") + std::to_string(count - shown);
        }
    }
    if (!plan.skipped.empty()) {
        text += cp1251::fromUtf8("\n\nСтроки без номера абонента (") +
                std::to_string(plan.skipped.size()) + cp1251::fromUtf8(") будут пропущены.");
    }
    return text;
}

Text noRecipientFileMessage() {
    return cp1251::fromUtf8(
        "Файл абонентов не загружен. Загрузите его кнопкой «Загрузить файл абонентов» и "
        "повторите рассылку.");
}

Text noRecipientsMessage(const BroadcastPlan& plan) {
    Text text =
        cp1251::fromUtf8("В списке абонентов нет ни одного номера. Сообщение не отправлено.");
    if (!plan.skipped.empty()) {
        text +=
            cp1251::fromUtf8("\n\nСтроки без номера абонента:") + skippedLinesText(plan.skipped);
    }
    return text;
}

std::string localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(text, length);
}

void broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                  const RecipientList& recipients, BroadcastReport& report,
                  const LocalTime& localTime) {
    report = newBroadcastReport(recipients);
    const BroadcastPlan plan = planBroadcast(recipients);
    if (plan.numbers.empty()) {
        throw Failure(MessageKind::Warning, noRecipientsMessage(plan), Outcome::Refused);
    }
    BroadcastRun(ctx, lines, plan.numbers, report, localTime).run();
}

BroadcastReport broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                             const RecipientList& recipients) {
    BroadcastReport report;
    broadcastSms(ctx, lines, recipients, report);
    return report;
}

}  // namespace orv
