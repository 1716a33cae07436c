#pragma once
// The settings record: the whole configuration of the device as the main window edits it.
// Fourteen two-way choices (item index -1, 0 or 1), six text fields and four phone tables.

#include <array>
#include <cstddef>
#include <vector>

#include "base/text.h"

namespace orv {

constexpr std::size_t kNumberFieldSize = 15;  // NUMBER, shown as "Номер"
constexpr std::size_t kNameFieldSize = 16;    // Name, hidden, never encoded

struct PhoneRecord {
    Text number;
    Text name;
    bool operator==(const PhoneRecord& o) const { return number == o.number && name == o.name; }
};

// One phone table: records in table order. A table made by CreateTable holds one record with
// an empty number, which the grid shows as an empty row and the encoding skips.
using PhoneTable = std::vector<PhoneRecord>;

enum TableId : int {
    kCallBackTable = 0,   // ClientDataSet1
    kAllowedTable = 1,    // ClientDataSet2
    kForbiddenTable = 2,  // ClientDataSet3
    kSpeedDialTable = 3,  // ClientDataSet4, entry indices from 101
};
constexpr int kTableCount = 4;

constexpr int kChoiceCount = 14;

struct SettingsRecord {
    // choices[n - 1] is the selected item of ComboBox<n>: 0, 1, or -1 for none.
    std::array<int, kChoiceCount> choices{};
    // The text fields; their controls, labels and defaults are the rows of settings_table.h.
    Text volume;
    Text password;
    Text callDuration;
    Text numberLength;
    Text forwardNumber;
    Text controlTime;
    std::array<PhoneTable, kTableCount> tables;

    SettingsRecord();  // the defaults, with tables as CreateTable makes them

    int& choice(int comboNumber) { return choices.at(comboNumber - 1); }
    int choice(int comboNumber) const { return choices.at(comboNumber - 1); }

    bool operator==(const SettingsRecord& o) const;
    bool operator!=(const SettingsRecord& o) const { return !(*this == o); }
};

// Default item of each choice, ComboBox1 first (the choices' rows of settings_table.h).
extern const std::array<int, kChoiceCount> kDefaultChoices;

// Gives each phone table the template's content: one record with an empty number.
void CreateTable(SettingsRecord& record);

// The template table: NUMBER and Name, one record whose NUMBER is empty.
PhoneTable templateTable();

}  // namespace orv
