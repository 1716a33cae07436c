#include "settings/settings_record.h"

#include "settings/settings_table.h"

namespace orv {
namespace {

constexpr std::array<int, kChoiceCount> defaultChoices() {
    std::array<int, kChoiceCount> items{};
    for (const ChoiceSetting& row : kChoiceSettings) {
        items[static_cast<std::size_t>(row.combo - 1)] = row.initial;
    }
    return items;
}

}  // namespace

const std::array<int, kChoiceCount> kDefaultChoices = defaultChoices();

PhoneTable templateTable() {
    return PhoneTable{PhoneRecord{}};
}

void CreateTable(SettingsRecord& record) {
    for (auto& table : record.tables) {
        table = templateTable();
    }
}

SettingsRecord::SettingsRecord() : choices(kDefaultChoices) {
    for (const TextSetting& row : kTextSettings) {
        this->*row.member = row.initial;
    }
    CreateTable(*this);
}

bool SettingsRecord::operator==(const SettingsRecord& o) const {
    for (const TextSetting& row : kTextSettings) {
        if (this->*row.member != o.*row.member) {
            return false;
        }
    }
    return choices == o.choices && tables == o.tables;
}

}  // namespace orv
