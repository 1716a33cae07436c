// The comparison of the window's record with the device's and its message in the window's
// words. (The check run whole against a device is tried with read programming.)

#include <gtest/gtest.h>

#include "sample_record.h"
#include "settings/comparison.h"
#include "settings/encoding.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using Field = SettingDifference::Field;

WindowWords words() {
    WindowWords w;
    for (int n = 1; n <= kChoiceCount; ++n) {
        w.choiceLabels[static_cast<std::size_t>(n - 1)] = "Choice" + std::to_string(n);
        w.choiceItems[static_cast<std::size_t>(n - 1)] = {cp("Включено"), cp("Выключено")};
    }
    // The labels and captions as the settings table holds them; the messages below pin them.
    for (std::size_t i = 0; i < w.fieldLabels.size(); ++i) {
        w.fieldLabels[i] = kTextSettings[i].labelText();
    }
    for (const TableSetting& table : kTableSettings) {
        w.tableCaptions[table.id] = cp(table.caption);
    }
    return w;
}

// ---- The comparison ---------------------------------------------------------------------

// The window is taken as writing it would leave the device: leading zeros, empty rows, a
// choice never made and the order of tagged numbers make no difference.
TEST(CompareRecords, AgreesWithWhatWritingWouldLeave) {
    SettingsRecord window = test::sampleRecord();
    SettingsRecord device = window;
    window.volume = "055";
    window.numberLength = "099";
    window.tables[kCallBackTable] = test::table({"", "+79031112233", "", "8900"});
    window.choice(13) = -1;  // writes the bit of item 0, which the device holds
    EXPECT_TRUE(compareRecords(window, device).none());
}

TEST(CompareRecords, EachSettingAndNumberThatDiffersOnce) {
    const SettingsRecord window = test::sampleRecord();
    SettingsRecord device = window;
    device.choice(4) = 0;
    device.callDuration = "20";
    device.password = "1111";
    device.forwardNumber = "";
    device.tables[kAllowedTable] = test::table({"123456789012345", "7777", "7777"});
    device.tables[kSpeedDialTable] = test::table({"+7495", "111", "222"});

    const Differences d = compareRecords(window, device);
    ASSERT_EQ(d.settings.size(), 4u);
    EXPECT_EQ(d.settings[0].field, Field::Choice);
    EXPECT_EQ(d.settings[0].choice, 4);
    EXPECT_EQ(d.settings[0].windowItem, 1);
    EXPECT_EQ(d.settings[0].deviceItem, 0);
    EXPECT_EQ(d.settings[1].field, Field::Password);
    EXPECT_EQ(d.settings[2].field, Field::CallDuration);
    EXPECT_EQ(d.settings[2].window, "7");
    EXPECT_EQ(d.settings[2].device, "20");
    EXPECT_EQ(d.settings[3].field, Field::ForwardNumber);
    const std::vector<NumberDifference> numbers = {
        {kAllowedTable, "1234", true},
        {kAllowedTable, "7777", false},
        {kAllowedTable, "7777", false},
    };
    EXPECT_EQ(d.numbers, numbers);
    // The same speed-dial numbers under other keys.
    EXPECT_TRUE(d.speedDialOrder);
}

