#pragma once
// The settings table: one row per text field and one per choice of the settings record, and one
// per phone table, each holding all the program knows of its setting: the record member, the
// register it is written to, the controls and labels the main window shows it with, the label's
// text, the limit and the default; for a choice its bit in a flags byte and its two items; for a
// phone table its caption and list tags. The encoding, the loader, the comparison and the main
// window all walk these rows, so that a setting is added as one row and each text is spelled once.

#include <cstddef>
#include <iterator>

#include "base/text.h"
#include "settings/device_vocabulary.h"
#include "settings/settings_record.h"

namespace orv {

// How a text field is held, checked and written.
enum class FieldKind {
    TwoDigits,  // a whole number 0..99, written in hexadecimal; the device carries up to 255
    Volume,     // a whole number 0..99, written as two decimal digits; set with an up-down
    Password,   // up to 7 digits: their count in its register, each digit in one of its own
    Number,     // a phone number, written to the SIM's forward slot rather than to a register
};

// Where the main window shows a setting.
enum class Page { Incoming, Outgoing, Service };

struct TextSetting {
    Text SettingsRecord::*member;
    device::RegisterRole role;  // the register it is written to: the password's count register
    FieldKind kind;
    const char* control;  // LimitedEdit object name
    const char* label;    // QLabel object name
    const char* text;     // the label's text, UTF-8
    int limit;            // characters the user may type
    const char* initial;  // the default
    int row;              // its row on the service page

    Text labelText() const { return cp1251::fromUtf8(text); }
};

struct ChoiceSetting {
    int combo;  // ComboBox<combo>, the record's choice(combo)
    const char* label;
    const char* text;
    const char* items[2];
    int initial;                 // the default item
    device::RegisterRole flags;  // FirstFlags or SecondFlags
    int mask;                    // its bit in that byte
    int itemForOne;              // the item that sets the bit
    Page page;
    int row;
    int column;

