#include "sms/broadcast.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "link/com_create.h"
#include "link/device.h"
#include "operations/schedule.h"
#include "settings/device_vocabulary.h"
#include "sms/ucs2.h"

namespace orv {
namespace {

// The modem's answer to a sent message comes from the network: seven seconds pass after
// each send command before its answer is read.
constexpr int kSendPauses = 14;
constexpr Millis kSendWait = kSendPauses * kPauseLength;

// How many numbers, and how many lines without one, a message lists; how much of such a line.
constexpr std::size_t kReportedNumbers = 10;
constexpr std::size_t kReportedLines = 10;
constexpr std::size_t kShownLineLength = 30;

// What is read between a line's last character and its CR: at most this many bytes, so that
// the read's time-out ends before the CR is due.
constexpr std::size_t kBeforeCrRead = 97;
static_assert(kReadTotalConstant + static_cast<int>(kBeforeCrRead) * kReadTotalPerByte <
              static_cast<int>(kByteInterval));

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
                                       "ошибки обратитесь за консультацией в сервисный центр."));
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

// Sends a line as SendCommand does and returns what the modem said since the last read, taken
// just before the line's CR: the modem takes a command only at its CR, so what it said before
// still answers the command before.
std::string sendReadingBeforeCr(const Text& line, Port& port, Clock& clock) {
    sendPaced(line, port, clock);
    const Millis lastByte = clock.now();
    std::string earlier;
    port.read(kBeforeCrRead, earlier);
    waitSince(clock, lastByte, kByteInterval);
    port.writeByte('\r');
    return earlier;
}

bool confirmedIn(const std::string& answer) {
    return answer.find(device::kSmsSentMark) != std::string::npos;
}

// A send is answered once the modem confirmed it or reported an error ("ERROR", "+CMS ERROR").
bool answeredIn(const std::string& answer) {
    return confirmedIn(answer) || answer.find("ERROR") != std::string::npos;
}

// "абоненту" after 1, 21, 31..., "абонентам" after every other number.
Text recipientsWord(std::size_t count) {
    const bool one = count % 10 == 1 && count % 100 != 11;
    return cp1251::fromUtf8(one ? "абоненту" : "абонентам");
}

// The lines left out, one a line, the first ten of them.
Text skippedLines(const std::vector<SkippedLine>& skipped) {
    Text text;
    const std::size_t listed = std::min(skipped.size(), kReportedLines);
    for (std::size_t i = 0; i < listed; ++i) {
        const SkippedLine& s = skipped[i];
        text += cp1251::fromUtf8("\nСтрока ") + std::to_string(s.line) + ": ";
        if (s.text.empty()) {
            text += cp1251::fromUtf8("(пустая)");
        } else if (s.text.size() > kShownLineLength) {
            text += s.text.substr(0, kShownLineLength) + "...";
        } else {
            text += s.text;
        }
    }
    if (skipped.size() > listed) {
        text += cp1251::fromUtf8("\nи ещё ") + std::to_string(skipped.size() - listed);
    }
    return text;
}

// Up to ten numbers of `numbers` from `first` on, and how many more there are.
Text numberList(const std::vector<Text>& numbers, std::size_t first = 0) {
    Text text;
    const std::size_t end = std::min(numbers.size(), first + kReportedNumbers);
    for (std::size_t i = first; i < end; ++i) {
        if (i > first) {
            text += ", ";
        }
        text += numbers[i].empty() ? cp1251::fromUtf8("(пусто)") : numbers[i];
    }
    if (numbers.size() > end) {
        text += cp1251::fromUtf8(" и ещё ") + std::to_string(numbers.size() - end);
    }
    return text;
}

// The planned time of the broadcast after its progress window is shown: the preparation, the
// text, one send with its seven seconds and its read per number, and the closing line. A last
// send the modem has not answered within its seven seconds is given up to seven more, which
// the plan does not count.
Millis plannedTime(const std::string& placeholder, const std::vector<Text>& lines,
                   const std::vector<Text>& numbers) {
    std::string body;
    for (const Text& line : lines) {
        body += ISCII_UNICODE(line);
    }
    Millis total = lineTime(device::kSmsDeleteAll) + kPauseLength;
    total += lineTime(device::kSmsTextMode) + kReplyReadTime;
    total += lineTime(device::kSmsCharsetUcs2) + kReplyReadTime + kPauseLength;
    total += lineTime(device::kSmsParameters) + kPauseLength + kReplyReadTime;
    total += lineTime(device::kSmsWrite + placeholder) + 4 * kPauseLength + kReplyReadTime;
    total += lineTime(body) + kPauseLength;
    total += lineTime(std::string(1, device::kSmsEndOfText)) + 2 * kPauseLength + kReplyReadTime;
    for (const Text& number : numbers) {
        total += lineTime(device::kSmsSendStored + quotedNumber(number)) +
                 kSendPauses * kPauseLength + kReplyReadTime;
    }
    return total + lineTime(device::kSmsDeleteAll);
}

