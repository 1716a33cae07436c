// The main window's make-up, its menu, the about and progress windows, the activation and the
// close handler.

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

#include "app/activation.h"
#include "app/dialogs/about_window.h"
#include "app/dialogs/progress_window.h"
#include "app/main_window.h"
#include "app/widgets/controls.h"
#include "settings/config_file.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

QStringList visibleTabs(QTabWidget* tabs) {
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->isTabVisible(i)) {
            captions << tabs->tabText(i);
        }
    }
    return captions;
}

class MainWindowTest : public ::testing::Test {
  protected:
    ScopedWorkDir dir;
    TForm1 form;
    QTabWidget* tabs = child<QTabWidget>(&form, "PageControl1");
};

TEST_F(MainWindowTest, CaptionSizeAndFrame) {
    EXPECT_EQ(form.objectName(), "Form1");
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("Программа программирования для GSM-ТАРКА Орвелин-9"));
    EXPECT_EQ(tabs->size(), QSize(502, 321));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pointSize(), 8);
}

TEST_F(MainWindowTest, PagesInOrderWithTheTerminalHidden) {
    const char* pages[] = {"TabSheet1", "TabSheet2", "TabSheet4", "TabSheet3", "TabSheet5"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tabs->widget(i)->objectName(), pages[i]);
    }
    EXPECT_EQ(visibleTabs(tabs), (QStringList{"Входящие вызовы", "Исходящие вызовы",
                                              "Сервисные настройки", "Сервис SMS"}));
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("Дальворн-терминал"));
    EXPECT_EQ(tabs->currentWidget()->objectName(), "TabSheet1");
    EXPECT_FALSE(form.terminalRevealed());
    auto* terminal = child<QPlainTextEdit>(&form, "Memo1");
    EXPECT_FALSE(terminal->isReadOnly());
    EXPECT_EQ(terminal->parentWidget(), tabs->widget(3));
}

TEST_F(MainWindowTest, AllFiveTabsFitTheWindowOnceTheTerminalShows) {
    form.revealTerminal();
    QTabBar* bar = tabs->tabBar();
    int right = 0;
    for (int i = 0; i < bar->count(); ++i) {
        const QRect r = bar->tabRect(i);
        EXPECT_GE(r.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i))) << i;
        right = std::max(right, r.right());
    }
    EXPECT_LT(right, tabs->width());
}

TEST_F(MainWindowTest, SettingsControlsAndTheirLimits) {
    for (int n = 1; n <= 14; ++n) {
        auto* box =
            child<orv::ui::ChoiceBox>(&form, qPrintable(QStringLiteral("ComboBox%1").arg(n)));
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(box->isEditable()) << n;  // pick-only: what it shows is what is written
        EXPECT_EQ(box->count(), 2) << n;
        EXPECT_EQ(box->choice(), orv::kDefaultChoices[std::size_t(n - 1)]) << n;
    }
    EXPECT_EQ(child<QComboBox>(&form, "ComboBox13")->itemText(1), QStringLiteral("Пульс"));
    EXPECT_EQ(child<QComboBox>(&form, "ComboBox9")->currentText(), QStringLiteral("Phone"));
    EXPECT_EQ(child<QComboBox>(&form, "ComboBox14")->currentText(), QStringLiteral("Выключен"));

    const struct {
        const char* name;
        int limit;
        const char* text;
    } fields[] = {{"Edit7", 7, ""},   {"Edit8", 2, "10"}, {"Edit9", 2, "11"},
                  {"Edit10", 15, ""}, {"Edit11", 2, "0"}, {"Edit12", 2, "82"}};
    for (const auto& f : fields) {
        auto* edit = child<orv::ui::LimitedEdit>(&form, f.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->limit(), f.limit) << f.name;
        EXPECT_EQ(edit->text(), QString::fromUtf8(f.text)) << f.name;
    }
    EXPECT_EQ(child<QLineEdit>(&form, "Edit7")->echoMode(), QLineEdit::Password);
    auto* volume = child<orv::ui::UpDown>(&form, "UpDown7");
    EXPECT_EQ(volume->position(), 82);
    EXPECT_EQ(volume->minimum(), 0);
    EXPECT_EQ(volume->maximum(), 99);

    QStringList labels;
    for (QLabel* label : form.findChildren<QLabel*>()) {
        labels << label->text();
    }
    for (const char* text :
         {"Call Back разрешен для всех", "Caller ID (Только в режиме Phone)", "Анти АОН (CLIR)",
          "- услуга подключена?", "Уровень громкости", "Пароль (не более 7 цифр)",
          "Время контроля посылки вызова(сек)", "Номер Абонента"}) {
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
    }
}

