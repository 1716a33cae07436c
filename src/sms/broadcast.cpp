#include "sms/broadcast.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "link/com_create.h"
#include "link/device.h"
#include "operations/schedule.h"
#include "sms/ucs2.h"

namespace orv {
namespace {

// The modem's answer to a sent message comes from the network: seven seconds pass after
// each send command before the next one.
constexpr int kSendPauses = 14;

// How many unconfirmed numbers the report lists by name.
constexpr std::size_t kReportedNumbers = 10;

// The reply buffer of one broadcast. Every read writes from its first byte on and leaves the
// bytes after what it brought as they were, so a short reply is judged together with what
// earlier replies left behind it.
class ReplyBuffer {
  public:
    // One read of up to 100 bytes; false when it failed or brought nothing. `got`, when
    // given, receives just the bytes of this read.
    bool read(Port& port, std::string* got = nullptr) {
        std::string bytes;
        if (!port.read(bytes_.size(), bytes) || bytes.empty()) {
            return false;
        }
        const std::size_t n = std::min(bytes.size(), bytes_.size());
        std::copy_n(bytes.begin(), n, bytes_.begin());
        if (got) {
            got->assign(bytes, 0, n);
        }
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
// text, one send with its seven seconds and its read per recipient, and the closing line.
Millis plannedTime(const std::string& placeholder, const std::vector<Text>& lines,
                   const RecipientList& recipients) {
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
    for (const Text& recipient : recipients) {
        total += lineTime(device::kSmsSendStored + quotedNumber(recipientNumber(recipient))) +
                 kSendPauses * kPauseLength + kReplyReadTime;
    }
    return total + lineTime(device::kSmsDeleteAll);
}

// The report of a broadcast the user stopped: who was sent the message and who was not, by
// their place in the list and their numbers.
Text stoppedReport(const RecipientList& recipients, std::size_t sent,
                   const std::vector<Text>& unconfirmed) {
    std::vector<Text> numbers;
    for (const Text& recipient : recipients) {
        numbers.push_back(recipientNumber(recipient));
    }
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

Text unconfirmedReport(const BroadcastResult& result) {
    if (result.unconfirmed.empty()) {
        return Text();
    }
    Text text = cp1251::fromUtf8("Не отправлено SMS-сообщений: ") +
                std::to_string(result.unconfirmed.size()) + cp1251::fromUtf8(" из ") +
                std::to_string(result.recipients) + cp1251::fromUtf8(".\nНомера: ");
    const std::size_t listed = std::min(result.unconfirmed.size(), kReportedNumbers);
    for (std::size_t i = 0; i < listed; ++i) {
        if (i > 0) {
            text += ", ";
        }
        const Text& number = result.unconfirmed[i];
        text += number.empty() ? cp1251::fromUtf8("(пусто)") : number;
    }
    if (result.unconfirmed.size() > listed) {
        text += cp1251::fromUtf8(" и ещё ") + std::to_string(result.unconfirmed.size() - listed);
    }
    return text;
}

BroadcastResult broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                             const RecipientList& recipients) {
    Port& port = ctx.port;
    Clock& clock = ctx.clock;
    OperationUser& user = ctx.user;
    const std::string placeholder = quotedNumber(device::kSmsPlaceholderDestination);

    ctx.reader.stopReader();
    port.setDtr();

    user.setCaption(cp1251::fromUtf8("Подготовка к отправке SMS-Сообщений"));
    user.showProgress();
    const int maximum = static_cast<int>(recipients.size()) + 6;
    user.setRange(0, maximum);
    int position = 0;
    user.setPosition(position);
    TimeLeft timeLeft(user);
    timeLeft.set(plannedTime(placeholder, lines, recipients));

    // A stop is taken before each line. A line's pauses and the read of its answer belong to
    // it, so that a send is always followed by its seven seconds and the read of its
    // confirmation. The stopped run closes as a finished one does.
    BroadcastResult result;
    result.recipients = recipients.size();
    std::size_t sent = 0;
    auto lineBoundary = [&] {
        if (ctx.stopRequested()) {
            SendCommand(device::kSmsDeleteAll, port, clock);
            ctx.reader.startReader();
            user.setCaption(cp1251::fromUtf8("Запись программирования"));
            user.closeProgress();
            throw Stopped(stoppedReport(recipients, sent, result.unconfirmed));
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

    // The stored message to each recipient. The modem's answer to each send is read once its
    // seven seconds have passed; a send it does not confirm with "+CMSS:" is reported at the end.
    for (std::size_t k = 0; k < recipients.size(); ++k) {
        lineBoundary();
        const Text number = recipientNumber(recipients[k]);
        user.setCaption(cp1251::fromUtf8("Отправка SMS-сообщения адрессату №  ") +
                        std::to_string(k + 1));
        port.purgeInput();  // what is read afterwards is this send's answer alone
        const std::string send = device::kSmsSendStored + quotedNumber(number);
        SendCommand(send, port, clock);
        sent = k + 1;
        for (int i = 0; i < kSendPauses; ++i) {
            Pause(clock);
        }
        std::string answer;
        if (!reply.read(port, &answer) || answer.find(device::kSmsSentMark) == std::string::npos) {
            result.unconfirmed.push_back(number);
        }
        user.setPosition(++position);
        timeLeft.done(lineTime(send) + kSendPauses * kPauseLength + kReplyReadTime);
    }

    user.setCaption(cp1251::fromUtf8("Завершение отправки сообщений"));
    user.setPosition(maximum);
    SendCommand(device::kSmsDeleteAll, port, clock);
    timeLeft.done(lineTime(device::kSmsDeleteAll));
    ctx.reader.startReader();
    user.setCaption(cp1251::fromUtf8("Запись программирования"));
    user.closeProgress();

    if (!result.unconfirmed.empty()) {
        user.tell(MessageKind::Information, unconfirmedReport(result), MessageButtons::Ok);
    }
    return result;
}

}  // namespace orv
