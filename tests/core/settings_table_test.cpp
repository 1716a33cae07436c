// The settings table's rows against one another and against the device's register table: what a
// new row could get wrong is caught here (the words and bits themselves are pinned by the window
// and encoding tests).

#include "settings/settings_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/encoding.h"

namespace orv {
namespace {

// Each flags bit belongs to one choice, and each byte's bits are all taken.
TEST(SettingsTable, ChoicesShareNoBitAndFillTheirBytes) {
    int first = 0;
    int second = 0;
    std::set<std::string> names;
    for (const ChoiceSetting& row : kChoiceSettings) {
        SCOPED_TRACE(row.combo);
        int& byte = row.flags == device::RegisterRole::FirstFlags ? first : second;
        EXPECT_EQ(byte & row.mask, 0);
        byte |= row.mask;
        EXPECT_TRUE(names.insert(row.label).second);
        EXPECT_EQ(&choiceSetting(row.combo), &row);
    }
    EXPECT_EQ(first, 0xFF);
    EXPECT_EQ(second, 0x3F);
}

// A text field held in a register names one of the register table's header registers, no two
// fields share a register or a row of the service page, and the defaults can be written.
TEST(SettingsTable, FieldsTakeTheirOwnRegisterAndRow) {
    std::set<int> rows;
    for (const ChoiceSetting& row : kChoiceSettings) {
        if (row.page == Page::Service) {
            EXPECT_TRUE(rows.insert(row.row).second) << row.label;
        }
    }
    for (const TextSetting& field : kTextSettings) {
        SCOPED_TRACE(field.control);
        EXPECT_TRUE(rows.insert(field.row).second);
        if (field.kind == FieldKind::Number) {
            EXPECT_EQ(textSetting(field.role), nullptr);
            continue;
        }
        EXPECT_EQ(textSetting(field.role), &field);
        int registers = 0;
        for (std::size_t k = 0; k < device::kHeaderRegisterCount; ++k) {
            registers += device::kRegisters[k].role == field.role;
        }
        EXPECT_EQ(registers, 1);
    }
    EXPECT_EQ(textSetting(device::RegisterRole::PasswordDigit),
              textSetting(device::RegisterRole::PasswordLength));
    EXPECT_NO_THROW(checkEncodable(SettingsRecord()));
}

// A phone-book line's tag leads back to the table that wrote it.
TEST(SettingsTable, EveryTagLeadsBackToItsTable) {
    for (const TableSetting& table : kTableSettings) {
        for (const Text& number : {Text("1234"), Text("12345")}) {
            const char tag = tagFor(table.id, number);
            EXPECT_EQ(tag == 0, table.id == kSpeedDialTable);
            if (tag != 0) {
                EXPECT_EQ(taggedTable(tag), &table) << tag;
            }
        }
    }
    EXPECT_EQ(taggedTable(0), nullptr);
}

}  // namespace
}  // namespace orv
