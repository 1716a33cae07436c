// The device's register table against the encoding, the decoding and the loader: each walks
// exactly the table's registers, in the table's order.

#include "settings/device_vocabulary.h"

#include <gtest/gtest.h>

#include <set>

#include "base/errors.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "settings/settings_table.h"

namespace orv {
namespace {

using device::kHeaderRegisterCount;
using device::kRegisters;
using device::RegisterRole;

TEST(DeviceVocabulary, RegisterTableIsOrderedAndComplete) {
    // Four decimal digits, rising; no register 8501 and not the presence check's.
    std::string previous;
    for (const device::Register& reg : kRegisters) {
        const std::string code = reg.code;
        ASSERT_EQ(code.size(), device::kRegisterCodeLength) << code;
        EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << code;
        EXPECT_LT(previous, code);
        EXPECT_NE(code, "8501");
        EXPECT_NE(code, device::kPresenceRegister);
        previous = code;
    }
    // The header: every setting but the password digits, once each.
    std::set<RegisterRole> header;
    for (std::size_t k = 0; k < kHeaderRegisterCount; ++k) {
        EXPECT_NE(kRegisters[k].role, RegisterRole::PasswordDigit);
        EXPECT_EQ(kRegisters[k].passwordPosition, 0);
        header.insert(kRegisters[k].role);
    }
    EXPECT_EQ(header.size(), kHeaderRegisterCount);
    // Then the digits: position p in register 9p01.
    EXPECT_EQ(device::kPasswordDigitRegisterCount, 7u);
    for (std::size_t p = 1; p <= device::kPasswordDigitRegisterCount; ++p) {
        const device::Register& reg = device::passwordDigitRegister(p);
        EXPECT_EQ(&reg, &kRegisters[kHeaderRegisterCount + p - 1]);
        EXPECT_EQ(reg.role, RegisterRole::PasswordDigit);
        EXPECT_EQ(reg.passwordPosition, static_cast<int>(p));
        EXPECT_EQ(std::string(reg.code), "9" + std::to_string(p) + "01");
    }
}

// A seven-digit password writes every register of the table, in its order; a shorter one the
// header and its own digits. The status line alone closes the list, and closes it last.
TEST(DeviceVocabulary, EncodingWritesTheTableInItsOrder) {
    struct Lines : EncodingSink {
        CommandList lines;
        std::vector<std::size_t> closing;
        void line(const Text& l) override { lines.push_back(l); }
        void closingLine(const Text& l) override {
            closing.push_back(lines.size());
            lines.push_back(l);
        }
    };
    for (const char* password : {"1234567", "90", ""}) {
        SettingsRecord record;
        record.password = password;
        record.tables[kCallBackTable] = {PhoneRecord{"123", ""}};
        Lines sink;
        encode(record, sink);
        const std::size_t registers = kHeaderRegisterCount + record.password.size();
        ASSERT_GT(sink.lines.size(), registers + 1);
        for (std::size_t k = 0; k < registers; ++k) {
            EXPECT_EQ(sink.lines[k].size(), 9u) << sink.lines[k];
            EXPECT_EQ(sink.lines[k].substr(0, 7), device::writeCommand(kRegisters[k]));
        }
        EXPECT_EQ(sink.lines[registers], device::kDataMode);
        EXPECT_EQ(sink.closing, std::vector<std::size_t>{sink.lines.size() - 1});
        EXPECT_EQ(sink.lines.back(), device::kStatus);
        EXPECT_EQ(encode(record), sink.lines);
    }
}

// A value header register k can hold that the default record does not write: flags with every
// other bit, a two-digit field past 40, the volume 45, a password of three digits.
Text valueOtherThanDefault(std::size_t k) {
    switch (kRegisters[k].role) {
        case RegisterRole::FirstFlags:
            return "A5";
        case RegisterRole::SecondFlags:
            return "2A";
        default:
            break;
    }
    switch (textSetting(kRegisters[k].role)->kind) {
        case FieldKind::Volume:
            return "45";
        case FieldKind::Password:
            return "03";
        default:
            return hexValue(static_cast<int>(40 + k));
    }
}

// Each header register decodes into its own setting, which the encoding writes back on the same
// register's line; no other line changes.
TEST(DeviceVocabulary, EachHeaderRegisterDecodesIntoItsOwnSetting) {
    SettingsRecord base;
    base.password = "12";
    const CommandList before = encode(base);
    for (std::size_t k = 0; k < kHeaderRegisterCount; ++k) {
        SettingsRecord record = base;
        const Text line = device::writeCommand(kRegisters[k]) + valueOtherThanDefault(k);
        const int count = decodeHeaderLine(static_cast<int>(k), line, record);
        if (kRegisters[k].role == RegisterRole::PasswordLength) {
            EXPECT_EQ(count, 3);
            EXPECT_EQ(record.password, "");
            continue;
        }
        EXPECT_EQ(count, 0);
        CommandList expected = before;
        expected[k] = line;
        EXPECT_EQ(encode(record), expected) << line;
    }
}

// The loader takes the header only in the table's order.
TEST(DeviceVocabulary, LoaderWantsTheHeaderInTheTablesOrder) {
    const CommandList lines = encode(SettingsRecord());
    for (std::size_t k = 0; k + 1 < kHeaderRegisterCount; ++k) {
        CommandList swapped = lines;
        std::swap(swapped[k], swapped[k + 1]);
        std::string text;
        for (const Text& line : swapped) {
            text += line + "\r\n";
        }
        SettingsRecord record;
        EXPECT_THROW(loadFromText(text, record, "f"), Failure) << k;
    }
}

}  // namespace
}  // namespace orv