TEST_F(MainWindowTest, GridsButtonsAndSmsTab) {
    for (int n = 1; n <= 4; ++n) {
        auto* grid = child<QTableView>(&form, qPrintable(QStringLiteral("DBGrid%1").arg(n)));
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->model()->objectName(), QStringLiteral("ClientDataSet%1").arg(n));
        EXPECT_EQ(grid->model()->rowCount(), 1);
        EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Номер"));
        EXPECT_TRUE(grid->horizontalHeader()->isHidden());
        EXPECT_TRUE(grid->verticalHeader()->isHidden());
        EXPECT_TRUE(grid->showGrid());
    }
    EXPECT_NE(form.findChild<QObject*>("ClientDataSet5"), nullptr);

    EXPECT_EQ(child<QPushButton>(&form, "Button1")->text(), QStringLiteral("Проверить"));
    auto* send = child<QPushButton>(&form, "Button2");
    auto* load = child<QPushButton>(&form, "Button3");
    EXPECT_EQ(send->text(), QStringLiteral("Разослать абонентам"));
    EXPECT_EQ(load->text(), QStringLiteral("Загрузить файл абонентов"));
    EXPECT_EQ(send->size(), QSize(145, 33));
    EXPECT_EQ(load->size(), QSize(145, 33));
    EXPECT_LT(send->y(), load->y());
    EXPECT_EQ(child<QPlainTextEdit>(&form, "Memo2")->size(), QSize(305, 113));
    EXPECT_EQ(child<QLabel>(&form, "Label21")->text(), "60/0");
}

TEST_F(MainWindowTest, HintsOnlyWhereListed) {
    QStringList withHints;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        // The grid's viewport shows the grid's own hint; the file dialogs are windows of their own.
        const bool ownHint = !w->parentWidget() || w->parentWidget()->toolTip() != w->toolTip();
        if (!w->toolTip().isEmpty() && w->window() == &form && ownHint) {
            withHints << w->objectName();
        }
    }
    withHints.sort();
    EXPECT_EQ(withHints, (QStringList{"ComboBox12", "ComboBox4", "DBGrid4", "Edit12"}));
    EXPECT_EQ(child<QWidget>(&form, "ComboBox4")->toolTip(),
              QStringLiteral("Без проверки таблиц разрешенных/запрещенных номеров/направлений"));
    EXPECT_EQ(child<QWidget>(&form, "Edit12")->toolTip(),
              QStringLiteral("Высокие значения громкости снижают эффективность Эхо-подавления"));
}

