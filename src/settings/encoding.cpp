#include "settings/encoding.h"

#include <climits>
#include <cstdio>
#include <stdexcept>

#include "base/errors.h"
#include "settings/device_vocabulary.h"

namespace orv {

using device::RegisterRole;

bool Check_StrOnInt(const Text& text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '+')) {
            return false;
        }
    }
    return true;
}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

// Parses like StrToInt but reports failure instead of throwing.
bool parseInt(const Text& text, std::int32_t& out) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            return false;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX || value < INT_MIN) {
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

Text twoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

// The flags-byte layouts: which choice sets which bit, and on which item.
struct FlagBit {
    int combo;
    int mask;
    int itemForOne;
};

constexpr FlagBit kFirstFlags[] = {
    {1, 0x80, 0}, {2, 0x40, 0}, {3, 0x20, 0}, {4, 0x10, 0},
    {5, 0x08, 0}, {8, 0x04, 0}, {7, 0x02, 0}, {6, 0x01, 0},
};
constexpr FlagBit kSecondFlags[] = {
    {11, 0x01, 0}, {10, 0x02, 0}, {9, 0x04, 1}, {12, 0x08, 0}, {13, 0x10, 1}, {14, 0x20, 1},
};

template <std::size_t N>
int flagsByte(const SettingsRecord& record, const FlagBit (&bits)[N]) {
    int value = 0;
    for (const FlagBit& bit : bits) {
        if (record.choice(bit.combo) == bit.itemForOne) {
            value |= bit.mask;
        }
    }
    return value;
}

template <std::size_t N>
void applyFlagsByte(SettingsRecord& record, const FlagBit (&bits)[N], int value) {
    for (const FlagBit& bit : bits) {
        bool set = (value & bit.mask) != 0;
        record.choice(bit.combo) = set ? bit.itemForOne : 1 - bit.itemForOne;
    }
}

// Tag letter of a tagged phone-book line, or 0 when the number takes an index but no line.
char allowedTag(const Text& number) {
    return number.size() == 4 ? 'N' : 'R';
}
char forbiddenTag(const Text& number) {
    return number.size() == 4 ? 'B' : 'S';
}

// The value text of a header register.
Text headerValue(RegisterRole role, const SettingsRecord& record) {
    switch (role) {
        case RegisterRole::FirstFlags:
            return hexValue(firstFlagsByte(record));
        case RegisterRole::NumberLength:
            return hexValue(StrToInt(record.numberLength));
        case RegisterRole::CallDuration:
            return hexValue(StrToInt(record.callDuration));
        case RegisterRole::ControlTime:
            return hexValue(StrToInt(record.controlTime));
        case RegisterRole::SecondFlags:
            return hexValue(secondFlagsByte(record));
        case RegisterRole::Volume:
            return twoDigits(StrToInt(record.volume));
        case RegisterRole::PasswordLength:
            return hexValue(static_cast<int>(record.password.size()));
        case RegisterRole::PasswordDigit:
            break;
    }
    throw std::logic_error("not a header register");
}

// Indices a table takes from the shared counter: every valid number, also one of 1 to 3
// characters in the allowed and forbidden tables, which gets no line.
int validCount(const PhoneTable& table) {
    int n = 0;
    for (const PhoneRecord& r : table) {
        if (Check_StrOnInt(r.number)) {
            ++n;
        }
    }
    return n;
}

// A numeric field must hold a whole number within 0..99. A field left empty is named by its
// label; other text that is no number at all is refused with the runtime's conversion
// message, as the encoding itself would refuse it.
void checkTwoDigitField(const Text& text, const char* labelUtf8) {
    if (text.empty()) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8(std::string("Поле «") + labelUtf8 +
                                       "» не заполнено: допустимо целое число от 0 до 99."));
    }
    std::int32_t value = 0;
    if (!parseInt(text, value)) {
        throw conversionError(text);
    }
    if (value < 0 || value > 99) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8(std::string("Поле «") + labelUtf8 +
                                       "»: допустимо целое число от 0 до 99, введено «") +
                          text + cp1251::fromUtf8("»."));
    }
}

}  // namespace

