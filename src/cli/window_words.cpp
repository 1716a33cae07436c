#include "cli/window_words.h"

#include <string>

#include "settings/config_file.h"
#include "settings/settings_table.h"

namespace orv::cli {
namespace {

Text ru(const char* utf8) {
    return cp1251::fromUtf8(utf8);
}

Text shown(const Text& value) {
    return value.empty() ? ru("нет") : value;
}

Text item(const WindowWords& words, int choice, int index) {
    return index == 0 || index == 1 ? words.choiceItems[static_cast<std::size_t>(choice - 1)]
                                                       [static_cast<std::size_t>(index)]
                                    : ru("не выбрано");
}

DifferenceRow settingRow(const SettingDifference& d, const WindowWords& words) {
    if (d.field == SettingDifference::Field::Choice) {
        return {words.choiceLabels[static_cast<std::size_t>(d.choice - 1)],
                item(words, d.choice, d.windowItem), item(words, d.choice, d.deviceItem)};
    }
    const auto row = static_cast<std::size_t>(d.field) - 1;
    // The password is never shown.
    if (kTextSettings[row].kind == FieldKind::Password) {
        return {words.fieldLabels.at(row), ru("***"), ru("не совпадает")};
    }
    return {words.fieldLabels.at(row), shown(d.window), shown(d.device)};
}

}  // namespace

const WindowWords& formWords() {
    static const WindowWords words = tableWords();
    return words;
}

std::vector<DifferenceRow> differenceRows(const Differences& differences,
                                          const WindowWords& words) {
    std::vector<DifferenceRow> rows;
    for (const SettingDifference& d : differences.settings) {
        rows.push_back(settingRow(d, words));
    }
    for (const NumberDifference& d : differences.numbers) {
        const Text& caption = words.tableCaptions[static_cast<std::size_t>(d.table)];
        rows.push_back(d.inWindow ? DifferenceRow{caption, d.number, Text()}
                                  : DifferenceRow{caption, Text(), d.number});
    }
    if (differences.speedDialOrder) {
        rows.push_back({words.tableCaptions[kSpeedDialTable], ru("порядок в файле"),
                        ru("номера стоят в другом порядке")});
    }
    for (const RefusedValue& r : differences.refused) {
        const Text what = r.isRegister()
                              ? r.label + ru(" (регистр ") + r.registerCode + ")"
                              : ru("Ячейка ") + std::to_string(r.slot) + ru(" SIM-карты");
        rows.push_back({what, Text(), describeRefusal(r)});
    }
    for (int slot : differences.unreadSlots) {
        rows.push_back({ru("Ячейка ") + std::to_string(slot) + ru(" SIM-карты"), Text(),
                        ru("стоит после пустой ячейки: чтение программирования её не считывает")});
    }
    return rows;
}

}  // namespace orv::cli
