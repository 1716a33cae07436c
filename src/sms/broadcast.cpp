#include "sms/broadcast.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "link/com_create.h"
#include "link/device.h"
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

    // Preparation: empty the message memory, text mode, UCS2, message parameters.
    SendCommand(device::kSmsDeleteAll, port, clock);
    Pause(clock);
    user.setPosition(++position);

    SendCommand(device::kSmsTextMode, port, clock);
    ReplyBuffer reply;
    port.setRts();
    if (!reply.read(port)) {
        stopWithError("1");
    }
    user.setPosition(++position);

    SendCommand(device::kSmsCharsetUcs2, port, clock);
    if (!reply.read(port)) {
        stopWithError("2");
    }
    Pause(clock);
    user.setPosition(++position);

    SendCommand(device::kSmsParameters, port, clock);
    Pause(clock);
    if (!reply.read(port)) {
        stopWithError("3");
    }
    user.setPosition(++position);

    // The message is written once into the modem's memory, with the placeholder destination.
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

    // The text as one line: the shown lines converted and joined without their breaks.
    std::string body;
    for (const Text& line : lines) {
        body += ISCII_UNICODE(line);
    }
    SendCommand(body, port, clock);
    Pause(clock);
    SendCommand(std::string(1, device::kSmsEndOfText), port, clock);
    Pause(clock);
    if (!reply.read(port)) {
        stopWithError("5");
    }
    Pause(clock);
    user.setPosition(++position);

    // The stored message to each recipient. The modem's answer to each send is read once its
    // seven seconds have passed; a send it does not confirm with "+CMSS:" is reported at the end.
    BroadcastResult result;
    result.recipients = recipients.size();
    for (std::size_t k = 0; k < recipients.size(); ++k) {
        const Text number = recipientNumber(recipients[k]);
        user.setCaption(cp1251::fromUtf8("Отправка SMS-сообщения адрессату №  ") +
                        std::to_string(k + 1));
        port.purgeInput();  // what is read afterwards is this send's answer alone
        SendCommand(device::kSmsSendStored + quotedNumber(number), port, clock);
        for (int i = 0; i < kSendPauses; ++i) {
            Pause(clock);
        }
        std::string answer;
        if (!reply.read(port, &answer) || answer.find(device::kSmsSentMark) == std::string::npos) {
            result.unconfirmed.push_back(number);
        }
        user.setPosition(++position);
    }

    user.setCaption(cp1251::fromUtf8("Завершение отправки сообщений"));
    user.setPosition(maximum);
    SendCommand(device::kSmsDeleteAll, port, clock);
    ctx.reader.startReader();
    user.setCaption(cp1251::fromUtf8("Запись программирования"));
    user.closeProgress();

    if (!result.unconfirmed.empty()) {
        user.tell(MessageKind::Information, unconfirmedReport(result), MessageButtons::Ok);
    }
    return result;
}

}  // namespace orv
