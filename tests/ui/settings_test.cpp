// The settings record in the window's controls: reading and applying it, the controls' own
// behaviour, and loading a configuration into the window at start-up and from a file.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "app/main_window.h"
#include "app/text_bridge.h"
#include "app/widgets/controls.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::toText;

namespace {

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
    r.tables[orv::kForbiddenTable] = {{"12a", ""}};  // as the program may put it in
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

// A choice is picked, never typed: the box shows an item, and that item's bit is written.
TEST(ChoiceBoxTest, TakesNoTypedText) {
    orv::ui::ChoiceBox box("ComboBox9", QStringLiteral("Line"), QStringLiteral("Phone"));
    box.setChoice(0);
    EXPECT_EQ(box.lineEdit(), nullptr);
    box.setFocus();
    type(&box, QStringLiteral("Phone "));
    EXPECT_EQ(box.choice(), 1);
    EXPECT_EQ(box.currentText(), QStringLiteral("Phone"));
    type(&box, QStringLiteral("xyz"));
    EXPECT_TRUE(box.choice() == 0 || box.choice() == 1);
    EXPECT_EQ(box.currentText(), box.itemText(box.choice()));
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

// The numeric fields and the password take digits only, the forward number digits and "+",
// whether typed or pasted: a letter never reaches the record, so write programming never
// meets one halfway through.
TEST(LimitedEditTest, FieldsKeepOnlyWhatTheyCanHold) {
    ScopedWorkDir dir;
    TForm1 form;
    const struct {
        const char* name;
        const char* typed;
        const char* pasted;
        const char* kept;
    } fields[] = {
        {"Edit7", "1a2", "3-4 5x6789", "1234567"},
        {"Edit8", "x1", "y2z", "12"},
        {"Edit9", "1 ", "-1x", "11"},
        {"Edit11", "a", "0b9", "09"},
        {"Edit12", "5o", "O7", "57"},
        {"Edit10", "+7(900)", "123-45-67 890", "+79001234567890"},
    };
    for (const auto& f : fields) {
        auto* edit = child<orv::ui::LimitedEdit>(&form, f.name);
        ASSERT_NE(edit, nullptr) << f.name;
        edit->setValue(QString());
        edit->setFocus();
        type(edit, QString::fromUtf8(f.typed));
        edit->insert(QString::fromUtf8(f.pasted));
        EXPECT_EQ(edit->text(), QString::fromUtf8(f.kept)) << f.name;
    }
    QApplication::clipboard()->setText(QStringLiteral("4x2"));
    auto* duration = child<orv::ui::LimitedEdit>(&form, "Edit8");
    duration->setValue(QString());
    duration->paste();
    EXPECT_EQ(duration->text(), QStringLiteral("42"));
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

// A file that fails to load leaves the window as it was, not a mixture of two configurations
// that write programming would then send.
TEST_F(LoadTest, FailedLoadChangesNothingAndRethrows) {
    const QString path = dir.path("bad.cfg");
    writeFile(path, "ATW800100\r\nATW81010\r\n");
    TForm1 form;
    form.setRecord(unusualRecord());
    const orv::SettingsRecord expected = unusualRecord();
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

// A working-state file that does not load is shown, the window starts from the defaults, and
// the file's bytes are kept beside it before the close can replace them.
TEST_F(LoadTest, StartUpShowsABadWorkingStateKeepsItsBytesAndGoesOn) {
    const QByteArray bad = "ATW80015A\r\nATW81010B\r\nOK\r\nAT+CPBW=1,\"8900\",129,\"W8900\"\r\n";
    writeFile(orv::kWorkingStateFile, bad);
    MessageRecorder messages;
    TForm1 form;
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Файл Config.bak имеет не правильный формат"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(form.record(), orv::SettingsRecord());

    const QStringList kept =
        QDir(dir.path(".")).entryList({QStringLiteral("config.bak.damaged-*")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(messages.shown[1].icon, QMessageBox::Information);
    EXPECT_TRUE(messages.shown[1].text.contains(QDir(dir.path(".")).absoluteFilePath(kept[0])))
        << messages.shown[1].text.toStdString();
    QFile copy(dir.path(kept[0]));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), bad);
}

// A damaged working state whose kept name is taken already (a file kept in the same second)
// is kept under a name with a counter: neither file's bytes are overwritten.
TEST_F(LoadTest, AKeptNameThatIsTakenGetsACounter) {
    const QByteArray bad = "ATW80015A\r\n";
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QStringList taken;
    for (const QString& name : {QStringLiteral("config.bak.damaged-%1").arg(stamp),
                                QStringLiteral("config.bak.damaged-%1-2").arg(stamp)}) {
        writeFile(dir.path(name), "earlier " + name.toLatin1());
        taken << name;
    }
    writeFile(orv::kWorkingStateFile, bad);
    MessageRecorder messages;
    TForm1 form;
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].icon, QMessageBox::Information);
    for (const QString& name : taken) {
        QFile earlier(dir.path(name));
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), "earlier " + name.toLatin1());
    }
    const QStringList kept =
        QDir(dir.path(".")).entryList({QStringLiteral("config.bak.damaged-*")}, QDir::Files);
    ASSERT_EQ(kept.size(), 3);
    QString third;
    for (const QString& name : kept) {
        if (!taken.contains(name)) {
            third = name;
        }
    }
    EXPECT_TRUE(messages.shown[1].text.contains(third)) << messages.shown[1].text.toStdString();
    QFile copy(dir.path(third));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), bad);
}

