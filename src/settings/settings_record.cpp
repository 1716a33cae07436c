#include "settings/settings_record.h"

namespace orv {

// ComboBox1 .. ComboBox14. ComboBox14 starts on "Выключен", so the window shows what the
// default record writes.
const std::array<int, kChoiceCount> kDefaultChoices = {
    1,  // ComboBox1  "Call Back разрешен для всех": "Выключено"
    0,  // ComboBox2  "Call Back для программируемых номеров": "Включено"
    1,  // ComboBox3  "Номера нет в списке разрыв связи": "Выключено"
    0,  // ComboBox4  "Набор всех номеров": "Разрешен"
    0,  // ComboBox5  "Номера нет в списках набор": "Разрешен"
    1,  // ComboBox6  "Пароль для исходящей связи": "Выключен"
    0,  // ComboBox7  "Конференция": "Включено"
    1,  // ComboBox8  "Переадрессация звонков на абонента": "Выключено"
    1,  // ComboBox9  "Работа в режиме": "Phone"
    0,  // ComboBox10 "Эхо-подавление": "Включено"
    0,  // ComboBox11 "Конференция для всех абонентов": "Включено"
    1,  // ComboBox12 "Анти АОН (CLIR)": "Выключен"
    0,  // ComboBox13 "Режим набора Line": "Тон"
    0,  // ComboBox14 "Caller ID (Только в режиме Phone)": "Выключен"
};

PhoneTable templateTable() {
    return PhoneTable{PhoneRecord{}};
}

void CreateTable(SettingsRecord& record) {
    for (auto& table : record.tables) {
        table = templateTable();
    }
}

SettingsRecord::SettingsRecord() : choices(kDefaultChoices) {
    CreateTable(*this);
}

bool SettingsRecord::operator==(const SettingsRecord& o) const {
    return choices == o.choices && volume == o.volume && password == o.password &&
           callDuration == o.callDuration && numberLength == o.numberLength &&
           forwardNumber == o.forwardNumber && controlTime == o.controlTime && tables == o.tables;
}

}  // namespace orv
