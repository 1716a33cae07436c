#include "device_model.h"

#include <algorithm>
#include <cctype>

#include "text_codec.h"

namespace orv::emulator {
namespace {

constexpr std::size_t kMaxLine = 600;
constexpr std::size_t kMaxRawLine = 4096;
constexpr std::size_t kMaxEntryText = 2048;
constexpr std::size_t kMaxUcs2Chars = 70;
constexpr std::size_t kMaxPlainChars = 160;

constexpr std::string_view kOk = "\r\nOK\r\n";
constexpr std::string_view kError = "\r\nERROR\r\n";
constexpr std::string_view kPrompt = "\r\n> ";

std::string cmeError(int code) {
    return "\r\n+CME ERROR: " + std::to_string(code) + "\r\n";
}
std::string cmsError(int code) {
    return "\r\n+CMS ERROR: " + std::to_string(code) + "\r\n";
}
// An information line followed by the final OK.
std::string info(std::string_view line) {
    return "\r\n" + std::string(line) + "\r\n\r\nOK\r\n";
}

Millis ceilMs(Micros us) {
    return (us + 999) / 1000;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::string toUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

// Reads the parameters of a standard command: decimal integers, "quoted strings", commas.
class Args {
  public:
    explicit Args(std::string_view s) : s_(s) {}
    bool atEnd() const { return pos_ == s_.size(); }
    bool comma() { return take(','); }
    bool integer(long& value) {
        std::size_t end = pos_;
        while (end < s_.size() && end - pos_ < 9 &&
               std::isdigit(static_cast<unsigned char>(s_[end])))
            ++end;
        if (end == pos_)
            return false;
        value = std::stol(std::string(s_.substr(pos_, end - pos_)));
        pos_ = end;
        return true;
    }
    bool quoted(std::string& value) {
        if (!take('"'))
            return false;
        const auto close = s_.find('"', pos_);
        if (close == std::string_view::npos)
            return false;
        value = std::string(s_.substr(pos_, close - pos_));
        pos_ = close + 1;
        return true;
    }

  private:
    bool take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::string_view s_;
    std::size_t pos_ = 0;
};

bool validSmsNumber(std::string_view number) {
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '*' || c == '#';
    });
}

}  // namespace

bool validPhoneNumber(std::string_view number) {
    return !number.empty() && number.size() <= kMaxPhoneNumber &&
           std::all_of(number.begin(), number.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '*' ||
                      c == '#';
           });
}

bool validPhoneText(std::string_view text) {
    return text.size() <= kMaxPhoneText && std::none_of(text.begin(), text.end(), [](char c) {
               const auto u = static_cast<unsigned char>(c);
               return u < 0x20 || u == 0x7F || c == '"';
           });
}

const std::vector<std::string>& DeviceModel::registerCodes() {
    static const std::vector<std::string> codes = {
        "2301", "8001", "8101", "8201", "8301", "8401", "8601", "9001",
        "9101", "9201", "9301", "9401", "9501", "9601", "9701",
    };
    return codes;
}

