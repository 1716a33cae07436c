#pragma once
// TForm1, the main window: the settings record in its controls and four phone tables, the menu
// commands, and the program's start-up and shutdown handlers.

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_form.h"
#include "app/operation_runner.h"
#include "link/port_settings.h"
#include "settings/comparison.h"
#include "settings/settings_record.h"
#include "sms/broadcast_report.h"
#include "sms/recipients.h"

class TForm2;
class TForm3;
class TForm4;

namespace orv {
class Link;
class PortList;
}  // namespace orv

namespace orv::ui {
class ActivationTracker;
class HistoryWindow;
class PortKeeper;
class SettingsHistory;
class StatusLine;
class Terminal;
class TerminalSession;
}  // namespace orv::ui

// The controls are the form's (main_window_form.h); the window connects them to its handlers.
class TForm1 : public QMainWindow, private orv::ui::MainForm {
    Q_OBJECT
  public:
    // Builds the window and runs its creation handler: the phone tables from their template,
    // then the working-state file when there is one. The program's set-up hands in the link
    // thread and the runner of device commands on it, which outlive the window; a window made
    // alone (as the window tests make it) makes its own.
    TForm1(orv::Link& link, orv::ui::OperationRunner& runner, QWidget* parent = nullptr);
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The settings record as the controls hold it. A grid edit still open is written into its
    // table first, and a new record in which nothing was typed is dropped.
    orv::SettingsRecord record();
    // Puts a settings record into the controls and the phone tables.
    void setRecord(const orv::SettingsRecord& record);
    // The labels, choice items and table captions the window shows the settings with.
    orv::WindowWords windowWords() const;

    // LoadFromFile into the window. A file that fails to load changes nothing: the window keeps
    // the settings it had, and the failure goes on to the caller.
    void loadFile(const std::string& path, const orv::Text& shownName);
    // "Открыть" of the file at `path`: one step of undo, the status bar's source `shownName`. A
    // file that is refused is told and changes nothing; false then.
    bool openConfiguration(const QString& path, const QString& shownName);
    // SaveData of the window's settings record.
    void saveFile(const std::string& path);

    // CreateTable: each phone table gets the template's content, one empty record.
    void createTable();

    // The settings as the controls show them, an edit in progress left as it is (an open cell
    // not written, a new record in which nothing was typed left out): what undo keeps.
    orv::SettingsRecord shownRecord() const;
    // The undo and redo of the settings, and the status bar.
    orv::ui::SettingsHistory& history() { return *history_; }
    orv::ui::StatusLine& statusLine() { return *status_; }
    // The window of "История операций…"; null until it was first shown.
    orv::ui::HistoryWindow* historyWindow() const { return historyWindow_; }

    // What a read programming that went through does with the record it read: the window takes
    // it as one step of undo, the status bar says whether the window changed, and it is the
    // device's last known contents, which the next write's record keeps.
    void takeReadBack(const orv::SettingsRecord& read);
    // "Создать": the defaults, one step of undo.
    void createDefaults();
    // The number lists written as a CSV file.
    void exportNumberListsTo(const std::string& path);
    // The number lists from a CSV file: a preview of what will be replaced and of each refused
    // row; nothing changes unless the user confirms (with refused rows, only when the user
    // takes the file without them). True when the window took the lists.
    bool importNumberListsFrom(const std::string& path, const orv::Text& shownName);
    // The window against a configuration file, with the report of the check against the device.
    void compareWithFile(const std::string& path, const orv::Text& shownName);

    // The close handler: saves the working state. False, after the failure has been shown, when
    // the window must stay open; the close after such a failure tries the save once more and
    // ends the program whether or not it succeeds, so that the program can always be closed.
    bool formClose();

    void setAboutWindow(TForm2* about);
    void setProgressWindow(TForm4* progress);
    TForm2* aboutWindow() const { return about_; }
    TForm4* progressWindow() const { return progress_; }
    // The port settings window, whose list the activation falls back on without a port file.
    void setPortSettingsWindow(TForm3* settings);
    // The system's serial ports as the activation and the watch for a vanished port see them.
    void setPortList(orv::PortList& ports);
    // Opens, reopens and watches for the serial port.
    orv::ui::PortKeeper& portKeeper() { return *portKeeper_; }

    // The first-activation, port-changed and port-open flags of the serial port.
    orv::PortFlags& portFlags() { return portFlags_; }

    bool terminalRevealed() const;

    // The link thread that owns the serial port: every device command runs on it as a job.
    orv::Link& link() { return *link_; }
    // Runs device commands on the link thread with the windows busy meanwhile.
    orv::ui::OperationRunner& runner() { return *runner_; }

    // The recipient list of the SMS broadcast and whether a recipient file was ever chosen.
    const orv::RecipientList& recipients() const { return recipients_; }
    bool recipientsLoaded() const { return recipientsLoaded_ != 0; }
    // What a confirmed choice in the recipient file dialog does: a new empty list, the loaded
    // flag set, then the file read into the list (a failure is shown; the list stays empty).
    void loadRecipients(const std::string& path);

    // A broadcast of the text `lines` to `recipients`: the question first, then the run, then
    // its report (showBroadcastReport).
    void broadcast(const std::vector<orv::Text>& lines, const orv::RecipientList& recipients);
    // The message at the end of a broadcast whose sending had begun: its text (of its kind),
    // with "Сохранить отчёт…", which saves the report as a file and shows the message again,
    // and, when some recipients were not reached, "Разослать повторно", which sends the same
    // text to those alone (after the same question). Nothing is shown for an empty text.
    void showBroadcastReport(const std::vector<orv::Text>& lines,
                             const orv::BroadcastReport& report, orv::MessageKind kind,
                             const orv::Text& text);