const char* tableCaption(TableId table) {
    switch (table) {
        case kCallBackTable:
            return "Абоненты включенным Call Back";
        case kAllowedTable:
            return "Разрешенные номера, направл.";
        case kForbiddenTable:
            return "Запрещенные номера, направл.";
        case kSpeedDialTable:
            break;
    }
    return "Номера ускоренного набора";
}

const char* forwardNumberLabel() {
    return "Номер Абонента";
}

int StrToHex(const Text& registerCommand) {
    char high = registerCommand.size() > 7 ? registerCommand[7] : '\0';
    char low = registerCommand.size() > 8 ? registerCommand[8] : '\0';
    return 16 * hexDigit(high) + hexDigit(low);
}

std::int32_t StrToInt(const Text& text) {
    std::int32_t value = 0;
    if (!parseInt(text, value)) {
        throw conversionError(text);
    }
    return value;
}

Text hexValue(std::int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(value));
    return buffer;
}

int firstFlagsByte(const SettingsRecord& record) {
    return flagsByte(record, kFirstFlags);
}
int secondFlagsByte(const SettingsRecord& record) {
    return flagsByte(record, kSecondFlags);
}

std::size_t shortestNumber(TableId table) {
    return table == kAllowedTable || table == kForbiddenTable ? kShortestDirection : 1;
}

bool storableNumber(TableId table, const Text& number) {
    return number.empty() || (Check_StrOnInt(number) && number.size() <= kNumberFieldSize &&
                              number.size() >= shortestNumber(table));
}

Text numberRefusal(TableId table, const Text& number) {
    std::string why;
    if (!Check_StrOnInt(number) || number.size() > kNumberFieldSize) {
        why = "номер может содержать только цифры и «+», не более 15 знаков";
    } else {
        why = "номер направления должен содержать не менее " + std::to_string(kShortestDirection) +
              " знаков";
    }
    return cp1251::fromUtf8("Номер «") + number +
           cp1251::fromUtf8(std::string("» в таблице «") + tableCaption(table) + "»: " + why + ".");
}

void checkEncodable(const SettingsRecord& record) {
    checkTwoDigitField(record.numberLength, "Значность набираемых номеров");
    checkTwoDigitField(record.callDuration, "Длительность разговора (минуты)");
    checkTwoDigitField(record.controlTime, "Время контроля посылки вызова(сек)");

    // The volume is written as two decimal digits, so it must be a whole number 0..99.
    std::int32_t volume = 0;
    if (!parseInt(record.volume, volume) || volume < 0 || volume > 99) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8("Поле «Уровень громкости»: допустимо целое число от 0 до "
                                       "99, введено «") +
                          record.volume + cp1251::fromUtf8("»."));
    }

    // The password count is kept in three bits on reading back; each character is a digit.
    if (record.password.size() > 7) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8("Пароль для исходящей связи: не более 7 цифр."));
    }
    for (char c : record.password) {
        if (c < '0' || c > '9') {
            throw conversionError(Text(1, c));
        }
    }

    // Every number the window shows is one the device will hold: none is dropped unsaid.
    for (int t = 0; t < kTableCount; ++t) {
        const auto id = static_cast<TableId>(t);
        for (const PhoneRecord& r : record.tables[id]) {
            if (!storableNumber(id, r.number)) {
                throw Failure(MessageKind::Error, numberRefusal(id, r.number));
            }
        }
    }
    if (!record.forwardNumber.empty() && !storableNumber(kCallBackTable, record.forwardNumber)) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8(std::string("Поле «") + forwardNumberLabel() +
                                       "»: номер может содержать только цифры и «+», не более "
                                       "15 знаков, введено «") +
                          record.forwardNumber + cp1251::fromUtf8("»."));
    }

    const int tagged = validCount(record.tables[kCallBackTable]) +
                       validCount(record.tables[kAllowedTable]) +
                       validCount(record.tables[kForbiddenTable]);
    if (tagged > kLastTaggedIndex) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8("Слишком много номеров в таблицах абонентов Call Back, "
                                       "разрешенных и запрещенных номеров: " +
                                       std::to_string(tagged) + ", в SIM-карте для них " +
                                       std::to_string(kLastTaggedIndex) + " ячеек."));
    }
    const int speedDial = validCount(record.tables[kSpeedDialTable]);
    const int speedDialSlots = kLastSpeedDialIndex - kForwardIndex;
    if (speedDial > speedDialSlots) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8(
                          "Слишком много номеров ускоренного набора: " + std::to_string(speedDial) +
                          ", в SIM-карте для них " + std::to_string(speedDialSlots) + " ячеек."));
    }
}

