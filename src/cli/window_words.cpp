#include "cli/window_words.h"

#include <string>

#include "settings/config_file.h"

namespace orv::cli {
namespace {

Text ru(const char* utf8) {
    return cp1251::fromUtf8(utf8);
}

WindowWords makeWords() {
    WindowWords words;
    // ComboBox1 to ComboBox14: the label before it and its two items.
    const struct {
        const char* label;
        const char* item0;
        const char* item1;
    } choices[kChoiceCount] = {
        {"Call Back разрешен для всех", "Включено", "Выключено"},
        {"Call Back для программируемых номеров", "Включено", "Выключено"},
        {"Номера нет в списке разрыв связи", "Включено", "Выключено"},
        {"Набор всех номеров", "Разрешен", "Запрещен"},
        {"Номера нет в списках набор", "Разрешен", "Запрещен"},
        {"Пароль для исходящей связи", "Включен", "Выключен"},
        {"Конференция", "Включено", "Выключено"},
        {"Переадрессация звонков на абонента", "Включено", "Выключено"},
        {"Работа в режиме", "Line", "Phone"},
        {"Эхо-подавление", "Включено", "Выключено"},
        {"Конференция для всех абонентов", "Включено", "Выключено"},
        {"Анти АОН (CLIR)", "Включен", "Выключен"},
        {"Режим набора Line", "Тон", "Пульс"},
        {"Caller ID (Только в режиме Phone)", "Выключен", "Включен"},
    };
    for (std::size_t n = 0; n < words.choiceLabels.size(); ++n) {
        words.choiceLabels[n] = ru(choices[n].label);
        words.choiceItems[n] = {ru(choices[n].item0), ru(choices[n].item1)};
    }
    words.volume = ru("Уровень громкости");
    words.password = ru("Пароль (не более 7 цифр)");
    words.callDuration = ru("Длительность разговора (минуты)");
    words.numberLength = ru("Значность набираемых номеров");
    words.forwardNumber = ru("Номер Абонента");
    words.controlTime = ru("Время контроля посылки вызова(сек)");
    words.tableCaptions = {ru("Абоненты включенным Call Back"), ru("Разрешенные номера, направл."),
                           ru("Запрещенные номера, направл."), ru("Номера ускоренного набора")};
    return words;
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
    using Field = SettingDifference::Field;
    switch (d.field) {
        case Field::Choice:
            return {words.choiceLabels[static_cast<std::size_t>(d.choice - 1)],
                    item(words, d.choice, d.windowItem), item(words, d.choice, d.deviceItem)};
        case Field::Password:
            // The password is never shown.
            return {words.password, ru("***"), ru("не совпадает")};
        case Field::Volume:
            return {words.volume, shown(d.window), shown(d.device)};
        case Field::CallDuration:
            return {words.callDuration, shown(d.window), shown(d.device)};
        case Field::NumberLength:
            return {words.numberLength, shown(d.window), shown(d.device)};
        case Field::ForwardNumber:
            return {words.forwardNumber, shown(d.window), shown(d.device)};
        case Field::ControlTime:
            break;
    }
    return {words.controlTime, shown(d.window), shown(d.device)};
}

}  // namespace

const WindowWords& formWords() {
    static const WindowWords words = makeWords();
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