TEST(CompareRecords, SaysItInTheWindowsWords) {
    EXPECT_EQ(describeDifferences(Differences(), words()),
              cp("Программирование в окне и в GSM-Тарк Орвелин-9 совпадает."));

    Differences d;
    SettingDifference choice;
    choice.choice = 2;
    choice.windowItem = 0;
    choice.deviceItem = 1;
    SettingDifference volume;
    volume.field = Field::Volume;
    volume.window = "82";
    volume.device = "50";
    SettingDifference forward;
    forward.field = Field::ForwardNumber;
    forward.window = "8916";
    SettingDifference password;
    password.field = Field::Password;
    password.window = "1234";
    password.device = "4321";
    d.settings = {choice, volume, forward, password};
    d.numbers = {{kCallBackTable, "8905", false},
                 {kSpeedDialTable, "112", true},
                 {kCallBackTable, "8906", false},
                 {kSpeedDialTable, "113", true}};
    const Text text = describeDifferences(d, words());
    EXPECT_EQ(text, cp("Программирование в окне и в GSM-Тарк Орвелин-9 различается (в окне / в "
                       "устройстве):\n"
                       "Choice2: Включено / Выключено\n"
                       "Уровень громкости: 82 / 50\n"
                       "Номер Абонента: 8916 / нет\n"
                       "Пароль (не более 7 цифр): не совпадает\n"
                       "Абоненты включенным Call Back, только в устройстве: 8905, 8906\n"
                       "Номера ускоренного набора, только в окне: 112, 113"));
    EXPECT_EQ(text.find("1234"), std::string::npos);  // the password is never shown
}

// The device, a file or two files: each report names its own two sides.
TEST(CompareRecords, NamesTheSidesItCompares) {
    Differences d;
    d.numbers = {{kCallBackTable, "8905", true}, {kCallBackTable, "8906", false}};
    const struct {
        ComparedWith other;
        const char* same;
        const char* differs;
    } cases[] = {
        {ComparedWith::Device, "Программирование в окне и в GSM-Тарк Орвелин-9 совпадает.",
         "Программирование в окне и в GSM-Тарк Орвелин-9 различается (в окне / в устройстве):\n"
         "Абоненты включенным Call Back, только в окне: 8905\n"
         "Абоненты включенным Call Back, только в устройстве: 8906"},
        {ComparedWith::File, "Программирование в окне и в файле совпадает.",
         "Программирование в окне и в файле различается (в окне / в файле):\n"
         "Абоненты включенным Call Back, только в окне: 8905\n"
         "Абоненты включенным Call Back, только в файле: 8906"},
        {ComparedWith::Files, "Программирование в двух файлах совпадает.",
         "Программирование в двух файлах различается (в первом / во втором):\n"
         "Абоненты включенным Call Back, только в первом файле: 8905\n"
         "Абоненты включенным Call Back, только во втором файле: 8906"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describeDifferences(Differences(), words(), c.other), cp(c.same));
        EXPECT_EQ(describeDifferences(d, words(), c.other), cp(c.differs));
    }
}

// What the window cannot hold and the entries read programming does not read come last.
TEST(CompareRecords, NamesValuesTheWindowCannotHoldAndSlotsReadingPassesOver) {
    Differences d;
    RefusedValue reg;
    reg.registerCode = "8101";
    reg.label = cp("Значность набираемых номеров");
    reg.value = "FF";
    reg.why = cp("это число 255, а поле принимает от 0 до 99");
    RefusedValue slot;
    slot.slot = 105;
    slot.value = "*100#";
    slot.text = "*100#";  // a text field that only repeats the number is not shown twice
    slot.why = cp("номер может содержать только цифры и «+», не более 15 знаков");
    d.refused = {reg, slot};
    d.unreadSlots = {3, 104};
    EXPECT_FALSE(d.none());
    EXPECT_EQ(describeDifferences(d, words()),
              cp("Программирование в окне и в GSM-Тарк Орвелин-9 различается (в окне / в "
                 "устройстве):\n"
                 "В устройстве значение, которое окно не может принять: «Значность набираемых "
                 "номеров» (регистр 8101): «FF» — это число 255, а поле принимает от 0 до 99\n"
                 "В устройстве значение, которое окно не может принять: Ячейка 105 SIM-карты: "
                 "номер «*100#» — номер может содержать только цифры и «+», не более 15 знаков\n"
                 "Записи в ячейках SIM-карты 3, 104 стоят после пустой ячейки: чтение "
                 "программирования их не считывает."));
}

}  // namespace
}  // namespace orv
