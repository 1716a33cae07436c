// The check of the device against the window: the comparison of two records, its message in
// the window's words, and the check run whole against a scripted device in virtual time.

#include <gtest/gtest.h>

#include "fake_port.h"
#include "operations/programming.h"
#include "recording_user.h"
#include "scripted_device.h"
#include "settings/comparison.h"
#include "settings/encoding.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::FakePort;
using test::ScriptedDevice;
using Field = SettingDifference::Field;

SettingsRecord windowRecord() {
    SettingsRecord r;
    r.choices = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    r.volume = "55";
    r.password = "4321";
    r.numberLength = "11";
    r.forwardNumber = "+79161234567";
    r.tables[kCallBackTable] = test::table({"8900", "+79031112233", ""});
    r.tables[kAllowedTable] = test::table({"1234", "1234567890", ""});
    r.tables[kForbiddenTable] = test::table({"5678", ""});
    r.tables[kSpeedDialTable] = test::table({"111", "+7495", "222", ""});
    return r;
}

WindowWords words() {
    WindowWords w;
    for (int n = 1; n <= kChoiceCount; ++n) {
        w.choiceLabels[static_cast<std::size_t>(n - 1)] = "Choice" + std::to_string(n);
        w.choiceItems[static_cast<std::size_t>(n - 1)] = {cp("Включено"), cp("Выключено")};
    }
    w.volume = cp("Уровень громкости");
    w.password = cp("Пароль (не более 7 цифр)");
    w.callDuration = cp("Длительность разговора (минуты)");
    w.numberLength = cp("Значность набираемых номеров");
    w.forwardNumber = cp("Номер Абонента");
    w.controlTime = cp("Время контроля посылки вызова(сек)");
    w.tableCaptions = {cp("Абоненты включенным Call Back"), cp("Разрешенные номера, направл."),
                       cp("Запрещенные номера, направл."), cp("Номера ускоренного набора")};
    return w;
}

// ---- The comparison ---------------------------------------------------------------------

// The window is taken as writing it would leave the device: leading zeros, empty rows, a
// choice never made and the order of tagged numbers make no difference.
TEST(CompareRecords, AgreesWithWhatWritingWouldLeave) {
    SettingsRecord window = windowRecord();
    SettingsRecord device = window;
    window.volume = "055";
    window.numberLength = "011";
    window.tables[kCallBackTable] = test::table({"", "+79031112233", "", "8900"});
    window.choice(13) = -1;  // writes the bit of item 0, which the device holds
    EXPECT_TRUE(compareRecords(window, device).none());
}

TEST(CompareRecords, EachSettingAndNumberThatDiffersOnce) {
    const SettingsRecord window = windowRecord();
    SettingsRecord device = window;
    device.choice(4) = 0;
    device.callDuration = "20";
    device.password = "1111";
    device.forwardNumber = "";
    device.tables[kAllowedTable] = test::table({"1234567890", "7777", "7777"});
    device.tables[kSpeedDialTable] = test::table({"+7495", "111", "222"});

    const Differences d = compareRecords(window, device);
    ASSERT_EQ(d.settings.size(), 4u);
    EXPECT_EQ(d.settings[0].field, Field::Choice);
    EXPECT_EQ(d.settings[0].choice, 4);
    EXPECT_EQ(d.settings[0].windowItem, 1);
    EXPECT_EQ(d.settings[0].deviceItem, 0);
    EXPECT_EQ(d.settings[1].field, Field::Password);
    EXPECT_EQ(d.settings[2].field, Field::CallDuration);
    EXPECT_EQ(d.settings[2].window, "10");
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

// ---- The check against the device -------------------------------------------------------

struct Rig {
    VirtualClock clock;
    FakePort port{clock};
    test::RecordingUser user{clock};
    test::TempDir dir;
    ScriptedDevice device;
    OperationContext ctx{port, clock, user, user, dir.dir()};

    Rig() {
        port.setResponder([this](const std::string& line) { return device.answer(line); });
    }
};

// Everything sent is a read: the same lines as read programming sends for the device.
void expectReadsOnly(const FakePort& port) {
    for (const std::string& line : port.lines()) {
        EXPECT_TRUE(line.rfind("ATR", 0) == 0 || line.rfind("AT+CPBR=", 0) == 0 || line == "ATK1" ||
                    line == "AT+CPAS")
            << line;
    }
}

TEST(CompareWithDevice, ADeviceWrittenWithTheWindowsRecordAgrees) {
    Rig rig;
    const SettingsRecord window = windowRecord();
    rig.device.apply(encode(window));
    test::writeFile(rig.dir.path("1.txt"), "earlier\r\n");

    const Differences d = compareWithDevice(rig.ctx, window);
    EXPECT_TRUE(d.none());
    expectReadsOnly(rig.port);

    // The same lines as read programming of the same device, which also writes "1.txt".
    Rig reading;
    reading.device = rig.device;
    SettingsRecord record;
    readProgramming(reading.ctx, record);
    EXPECT_EQ(rig.port.lines(), reading.port.lines());
    EXPECT_EQ(test::readFile(rig.dir.path("1.txt")), "earlier\r\n");

    EXPECT_FALSE(rig.user.shown);
    EXPECT_EQ(rig.user.caption, cp("Запись программирования"));
    EXPECT_EQ(rig.user.events.front(), "caption " + cp("Сверка с устройством"));
}

TEST(CompareWithDevice, ListsAChangedRegisterAnExtraSlotAndAMissingSpeedDialNumber) {
    Rig rig;
    const SettingsRecord window = windowRecord();
    rig.device.apply(encode(window));
    rig.device.registers["8601"] = "40";                // the volume
    rig.device.fill(6, "89009998877", "W89009998877");  // after the window's five tagged numbers
    rig.device.slots.erase(103);                        // the last speed-dial number

    const Differences d = compareWithDevice(rig.ctx, window);
    ASSERT_EQ(d.settings.size(), 1u);
    EXPECT_EQ(d.settings[0].field, Field::Volume);
    EXPECT_EQ(d.settings[0].window, "55");
    EXPECT_EQ(d.settings[0].device, "40");
    const std::vector<NumberDifference> numbers = {
        {kCallBackTable, "89009998877", false},
        {kSpeedDialTable, "222", true},
    };
    EXPECT_EQ(d.numbers, numbers);
    EXPECT_FALSE(d.speedDialOrder);
    expectReadsOnly(rig.port);
}

TEST(CompareWithDevice, ARecordThatCannotBeWrittenIsRefusedBeforeAnythingIsSent) {
    Rig rig;
    SettingsRecord window;
    window.numberLength = "x";
    EXPECT_THROW(compareWithDevice(rig.ctx, window), Failure);
    EXPECT_TRUE(rig.port.written.empty());
}

TEST(CompareWithDevice, AStopLeavesNothingToCompare) {
    Rig rig;
    StopRequest stop;
    rig.ctx.stop = &stop;
    rig.port.setWriteWatcher([&](const std::string& soFar) {
        if (soFar == "ATR830") {
            stop.request();
        }
    });
    try {
        compareWithDevice(rig.ctx, windowRecord());
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.text(), cp("Сверка с устройством остановлена. Окно программы не изменено."));
    }
    EXPECT_EQ(rig.port.lines().back(), "AT+CPAS");
    EXPECT_FALSE(rig.user.shown);
}

}  // namespace
}  // namespace orv
