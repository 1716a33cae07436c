// The settings record in the window's controls: reading and applying it, the controls' own
// behaviour, and loading a configuration into the window at start-up and from a file.

#include <QComboBox>
#include <QFile>
#include <QLineEdit>

#include "app/controls.h"
#include "app/tark.h"
#include "app/text_bridge.h"
#include "settings/config_file.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::toText;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

orv::SettingsRecord unusualRecord() {
    orv::SettingsRecord r;
    for (int n = 1; n <= orv::kChoiceCount; ++n) {
        r.choice(n) = 1 - orv::kDefaultChoices[std::size_t(n - 1)];
    }
    r.choice(14) = -1;
    r.volume = "7";
    r.password = "1234567";
    r.callDuration = "99";
    r.numberLength = "255";  // longer than the field's typing limit, as a loaded file can give
    r.forwardNumber = "+79001234567";
    r.controlTime = "-5";
    r.tables[orv::kCallBackTable] = {{"111", toText("Иванов")}, {"222", ""}, {"", ""}};
    r.tables[orv::kAllowedTable] = {};
    r.tables[orv::kForbiddenTable] = {{"12a", ""}};
    r.tables[orv::kSpeedDialTable] = {{toText("№5"), "x"}, {"", ""}};
    return r;
}

TEST(RecordTest, SetThenReadGivesTheSameRecord) {
    ScopedWorkDir dir;
    TForm1 form;
    EXPECT_EQ(form.record(), orv::SettingsRecord());
    const orv::SettingsRecord r = unusualRecord();
    form.setRecord(r);
    EXPECT_EQ(form.record(), r);
    EXPECT_EQ(child<QLineEdit>(&form, "Edit9")->text(), "255");
    EXPECT_EQ(child<orv::ui::UpDown>(&form, "UpDown7")->position(), 7);
    form.setRecord(orv::SettingsRecord());
    EXPECT_EQ(form.record(), orv::SettingsRecord());
}

TEST(RecordTest, CreateTableLeavesOneEmptyRecordInEachTable) {
    ScopedWorkDir dir;
    TForm1 form;
    form.setRecord(unusualRecord());
    form.createTable();
    const orv::SettingsRecord r = form.record();
    for (const orv::PhoneTable& table : r.tables) {
        EXPECT_EQ(table, orv::templateTable());
    }
    EXPECT_EQ(r.password, "1234567");
}

TEST(ChoiceBoxTest, TypedTextSelectsOnlyAnExactItem) {
    orv::ui::ChoiceBox box("ComboBox1", QStringLiteral("Включено"), QStringLiteral("Выключено"));
    box.setChoice(1);
    QLineEdit* edit = box.lineEdit();
    edit->selectAll();
    type(edit, QStringLiteral("Вкл"));
    EXPECT_EQ(box.choice(), -1);
    EXPECT_EQ(box.currentText(), QStringLiteral("Вкл"));
    type(edit, QStringLiteral("ючено"));
    EXPECT_EQ(box.choice(), 0);
    key(edit, Qt::Key_Backspace, Qt::NoModifier, "\b");
    EXPECT_EQ(box.choice(), -1);
    EXPECT_EQ(box.currentText(), QStringLiteral("Включен"));
    edit->selectAll();
    type(edit, QStringLiteral("выключено"));
    EXPECT_EQ(box.choice(), -1);
    key(edit, Qt::Key_Return);
    EXPECT_EQ(box.choice(), -1);
    EXPECT_EQ(box.currentText(), QStringLiteral("выключено"));
}

TEST(LimitedEditTest, LimitHoldsForTypingOnly) {
    orv::ui::LimitedEdit edit("Edit9", 2);
    type(&edit, "123");
    EXPECT_EQ(edit.text(), "12");
    edit.setValue("255");
    EXPECT_EQ(edit.text(), "255");
    type(&edit, "9");
    EXPECT_EQ(edit.text(), "255");
    key(&edit, Qt::Key_Backspace, Qt::NoModifier, "\b");
    EXPECT_EQ(edit.text(), "25");
    type(&edit, "9");
    EXPECT_EQ(edit.text(), "25");
    edit.insert("789");
    EXPECT_EQ(edit.text(), "25");
}