void encode(const SettingsRecord& record, EncodingSink& sink) {
    checkEncodable(record);

    for (std::size_t k = 0; k < device::kHeaderRegisterCount; ++k) {
        const device::Register& reg = device::kRegisters[k];
        sink.line(device::writeCommand(reg) + headerValue(reg.role, record));
    }
    // One line per password character: its register, then "0" and the digit.
    for (std::size_t p = 1; p <= record.password.size(); ++p) {
        const Text digit(1, record.password[p - 1]);
        const std::int32_t value = StrToInt(digit);
        const char hex[] = "0123456789ABCDEF";
        sink.line(device::writeCommand(device::passwordDigitRegister(p)) + '0' + hex[value & 0xF]);
    }
    sink.line(device::kDataMode);

    std::uint8_t shared = 0;  // 8-bit counters, as the device's phone-book indices are kept
    for (const PhoneRecord& r : record.tables[kCallBackTable]) {
        if (Check_StrOnInt(r.number)) {
            ++shared;
            sink.line(device::phoneBookWriteCommand(shared, r.number, "W" + r.number));
        }
        sink.rowDone(kCallBackTable);
    }
    for (TableId id : {kAllowedTable, kForbiddenTable}) {
        for (const PhoneRecord& r : record.tables[id]) {
            if (Check_StrOnInt(r.number)) {
                ++shared;
                if (r.number.size() >= 4) {
                    const char tag =
                        id == kAllowedTable ? allowedTag(r.number) : forbiddenTag(r.number);
                    sink.line(device::phoneBookWriteCommand(shared, r.number, tag + r.number));
                }
            }
            sink.rowDone(id);
        }
    }
    if (Check_StrOnInt(record.forwardNumber)) {
        sink.line(device::phoneBookWriteCommand(kForwardIndex, record.forwardNumber,
                                                record.forwardNumber));
    }
    sink.forwardDone();
    std::uint8_t speedDial = kForwardIndex;
    for (const PhoneRecord& r : record.tables[kSpeedDialTable]) {
        if (Check_StrOnInt(r.number)) {
            ++speedDial;
            sink.line(device::phoneBookWriteCommand(speedDial, r.number, r.number));
        }
        sink.rowDone(kSpeedDialTable);
    }
    sink.closingLine(device::kStatus);
}

CommandList encode(const SettingsRecord& record) {
    struct Collect : EncodingSink {
        CommandList lines;
        void line(const Text& l) override { lines.push_back(l); }
    } collect;
    encode(record, collect);
    return collect.lines;
}

int decodeHeaderLine(int headerIndex, const Text& line, SettingsRecord& record) {
    if (headerIndex < 0 || headerIndex >= static_cast<int>(device::kHeaderRegisterCount)) {
        return 0;
    }
    const int v = StrToHex(line);
    switch (device::kRegisters[static_cast<std::size_t>(headerIndex)].role) {
        case RegisterRole::FirstFlags:
            applyFlagsByte(record, kFirstFlags, v);
            return 0;
        case RegisterRole::NumberLength:
            record.numberLength = std::to_string(v);
            return 0;
        case RegisterRole::CallDuration:
            record.callDuration = std::to_string(v);
            return 0;
        case RegisterRole::ControlTime:
            record.controlTime = std::to_string(v);
            return 0;
        case RegisterRole::SecondFlags:
            applyFlagsByte(record, kSecondFlags, v);
            return 0;
        case RegisterRole::Volume: {
            // Read as decimal, and set through the up-down, which keeps it within 0..99.
            std::int32_t volume = StrToInt(line.substr(7, 2));
            if (volume < 0)
                volume = 0;
            if (volume > 99)
                volume = 99;
            record.volume = std::to_string(volume);
            return 0;
        }
        case RegisterRole::PasswordLength:
            record.password.clear();
            return v % 8;
        case RegisterRole::PasswordDigit:
            break;
    }
    return 0;
}

}  // namespace orv
