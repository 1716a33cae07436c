// The main window's commands on the settings as a whole: undo and redo across edits, a CSV
// import, an open, "Создать" and a read; the import's preview; the status bar.

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "app/main_window.h"
#include "app/operation_runner.h"
#include "app/phone_table.h"
#include "app/port_keeper.h"
#include "app/settings_history.h"
#include "app/widgets/controls.h"
#include "app/widgets/status_line.h"
#include "records/number_lists_csv.h"
#include "settings/config_file.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

const QKeyCombination kUndo(Qt::CTRL, Qt::Key_Z);
const QKeyCombination kRedo(Qt::CTRL, Qt::Key_Y);
const QKeyCombination kRedoShift(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);

class SettingsCommandsTest : public ::testing::Test {
  protected:
    orv::ui::PhoneTableModel* table(int t) {
        return child<orv::ui::PhoneTableModel>(&form,
                                               ("ClientDataSet" + std::to_string(t + 1)).c_str());
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(&form, name); }
    QAction* action(const char* name) { return child<QAction>(&form, name); }
    QString source() { return form.statusLine().sourceText(); }
    bool marked() { return source().endsWith(orv::ui::StatusLine::kChangedMark); }
    // A configuration file in the test's folder holding `record`.
    std::string saved(const char* name, const orv::SettingsRecord& record) {
        const std::string path = dir.path(name).toStdString();
        orv::SaveData(path, record);
        return path;
    }

    ScopedWorkDir dir;
    TForm1 form;
};

// Each way the window changes, done one after another; undo takes the window back through every
// earlier state and redo forward again, each exactly.
TEST_F(SettingsCommandsTest, UndoAndRedoReturnTheWindowToEachEarlierState) {
    orv::SettingsRecord other;
    other.volume = "33";
    other.tables[orv::kAllowedTable] = {{"84951234", ""}};
    const std::string file = saved("other.cfg", other);
    writeFile(dir.path("lists.csv"), "speed_dial;1;112\r\nforward;1;+7 900 111\r\n");

    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"typed into a field", [&] { type(edit("Edit10"), "5"); }},
        {"a choice", [&] { child<orv::ui::ChoiceBox>(&form, "ComboBox3")->setCurrentIndex(0); }},
        {"a grid cell", [&] { table(0)->setData(table(0)->index(0, 0), "555"); }},
        {"a row added",
         [&] {
             const int row = table(0)->insertNewRow(1);
             table(0)->setData(table(0)->index(row, 0), "556");
         }},
        {"a row removed", [&] { table(0)->removeRecord(0); }},
        {"an open",
         [&] {
             answerFileDialog(&form, "OpenDialog1", QString::fromStdString(file));
             form.N4Click();
         }},
        {"a CSV import",
         [&] {
             MessageRecorder yes(QMessageBox::Yes);
             ASSERT_TRUE(
                 form.importNumberListsFrom(dir.path("lists.csv").toStdString(), "lists.csv"));
         }},
        {"Создать", [&] { form.NewSettingsClick(); }},
        {"a read", [&] { form.takeReadBack(other); }},
    };
    std::vector<orv::SettingsRecord> states = {form.shownRecord()};
    for (const auto& [what, step] : steps) {
        step();
        states.push_back(form.shownRecord());
        ASSERT_NE(states.back(), states[states.size() - 2]) << what;
    }
    QUndoStack& stack = form.history().stack();
    ASSERT_EQ(stack.count(), static_cast<int>(steps.size()));
    for (std::size_t k = states.size() - 1; k-- > 0;) {
        shortcutKey(&form, edit("Edit10"), kUndo);
        EXPECT_EQ(form.shownRecord(), states[k]) << "undo to before " << steps[k].first;
    }
    for (std::size_t k = 1; k < states.size(); ++k) {
        shortcutKey(&form, edit("Edit10"), k % 2 ? kRedo : kRedoShift);
        EXPECT_EQ(form.shownRecord(), states[k]) << "redo of " << steps[k - 1].first;
    }
}