TEST(UpDownTest, StepsWithinTheRangeAsPlainDecimal) {
    orv::ui::LimitedEdit edit("Edit12", 3);
    orv::ui::UpDown upDown("UpDown7", &edit, 0, 99);
    upDown.setPosition(98);
    EXPECT_EQ(edit.text(), "98");
    upDown.stepBy(1);
    upDown.stepBy(1);
    EXPECT_EQ(edit.text(), "99");
    edit.setText("5");
    upDown.stepBy(-1);
    EXPECT_EQ(edit.text(), "4");
    key(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.text(), "5");
    upDown.setPosition(0);
    key(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), "0");
    // A field that holds no number steps from the last position.
    edit.setText("ab");
    upDown.stepBy(1);
    EXPECT_EQ(edit.text(), "1");
    edit.setText("150");
    upDown.stepBy(1);
    EXPECT_EQ(edit.text(), "99");
}

class LoadTest : public ::testing::Test {
  protected:
    ScopedWorkDir dir;
};

TEST_F(LoadTest, SavedFileLoadsBackIntoTheWindow) {
    orv::SettingsRecord r;
    r.choice(1) = 0;
    r.choice(13) = 1;
    r.password = "42";
    r.forwardNumber = "+7900";
    r.tables[orv::kAllowedTable] = {{"1234", ""}, {"", ""}};
    r.tables[orv::kSpeedDialTable] = {{"5551", ""}, {"", ""}};
    const std::string path = dir.path("a.cfg").toStdString();
    orv::SaveData(path, r);

    TForm1 form;
    form.loadFile(path, "a.cfg");
    EXPECT_EQ(form.record(), r);
}

TEST_F(LoadTest, FailedLoadLeavesWhatTheLoaderChangedAndRethrows) {
    const QString path = dir.path("bad.cfg");
    writeFile(path, "ATW800100\r\nATW81010\r\n");
    TForm1 form;
    form.setRecord(unusualRecord());
    orv::SettingsRecord expected = unusualRecord();
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8}) {
        expected.choice(n) = 1;  // the first flags byte 00 was decoded before the bad line
    }
    try {
        form.loadFile(path.toStdString(), "bad.cfg");
        FAIL() << "no failure";
    } catch (const orv::Failure& failure) {
        EXPECT_EQ(failure.kind(), orv::MessageKind::Plain);
        EXPECT_EQ(orv::ui::toQString(failure.text()),
                  QStringLiteral("Файл bad.cfg имеет не правильный формат"));
    }
    EXPECT_EQ(form.record(), expected);
}

TEST_F(LoadTest, StartUpRestoresTheWorkingState) {
    const orv::SettingsRecord r = [] {
        orv::SettingsRecord s;
        s.password = "777";
        s.tables[orv::kCallBackTable] = {{"101", ""}, {"", ""}};
        return s;
    }();
    orv::SaveData(orv::kWorkingStateFile, r);
    MessageRecorder messages;
    TForm1 form;
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(form.record(), r);
}

TEST_F(LoadTest, StartUpShowsABadWorkingStateAndGoesOn) {
    writeFile(orv::kWorkingStateFile, "ATW80015A\r\nATW81010B\r\nOK\r\n");
    MessageRecorder messages;
    TForm1 form;
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Файл Config.bak имеет не правильный формат"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(form.record(), orv::SettingsRecord());
}

TEST_F(LoadTest, NoWorkingStateMeansDefaultsAndNoMessage) {
    MessageRecorder messages;
    TForm1 form;
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(form.record(), orv::SettingsRecord());
}

TEST(MessagesTest, FailureShownByItsKindAndCommandsEndQuietlyOnSilentAbort) {
    MessageRecorder messages;
    EXPECT_TRUE(orv::ui::runCommand(nullptr, [] {}));
    EXPECT_FALSE(orv::ui::runCommand(nullptr, [] { throw orv::SilentAbort(); }));
    EXPECT_TRUE(messages.shown.empty());
    const std::pair<orv::MessageKind, QMessageBox::Icon> kinds[] = {
        {orv::MessageKind::Plain, QMessageBox::NoIcon},
        {orv::MessageKind::Warning, QMessageBox::Warning},
        {orv::MessageKind::Error, QMessageBox::Critical},
        {orv::MessageKind::Information, QMessageBox::Information},
        {orv::MessageKind::Confirmation, QMessageBox::Question},
    };
    for (const auto& [kind, icon] : kinds) {
        EXPECT_FALSE(orv::ui::runCommand(nullptr, [kind = kind] {
            throw orv::Failure(kind, toText(QStringLiteral("Ошибка считывания данных")));
        }));
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back().icon, icon);
        EXPECT_EQ(messages.shown.back().text, QStringLiteral("Ошибка считывания данных"));
        EXPECT_EQ(messages.shown.back().title, QStringLiteral("Орвелин-9"));
        EXPECT_EQ(messages.shown.back().buttons, QMessageBox::Ok);
    }
}

}  // namespace