// The report of a broadcast the user stopped: who was sent the message and who was not, by
// their place in the list and their numbers.
Text stoppedReport(const std::vector<Text>& numbers, std::size_t sent,
                   const std::vector<Text>& unconfirmed) {
    const std::string total = std::to_string(numbers.size());
    if (sent == 0) {
        return cp1251::fromUtf8("Рассылка остановлена: сообщение не отправлено ни одному из " +
                                total + " абонентов.");
    }
    const std::vector<Text> sentTo(numbers.begin(), numbers.begin() + static_cast<long>(sent));
    Text text = cp1251::fromUtf8("Рассылка остановлена. Сообщение отправлено абонентам с 1 по " +
                                 std::to_string(sent) + " из " + total + ": ") +
                numberList(sentTo) + ".";
    if (!unconfirmed.empty()) {
        text +=
            cp1251::fromUtf8("\nИз них не подтверждена отправка: ") + numberList(unconfirmed) + ".";
    }
    if (sent < numbers.size()) {
        text += cp1251::fromUtf8("\nНе отправлено абонентам с " + std::to_string(sent + 1) +
                                 " по " + total + ": ") +
                numberList(numbers, sent) + ".";
    }
    return text;
}

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
        text += cp1251::fromUtf8("\n\nСтроки без номера абонента:") + skippedLines(plan.skipped);
    }
    return text;
}

Text broadcastReport(const BroadcastResult& result) {
    Text text;
    if (!result.unconfirmed.empty()) {
        text += cp1251::fromUtf8("Не подтверждена отправка SMS-сообщений: ") +
                std::to_string(result.unconfirmed.size()) + cp1251::fromUtf8(" из ") +
                std::to_string(result.recipients) + cp1251::fromUtf8(".\nНомера: ");
        const std::size_t listed = std::min(result.unconfirmed.size(), kReportedNumbers);
        for (std::size_t i = 0; i < listed; ++i) {
            if (i > 0) {
                text += ", ";
            }
            text += result.unconfirmed[i];
        }
        if (result.unconfirmed.size() > listed) {
            text +=
                cp1251::fromUtf8(" и ещё ") + std::to_string(result.unconfirmed.size() - listed);
        }
    }
    if (!result.skipped.empty()) {
        if (!text.empty()) {
            text += "\n\n";
        }
        text += cp1251::fromUtf8("Строки без номера абонента не разосланы: ") +
                std::to_string(result.skipped.size()) + "." + skippedLines(result.skipped);
    }
    return text;
}

