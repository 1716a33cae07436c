#include "settings/settings_table.h"

#include <stdexcept>

#include "settings/encoding.h"

namespace orv {

const ChoiceSetting& choiceSetting(int combo) {
    for (const ChoiceSetting& row : kChoiceSettings) {
        if (row.combo == combo) {
            return row;
        }
    }
    throw std::out_of_range("no such choice");
}

const TableSetting& tableSetting(TableId table) {
    for (const TableSetting& row : kTableSettings) {
        if (row.id == table) {
            return row;
        }
    }
    throw std::out_of_range("no such table");
}

const TextSetting* textSetting(device::RegisterRole role) {
    if (role == device::RegisterRole::PasswordDigit) {
        role = device::RegisterRole::PasswordLength;
    }
    for (const TextSetting& row : kTextSettings) {
        if (row.role == role && role != device::RegisterRole::None) {
            return &row;
        }
    }
    return nullptr;
}

const TableSetting* taggedTable(char tag) {
    for (const TableSetting& row : kTableSettings) {
        if (tag != 0 && (row.tag == tag || row.directionTag == tag)) {
            return &row;
        }
    }
    return nullptr;
}

char tagFor(TableId table, const Text& number) {
    const TableSetting& row = tableSetting(table);
    return number.size() == kShortestDirection ? row.directionTag : row.tag;
}

}  // namespace orv
