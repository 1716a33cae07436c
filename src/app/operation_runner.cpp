#include "app/operation_runner.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "app/dialogs/progress_window.h"
#include "app/messages.h"
#include "app/port_keeper.h"
#include "app/text_bridge.h"
#include "link/counting_port.h"
#include "link/link.h"
#include "link/queued_call.h"
#include "records/transcript.h"
#include "settings/config_file.h"

namespace orv::ui {
namespace {

// The events by which the user acts on a window. Paint, timer, show and hide events and the
// like pass, so the windows stay drawn while a job runs.
bool isUserInput(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

// The user's side of one job, called on the link thread. Progress goes to the progress window
// in the order it was reported; a message waits for its box to be closed. Everything is handed
// over through the link object, which outlives every job it runs.
class OperationRunner::User : public OperationUser {
  public:
    User(QPointer<OperationRunner> runner, std::shared_ptr<Gate> gate, Link& link)
        : runner_(std::move(runner)), gate_(std::move(gate)), link_(link) {}

    void setCaption(const Text& caption) override {
        progress([text = toQString(caption)](TForm4& window) { window.setCaption(text); });
    }
    void showProgress() override {
        progress([](TForm4& window) {
            window.setStopOffered(true);
            window.show();
        });
    }
    void closeProgress() override {
        progress([](TForm4& window) { window.hide(); });
    }
    void setRange(int minimum, int maximum) override {
        progress([minimum, maximum](TForm4& window) {
            window.setMinimum(minimum);
            window.setMaximum(maximum);
        });
    }
    void setPosition(int position) override {
        progress([position](TForm4& window) { window.setPosition(position); });
    }
    void setTimeLeft(Millis left, bool upperBound) override {
        progress([left, upperBound](TForm4& window) { window.setTimeLeft(left, upperBound); });
    }

    void tell(MessageKind kind, const Text& text, MessageButtons buttons) override {
        told = text;
        auto closed = std::make_shared<bool>(false);
        {
            std::lock_guard<std::mutex> lock(gate_->mutex);
            if (gate_->abandoned) {
                throw SilentAbort();
            }
        }
        callQueued(&link_,
                   [runner = runner_, gate = gate_, closed, kind, text = toQString(text), buttons] {
                       if (runner) {
                           runner->showTold(kind, text, buttons);
                       }
                       std::lock_guard<std::mutex> lock(gate->mutex);
                       *closed = true;
                       // Written inside Qt's event dispatch, where ThreadSanitizer does not
                       // always record the lock: the hand-over is marked as well.
                       ORV_HANDED_OVER(closed.get());
                       gate->answered.notify_all();
                   });
        std::unique_lock<std::mutex> lock(gate_->mutex);
        gate_->answered.wait(lock, [&] {
            ORV_TAKEN_OVER(closed.get());
            return *closed || gate_->abandoned;
        });
        if (!*closed) {
            throw SilentAbort();
        }
    }

    // The last message the operation told: the message of a run that ended without a failure.
    Text told;

  private:
    template <typename F>
    void progress(F change) {
        callQueued(&link_, [runner = runner_, change = std::move(change)] {
            if (runner && runner->progressWindow()) {
                change(*runner->progressWindow());
            }
        });
    }

    // Dereferenced on the user-interface thread only, where the runner lives.
    QPointer<OperationRunner> runner_;
    std::shared_ptr<Gate> gate_;
    Link& link_;
};

OperationRunner::OperationRunner(Link& link, QObject* parent)
    : QObject(parent),
      link_(link),
      workDir_(QDir::currentPath().toUtf8().toStdString()),
      gate_(std::make_shared<Gate>()) {}

OperationRunner::~OperationRunner() {
    {
        std::lock_guard<std::mutex> lock(gate_->mutex);
        gate_->abandoned = true;
    }
    gate_->answered.notify_all();
    if (running_ > 0) {
        qApp->removeEventFilter(this);
    }
}

void OperationRunner::setMainWindow(QWidget* window) {
    mainWindow_ = window;
}

void OperationRunner::setProgressWindow(TForm4* progress) {
    progress_ = progress;
    addProgramWindow(progress);
}

TForm4* OperationRunner::progressWindow() const {
    return progress_;
}

void OperationRunner::addProgramWindow(QWidget* window) {
    programWindows_.removeAll(nullptr);
    if (window && !programWindows_.contains(window)) {
        programWindows_.append(window);
    }
}

bool OperationRunner::isProgramWindow(const QWidget* window) const {
    return window &&
           (window == mainWindow_ || std::find(programWindows_.begin(), programWindows_.end(),
                                               window) != programWindows_.end());
}

void OperationRunner::run(Job job, Done done) {
    setBusy(true);
    QPointer<OperationRunner> self(this);
    link_.post(std::move(job), [self, done = std::move(done)](std::exception_ptr error) {
        if (!self) {
            return;
        }
        self->setBusy(false);
        if (done) {
            done(error);
        }
    });
}

std::exception_ptr OperationRunner::runAndWait(Job job) {
    setBusy(true);
    QPointer<OperationRunner> self(this);
    const std::exception_ptr error = link_.await(std::move(job), Link::WhileWaiting::HandleEvents);
    if (self) {
        setBusy(false);
    }
    return error;
}

void OperationRunner::setHistoryFolder(const std::string& dataFolder, const std::string& version) {
    historyDataFolder_ = dataFolder;
    history_ = std::make_shared<History>(
        dataFolder, [] { return std::time(nullptr); }, version);
}

void OperationRunner::setPortKeeper(PortKeeper* keeper) {
    portKeeper_ = keeper;
}

namespace {

// What a record keeps as the operation begins: the configuration it writes or checks, and
// beside a write what was there before.
void recordBeginning(const RecordedAs& recorded, HistoryRecord& record) {
    if (recorded.written) {
        record.saveConfiguration(*recorded.written);
    }
    if (recorded.windowBefore) {
        record.saveConfigurationAs(kWindowBeforeFile, *recorded.windowBefore);
    }
    if (recorded.deviceBefore) {
        record.saveConfigurationAs(kDeviceBeforeFile, *recorded.deviceBefore);
    }
}

// The operation over the port that counts its lines; how it ended goes into `summary` as the
// command line tells it. Its exception goes on.
void runSummarized(const OperationRunner::Operation& operation, OperationContext& outer,
                   const RecordedAs& recorded, RunSummary& summary) {
    CountingPort port(outer.port);
    OperationContext ctx{port, outer.clock, outer.reader, outer.user, outer.workDir, outer.stop};
    const Millis start = ctx.clock.now();
    // Where the command line would have found no port to open.
    const bool openAtStart = port.isOpen();
    auto figures = [&] {
        summary.seconds = static_cast<double>(ctx.clock.now() - start) / 1000.0;
        summary.linesSent = port.lines();
    };
    try {
        operation(ctx);
        if (recorded.summarize) {
            recorded.summarize(summary, port);
        }
    } catch (...) {
        Text message;
        summary.status = statusOfFailure(std::current_exception(), port, message);
        if (!openAtStart && summary.status == ExitStatus::LineLost) {
            summary.status = ExitStatus::PortUnavailable;
        }
        if (!message.empty() || summary.message.empty()) {
            summary.message = message;
        }
        figures();
        throw;
    }
    figures();
}

// The operation on the link thread, behind the transcripts asked for, with what its record
// keeps as it goes.
void runRecorded(const OperationRunner::Operation& operation, LinkContext& ctx, OperationUser& user,
                 const Text& told, const std::string& dir, const StopRequest* stop,
                 const std::string& transcriptFile, const RecordedAs& recorded,
                 HistoryRecord& record, RunSummary& summary) {
    std::optional<TranscriptPort> kept;
    if (record.ok()) {
        kept.emplace(ctx.port(), ctx.clock(), record.transcriptPath(), std::string());
    }
    Port& inner = kept ? static_cast<Port&>(*kept) : ctx.port();
    std::optional<TranscriptPort> transcript;
    if (!transcriptFile.empty()) {
        transcript.emplace(inner, ctx.clock(), transcriptFile, std::string());
    }
    Port& port = transcript ? static_cast<Port&>(*transcript) : inner;
    recordBeginning(recorded, record);
    // Characters the terminal left in the device's line buffer would run into the operation's
    // first command: that line is ended first, its answer discarded.
    ctx.typedLine().end(port, ctx.clock());
    OperationContext context{port, ctx.clock(), ctx, user, dir, stop};
    const std::string commandList =
        dir.empty() ? std::string(kCommandListFile) : dir + "/" + kCommandListFile;
    try {
        runSummarized(operation, context, recorded, summary);
    } catch (...) {
        if (recorded.commandList) {
            record.copyCommandList(commandList);
        }
        throw;
    }
    if (summary.message.empty()) {
        summary.message = told;
    }
    if (recorded.commandList) {
        record.copyCommandList(commandList);
    }
    if (recorded.read) {
        record.saveConfiguration(*recorded.read);
    }
}

}  // namespace

void OperationRunner::runOperation(Operation operation, Done finish, RecordedAs recorded) {
    Link& link = link_;
    auto stop = std::make_shared<StopRequest>();
    stop_ = stop;
    auto record = std::make_shared<HistoryRecord>();
    if (history_ && !recorded.operation.empty()) {
        *record = history_->begin(recorded.operation, std::string());
        if (portKeeper_ && portKeeper_->openName()) {
            const Text& port = *portKeeper_->openName();
            record->setPort(cp1251::toUtf8(port),
                            cp1251::toUtf8(stableNameOf(portKeeper_->portList().ports(), port)));
        }
    }
    auto summary = std::make_shared<RunSummary>();
    runningRecord_ = record->folder();
    // Both halves hold the history, which the record writes to, until the record is finished.
    run(
        [runner = QPointer<OperationRunner>(this), gate = gate_, &link, dir = workDir_, stop,
         transcriptFile = transcriptFile_, operation = std::move(operation),
         recorded = std::move(recorded), record, summary, history = history_](LinkContext& ctx) {
            User user(runner, gate, link);
            try {
                runRecorded(operation, ctx, user, user.told, dir, stop.get(), transcriptFile,
                            recorded, *record, *summary);
            } catch (...) {
                // Ended before the operation began (the line the terminal left open).
                if (summary->status == ExitStatus::Done) {
                    summary->status =
                        statusOfFailure(std::current_exception(), ctx.port(), summary->message);
                }
                throw;
            }
        },
        [this, stop, record, summary, history = history_,
         finish = std::move(finish)](std::exception_ptr error) {
            if (stop_ == stop) {
                stop_.reset();
            }
            if (runningRecord_ == record->folder()) {
                runningRecord_.clear();
            }
            closeStopQuestion();
            // A progress window that stays after a failure says nothing more.
            if (progressWindow()) {
                progressWindow()->clearStatus();
            }
            record->finish(historyOutcome(*summary));
            QString ended = outcomeLine(error);
            if (const std::string problem = history ? history->takeProblem() : std::string();
                !problem.empty()) {
                ended += QStringLiteral(" (") + QString::fromStdString(problem) + QLatin1Char(')');
            }
            emit operationEnded(ended);
            if (finish) {
                // What the window does with the result fails like a command: told, and the
                // program goes on.
                try {
                    finish(error);
                } catch (...) {
                    reportOutcome(std::current_exception());
                }
            }
            reportOutcome(error);
        });
}

QString OperationRunner::outcomeLine(std::exception_ptr error) {
    if (!error) {
        return QStringLiteral("Выполнено");
    }
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        return toQString(failure.text()).section(QLatin1Char('\n'), 0, 0).trimmed();
    } catch (const SilentAbort&) {
        return QStringLiteral("Прервано");
    } catch (...) {
        return QStringLiteral("Не выполнено");
    }
}

bool OperationRunner::requestStop() {
    if (!stop_) {
        return false;
    }
    stop_->request();
    closeStopQuestion();
    if (progressWindow()) {
        progressWindow()->setStopping();
    }
    return true;
}

void OperationRunner::askToStop() {
    // One question at a time, none over a message of the operation, none once asked.
    if (!stop_ || stop_->requested() || stopQuestion_ || QApplication::activeModalWidget()) {
        return;
    }
    const std::shared_ptr<StopRequest> stop = stop_;
    TForm4* progress = progressWindow();
    QMessageBox box(QMessageBox::Question, messageTitle(),
                    QStringLiteral("Остановить выполнение операции? Она будет остановлена "
                                   "после передачи текущей строки."),
                    QMessageBox::Yes | QMessageBox::No,
                    progress ? static_cast<QWidget*>(progress) : mainWindow_.data());
    box.setDefaultButton(QMessageBox::No);
    stopQuestion_ = &box;
    const int answer = execMessageBox(box);
    stopQuestion_ = nullptr;
    // The window system hands the focus back to the main window, which would cover the
    // progress window: it comes to the front again, where Escape reaches it.
    if (progress && progress->isVisible()) {
        progress->raise();
        progress->activateWindow();
    }
    // The operation may have ended meanwhile; a later one is not stopped by this answer.
    if (answer == QMessageBox::Yes && stop_ == stop) {
        requestStop();
    }
}

void OperationRunner::closeStopQuestion() {
    if (stopQuestion_) {
        stopQuestion_->done(QMessageBox::No);
    }
}

void OperationRunner::showOutcome(QWidget* parent, std::exception_ptr error) {
    if (!error) {
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        showFailure(parent, failure);
    } catch (const SilentAbort&) {
    } catch (...) {
        showMessage(parent, QMessageBox::Critical, unexpectedErrorText(std::current_exception()));
    }
}

void OperationRunner::reportOutcome(std::exception_ptr error) {
    if (!onStandardError_) {
        showOutcome(mainWindow_, error);
        return;
    }
    if (!error) {
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        writeToStandardError(toQString(failure.text()));
    } catch (const SilentAbort&) {
    } catch (...) {
        writeToStandardError(unexpectedErrorText(std::current_exception()));
    }
}

void OperationRunner::writeToStandardError(const QString& text) {
    const QByteArray line = "orvelin9: " + text.toUtf8() + "\n";
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

void OperationRunner::setBusy(bool on) {
    const bool was = busy();
    running_ += on ? 1 : -1;
    if (busy() == was) {
        return;
    }
    if (busy()) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
    emit busyChanged(busy());
}

bool OperationRunner::takesInput(QObject* receiver) const {
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget) {
        return false;  // a menu shortcut's action
    }
    // A message box the job shows is modal and takes the input meanwhile.
    QWidget* modal = QApplication::activeModalWidget();
    return modal && widget->window() == modal && !isProgramWindow(modal);
}

bool OperationRunner::eventFilter(QObject* watched, QEvent* event) {
    if (!busy() || !isUserInput(event)) {
        return false;
    }
    if (event->type() == QEvent::Close) {
        // Only the close requests of the window system (the close box) are refused: they reach
        // the widget as spontaneous events, the program's own closing does not.
        if (!event->spontaneous() || watched->isWindowType() || takesInput(watched)) {
            return false;
        }
        event->ignore();
        return true;
    }
    if (watched->isWindowType() || takesInput(watched)) {
        // A window hands its input on to its widgets, which are judged themselves.
        return false;
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && stop_ && progressWindow() &&
        progressWindow()->isVisible() && progressWindow()->stopOffered() &&
        !QApplication::activeModalWidget()) {
        // Asked once the key has been dealt with, not from inside the event's delivery.
        QMetaObject::invokeMethod(this, &OperationRunner::askToStop, Qt::QueuedConnection);
    }
    event->accept();
    return true;
}

void OperationRunner::showTold(MessageKind kind, const QString& text, MessageButtons buttons) {
    // The operation's own message takes the place of a stop question still open: no stop is
    // offered while a message of the operation is open.
    closeStopQuestion();
    if (onStandardError_) {
        writeToStandardError(text);
        return;
    }
    const QMessageBox::StandardButton button =
        buttons == MessageButtons::Yes ? QMessageBox::Yes : QMessageBox::Ok;
    showMessage(mainWindow_, iconFor(kind), text, button, button);
    if (onStandardError_) {
        // Closed by the program's close: its text is kept where the close reports.
        writeToStandardError(text);
    }
}

}  // namespace orv::ui