// A working state that may be read but not written is loaded, and the user is told once that
// the close cannot save into it.
TEST_F(LoadTest, AReadOnlyWorkingStateLoadsAndTellsOnce) {
    orv::SettingsRecord r;
    r.password = "4321";
    r.tables[orv::kAllowedTable] = {{"5678", ""}, {"", ""}};
    orv::SaveData(orv::kWorkingStateFile, r);
    QFile::setPermissions(orv::kWorkingStateFile, QFile::ReadOwner | QFile::ReadGroup);
    MessageRecorder messages;
    TForm1 form;
    EXPECT_EQ(form.record(), r);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Файл Config.bak доступен только для чтения. Настройки из него "
                             "загружены, но при закрытии программы сохранены в него не будут, "
                             "пока он не станет доступен для записи. Чтобы не потерять "
                             "изменения, сохраните настройки в другой файл (меню «Файл», пункт "
                             "«Сохранить»)."));
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

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST_F(LoadTest, EmptyFolderClosesWithTheNineDefaultLines) {
    {
        TForm1 form;
        ASSERT_TRUE(form.formClose());
    }
    EXPECT_EQ(readFile(dir.path("config.bak")),
              QByteArray("ATW80015A\r\nATW81010B\r\nATW82010A\r\nATW830100\r\nATW840107\r\n"
                         "ATW860182\r\nATW900100\r\nATK1\r\nAT+CPAS\r\n"));
}

TEST_F(LoadTest, WorkingStateIsWrittenBackByteForByteAtClose) {
    const QByteArray state =
        "ATW8001C3\r\nATW81010C\r\nATW820105\r\nATW830109\r\nATW840124\r\nATW860145\r\n"
        "ATW900107\r\nATW910105\r\nATW920104\r\nATW930103\r\nATW940102\r\nATW950101\r\n"
        "ATW960109\r\nATW970108\r\nATK1\r\n"
        "AT+CPBW=1,\"89001112233\",129,\"W89001112233\"\r\n"
        "AT+CPBW=2,\"1234\",129,\"N1234\"\r\n"
        "AT+CPBW=3,\"+74951234567\",129,\"R+74951234567\"\r\n"
        "AT+CPBW=4,\"5678\",129,\"B5678\"\r\n"
        "AT+CPBW=5,\"8800\",129,\"B8800\"\r\n"
        "AT+CPBW=6,\"88005553535\",129,\"S88005553535\"\r\n"
        "AT+CPBW=100,\"+79161234567\",129,\"+79161234567\"\r\n"
        "AT+CPBW=101,\"0101\",129,\"0101\"\r\n"
        "AT+CPBW=102,\"+7916\",129,\"+7916\"\r\n"
        "AT+CPAS\r\n";
    writeFile(dir.path("config.bak"), state);
    {
        MessageRecorder messages;
        TForm1 form;
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_EQ(toText(child<QLineEdit>(&form, "Edit10")->text()), "+79161234567");
        ASSERT_TRUE(form.formClose());
    }
    EXPECT_EQ(readFile(dir.path("config.bak")), state);
}

TEST_F(LoadTest, SaveThenOpenThroughTheDialogsRestoresEverything) {
    TForm1 form;
    ASSERT_TRUE(showActive(&form));
    form.setRecord(orv::test::sampleRecord());
    MessageRecorder messages(QMessageBox::Yes);       // "create the file?" answered Yes
    answerFileDialog(&form, "SaveDialog1", "saved");  // typed in the current folder
    form.N5Click();
    ASSERT_TRUE(QFile::exists(dir.path("saved.cfg")));  // ".cfg" added to a bare name
    ASSERT_EQ(messages.shown.size(), 1u);               // asked before creating it

    form.setRecord(orv::SettingsRecord());
    answerFileDialog(&form, "OpenDialog1", "saved.cfg");
    form.N4Click();
    EXPECT_EQ(form.record(), orv::test::sampleRecord());
}