TEST_F(SettingsCommandsTest, KeysTypedIntoOneFieldAreOneStep) {
    QLineEdit* password = edit("Edit7");
    type(password, "123");
    type(edit("Edit10"), "1");
    EXPECT_EQ(form.history().stack().count(), 2);
    // Back in the password field after leaving it: a step of its own.
    emit password->editingFinished();
    type(password, "4");
    EXPECT_EQ(form.history().stack().count(), 3);
    action("Undo")->trigger();
    EXPECT_EQ(password->text(), "123");
    action("Undo")->trigger();
    action("Undo")->trigger();
    EXPECT_EQ(password->text(), "");
}

TEST_F(SettingsCommandsTest, TheTerminalAndTheSmsBoxKeepTheirUndoKeys) {
    type(edit("Edit10"), "7");
    const orv::SettingsRecord edited = form.shownRecord();
    for (const char* name : {"Memo1", "Memo2"}) {
        shortcutKey(&form, child<QWidget>(&form, name), kUndo);
        EXPECT_EQ(form.shownRecord(), edited) << name;
    }
    shortcutKey(&form, edit("Edit10"), kUndo);
    EXPECT_NE(form.shownRecord(), edited);
}

TEST_F(SettingsCommandsTest, AtMostTheLastThousandStepsAreKept) {
    for (int n = 0; n < orv::ui::SettingsHistory::kLimit + 5; ++n) {
        table(3)->setData(table(3)->index(0, 0), QString::number(100 + n));
    }
    EXPECT_EQ(form.history().stack().count(), orv::ui::SettingsHistory::kLimit);
}

TEST_F(SettingsCommandsTest, ThePreviewChangesNothingUntilConfirmed) {
    writeFile(dir.path("bad.csv"),
              "Список;Позиция;Номер\r\nallowed;1;8495\r\nallowed;2;84x\r\nallowed;3;849\r\n");
    const orv::SettingsRecord before = form.shownRecord();
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        MessageRecorder messages(answer);
        const bool taken = form.importNumberListsFrom(dir.path("bad.csv").toStdString(), "bad.csv");
        ASSERT_EQ(messages.shown.size(), 1u);
        const ShownMessage& preview = messages.shown[0];
        EXPECT_TRUE(preview.text.contains(QStringLiteral("Строка 3: Номер «84x»")))
            << preview.text.toStdString();
        EXPECT_TRUE(preview.text.contains(QStringLiteral("Строка 4:")));
        // With refused rows the default answer keeps the window as it is.
        EXPECT_EQ(preview.defaultButton, QMessageBox::No);
        EXPECT_EQ(taken, answer == QMessageBox::Yes);
        if (!taken) {
            EXPECT_EQ(form.shownRecord(), before);
            EXPECT_EQ(form.history().stack().count(), 0);
        }
    }
    EXPECT_EQ(form.record().tables[orv::kAllowedTable], (orv::PhoneTable{{"8495", ""}}));
    EXPECT_EQ(form.history().stack().count(), 1);
}

TEST_F(SettingsCommandsTest, AnExportReadsBackIntoTheWindow) {
    orv::SettingsRecord lists;
    lists.tables[orv::kCallBackTable] = {{"+79001234567", ""}};
    lists.tables[orv::kSpeedDialTable] = {{"112", ""}, {"113", ""}};
    lists.forwardNumber = "8900";
    form.setRecord(lists);
    const std::string path = dir.path("out.csv").toStdString();
    form.exportNumberListsTo(path);
    form.NewSettingsClick();
    MessageRecorder yes(QMessageBox::Yes);
    ASSERT_TRUE(form.importNumberListsFrom(path, "out.csv"));
    EXPECT_EQ(form.record(), lists);
}

TEST_F(SettingsCommandsTest, TheStatusMarkFollowsEditsAndSaves) {
    EXPECT_EQ(source(), QStringLiteral("Настройки по умолчанию"));
    type(edit("Edit10"), "2");
    EXPECT_TRUE(marked());
    action("Undo")->trigger();
    EXPECT_FALSE(marked());
    action("Redo")->trigger();
    EXPECT_TRUE(marked());

    answerFileDialog(&form, "SaveDialog1", "kept");
    {
        MessageRecorder create(QMessageBox::Yes);  // asked before it is created
        form.N5Click();
    }
    EXPECT_EQ(source(), QStringLiteral("kept.cfg"));
    type(edit("Edit10"), "3");
    EXPECT_TRUE(marked());
}