bool DeviceModel::isRegister(std::string_view code) {
    const auto& codes = registerCodes();
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

DeviceModel::DeviceModel(Options options)
    : options_(std::move(options)), slots_(kPhoneBookSize + 1) {
    options_.echoDelayUs = std::max(options_.echoDelayUs, kByteTimeUs);
    // What the program's default settings write, and the status register "free".
    registers_ = {
        {"2301", "01"}, {"8001", "5A"}, {"8101", "0B"}, {"8201", "0A"}, {"8301", "00"},
        {"8401", "07"}, {"8601", "82"}, {"9001", "00"}, {"9101", "00"}, {"9201", "00"},
        {"9301", "00"}, {"9401", "00"}, {"9501", "00"}, {"9601", "00"}, {"9701", "00"},
    };
}

std::optional<std::string> DeviceModel::registerValue(std::string_view code) const {
    const auto it = registers_.find(std::string(code));
    if (it == registers_.end())
        return std::nullopt;
    return it->second;
}

void DeviceModel::load(const StoredState& state) {
    for (const auto& [code, value] : state.registers)
        if (isRegister(code))
            registers_[code] = value;
    for (const auto& [index, entry] : state.slots)
        if (index >= 1 && index <= kPhoneBookSize)
            slots_[index] = entry;
}

StoredState DeviceModel::state() const {
    StoredState s;
    s.registers = registers_;
    for (int i = 1; i <= kPhoneBookSize; ++i)
        if (slots_[i])
            s.slots[i] = *slots_[i];
    return s;
}

const std::optional<PhoneEntry>& DeviceModel::slot(int index) const {
    static const std::optional<PhoneEntry> none;
    if (index < 1 || index > kPhoneBookSize)
        return none;
    return slots_[index];
}

// ---- Output ----

bool DeviceModel::echoOn() const {
    return !options_.muteModem && !smsSession_;
}

void DeviceModel::echo(std::uint8_t byte, Micros now) {
    const char twice[2] = {static_cast<char>(byte), static_cast<char>(byte)};
    emit(std::string_view(twice, options_.echoTwice ? 2 : 1),
         now + options_.echoDelayUs - kByteTimeUs);
}

void DeviceModel::emit(std::string_view bytes, Micros earliestStart) {
    Micros t = std::max(earliestStart, lineFreeUs_);
    for (char c : bytes) {
        t += kByteTimeUs;
        out_.push_back({static_cast<std::uint8_t>(c), ceilMs(t)});
    }
    lineFreeUs_ = t;
}

std::string DeviceModel::mangle(std::string_view bytes) {
    switch (options_.replyFault) {
        case ReplyFault::kGarbage: {
            static constexpr std::string_view kNoise = "\x7F#@!~%&*?^$|_=;:";
            std::string noise;
            for (std::size_t k = 0; k < bytes.size(); ++k) {
                noiseState_ = noiseState_ * 1664525u + 1013904223u;
                noise += kNoise[(noiseState_ >> 24) % kNoise.size()];
            }
            return noise;
        }
        case ReplyFault::kHalf:
            return std::string(bytes.substr(0, bytes.size() / 2));
        case ReplyFault::kNone:
        case ReplyFault::kLate:
            break;
    }
    return std::string(bytes);
}

void DeviceModel::reply(std::string_view bytes, Micros now) {
    if (options_.replyFault == ReplyFault::kLate)
        defer(std::string(bytes), now + kReplyDelayUs + kLateDelayUs);
    else
        emit(mangle(bytes), now + kReplyDelayUs);
}

void DeviceModel::deferReply(std::string bytes, Micros due, std::optional<SentMessage> sends) {
    if (options_.replyFault == ReplyFault::kLate)
        due += kLateDelayUs;
    defer(mangle(bytes), due, std::move(sends));
}

void DeviceModel::defer(std::string bytes, Micros due, std::optional<SentMessage> sends) {
    const auto pos = std::upper_bound(deferred_.begin(), deferred_.end(), due,
                                      [](Micros d, const Deferred& x) { return d < x.due; });
    deferred_.insert(pos, Deferred{due, std::move(bytes), std::move(sends)});
}

void DeviceModel::releaseDeferred(Micros now) {
    while (!deferred_.empty() && deferred_.front().due <= now) {
        Deferred d = std::move(deferred_.front());
        deferred_.erase(deferred_.begin());
        emit(d.bytes, d.due);
        if (d.sends) {
            d.sends->at = ceilMs(d.due);
            sent_.push_back(std::move(*d.sends));
        }
    }
}

std::string DeviceModel::takeOutput(Millis now) {
    releaseDeferred(now * 1000);
    std::string bytes;
    while (!out_.empty() && out_.front().at <= now) {
        bytes += static_cast<char>(out_.front().byte);
        out_.pop_front();
    }
    return bytes;
}

std::optional<Millis> DeviceModel::nextOutputTime() const {
    std::optional<Millis> next;
    if (!out_.empty())
        next = out_.front().at;
    if (!deferred_.empty()) {
        const Millis due = ceilMs(deferred_.front().due);
        next = next ? std::min(*next, due) : due;
    }
    return next;
}

// ---- Input ----

void DeviceModel::receive(std::uint8_t byte, Millis now) {
    const Micros t = now * 1000;
    releaseDeferred(t);
    if (byte == '\r') {
        lines_.push_back({now, std::move(rawLine_)});
        rawLine_.clear();
    } else if (rawLine_.size() < kMaxRawLine) {
        rawLine_ += static_cast<char>(byte);
    }
    if (options_.presence == Presence::kAbsent)
        return;
    if (textEntry_)
        textByte(byte, t);
    else
        commandByte(byte, t);
}

void DeviceModel::commandByte(std::uint8_t byte, Micros now) {
    if (byte == '\r') {
        endOfLine(now);
        return;
    }
    if (echoOn())
        echo(byte, now);
    if (byte == 0x08 || byte == 0x7F) {
        if (!line_.empty())
            line_.pop_back();
    } else if (byte == '\n' || byte == 0) {
        // A terminal's line feed after the CR, or noise: not part of a command.
    } else if (line_.size() >= kMaxLine) {
        lineOverflow_ = true;
    } else {
        line_ += static_cast<char>(byte);
    }
}

DeviceModel::LineKind DeviceModel::classify(std::string_view upper) {
    if (upper.empty())
        return LineKind::kEmpty;
    if (!startsWith(upper, "AT"))
        return LineKind::kNotAt;
    if (startsWith(upper, "ATR") || startsWith(upper, "ATW") || startsWith(upper, "ATK"))
        return LineKind::kOwn;
    for (std::string_view sms : {"AT+CMG", "AT+CMS", "AT+CSCS", "AT+CSMP", "AT+CSCA", "AT+CNMI"})
        if (startsWith(upper, sms))
            return LineKind::kSms;
    return LineKind::kStandard;
}

void DeviceModel::endOfLine(Micros now) {
    const std::string line = std::move(line_);
    line_.clear();
    const bool overflow = lineOverflow_;
    lineOverflow_ = false;
    const std::string upper = toUpper(line);
    const LineKind kind = classify(upper);

    if (echoOn() || kind == LineKind::kOwn || kind == LineKind::kStandard)
        echo('\r', now);
    if (kind == LineKind::kEmpty || kind == LineKind::kNotAt)
        return;  // lines that are not commands are ignored, as by any modem
    if (kind == LineKind::kSms && options_.muteModem)
        return;
    if (overflow) {
        reply(kError, now);
        return;
    }
    switch (kind) {
        case LineKind::kOwn:
            ownCommand(line, upper, now);
            break;
        case LineKind::kSms:
            smsCommand(line, upper, now);
            break;
        default:
            standardCommand(line, upper, now);
            break;
    }
}

// ---- The device's own commands ----

void DeviceModel::ownCommand(const std::string& line, const std::string& upper, Micros now) {
    smsSession_ = false;
    const char op = upper[2];
    const std::string code = upper.substr(3, 4);
    if (op == 'R' && upper.size() == 7 && isRegister(code)) {
        if (code == "2301") {
            // The presence check sees the device as it is; reply faults come after it.
            const bool busy = options_.presence == Presence::kBusy;
            emit((busy ? std::string("00") : registers_[code]) + " ", now + kReplyDelayUs);
        } else {
            reply(registers_[code] + " ", now);
        }
    } else if (op == 'W' && upper.size() >= 7 && isRegister(code) && code != "2301" &&
               line.size() - 7 <= kMaxRegisterValue) {
        registers_[code] = line.substr(7);
        reply(registers_[code] + " ", now);
    } else if (op == 'K' && upper == "ATK1") {
        dataMode_ = true;
        reply("OK ", now);
    } else {
        reply("ER ", now);
    }
}

// ---- Standard commands: phone book, CLIR, status ----

void DeviceModel::standardCommand(const std::string& line, const std::string& upper, Micros now) {
    if (upper == "AT") {
        reply(kOk, now);
        return;
    }
    if (!dataMode_) {
        reply(kError, now);
        return;
    }
    if (startsWith(upper, "AT+CPBW=")) {
        phoneBookWrite(std::string_view(line).substr(8), now);
    } else if (startsWith(upper, "AT+CPBR=")) {
        phoneBookRead(std::string_view(line).substr(8), now);
    } else if (upper == "AT+CLIR?") {
        deferReply(info("+CLIR: " + std::to_string(clirSetting_) + "," +
                        std::to_string(options_.clirStatus)),
                   now + kNetworkDelayUs);
    } else if (upper == "AT+CLIR=?") {
        reply(info("+CLIR: (0-2)"), now);
    } else if (upper.size() == 9 && startsWith(upper, "AT+CLIR=") && upper[8] >= '0' &&
               upper[8] <= '2') {
        clirSetting_ = upper[8] - '0';
        reply(kOk, now);
    } else if (upper == "AT+CPAS") {
        reply(info("+CPAS: 0"), now);
    } else if (upper == "AT&W0" || upper == "AT&W") {
        reply(kOk, now);
    } else {
        reply(kError, now);
    }
}

void DeviceModel::phoneBookWrite(std::string_view args, Micros now) {
    if (args == "?") {
        reply(info("+CPBW: (1-" + std::to_string(kPhoneBookSize) + ")," +
                   std::to_string(kMaxPhoneNumber) + ",(129,145)," + std::to_string(kMaxPhoneText)),
              now);
        return;
    }
    Args a(args);
    long index = 0;
    const bool hasIndex = a.integer(index);
    if (a.atEnd()) {  // erase
        if (!hasIndex)
            reply(kError, now);
        else if (index < 1 || index > kPhoneBookSize)
            reply(cmeError(21), now);
        else {
            slots_[index].reset();
            reply(kOk, now);
        }
        return;
    }
    PhoneEntry entry;
    long type = -1;
    if (!a.comma() || !a.quoted(entry.number) ||
        (a.comma() && (!a.integer(type) || (a.comma() && !a.quoted(entry.text)))) || !a.atEnd() ||
        type > 255) {
        reply(kError, now);
        return;
    }
    entry.type = type >= 0 ? static_cast<int>(type) : (startsWith(entry.number, "+") ? 145 : 129);
    if (!hasIndex) {
        index = 0;
        for (int i = 1; i <= kPhoneBookSize && index == 0; ++i)
            if (!slots_[i])
                index = i;
        if (index == 0) {
            reply(cmeError(20), now);  // memory full
            return;
        }
    }
    if (index < 1 || index > kPhoneBookSize)
        reply(cmeError(21), now);  // invalid index
    else if (entry.number.size() > kMaxPhoneNumber)
        reply(cmeError(26), now);  // dial string too long
    else if (!validPhoneNumber(entry.number))
        reply(cmeError(27), now);  // invalid characters in dial string
    else if (entry.text.size() > kMaxPhoneText)
        reply(cmeError(24), now);  // text string too long
    else if (!validPhoneText(entry.text))
        reply(cmeError(25), now);  // invalid characters in text string
    else {
        slots_[index] = std::move(entry);
        reply(kOk, now);
    }
}

void DeviceModel::phoneBookRead(std::string_view args, Micros now) {
    if (args == "?") {
        reply(info("+CPBR: (1-" + std::to_string(kPhoneBookSize) + ")," +
                   std::to_string(kMaxPhoneNumber) + "," + std::to_string(kMaxPhoneText)),
              now);
        return;
    }
    Args a(args);
    long first = 0;
    if (!a.integer(first)) {
        reply(kError, now);
        return;
    }
    long last = first;
    if ((a.comma() && !a.integer(last)) || !a.atEnd()) {
        reply(kError, now);
        return;
    }
    if (first < 1 || last > kPhoneBookSize || first > last) {
        reply(cmeError(21), now);
        return;
    }
    std::string lines;
    for (long i = first; i <= last; ++i)
        if (const auto& e = slots_[i])
            lines += "+CPBR: " + std::to_string(i) + ",\"" + e->number + "\"," +
                     std::to_string(e->type) + ",\"" + e->text + "\"\r\n";
    reply(lines.empty() ? std::string(kOk) : "\r\n" + lines + std::string(kOk), now);
}

// ---- SMS ----

std::optional<std::string> DeviceModel::decodeModemText(std::string_view text) const {
    if (charset_ == "UCS2")
        return ucs2HexToUtf8(text);
    return std::string(text);
}

void DeviceModel::smsCommand(const std::string& line, const std::string& upper, Micros now) {
    if (startsWith(upper, "AT+CMGDA=")) {
        const std::string arg = upper.substr(9);
        // Both the text-mode and the PDU-mode form, in either mode: the program empties the
        // memory before it switches to text mode.
        if (arg == "\"DEL ALL\"" || arg == "6") {
            messages_.clear();
            reply(kOk, now);
        } else {
            reply(kError, now);
        }
        smsSession_ = false;
    } else if (upper == "AT+CMGF=0" || upper == "AT+CMGF=1") {
        textMode_ = upper[8] == '1';
        smsSession_ = textMode_;
        reply(kOk, now);
    } else if (upper == "AT+CMGF?") {
        reply(info(std::string("+CMGF: ") + (textMode_ ? "1" : "0")), now);
    } else if (upper == "AT+CSCS?") {
        reply(info("+CSCS: \"" + charset_ + "\""), now);
    } else if (startsWith(upper, "AT+CSCS=")) {
        Args a(std::string_view(upper).substr(8));
        std::string set;
        if (a.quoted(set) && a.atEnd() && (set == "IRA" || set == "GSM" || set == "UCS2")) {
            charset_ = set;
            reply(kOk, now);
        } else {
            reply(kError, now);
        }
    } else if (startsWith(upper, "AT+CSMP=")) {
        Args a(std::string_view(upper).substr(8));
        long v = 0;
        bool ok = a.integer(v);
        for (int i = 0; i < 3 && ok; ++i)
            ok = a.comma() && a.integer(v);
        reply(ok && a.atEnd() ? kOk : kError, now);
    } else if (upper == "AT+CMGW" || startsWith(upper, "AT+CMGW=")) {
        if (!textMode_) {
            reply(cmsError(302), now);  // operation not allowed
            return;
        }
        std::string raw;
        if (upper.size() > 7) {
            Args a(std::string_view(line).substr(8));
            long type = 0;
            if (!a.quoted(raw) || (a.comma() && !a.integer(type)) || !a.atEnd()) {
                reply(kError, now);
                return;
            }
        }
        const auto number = decodeModemText(raw);
        if (!number) {
            reply(cmsError(305), now);  // invalid text mode parameter
            return;
        }
        if (options_.noPrompt) {
            reply(kError, now);
            return;
        }
        textEntry_ = true;
        entryNumber_ = *number;
        entryText_.clear();
        reply(kPrompt, now);
    } else if (startsWith(upper, "AT+CMSS=")) {
        sendStoredMessage(std::string_view(line).substr(8), now);
    } else {
        reply(kError, now);
    }
}

void DeviceModel::textByte(std::uint8_t byte, Micros now) {
    if (byte == 0x1A) {  // Ctrl-Z: store the message
        textEntry_ = false;
        storeMessage(now);
        return;
    }
    if (byte == 0x1B) {  // ESC: abandon it
        textEntry_ = false;
        reply(kOk, now);
        return;
    }
    if (echoOn())
        echo(byte, now);
    if (byte == '\r') {
        // A CR ends one line of the text. In UCS2 a line break would itself be hex digits, so
        // the lines join without a separator there.
        if (charset_ != "UCS2")
            entryText_ += '\n';
        reply(kPrompt, now);
    } else if (byte == 0x08) {
        if (!entryText_.empty())
            entryText_.pop_back();
    } else if (byte != '\n') {
        entryText_ += static_cast<char>(byte);
    }
}

void DeviceModel::storeMessage(Micros now) {
    const auto text =
        entryText_.size() <= kMaxEntryText ? decodeModemText(entryText_) : std::nullopt;
    const std::size_t chars = charset_ == "UCS2" ? entryText_.size() / 4 : entryText_.size();
    if (!text || chars > (charset_ == "UCS2" ? kMaxUcs2Chars : kMaxPlainChars)) {
        reply(cmsError(305), now);
        return;
    }
    if (messages_.size() >= kMessageMemorySize) {
        reply(cmsError(322), now);  // memory full
        return;
    }
    int index = 1;
    while (std::any_of(messages_.begin(), messages_.end(),
                       [index](const StoredMessage& m) { return m.index == index; }))
        ++index;
    messages_.push_back({index, entryNumber_, *text});
    reply(info("+CMGW: " + std::to_string(index)), now);
}

void DeviceModel::sendResult(std::string bytes, Micros now, Micros delay,
                             std::optional<SentMessage> sends) {
    const Micros due = std::max(now + delay, lastResultDue_);
    lastResultDue_ = due;
    deferReply(std::move(bytes), due, std::move(sends));
}

void DeviceModel::sendStoredMessage(std::string_view args, Micros now) {
    Args a(args);
    long index = 0;
    std::string raw;
    long type = 0;
    if (!a.integer(index)) {
        sendResult(std::string(kError), now, kReplyDelayUs);
        return;
    }
    const bool withNumber = a.comma();
    if ((withNumber && (!a.quoted(raw) || (a.comma() && !a.integer(type)))) || !a.atEnd()) {
        sendResult(std::string(kError), now, kReplyDelayUs);
        return;
    }
    const auto msg = std::find_if(messages_.begin(), messages_.end(),
                                  [index](const StoredMessage& m) { return m.index == index; });
    if (msg == messages_.end()) {
        sendResult(cmsError(321), now, kReplyDelayUs);  // invalid memory index
        return;
    }
    std::string number = msg->number;
    if (withNumber) {
        const auto decoded = decodeModemText(raw);
        if (!decoded) {
            sendResult(cmsError(305), now, kReplyDelayUs);
            return;
        }
        number = *decoded;
    }
    number = trimBlanks(number);
    if (!validSmsNumber(number)) {
        sendResult(cmsError(305), now, kReplyDelayUs);
        return;
    }
    const auto late = options_.lateNumbers.find(number);
    const Micros delay = late != options_.lateNumbers.end() ? late->second : options_.smsDelayUs;
    if (options_.rejectedNumbers.count(number)) {
        sendResult(cmsError(21), now, delay);  // short message transfer rejected
        return;
    }
    if (const auto refused = options_.refusedNumbers.find(number);
        refused != options_.refusedNumbers.end()) {
        sendResult(cmsError(refused->second), now, delay);
        return;
    }
    messageReference_ = messageReference_ % 255 + 1;
    sendResult(info("+CMSS: " + std::to_string(messageReference_)), now, delay,
               SentMessage{0, number, msg->text});
}

}  // namespace orv::emulator