TEST_F(MainWindowTest, MenuItemsInOrderWithShortcuts) {
    QMenuBar* bar = child<QMenuBar>(&form, "MainMenu1");
    ASSERT_NE(bar, nullptr);
    QStringList top;
    for (QAction* a : bar->actions()) {
        top << a->text();
    }
    EXPECT_EQ(top, (QStringList{"Файл", "Программирование", "Передача данных", "О программе..."}));
    EXPECT_EQ(bar->actions().last()->objectName(), "N10");
    EXPECT_EQ(bar->actions().last()->menu(), nullptr);

    const struct {
        const char* name;
        const char* text;
        QKeySequence key;
    } items[] = {
        {"N4", "Открыть", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"N5", "Сохранить", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"N6", "Выход", QKeySequence()},
        {"N7", "Записать программирование", QKeySequence(Qt::Key_F5)},
        {"Sim1", "Очистка Sim-карты", QKeySequence(Qt::Key_F6)},
        {"N2", "Чтение программирования", QKeySequence(Qt::Key_F7)},
        {"N12", "Сверить с устройством", QKeySequence(Qt::Key_F8)},
        {"N8", "Настройки программирования", QKeySequence()},
        {"N11", "Переход в режим передачи данных", QKeySequence()},
        {"NewSettings", "Создать", QKeySequence()},
        {"ExportNumbers", "Экспорт номеров в CSV…", QKeySequence()},
        {"ImportNumbers", "Импорт номеров из CSV…", QKeySequence()},
        {"CompareWithFile", "Сравнить с файлом…", QKeySequence()},
        {"Undo", "Отменить", QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {"Redo", "Повторить", QKeySequence(Qt::CTRL | Qt::Key_Y)},
    };
    for (const auto& item : items) {
        auto* action = child<QAction>(&form, item.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromUtf8(item.text)) << item.name;
        EXPECT_EQ(action->shortcut(), item.key) << item.name;
    }
    QStringList programming;
    for (QAction* a : bar->actions()[1]->menu()->actions()) {
        programming << a->objectName();
    }
    EXPECT_EQ(programming, (QStringList{"N7", "Sim1", "N2", "N12", "N8"}));
}

TEST_F(MainWindowTest, ConfigurationDialogs) {
    for (const char* name : {"OpenDialog1", "SaveDialog1"}) {
        auto* dialog = child<QFileDialog>(&form, name);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{"конфигурационные (*.cfg)", "все файлы (*.*)"}));
        EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("конфигурационные (*.cfg)"));
        EXPECT_EQ(dialog->defaultSuffix(), "cfg");
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    }
    auto* save = child<QFileDialog>(&form, "SaveDialog1");
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(save->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(MainWindowTest, ActivationEndsOnTheFirstTabWhateverWasSelected) {
    tabs->setCurrentWidget(child<QWidget>(&form, "TabSheet5"));
    QStringList selected;
    QObject::connect(tabs, &QTabWidget::currentChanged,
                     [&](int i) { selected << tabs->widget(i)->objectName(); });
    form.portFlags().firstActivation = 1;  // the port is open: the activation goes through
    form.onActivated();
    EXPECT_EQ(tabs->currentWidget()->objectName(), "TabSheet1");
    selected.removeAll("TabSheet3");
    EXPECT_EQ(selected, (QStringList{"TabSheet4", "TabSheet2", "TabSheet1"}));
    EXPECT_FALSE(form.terminalRevealed());
}

// A working-state file the user may not write is never replaced. The close that fails to save
// keeps the window open once, so that the settings can be saved elsewhere or the cause mended;
// the next close tries the save once more and ends the program whether or not it succeeds,
// saying so when it fails: the program can always be closed. No message shows a stand-in "?"
// for a character the code page lacks.
TEST_F(MainWindowTest, ASecondCloseAfterAFailedSaveTriesAgainAndEndsEitherWay) {
    struct Case {
        bool mended;  // the file made writable between the two closes
        QByteArray kept;
    };
    const Case cases[] = {{false, "protected\r\n"}, {true, "ATW8001"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mended);
        TForm1 window;
        ASSERT_TRUE(showActive(&window));
        QFile::remove(orv::kWorkingStateFile);
        writeFile(orv::kWorkingStateFile, "protected\r\n");
        QFile::setPermissions(orv::kWorkingStateFile, QFile::ReadOwner | QFile::ReadGroup);
        {
            MessageRecorder messages;
            EXPECT_FALSE(window.close());
            EXPECT_TRUE(window.isVisible());
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
            EXPECT_EQ(messages.shown[0].title, QStringLiteral("Орвелин-9"));
            EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Cannot create file")));
            EXPECT_TRUE(messages.shown[0].text.contains(
                QStringLiteral("она ещё раз попробует сохранить настройки и завершится в любом "
                               "случае.")));
            EXPECT_FALSE(messages.shown[0].text.contains('?'))
                << messages.shown[0].text.toStdString();
        }
        if (c.mended) {
            QFile::setPermissions(orv::kWorkingStateFile, QFile::ReadOwner | QFile::WriteOwner);
        }
        MessageRecorder messages;
        EXPECT_TRUE(window.close());
        EXPECT_FALSE(window.isVisible());
        ASSERT_EQ(messages.shown.size(), c.mended ? 0u : 1u);
        if (!c.mended) {
            EXPECT_TRUE(messages.shown[0].text.endsWith(QStringLiteral(
                "Настройки не сохранены в файл Config.bak. Программа завершается без их "
                "сохранения.")));
            EXPECT_FALSE(messages.shown[0].text.contains('?'))
                << messages.shown[0].text.toStdString();
        }
        QFile file(orv::kWorkingStateFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().startsWith(c.kept));
    }
}

// A numeric field left empty is named in the refusal by the label the window shows it with.
TEST_F(MainWindowTest, AnEmptyNumericFieldIsNamedByItsLabel) {
    struct Case {
        const char* edit;
        const char* label;
    };
    const Case cases[] = {{"Edit8", "Label16"}, {"Edit9", "Label17"}, {"Edit11", "Label20"}};
    for (const Case& c : cases) {
        TForm1 window;
        child<orv::ui::LimitedEdit>(&window, c.edit)->setValue("");
        MessageRecorder messages;
        EXPECT_FALSE(window.close());
        ASSERT_EQ(messages.shown.size(), 1u);
        const QString label = child<QLabel>(&window, c.label)->text();
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Поле «%1» не заполнено: "
                                                                     "допустимо целое число от 0 "
                                                                     "до 99.")
                                                          .arg(label)))
            << messages.shown[0].text.toStdString();
    }
}

