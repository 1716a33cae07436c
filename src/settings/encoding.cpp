#include "settings/encoding.h"

#include <climits>
#include <cstdio>
#include <stdexcept>

#include "base/errors.h"
#include "settings/device_vocabulary.h"
#include "settings/settings_table.h"

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

// A flags byte: the bit of each choice whose row names that byte is set on the row's item.
int flagsByte(const SettingsRecord& record, RegisterRole flags) {
    int value = 0;
    for (const ChoiceSetting& row : kChoiceSettings) {
        if (row.flags == flags && record.choice(row.combo) == row.itemForOne) {
            value |= row.mask;
        }
    }
    return value;
}

void applyFlagsByte(SettingsRecord& record, RegisterRole flags, int value) {
    for (const ChoiceSetting& row : kChoiceSettings) {
        if (row.flags == flags) {
            const bool set = (value & row.mask) != 0;
            record.choice(row.combo) = set ? row.itemForOne : 1 - row.itemForOne;
        }
    }
}

// The value text of a header register.
Text headerValue(const device::Register& reg, const SettingsRecord& record) {
    if (reg.role == RegisterRole::FirstFlags || reg.role == RegisterRole::SecondFlags) {
        return hexValue(flagsByte(record, reg.role));
    }
    const TextSetting* field = textSetting(reg.role);
    if (!field) {
        throw std::logic_error("not a header register");
    }
    switch (field->kind) {
        case FieldKind::TwoDigits:
            return hexValue(StrToInt(record.*field->member));
        case FieldKind::Volume:
            return twoDigits(StrToInt(record.*field->member));
        case FieldKind::Password:
            return hexValue(static_cast<int>((record.*field->member).size()));
        case FieldKind::Number:
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

// A field a register holds, as its kind allows it.
void checkRegisterField(const TextSetting& field, const Text& text) {
    switch (field.kind) {
        case FieldKind::TwoDigits:
            checkTwoDigitField(text, field.text);
            return;
        case FieldKind::Volume: {
            // Written as two decimal digits, so it must be a whole number 0..99.
            std::int32_t volume = 0;
            if (!parseInt(text, volume) || volume < 0 || volume > 99) {
                throw Failure(MessageKind::Error,
                              cp1251::fromUtf8(std::string("Поле «") + field.text +
                                               "»: допустимо целое число от 0 до 99, введено «") +
                                  text + cp1251::fromUtf8("»."));
            }
            return;
        }
        case FieldKind::Password:
            // The count is kept in three bits on reading back; each character is a digit. The
            // message names the choice that puts the password to use.
            if (text.size() > 7) {
                throw Failure(
                    MessageKind::Error,
                    cp1251::fromUtf8(std::string(choiceSetting(6).text) + ": не более 7 цифр."));
            }
            for (char c : text) {
                if (c < '0' || c > '9') {
                    throw conversionError(Text(1, c));
                }
            }
            return;
        case FieldKind::Number:
            return;
    }
}

}  // namespace

const char* tableCaption(TableId table) {
    return tableSetting(table).caption;
}

const char* forwardNumberLabel() {
    for (const TextSetting& field : kTextSettings) {
        if (field.member == &SettingsRecord::forwardNumber) {
            return field.text;
        }
    }
    return "";
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
    return flagsByte(record, RegisterRole::FirstFlags);
}
int secondFlagsByte(const SettingsRecord& record) {
    return flagsByte(record, RegisterRole::SecondFlags);
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
           cp1251::fromUtf8(std::string("» в таблице «") + tableSetting(table).caption +
                            "»: " + why + ".");
}

void checkEncodable(const SettingsRecord& record) {
    // The fields the registers hold, in register order, then the numbers.
    for (std::size_t k = 0; k < device::kHeaderRegisterCount; ++k) {
        if (const TextSetting* field = textSetting(device::kRegisters[k].role)) {
            checkRegisterField(*field, record.*field->member);
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
    for (const TextSetting& field : kTextSettings) {
        const Text& number = record.*field.member;
        if (field.kind == FieldKind::Number && !number.empty() &&
            !storableNumber(kCallBackTable, number)) {
            throw Failure(MessageKind::Error,
                          cp1251::fromUtf8(std::string("Поле «") + field.text +
                                           "»: номер может содержать только цифры и «+», не "
                                           "более 15 знаков, введено «") +
                              number + cp1251::fromUtf8("»."));
        }
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
        sink.line(device::writeCommand(reg) + headerValue(reg, record));
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
            sink.line(device::phoneBookWriteCommand(shared, r.number,
                                                    tagFor(kCallBackTable, r.number) + r.number));
        }
        sink.rowDone(kCallBackTable);
    }
    for (TableId id : {kAllowedTable, kForbiddenTable}) {
        for (const PhoneRecord& r : record.tables[id]) {
            if (Check_StrOnInt(r.number)) {
                ++shared;
                if (r.number.size() >= kShortestDirection) {
                    sink.line(device::phoneBookWriteCommand(shared, r.number,
                                                            tagFor(id, r.number) + r.number));
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
    const RegisterRole role = device::kRegisters[static_cast<std::size_t>(headerIndex)].role;
    if (role == RegisterRole::FirstFlags || role == RegisterRole::SecondFlags) {
        applyFlagsByte(record, role, v);
        return 0;
    }
    const TextSetting* field = textSetting(role);
    if (!field) {
        return 0;
    }
    Text& text = record.*field->member;
    switch (field->kind) {
        case FieldKind::TwoDigits:
            text = std::to_string(v);
            return 0;
        case FieldKind::Volume: {
            // Read as decimal, and set through the up-down, which keeps it within 0..99.
            std::int32_t volume = StrToInt(line.substr(7, 2));
            if (volume < 0)
                volume = 0;
            if (volume > 99)
                volume = 99;
            text = std::to_string(volume);
            return 0;
        }
        case FieldKind::Password:
            text.clear();
            return v % 8;
        case FieldKind::Number:
            break;
    }
    return 0;
}

}  // namespace orv
