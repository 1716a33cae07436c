#include "settings/comparison.h"

#include <algorithm>

#include "settings/config_file.h"
#include "settings/encoding.h"

namespace orv {
namespace {

using Field = SettingDifference::Field;

// The named fields stand for the rows in their order.
static_assert(kTextSettings[0].member == &SettingsRecord::volume);
static_assert(kTextSettings[1].member == &SettingsRecord::password);
static_assert(kTextSettings[2].member == &SettingsRecord::callDuration);
static_assert(kTextSettings[3].member == &SettingsRecord::numberLength);
static_assert(kTextSettings[4].member == &SettingsRecord::forwardNumber);
static_assert(kTextSettings[5].member == &SettingsRecord::controlTime);

Field fieldOf(std::size_t row) {
    return static_cast<Field>(row + 1);
}

std::vector<Text> numbersOf(const PhoneTable& table) {
    std::vector<Text> numbers;
    for (const PhoneRecord& r : table) {
        if (!r.number.empty()) {
            numbers.push_back(r.number);
        }
    }
    return numbers;
}

// The numbers of one table found on one side only, in table order; true in `reordered` when
// the numbers both hold stand in another order.
void compareTable(TableId table, const PhoneTable& windowTable, const PhoneTable& deviceTable,
                  Differences& out, bool& reordered) {
    const std::vector<Text> window = numbersOf(windowTable);
    const std::vector<Text> device = numbersOf(deviceTable);
    std::vector<bool> matched(device.size(), false);
    std::vector<Text> windowCommon;
    for (const Text& number : window) {
        std::size_t i = 0;
        while (i < device.size() && (matched[i] || device[i] != number)) {
            ++i;
        }
        if (i < device.size()) {
            matched[i] = true;
            windowCommon.push_back(number);
        } else {
            out.numbers.push_back({table, number, true});
        }
    }
    std::vector<Text> deviceCommon;
    for (std::size_t i = 0; i < device.size(); ++i) {
        if (matched[i]) {
            deviceCommon.push_back(device[i]);
        } else {
            out.numbers.push_back({table, device[i], false});
        }
    }
    reordered = windowCommon != deviceCommon;
}

}  // namespace

SettingsRecord asWritten(const SettingsRecord& record) {
    std::string text;
    for (const Text& line : encode(record)) {
        text += line + "\r\n";
    }
    SettingsRecord written;
    loadFromText(text, written, Text());
    return written;
}

bool SettingDifference::operator==(const SettingDifference& o) const {
    return field == o.field && choice == o.choice && windowItem == o.windowItem &&
           deviceItem == o.deviceItem && window == o.window && device == o.device;
}

Differences compareRecords(const SettingsRecord& window, const SettingsRecord& device) {
    const SettingsRecord written = asWritten(window);
    Differences out;
    for (int n = 1; n <= kChoiceCount; ++n) {
        if (written.choice(n) != device.choice(n)) {
            SettingDifference d;
            d.choice = n;
            d.windowItem = written.choice(n);
            d.deviceItem = device.choice(n);
            out.settings.push_back(d);
        }
    }
    for (std::size_t i = 0; i < std::size(kTextSettings); ++i) {
        const auto member = kTextSettings[i].member;
        if (written.*member != device.*member) {
            SettingDifference d;
            d.field = fieldOf(i);
            d.window = window.*member;
            d.device = device.*member;
            out.settings.push_back(d);
        }
    }
    for (int t = 0; t < kTableCount; ++t) {
        const auto id = static_cast<TableId>(t);
        bool reordered = false;
        compareTable(id, written.tables[id], device.tables[id], out, reordered);
        // Only the speed-dial numbers are told apart by their place.
        if (id == kSpeedDialTable) {
            out.speedDialOrder = reordered;
        }
    }
    return out;
}

WindowWords tableWords() {
    WindowWords words;
    for (const ChoiceSetting& choice : kChoiceSettings) {
        const auto n = static_cast<std::size_t>(choice.combo - 1);
        words.choiceLabels[n] = choice.labelText();
        words.choiceItems[n] = {choice.itemText(0), choice.itemText(1)};
    }
    for (std::size_t row = 0; row < words.fieldLabels.size(); ++row) {
        words.fieldLabels[row] = kTextSettings[row].labelText();
    }
    for (const TableSetting& table : kTableSettings) {
        words.tableCaptions[table.id] = cp1251::fromUtf8(table.caption);
    }
    return words;
}

namespace {

// The side a number was found on alone.
const char* onlyIn(bool inWindow, ComparedWith other) {
    switch (other) {
        case ComparedWith::Device:
            break;
        case ComparedWith::File:
            return inWindow ? ", только в окне: " : ", только в файле: ";
        case ComparedWith::Files:
            return inWindow ? ", только в первом файле: " : ", только во втором файле: ";
    }
    return inWindow ? ", только в окне: " : ", только в устройстве: ";
}

}  // namespace

Text describeDifferences(const Differences& differences, const WindowWords& words,
                         ComparedWith other) {
    const bool file = other == ComparedWith::File;
    const bool files = other == ComparedWith::Files;
    if (differences.none()) {
        return cp1251::fromUtf8(files ? "Программирование в двух файлах совпадает."
                                : file
                                    ? "Программирование в окне и в файле совпадает."
                                    : "Программирование в окне и в GSM-Тарк Орвелин-9 совпадает.");
    }
    auto shown = [](const Text& value) { return value.empty() ? cp1251::fromUtf8("нет") : value; };
    auto item = [&](int choice, int index) {
        return index == 0 || index == 1 ? words.choiceItems[static_cast<std::size_t>(choice - 1)]
                                                           [static_cast<std::size_t>(index)]
                                        : cp1251::fromUtf8("не выбрано");
    };
    Text text = cp1251::fromUtf8(
        files  ? "Программирование в двух файлах различается (в первом / во втором):"
        : file ? "Программирование в окне и в файле различается (в окне / в файле):"
               : "Программирование в окне и в GSM-Тарк Орвелин-9 различается (в "
                 "окне / в устройстве):");
    for (const SettingDifference& d : differences.settings) {
        text += "\n";
        if (d.field == Field::Choice) {
            text += words.choiceLabels[static_cast<std::size_t>(d.choice - 1)] + ": " +
                    item(d.choice, d.windowItem) + " / " + item(d.choice, d.deviceItem);
            continue;
        }
        const auto row = static_cast<std::size_t>(d.field) - 1;
        text += words.fieldLabels.at(row);
        // The password is never shown.
        if (kTextSettings[row].kind == FieldKind::Password) {
            text += cp1251::fromUtf8(": не совпадает");
        } else {
            text += ": " + shown(d.window) + " / " + shown(d.device);
        }
    }
    // The numbers of each table and side on one line, in table order.
    for (int t = 0; t < kTableCount; ++t) {
        for (bool inWindow : {true, false}) {
            Text numbers;
            for (const NumberDifference& d : differences.numbers) {
                if (d.table == t && d.inWindow == inWindow) {
                    numbers += (numbers.empty() ? "" : ", ") + d.number;
                }
            }
            if (!numbers.empty()) {
                text += "\n" + words.tableCaptions[static_cast<std::size_t>(t)] +
                        cp1251::fromUtf8(onlyIn(inWindow, other)) + numbers;
            }
        }
    }
    if (differences.speedDialOrder) {
        text += "\n" + words.tableCaptions[kSpeedDialTable] +
                cp1251::fromUtf8(": номера стоят в другом порядке");
    }
    for (const RefusedValue& r : differences.refused) {
        text += cp1251::fromUtf8("\nВ устройстве значение, которое окно не может принять: ") +
                describeRefusal(r);
    }
    if (!differences.unreadSlots.empty()) {
        Text slots;
        for (int slot : differences.unreadSlots) {
            slots += (slots.empty() ? "" : ", ") + std::to_string(slot);
        }
        text += cp1251::fromUtf8("\nЗаписи в ячейках SIM-карты ") + slots +
                cp1251::fromUtf8(
                    " стоят после пустой ячейки: чтение программирования их не "
                    "считывает.");
    }
    return text;
}

}  // namespace orv