TEST_F(SettingsCommandsTest, AReadThatChangedTheWindowSaysSo) {
    orv::SettingsRecord read;
    read.volume = "12";
    form.takeReadBack(read);
    EXPECT_EQ(source(), QStringLiteral("Устройство"));
    EXPECT_TRUE(form.statusLine().outcomeText().contains(QStringLiteral("Ctrl+Z")));
    form.takeReadBack(read);
    EXPECT_TRUE(form.statusLine().outcomeText().contains(QStringLiteral("не изменились")));
    EXPECT_EQ(form.history().stack().count(), 1);
}

TEST_F(SettingsCommandsTest, TheLastOperationsOutcomeIsShown) {
    // What ends a device operation, in one line.
    const struct {
        std::exception_ptr error;
        QString shown;
    } cases[] = {
        {nullptr, QStringLiteral("Выполнено")},
        {std::make_exception_ptr(orv::Failure(orv::MessageKind::Error, "first\nsecond")),
         QStringLiteral("first")},
        {std::make_exception_ptr(orv::SilentAbort{}), QStringLiteral("Прервано")},
    };
    for (const auto& c : cases) {
        emit form.runner().operationEnded(orv::ui::OperationRunner::outcomeLine(c.error));
        EXPECT_EQ(form.statusLine().outcomeText(), c.shown);
    }
}

TEST_F(SettingsCommandsTest, TheRedoKeysAreBothThere) {
    EXPECT_EQ(action("Undo")->shortcuts(), QList<QKeySequence>{QKeySequence(kUndo)});
    EXPECT_EQ(action("Redo")->shortcuts(),
              (QList<QKeySequence>{QKeySequence(kRedo), QKeySequence(kRedoShift)}));
    EXPECT_FALSE(action("Undo")->isEnabled());
}

TEST_F(SettingsCommandsTest, TheClientAreaAboveTheStatusBarIsAsItWas) {
    QTabWidget* tabs = child<QTabWidget>(&form, "PageControl1");
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(tabs->size(), QSize(502, 321));
    EXPECT_EQ(form.statusBar()->geometry().top(), tabs->geometry().bottom() + 1);
    EXPECT_EQ(form.centralWidget(), tabs);
    // However long what the bar says, the window keeps its width.
    const int width = form.width();
    form.statusLine().setOutcome(QString(300, QChar('x')));
    form.statusLine().setSource(QString(100, QChar('y')), true);
    QApplication::processEvents();
    EXPECT_EQ(form.width(), width);
    EXPECT_EQ(tabs->width(), 502);
    // The window drawn with its status bar and without it: the same pixels above it.
    const QRect client(0, 0, form.width(), tabs->geometry().bottom() + 1);
    const QImage with = form.grab().toImage().copy(client);
    form.statusBar()->hide();
    QApplication::processEvents();
    const QImage without = form.grab().toImage().copy(client);
    EXPECT_EQ(with, without);
    EXPECT_EQ(form.height(), client.height());
}

TEST_F(SettingsCommandsTest, ComparingWithAFileGivesTheChecksReport) {
    orv::SettingsRecord other;
    other.volume = "33";
    const std::string file = saved("other.cfg", other);
    MessageRecorder messages;
    form.compareWithFile(file, "other.cfg");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("(в окне / в файле)")));
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Уровень громкости: 82 / 33")))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(form.history().stack().count(), 0);
}

TEST_F(SettingsCommandsTest, ARecipientCsvGivesNumbersAndNames) {
    writeFile(dir.path("people.csv"), "Имя;Номер\r\nАнна;+7 900 123-45-67\r\n");
    form.loadRecipients(dir.path("people.csv").toUtf8().toStdString());
    ASSERT_EQ(form.recipients().size(), 1u);
    EXPECT_EQ(orv::recipientNumber(form.recipients()[0]), "+79001234567");
}

}  // namespace
