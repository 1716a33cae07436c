#pragma once
// The window's settings record against the one read from the device: what differs, setting by
// setting and number by number, and how to say it in the window's own words.
//
// Both records are taken as the device holds them: the window's as writing it would leave the
// device, so that "05" and "5" agree and empty rows are no numbers. The phone tables compare as
// lists of numbers in any order, but for the speed-dial numbers, whose order gives their keys.

#include <array>
#include <vector>

#include "settings/config_file.h"
#include "settings/settings_record.h"
#include "settings/settings_table.h"

namespace orv {

// A setting that differs. For a choice, the items selected; for a text field, its text.
struct SettingDifference {
    // A choice, or the text field of row (field - 1) of kTextSettings.
    enum class Field {
        Choice,
        Volume,
        Password,
        CallDuration,
        NumberLength,
        ForwardNumber,
        ControlTime
    };
    Field field = Field::Choice;
    int choice = 0;  // the ComboBox number, for a choice
    int windowItem = -1;
    int deviceItem = -1;
    Text window;  // as the window shows it
    Text device;

    bool operator==(const SettingDifference& o) const;
};

// A number of a phone table found on one side only.
struct NumberDifference {
    TableId table = kCallBackTable;
    Text number;
    bool inWindow = false;  // only in the window; otherwise only in the device

    bool operator==(const NumberDifference& o) const {
        return table == o.table && number == o.number && inWindow == o.inWindow;
    }
};

struct Differences {
    std::vector<SettingDifference> settings;
    std::vector<NumberDifference> numbers;
    // The speed-dial numbers both sides hold stand in another order.
    bool speedDialOrder = false;
    // Registers and slots whose value the device holds but the window cannot: each of them
    // differs from the window, whatever it shows there.
    std::vector<RefusedValue> refused;
    // Slots holding an entry that read programming does not read (they lie after an empty
    // slot): the device holds them, but a read-back would leave them out.
    std::vector<int> unreadSlots;

    bool none() const {
        return settings.empty() && numbers.empty() && !speedDialOrder && refused.empty() &&
               unreadSlots.empty();
    }
};

// The record as the device would hold it after a write: encoded and read back. The record
// must be one that can be written (checkEncodable).
SettingsRecord asWritten(const SettingsRecord& record);

// Compares the window's record with the device's. The window's record must be one that can be
// written (checkEncodable); otherwise this throws that check's Failure.
Differences compareRecords(const SettingsRecord& window, const SettingsRecord& device);

// The words the window shows the settings with: the label of each choice and field, the items
// of each choice, the caption of each phone table.
struct WindowWords {
    std::array<Text, kChoiceCount> choiceLabels;
    std::array<std::array<Text, 2>, kChoiceCount> choiceItems;
    std::array<Text, std::size(kTextSettings)> fieldLabels;  // in the rows' order
    std::array<Text, kTableCount> tableCaptions;
};

// The words as the settings table spells them, for a program without the window to read them
// off (the window's own labels are these same texts).
WindowWords tableWords();

// The message for the user: that the window and the device agree, or each difference on a line
// of its own, a setting by its label with the window's value and the device's, numbers found on
// one side only by their table's caption, then the values the window cannot hold and the slots
// read programming does not read. The password is never shown.
// What the window is compared with: the device (the check, F8) or a configuration file, whose
// report names the file where it would name the device; or two configuration files (the
// command line's diff), the first standing where the window would.
enum class ComparedWith { Device, File, Files };
Text describeDifferences(const Differences& differences, const WindowWords& words,
                         ComparedWith other = ComparedWith::Device);

}  // namespace orv
