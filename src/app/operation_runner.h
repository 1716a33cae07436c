#pragma once
// Runs device commands as jobs on the link thread while the windows stay drawn but take no input.
//
// While a job runs the program is busy: the main, about, port settings and progress windows get
// no mouse, key, wheel, shortcut or close request from the user, but they repaint, and the
// progress window moves as the job reports. A message box that the job shows (tell) is the one
// window that takes input then. The job's calls to the progress window and its messages are
// handed over to the user-interface thread; a message holds the job until the user closes it.
//
// A device operation can be stopped: Escape in a program window while the operation's progress
// window shows asks whether to stop (not while a message box is open), and Yes asks the
// operation to stop at its next line boundary, as requestStop() does.
//
// The runner knows the windows only as the program's set-up joins them to it: the main window
// its messages are shown over, the progress window, and the other program windows that take no
// input while a job runs. It works without any of them (the progress then goes nowhere and the
// messages have no parent).

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "operations/operation.h"
#include "records/history.h"
#include "records/run_outcome.h"
#include "settings/settings_record.h"

class TForm4;

namespace orv {
class Link;
class LinkContext;
}  // namespace orv

namespace orv::ui {

class PortKeeper;

// What a device operation's history record keeps besides its transcript, "1.txt" and outcome.
struct RecordedAs {
    RecordedAs() = default;
    RecordedAs(std::string operation, std::shared_ptr<const SettingsRecord> written,
               std::shared_ptr<const SettingsRecord> read, bool commandList)
        : operation(std::move(operation)),
          written(std::move(written)),
          read(std::move(read)),
          commandList(commandList) {}

    std::string operation;                          // the record's word; none when empty
    std::shared_ptr<const SettingsRecord> written;  // kept as the operation begins
    std::shared_ptr<const SettingsRecord> read;     // kept once the operation has succeeded
    bool commandList = false;                       // the operation writes "1.txt"
    // A write's record also keeps what was there before: the window's record as it stood when
    // it was last opened, read, created or saved, and the device's last known contents.
    std::shared_ptr<const SettingsRecord> windowBefore;
    std::shared_ptr<const SettingsRecord> deviceBefore;
    // What the operation's own result adds to how it ended (a check's differences, a
    // broadcast's recipients), on the link thread once it has ended without an exception.
    std::function<void(RunSummary&, const Port&)> summarize;
};

class OperationRunner : public QObject {
    Q_OBJECT
  public:
    using Job = std::function<void(LinkContext&)>;
    using Done = std::function<void(std::exception_ptr)>;
    using Operation = std::function<void(OperationContext&)>;

    // Runs the jobs on `link`, which outlives the runner. The folder of the program's fixed
    // files is the current directory now, at start-up.
    explicit OperationRunner(orv::Link& link, QObject* parent = nullptr);
    // Ends a message the job still waits on, as if it had been closed, so that the link thread
    // is not left waiting for a window that has gone.
    ~OperationRunner() override;

    // The window the messages are shown over; a program window.
    void setMainWindow(QWidget* window);
    // The window device operations show their progress in (TForm4); a program window.
    void setProgressWindow(TForm4* progress);
    TForm4* progressWindow() const;
    // One of the program's own windows: it takes no input while a job runs, even when it is
    // the modal window of the moment.
    void addProgramWindow(QWidget* window);

    // Runs `job` on the link thread with the windows busy. `done`, if given, runs afterwards on
    // this thread, once the busy state has ended, with the exception the job ended with.
    void run(Job job, Done done = {});

    // Runs `job` on the link thread with the windows busy and returns once it has ended, with
    // the exception it ended with; the windows are drawn meanwhile (Link::await).
    std::exception_ptr runAndWait(Job job);

    // Runs a device operation as a job, after ending the line the terminal left open in the
    // device's line buffer, if any. Afterwards `finish`, if given, runs with how the
    // operation ended; then a Failure is shown in a box of its kind, a SilentAbort shows
    // nothing, and any other exception is shown as an error.
    // With `recorded` named and a history set, the operation leaves its record there.
    void runOperation(Operation operation, Done finish = {}, RecordedAs recorded = {});