    Text labelText() const { return cp1251::fromUtf8(text); }
    Text itemText(int item) const { return cp1251::fromUtf8(items[item]); }
};

struct TableSetting {
    TableId id;
    const char* box;      // the QGroupBox around the grid
    const char* caption;  // its title
    char tag;             // the first character of a phone-book line's text field, 0 for none
    char directionTag;    // the same for a number of kShortestDirection characters
};

constexpr device::RegisterRole kFirstFlags = device::RegisterRole::FirstFlags;
constexpr device::RegisterRole kSecondFlags = device::RegisterRole::SecondFlags;

// In the record's order, which is the service page's and the comparison's.
inline constexpr TextSetting kTextSettings[] = {
    {&SettingsRecord::volume, device::RegisterRole::Volume, FieldKind::Volume, "Edit12", "Label12",
     "Уровень громкости", 2, "82", 1},
    {&SettingsRecord::password, device::RegisterRole::PasswordLength, FieldKind::Password, "Edit7",
     "Label15", "Пароль (не более 7 цифр)", 7, "", 4},
    {&SettingsRecord::callDuration, device::RegisterRole::CallDuration, FieldKind::TwoDigits,
     "Edit8", "Label16", "Длительность разговора (минуты)", 2, "10", 5},
    {&SettingsRecord::numberLength, device::RegisterRole::NumberLength, FieldKind::TwoDigits,
     "Edit9", "Label17", "Значность набираемых номеров", 2, "11", 6},
    {&SettingsRecord::forwardNumber, device::RegisterRole::None, FieldKind::Number, "Edit10",
     "Label19", "Номер Абонента", static_cast<int>(kNumberFieldSize), "", 8},
    {&SettingsRecord::controlTime, device::RegisterRole::ControlTime, FieldKind::TwoDigits,
     "Edit11", "Label20", "Время контроля посылки вызова(сек)", 2, "0", 9},
};

// ComboBox1 first. ComboBox14 starts on its first item, so the window shows what the default
// record writes. Columns: combo, label, text, items, default, flags byte, mask, item for one, page,
// row, column.
// clang-format off
inline constexpr ChoiceSetting kChoiceSettings[] = {
    {1, "Label1", "Call Back разрешен для всех", {"Включено", "Выключено"}, 1, kFirstFlags, 0x80, 0, Page::Incoming, 0, 0},
    {2, "Label2", "Call Back для программируемых номеров", {"Включено", "Выключено"}, 0, kFirstFlags, 0x40, 0, Page::Incoming, 1, 0},
    {3, "Label3", "Номера нет в списке разрыв связи", {"Включено", "Выключено"}, 1, kFirstFlags, 0x20, 0, Page::Incoming, 2, 0},
    {4, "Label8", "Набор всех номеров", {"Разрешен", "Запрещен"}, 0, kFirstFlags, 0x10, 0, Page::Outgoing, 0, 0},
    {5, "Label9", "Номера нет в списках набор", {"Разрешен", "Запрещен"}, 0, kFirstFlags, 0x08, 0, Page::Outgoing, 1, 0},
    {6, "Label14", "Пароль для исходящей связи", {"Включен", "Выключен"}, 1, kFirstFlags, 0x01, 0, Page::Service, 3, 0},
    {7, "Label4", "Конференция", {"Включено", "Выключено"}, 0, kFirstFlags, 0x02, 0, Page::Incoming, 3, 0},
    {8, "Label18", "Переадрессация звонков на абонента", {"Включено", "Выключено"}, 1, kFirstFlags, 0x04, 0, Page::Service, 7, 0},
    {9, "Label11", "Работа в режиме", {"Line", "Phone"}, 1, kSecondFlags, 0x04, 1, Page::Service, 0, 0},
    {10, "Label13", "Эхо-подавление", {"Включено", "Выключено"}, 0, kSecondFlags, 0x02, 0, Page::Service, 2, 0},
    {11, "Label5", "Конференция для всех абонентов", {"Включено", "Выключено"}, 0, kSecondFlags, 0x01, 0, Page::Incoming, 4, 0},
    {12, "Label10", "Анти АОН (CLIR)", {"Включен", "Выключен"}, 1, kSecondFlags, 0x08, 0, Page::Outgoing, 0, 3},
    {13, "Label6", "Режим набора Line", {"Тон", "Пульс"}, 0, kSecondFlags, 0x10, 1, Page::Incoming, 5, 0},
    {14, "Label7", "Caller ID (Только в режиме Phone)", {"Выключен", "Включен"}, 0, kSecondFlags, 0x20, 1, Page::Incoming, 6, 0},
};
// clang-format on
static_assert(std::size(kChoiceSettings) == kChoiceCount);

// The phone tables, ClientDataSet1 first. A call-back number has one tag whatever its length; a
// direction of four characters is tagged apart from a longer number.
inline constexpr TableSetting kTableSettings[] = {
    {kCallBackTable, "GroupBox2", "Абоненты включенным Call Back", 'W', 'W'},
    {kAllowedTable, "GroupBox4", "Разрешенные номера, направл.", 'R', 'N'},
    {kForbiddenTable, "GroupBox5", "Запрещенные номера, направл.", 'S', 'B'},
    {kSpeedDialTable, "GroupBox7", "Номера ускоренного набора", 0, 0},
};
static_assert(std::size(kTableSettings) == kTableCount);

// The row of a choice, a table, or the text field a register holds (the password's for either of
// its registers); nullptr when the register holds no text field.
const ChoiceSetting& choiceSetting(int combo);
const TableSetting& tableSetting(TableId table);
const TextSetting* textSetting(device::RegisterRole role);

// The table whose list tag a phone-book line's text field begins with, or nullptr.
const TableSetting* taggedTable(char tag);

// The tag a number of the table is written with, or 0 for none.
char tagFor(TableId table, const Text& number);

}  // namespace orv