  public slots:
    // Shows the tab "Дальворн-терминал" for good; the selected page stays. The terminal's
    // session, with its journal, begins the first time.
    void revealTerminal();
    // Runs each time the window becomes the program's active window again: ends on the first tab.
    void onActivated();
    // A close that is not the user's (the session ends, the program is told to stop): message
    // boxes and dialogs open now are closed, a running operation is asked to stop as Escape
    // asks it and is waited for, then the window closes as its close box does and no line
    // goes to the device any more. What the operation ends with, and a save that fails, are
    // written to standard error; the program ends either way.
    void closeBySignal();

    void N4Click();   // "Открыть"
    void N5Click();   // "Сохранить"
    void N6Click();   // "Выход"
    void N10Click();  // "О программе..."

    // Device commands, filled in with the device link. Each device operation runs as a job on
    // the link thread while the windows take no input (device_commands.cpp).
    void N7Click();                 // "Записать программирование"
    void Sim1Click();               // "Очистка Sim-карты"
    void N2Click();                 // "Чтение программирования"
    void CompareWithDeviceClick();  // "Сверить с устройством"
    void N8Click();                 // "Настройки программирования"
    void N11Click();                // "Переход в режим передачи данных"
    void Button1Click();            // "Проверить"
    void Button2Click();            // "Разослать абонентам"
    void Button3Click();            // "Загрузить файл абонентов"

    // The commands on the settings as a whole, under the separator of "Файл"
    // (settings_commands.cpp).
    void NewSettingsClick();      // "Создать"
    void ExportNumbersClick();    // "Экспорт номеров в CSV…"
    void ImportNumbersClick();    // "Импорт номеров из CSV…"
    void CompareWithFileClick();  // "Сравнить с файлом…"
    // "История операций…": the records of the device operations, in a window beside this one
    // (dialogs/history_window.*), made when first asked for.
    void OperationHistoryClick();

    // The terminal's "Сохранить журнал…": asks where, then saves the session's journal there.
    void SaveTerminalJournalClick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The undo of the settings, the status bar, their keys and what they follow.
    void setUpHistory(bool workingStateLoaded);
    // A change the user made in a control: one step of undo (SettingsHistory::settle).
    void noteChange(const QString& what, int field = -1);
    // The source of the settings shown (for the status bar), the window as it is taken as it.
    void setSource(const QString& source);
    void showStatus();
    void showPortStatus();
    // A path asked for in a dialog of CSV files (empty when the user cancels).
    QString askCsvPath(bool save, const QString& title);

    // The link and the runner given, or made here when null.
    TForm1(orv::Link* link, orv::ui::OperationRunner* runner, QWidget* parent);
    // Connects the menu items and buttons to their handlers and watches the SMS text's keys.
    void connectForm();
    void formCreate();
    void keepUnloadedWorkingState();
    void selectUsKeyboardLayout();
    bool memo2KeyPress(QKeyEvent* key);
    // The terminal's key press: the character goes to the device, not into the text.
    bool memo1KeyPress(QKeyEvent* key);
    // Sends what the terminal typed, byte by byte, as key presses do.
    void sendTyped(const std::vector<unsigned char>& bytes);
    // The broadcast's planning, its question and its start (Button2Click).
    void planAndBroadcast();
    // The note a failed save at close adds to its message.
    static orv::Text closeRefusedNote(bool lastTry);
    // One step of the close, its failure shown in a box or written to standard error.
    bool runCloseStep(const std::function<void()>& step);
    // One step of closeBySignal; comes back until nothing runs and no dialog is open.
    void continueSignalClose();
    // The open port went away: the next activation opens it again.
    void portLost();
    // Closes the port on the link thread and returns once it is closed.
    void closePortAndWait();

    // The link and the runner of a window made alone. The runner is declared after the link so
    // that it goes first, releasing a job that waits on a message.
    std::unique_ptr<orv::Link> ownLink_;
    std::unique_ptr<orv::ui::OperationRunner> ownRunner_;
    orv::Link* link_ = nullptr;
    orv::ui::OperationRunner* runner_ = nullptr;
    QFileDialog* OpenDialog2 = nullptr;  // the recipient file, made when first needed
    // Asks where to save the broadcast's report and saves it there.
    void saveBroadcastReportAs(const orv::BroadcastReport& report);
    orv::RecipientList recipients_;
    unsigned char recipientsLoaded_ = 0;  // the recipient-list-loaded flag
    orv::ui::ActivationTracker* activation_ = nullptr;
    orv::PortFlags portFlags_;
    bool closeRefused_ = false;  // a close failed to save the working state
    orv::ui::PortKeeper* portKeeper_ = nullptr;
    bool closingBySignal_ = false;  // closeBySignal was asked
    bool inSignalClose_ = false;    // its close runs now
    std::unique_ptr<orv::ui::Terminal> terminal_;
    std::unique_ptr<orv::ui::TerminalSession> terminalSession_;
    TForm3* portSettings_ = nullptr;
    TForm2* about_ = nullptr;
    TForm4* progress_ = nullptr;
    orv::ui::SettingsHistory* history_ = nullptr;
    orv::ui::StatusLine* status_ = nullptr;
    orv::ui::HistoryWindow* historyWindow_ = nullptr;
    QString source_;                    // where the settings shown came from
    orv::SettingsRecord sourceRecord_;  // and what they were there
    // What the device held when a read, a check or a write last succeeded in this run; none
    // before.
    std::shared_ptr<const orv::SettingsRecord> deviceKnown_;
    bool workingStateLoaded_ = false;
    int fieldEdits_ = 0;  // edits of a field ended so far (by leaving it)
};