    // True while a job runs.
    bool busy() const { return running_ > 0; }

    // Asks the running device operation to stop at its next line boundary: it ends the line it
    // sends, closes its run and ends with its Stopped message (shown like any Failure). Any stop
    // question open is closed. False when no operation runs. The operation has ended when
    // busy() turns false.
    bool requestStop();
    // True while a device operation runs that a stop may be asked of.
    bool stoppable() const { return stop_ != nullptr; }

    // The program closes by a signal: no one may be at the windows. From now on what ends an
    // operation and every message an operation tells go to standard error (UTF-8) instead of a
    // box; a message of the operation open now goes there too once it is closed.
    void reportOnStandardError() { onStandardError_ = true; }
    bool reportingOnStandardError() const { return onStandardError_; }
    // Tells what ended a command or an operation: as showOutcome does, or on standard error once
    // reportOnStandardError() was asked.
    void reportOutcome(std::exception_ptr error);
    // Writes one message of the program to standard error as one line or more, in UTF-8.
    static void writeToStandardError(const QString& text);

    // The folder of "1.txt" and the other fixed files.
    const std::string& workDir() const { return workDir_; }
    void setWorkDir(const std::string& dir) { workDir_ = dir; }
    // The file each device operation writes its byte transcript to, replaced by the next one;
    // none when empty. An operation whose transcript cannot be written runs without it.
    const std::string& transcriptFile() const { return transcriptFile_; }
    void setTranscriptFile(const std::string& path) { transcriptFile_ = path; }
    // The data folder whose history the device operations write their records to; none until
    // set. A history that cannot be written is told once, in the line operationEnded gives.
    void setHistoryFolder(const std::string& dataFolder, const std::string& version);
    // That data folder; empty while none is set.
    const std::string& historyDataFolder() const { return historyDataFolder_; }
    // The record of the operation that runs now; empty when none runs or it has no record.
    const std::string& runningRecord() const { return runningRecord_; }
    // Where the records learn the port: the one open as an operation begins, with its stable
    // name when the system lists one.
    void setPortKeeper(PortKeeper* keeper);
    // The history the device operations write to; null until set.
    const std::shared_ptr<History>& history() const { return history_; }

    // Shows what ended an operation: a Failure in a box of its kind, nothing for a SilentAbort,
    // an error box for anything else.
    static void showOutcome(QWidget* parent, std::exception_ptr error);

    // How an operation ended, in one line for the status bar: "Выполнено", the first line of
    // its message, or "Прервано" when it ended without one.
    static QString outcomeLine(std::exception_ptr error);

  signals:
    void busyChanged(bool busy);
    // A device operation ended (before its own finish runs), told as outcomeLine says.
    void operationEnded(const QString& outcome);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class User;
    friend class User;

    void setBusy(bool on);
    bool takesInput(QObject* receiver) const;
    // On the user-interface thread: the message box of a tell.
    void showTold(MessageKind kind, const QString& text, MessageButtons buttons);
    // Escape was pressed in a program window: asks whether to stop the operation.
    void askToStop();
    void closeStopQuestion();

    bool isProgramWindow(const QWidget* window) const;

    orv::Link& link_;
    QPointer<QWidget> mainWindow_;
    QPointer<TForm4> progress_;
    QList<QPointer<QWidget>> programWindows_;
    std::string workDir_;
    std::string transcriptFile_;
    std::shared_ptr<History> history_;
    std::string historyDataFolder_;
    std::string runningRecord_;
    QPointer<PortKeeper> portKeeper_;
    int running_ = 0;
    bool onStandardError_ = false;

    // Where the link thread waits for a message box to be closed. Shared with the jobs, so
    // that a job still waiting when the runner goes is released.
    struct Gate {
        std::mutex mutex;
        std::condition_variable answered;
        bool abandoned = false;
    };
    std::shared_ptr<Gate> gate_;

    // The stop request of the device operation that runs, and the question open about it.
    std::shared_ptr<StopRequest> stop_;
    QPointer<QMessageBox> stopQuestion_;
};

}  // namespace orv::ui