TEST_F(MainWindowTest, ExitClosesThroughTheCloseHandler) {
    ASSERT_TRUE(showActive(&form));
    child<orv::ui::LimitedEdit>(&form, "Edit8")->setValue("x");
    MessageRecorder messages;
    child<QAction>(&form, "N6")->trigger();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(messages.shown.size(), 1u);
}

class AboutWindowTest : public MainWindowTest {
  protected:
    AboutWindowTest() { form.setAboutWindow(&about); }
    TForm2 about;
    QPlainTextEdit* text = child<QPlainTextEdit>(&about, "Memo1");
};

TEST_F(AboutWindowTest, CaptionSizeAndText) {
    EXPECT_EQ(about.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(about.size(), QSize(306, 132));
    EXPECT_TRUE(about.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(text->isReadOnly());
    const QStringList lines = text->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("Программа программирования GSM-ТАРКА Орвелин-9."));
    EXPECT_EQ(lines[1], QStringLiteral("Версия программы 1.0.7 от 1.11.12."));
}

TEST_F(AboutWindowTest, F3InTheTextRevealsTheTerminalForGood) {
    tabs->setCurrentWidget(child<QWidget>(&form, "TabSheet5"));
    key(text, Qt::Key_F3, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_TRUE(form.terminalRevealed());
    EXPECT_EQ(visibleTabs(tabs),
              (QStringList{"Входящие вызовы", "Исходящие вызовы", "Сервисные настройки",
                           "Дальворн-терминал", "Сервис SMS"}));
    EXPECT_EQ(tabs->currentWidget()->objectName(), "TabSheet5");
    key(text, Qt::Key_F3);
    about.close();
    about.showAbout();
    EXPECT_TRUE(form.terminalRevealed());
}

TEST_F(AboutWindowTest, F3InTheMainWindowDoesNothing) {
    ASSERT_TRUE(showActive(&form));
    key(QApplication::focusWidget() ? QApplication::focusWidget() : &form, Qt::Key_F3);
    key(tabs, Qt::Key_F3);
    EXPECT_FALSE(form.terminalRevealed());
}

TEST_F(AboutWindowTest, MenuShowsTheAboutWindow) {
    child<QAction>(&form, "N10")->trigger();
    EXPECT_TRUE(about.isVisible());
    child<QAction>(&form, "N10")->trigger();
    EXPECT_TRUE(about.isVisible());
}

TEST(ProgressWindowTest, StartsEmptyAndClampsItsPosition) {
    TForm4 progress;
    EXPECT_EQ(progress.caption(), QStringLiteral("Запись программирования"));
    EXPECT_EQ(progress.size(), QSize(500, 33));
    EXPECT_FALSE(progress.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(progress.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(progress.minimum(), 0);
    EXPECT_EQ(progress.maximum(), 1);
    EXPECT_EQ(progress.position(), 0);

    progress.setMaximum(100);
    progress.setPosition(42);
    EXPECT_EQ(progress.position(), 42);
    progress.setPosition(150);
    EXPECT_EQ(progress.position(), 100);
    progress.setPosition(progress.position() + 1);
    EXPECT_EQ(progress.position(), 100);

    progress.setCaption(QStringLiteral("Чтение программирования"));
    progress.show();
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.windowTitle(), QStringLiteral("Чтение программирования"));
    EXPECT_EQ(child<QProgressBar>(&progress, "ProgressBar1")->size(), progress.size());
    progress.close();
    EXPECT_FALSE(progress.isVisible());
    progress.show();
    EXPECT_TRUE(progress.isVisible());
}

class ActivationTrackerTest : public ::testing::Test {
  protected:
    ActivationTrackerTest() {
        // Only the changes the test makes count, not those of the offscreen platform.
        QObject::disconnect(qApp, nullptr, &tracker, nullptr);
        other.setWindowFlag(Qt::Window);
        popup.setWindowFlags(Qt::Popup);
        for (QWidget* w : {&main, &other, &popup}) {
            w->winId();
        }
    }
    QWindow* handle(QWidget& w) { return w.windowHandle(); }

    QWidget main;
    QWidget other;
    QWidget popup;
    orv::ui::ActivationTracker tracker{&main};
};

TEST_F(ActivationTrackerTest, FirstShowAndReturnsFromTheProgramsWindows) {
    EXPECT_TRUE(tracker.focusWindowChanged(handle(main)));
    EXPECT_FALSE(tracker.focusWindowChanged(handle(other)));
    EXPECT_TRUE(tracker.focusWindowChanged(handle(main)));
    // A window of the program that was closed while the focus was elsewhere.
    tracker.focusWindowChanged(handle(other));
    tracker.focusWindowChanged(nullptr);
    EXPECT_TRUE(tracker.focusWindowChanged(handle(main)));
}

TEST_F(ActivationTrackerTest, NotBackFromAnotherProgramNorFromAPopup) {
    tracker.focusWindowChanged(handle(main));
    EXPECT_FALSE(tracker.focusWindowChanged(nullptr));
    EXPECT_FALSE(tracker.focusWindowChanged(handle(main)));
    EXPECT_FALSE(tracker.focusWindowChanged(handle(popup)));
    EXPECT_FALSE(tracker.focusWindowChanged(handle(main)));
    // The about window still open, the user went to another program and then to the main
    // window.
    other.show();
    tracker.focusWindowChanged(handle(other));
    tracker.focusWindowChanged(nullptr);
    EXPECT_FALSE(tracker.focusWindowChanged(handle(main)));
}

TEST_F(ActivationTrackerTest, AMessageShownByTheActivationDoesNotActivateAgain) {
    int activations = 0;
    QObject::connect(&tracker, &orv::ui::ActivationTracker::activated, [&] {
        ++activations;
        tracker.focusWindowChanged(handle(other));  // the message box of this activation
    });
    tracker.focusWindowChanged(handle(main));
    QApplication::processEvents();
    EXPECT_EQ(activations, 1);
    EXPECT_FALSE(tracker.focusWindowChanged(handle(main)));
    // A later message, shown outside an activation, activates as usual.
    tracker.focusWindowChanged(handle(other));
    EXPECT_TRUE(tracker.focusWindowChanged(handle(main)));
}

}  // namespace