BroadcastResult broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                             const RecipientList& recipients) {
    Port& port = ctx.port;
    Clock& clock = ctx.clock;
    OperationUser& user = ctx.user;
    const std::string placeholder = quotedNumber(device::kSmsPlaceholderDestination);
    const BroadcastPlan plan = planBroadcast(recipients);
    if (plan.numbers.empty()) {
        throw Failure(MessageKind::Warning, noRecipientsMessage(plan));
    }

    ctx.reader.stopReader();
    port.setDtr();

    user.setCaption(cp1251::fromUtf8("Подготовка к отправке SMS-Сообщений"));
    user.showProgress();
    const int maximum = static_cast<int>(plan.numbers.size()) + 6;
    user.setRange(0, maximum);
    int position = 0;
    user.setPosition(position);
    TimeLeft timeLeft(user);
    timeLeft.set(plannedTime(placeholder, lines, plan.numbers));

    BroadcastResult result;
    result.recipients = plan.numbers.size();
    result.skipped = plan.skipped;
    std::vector<bool> confirmed(plan.numbers.size(), false);
    std::string answer;  // what the modem said since the CR of the last send
    std::size_t sent = 0;

    // The closing line. What the modem said up to its CR still answers the last send.
    auto close = [&] {
        const std::string earlier = sendReadingBeforeCr(device::kSmsDeleteAll, port, clock);
        timeLeft.done(lineTime(device::kSmsDeleteAll));
        if (sent > 0) {
            confirmed[sent - 1] = confirmedIn(answer + earlier);
        }
        for (std::size_t k = 0; k < sent; ++k) {
            if (!confirmed[k]) {
                result.unconfirmed.push_back(plan.numbers[k]);
            }
        }
        ctx.reader.startReader();
        user.setCaption(cp1251::fromUtf8("Запись программирования"));
        user.closeProgress();
    };

    // A stop is taken before each line. A line's pauses and the read of its answer belong to
    // it, so that a send is always followed by its seven seconds and the read of its
    // confirmation. The stopped run closes as a finished one does.
    auto lineBoundary = [&] {
        if (ctx.stopRequested()) {
            close();
            throw Stopped(stoppedReport(plan.numbers, sent, result.unconfirmed));
        }
    };

    // Preparation: empty the message memory, text mode, UCS2, message parameters.
    lineBoundary();
    SendCommand(device::kSmsDeleteAll, port, clock);
    Pause(clock);
    user.setPosition(++position);
    timeLeft.done(lineTime(device::kSmsDeleteAll) + kPauseLength);

    lineBoundary();
    SendCommand(device::kSmsTextMode, port, clock);
    ReplyBuffer reply;
    port.setRts();
    if (!reply.read(port)) {
        stopWithError("1");
    }
    user.setPosition(++position);
    timeLeft.done(lineTime(device::kSmsTextMode) + kReplyReadTime);

    lineBoundary();
    SendCommand(device::kSmsCharsetUcs2, port, clock);
    if (!reply.read(port)) {
        stopWithError("2");
    }
    Pause(clock);
    user.setPosition(++position);
    timeLeft.done(lineTime(device::kSmsCharsetUcs2) + kReplyReadTime + kPauseLength);

    lineBoundary();
    SendCommand(device::kSmsParameters, port, clock);
    Pause(clock);
    if (!reply.read(port)) {
        stopWithError("3");
    }
    user.setPosition(++position);
    timeLeft.done(lineTime(device::kSmsParameters) + kPauseLength + kReplyReadTime);

    // The message is written once into the modem's memory, with the placeholder destination.
    // Once the modem shows its prompt it waits for the text: the text and its end follow with
    // no boundary between them.
    lineBoundary();
    SendCommand(device::kSmsWrite + placeholder, port, clock);
    Pause(clock);
    Pause(clock);
    if (!reply.read(port)) {
        stopWithError("4");
    }
    if (!reply.startsWithPrompt()) {
        stopWithError("4/1");
    }
    reply.clear();
    Pause(clock);
    Pause(clock);
    user.setPosition(++position);
    timeLeft.done(lineTime(device::kSmsWrite + placeholder) + 4 * kPauseLength + kReplyReadTime);

    // The text as one line: the shown lines converted and joined without their breaks.
    std::string body;
    for (const Text& line : lines) {
        body += ISCII_UNICODE(line);
    }
    SendCommand(body, port, clock);
    Pause(clock);
    timeLeft.done(lineTime(body) + kPauseLength);
    SendCommand(std::string(1, device::kSmsEndOfText), port, clock);
    Pause(clock);
    if (!reply.read(port)) {
        stopWithError("5");
    }
    Pause(clock);
    user.setPosition(++position);
    timeLeft.done(lineTime(std::string(1, device::kSmsEndOfText)) + 2 * kPauseLength +
                  kReplyReadTime);

    // The stored message to each number. Nothing is purged between the sends: what the modem
    // says after a send's seven seconds, up to the CR of the next line, still counts.
    for (std::size_t k = 0; k < plan.numbers.size(); ++k) {
        lineBoundary();
        user.setCaption(cp1251::fromUtf8("Отправка SMS-сообщения адрессату №  ") +
                        std::to_string(k + 1));
        const std::string send = device::kSmsSendStored + quotedNumber(plan.numbers[k]);
        const std::string earlier = sendReadingBeforeCr(send, port, clock);
        if (k > 0) {
            confirmed[k - 1] = confirmedIn(answer + earlier);
        }
        answer.clear();
        sent = k + 1;
        for (int i = 0; i < kSendPauses; ++i) {
            Pause(clock);
        }
        answer += readAnswer(port);
        user.setPosition(++position);
        timeLeft.done(lineTime(send) + kSendPauses * kPauseLength + kReplyReadTime);
    }
    // No send follows the last one: its answer is given as long again to come.
    const Millis lastRead = clock.now();
    while (!answeredIn(answer) && static_cast<Millis>(clock.now() - lastRead) < kSendWait) {
        Pause(clock);
        answer += readAnswer(port);
    }

    user.setCaption(cp1251::fromUtf8("Завершение отправки сообщений"));
    user.setPosition(maximum);
    close();

    const Text report = broadcastReport(result);
    if (!report.empty()) {
        user.tell(MessageKind::Information, report, MessageButtons::Ok);
    }
    return result;
}

}  // namespace orv
