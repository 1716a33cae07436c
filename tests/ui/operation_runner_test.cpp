// Device commands run on the link thread: the busy windows, the progress window fed from the
// job, messages told during a job, how a job's end is shown, the one wait for a link job, and
// the handlers' questions. The runner is tested on a link of its own with windows that stand in
// for the program's; the main window's handlers and the program's set-up come after.

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/dialogs/progress_window.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/operation_runner.h"
#include "app/program.h"
#include "app/text_bridge.h"
#include "app/widgets/sms_text_box.h"
#include "base/platform.h"
#include "link/clock.h"
#include "link/link.h"
#include "operations/programming.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "sms/broadcast_report.h"
#include "test_support.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::OperationRunner;

// Marks an event as coming from the window system, as a click on a window's close box does.
class QSpontaneKeyEvent {
  public:
    static void setSpontaneous(QEvent* event) { event->setSpontaneous(); }
};

namespace {

// The window system's close request, as the close box sends it.
bool closeBox(QWidget* window) {
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QApplication::sendEvent(window->windowHandle(), &close);
    return close.isAccepted();
}

bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

void click(QWidget* target) {
    const QPointF at = QPointF(target->rect().center());
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// The text of the failure a job ended with; empty when it ended normally.
QString failureText(std::exception_ptr error) {
    if (!error) {
        return QString();
    }
    try {
        std::rethrow_exception(error);
    } catch (const orv::Failure& failure) {
        return orv::ui::toQString(failure.text());
    } catch (...) {
        return QStringLiteral("(not a Failure)");
    }
}

// Stands in for the main window: a text box, a button that counts its presses and a menu
// command under F5 that asks a question, as the program's main window has them.
class StandInWindow : public QWidget {
  public:
    StandInWindow() {
        auto* layout = new QVBoxLayout(this);
        memo = new QPlainTextEdit(this);
        layout->addWidget(memo);
        button = new QPushButton(QStringLiteral("Проверить"), this);
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this] { ++checks; });
        f5 = new QAction(this);
        f5->setShortcut(QKeySequence(Qt::Key_F5));
        addAction(f5);
        QObject::connect(f5, &QAction::triggered, [this] {
            orv::ui::showMessage(this, QMessageBox::Warning, QStringLiteral("Продолжить?"),
                                 QMessageBox::Yes | QMessageBox::No);
        });
        resize(300, 200);
    }
    QPlainTextEdit* memo;
    QPushButton* button;
    QAction* f5;
    int checks = 0;
};

// A dialog with one button that counts its presses.
struct CountingDialog {
    CountingDialog() {
        new QVBoxLayout(&dialog);
        dialog.layout()->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this] { ++presses; });
    }
    QDialog dialog;
    QPushButton* button = new QPushButton(QStringLiteral("OK"), &dialog);
    int presses = 0;
};

// The runner with a link of its own and stand-in windows: no main window of the program.
class OperationRunnerTest : public ::testing::Test {
  protected:
    OperationRunnerTest() {
        runner.setMainWindow(&window);
        runner.setProgressWindow(&progress);
        QObject::connect(&runner, &OperationRunner::busyChanged,
                         [this](bool busy) { busyChanges += busy ? 1 : 0; });
    }
    ~OperationRunnerTest() override {
        EXPECT_TRUE(waitUntil([&] { return !runner.busy(); }));
    }

    // Runs the operation and waits until it has ended and its outcome has been shown.
    void runToEnd(OperationRunner::Operation operation) {
        runner.runOperation(std::move(operation));
        ASSERT_TRUE(waitUntil([&] { return !runner.busy(); }));
    }

    // Starts a job that holds the link, busy, until `released` is set.
    void holdLink() {
        runner.run([this](orv::LinkContext& ctx) {
            while (!released) {
                ctx.clock().sleep(5);
            }
        });
        ASSERT_TRUE(runner.busy());
    }

    ScopedWorkDir dir;
    orv::Link link{std::make_unique<orv::SystemClock>()};
    OperationRunner runner{link};
    StandInWindow window;
    TForm4 progress{&window};
    int busyChanges = 0;
    std::atomic<bool> released{false};
};

TEST_F(OperationRunnerTest, BusyWindowsTakeNoInputWhileTheProgressMoves) {
    ASSERT_TRUE(showActive(&window));
    MessageRecorder messages;
    std::atomic<bool> release{false};
    runner.runOperation([&](orv::OperationContext& ctx) {
        ctx.user.setCaption(orv::cp1251::fromUtf8("Стирание Sim-карты"));
        ctx.user.showProgress();
        ctx.user.setRange(0, 10);
        for (int p = 1; p <= 3; ++p) {
            ctx.user.setPosition(p);
        }
        while (!release) {
            ctx.clock.sleep(5);
        }
        ctx.user.setPosition(7);
    });
    ASSERT_TRUE(waitUntil([&] { return progress.position() == 3; }));
    EXPECT_TRUE(runner.busy());
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.caption(), QStringLiteral("Стирание Sim-карты"));
    EXPECT_EQ(progress.maximum(), 10);

    key(window.memo, Qt::Key_X, Qt::NoModifier, "x");
    click(window.button);
    QShortcutEvent f5(QKeySequence(Qt::Key_F5), 0);
    QApplication::sendEvent(window.f5, &f5);
    EXPECT_FALSE(closeBox(&window));
    QApplication::processEvents();
    EXPECT_EQ(window.memo->toPlainText(), QString());
    EXPECT_EQ(window.checks, 0);
    EXPECT_TRUE(messages.shown.empty()) << "the F5 question was asked";
    EXPECT_TRUE(window.isVisible());

    int paints = 0;
    struct PaintCounter : QObject {
        int& n;
        explicit PaintCounter(int& count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    window.installEventFilter(&counter);
    window.update();
    waitUntil([&] { return paints > 0; }, 1000);
    window.removeEventFilter(&counter);
    EXPECT_GT(paints, 0) << "the busy window is still drawn";

    release = true;
    ASSERT_TRUE(waitUntil([&] { return !runner.busy(); }));
    EXPECT_EQ(progress.position(), 7);
    // Input reaches the windows again.
    key(window.memo, Qt::Key_X, Qt::NoModifier, "x");
    EXPECT_EQ(window.memo->toPlainText(), QStringLiteral("x"));
    click(window.button);
    EXPECT_EQ(window.checks, 1);
}

// A program window takes no input while a job runs even as the modal window of the moment;
// any other modal window (a job's message box) does.
TEST_F(OperationRunnerTest, OnlyTheProgramsOwnModalWindowsAreBusy) {
    CountingDialog own;
    CountingDialog other;
    runner.addProgramWindow(&own.dialog);
    holdLink();
    for (CountingDialog* d : {&own, &other}) {
        d->dialog.setWindowModality(Qt::ApplicationModal);
        d->dialog.show();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == &d->dialog; }));
        click(d->button);
        d->dialog.hide();
    }
    EXPECT_EQ(own.presses, 0);
    EXPECT_EQ(other.presses, 1);
    released = true;
}

TEST_F(OperationRunnerTest, TheJobClosesTheProgressWindowItShowed) {
    runToEnd([](orv::OperationContext& ctx) {
        ctx.user.showProgress();
        ctx.user.setRange(0, 100);
        ctx.user.setPosition(100);
        ctx.user.setCaption("x");
        ctx.user.closeProgress();
    });
    EXPECT_EQ(progress.position(), 100);
    EXPECT_FALSE(progress.isVisible());
}

TEST_F(OperationRunnerTest, AJobsMessageBoxTakesInputAndTheJobGoesOnWhenItIsClosed) {
    std::vector<ShownMessage> shown;
    const auto previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
        shown.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons()});
        // The user presses the box's button with the mouse while the job waits.
        QTimer::singleShot(50, &box, [&box] {
            click(box.buttons().isEmpty() ? nullptr : box.buttons().constFirst());
        });
        return box.exec();
    });
    std::atomic<bool> after{false};
    runner.runOperation([&](orv::OperationContext& ctx) {
        ctx.user.tell(orv::MessageKind::Information, orv::cp1251::fromUtf8("Переход выполнен"),
                      orv::MessageButtons::Yes);
        after = true;
    });
    EXPECT_TRUE(waitUntil([&] { return !runner.busy(); }));
    orv::ui::setMessageBoxHook(previous);
    EXPECT_TRUE(after);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Переход выполнен"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Yes));
}

TEST_F(OperationRunnerTest, HowAJobEndedIsShownAfterItsFinish) {
    MessageRecorder messages;
    std::size_t shownAtFinish = 99;
    runner.runOperation(
        [](orv::OperationContext&) {
            throw orv::Failure(orv::MessageKind::Warning, orv::cp1251::fromUtf8("Ошибка № 1"));
        },
        [&](std::exception_ptr error) {
            EXPECT_TRUE(error);
            shownAtFinish = messages.shown.size();
        });
    ASSERT_TRUE(waitUntil([&] { return messages.shown.size() == 1; }));
    EXPECT_EQ(shownAtFinish, 0u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Ошибка № 1"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Warning);

    runner.runOperation([](orv::OperationContext&) { throw orv::SilentAbort(); });
    runner.runOperation([](orv::OperationContext&) { throw std::logic_error("not built yet"); });
    ASSERT_TRUE(waitUntil([&] { return messages.shown.size() == 2 && !runner.busy(); }));
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("Непредвиденная ошибка: not built yet"));
    EXPECT_EQ(messages.shown[1].icon, QMessageBox::Critical);
}

TEST_F(OperationRunnerTest, TheJobSeesThePortOfTheLinkAndTheStartFolder) {
    std::string workDir;
    bool portOpen = true;
    runToEnd([&](orv::OperationContext& ctx) {
        workDir = ctx.workDir;
        portOpen = ctx.port.isOpen();
        ctx.reader.stopReader();
        ctx.reader.startReader();
    });
    EXPECT_EQ(QString::fromStdString(workDir), QDir::currentPath());
    EXPECT_FALSE(portOpen);
    EXPECT_EQ(busyChanges, 1);
}

// With a transcript file named, each operation's exchange goes to it, the next one replacing it.
TEST_F(OperationRunnerTest, EachOperationWritesItsTranscriptWhenOneIsNamed) {
    const std::string path = QDir::temp().filePath("orv-runner-transcript.txt").toStdString();
    runner.setTranscriptFile(path);
    for (const char* line : {"OK\r", "ATR2301\r"}) {
        runToEnd([line](orv::OperationContext& ctx) {
            for (const char* c = line; *c; ++c) {
                ctx.port.writeByte(static_cast<std::uint8_t>(*c));
            }
            ctx.port.setDtr();
        });
    }
    const std::string text = orv::test::readFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(text.rfind("orvelin9 transcript 1\n", 0), 0u) << text;
    EXPECT_EQ(text.find(" > K\n"), std::string::npos) << text;  // the first run's is gone
    EXPECT_NE(text.find(" > 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" > \\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" dtr\n"), std::string::npos) << text;
}

// With a history set, each recorded operation leaves its folder: the transcript, "1.txt" when
// it writes one, the configuration and how it ended; one that is not named leaves none.
TEST_F(OperationRunnerTest, RecordedOperationsLeaveTheirRecords) {
    orv::test::TempDir data;
    runner.setHistoryFolder(data.dir(), "1.0.7");
    const auto settings = std::make_shared<const orv::SettingsRecord>(orv::test::sampleRecord());
    const struct {
        orv::ui::RecordedAs recorded;
        bool fails;
        std::vector<std::string> files;
        const char* outcome;
    } cases[] = {
        {{"write", settings, nullptr, true},
         false,
         {"1.txt", "label.txt", "outcome.txt", "record.cfg", "transcript.txt"},
         "status 0\nmessage \nfigure seconds "},
        {{"clir", nullptr, nullptr, false},
         true,
         {"label.txt", "outcome.txt", "transcript.txt"},
         "status 5\n"},
        {{}, false, {}, nullptr},
    };
    std::vector<QString> ended;
    QObject::connect(&runner, &OperationRunner::operationEnded,
                     [&](const QString& line) { ended.push_back(line); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recorded.operation);
        std::filesystem::remove_all(data.path("history"));
        const bool fails = c.fails;
        runner.runOperation(
            [fails](orv::OperationContext& ctx) {
                orv::test::writeFile(ctx.file("1.txt"), "ATR8001\r\n");
                ctx.port.writeByte('A');
                if (fails) {
                    throw orv::SilentAbort();  // ends without a box to close
                }
            },
            {}, c.recorded);
        ASSERT_TRUE(waitUntil([&] { return !runner.busy(); }));
        std::vector<std::string> records;
        orv::platform::listDirectory(data.path("history"), records);
        records.erase(std::remove(records.begin(), records.end(), ".lock"), records.end());
        if (!c.outcome) {
            EXPECT_TRUE(records.empty());
            continue;
        }
        ASSERT_EQ(records.size(), 1u);
        const std::string folder = data.path("history/" + records[0]);
        std::vector<std::string> files;
        orv::platform::listDirectory(folder, files);
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.files);
        EXPECT_NE(orv::test::readFile(folder + "/transcript.txt").find(" > A\n"),
                  std::string::npos);
        EXPECT_NE(orv::test::readFile(folder + "/outcome.txt").find(c.outcome), std::string::npos);
    }
    // A history that could be written says nothing in the line that ends the operation.
    EXPECT_EQ(ended.front(), QStringLiteral("Выполнено"));
}

// The only record in the data folder's history, its folder; empty when there is none or more.
std::string onlyRecord(const std::string& dataFolder) {
    std::vector<std::string> records;
    orv::platform::listDirectory(dataFolder + "/history", records);
    records.erase(std::remove(records.begin(), records.end(), ".lock"), records.end());
    return records.size() == 1 ? dataFolder + "/history/" + records[0] : std::string();
}

// A record's outcome says how the operation ended as the command line says it: its exit status,
// the message (a failure's, else the last one told), the lines sent and what the operation's own
// result adds; a write's record keeps the records from before beside it.
TEST_F(OperationRunnerTest, ARecordsOutcomeIsTheCommandLinesStatusWithItsFigures) {
    MessageRecorder messages;
    const auto before = std::make_shared<const orv::SettingsRecord>(orv::test::sampleRecord());
    orv::ui::RecordedAs check("check", nullptr, nullptr, false);
    check.summarize = [](orv::RunSummary& summary, const orv::Port&) {
        summary.differences = 2;
        summary.status = orv::ExitStatus::Differs;
    };
    orv::ui::RecordedAs write("write", before, nullptr, false);
    write.windowBefore = before;
    write.deviceBefore = before;
    const struct {
        orv::ui::RecordedAs recorded;
        std::function<void(orv::OperationContext&)> run;
        std::vector<const char*> lines;
        std::vector<const char*> files;
    } cases[] = {
        {check,
         [](orv::OperationContext& ctx) {
             for (char byte : std::string("AT\rAT\r")) {
                 ctx.port.writeByte(static_cast<std::uint8_t>(byte));
             }
         },
         {"status 4\n", "figure lines_sent 2\n", "figure differences 2\n"},
         {}},
        {{"clir", nullptr, nullptr, false},
         [](orv::OperationContext& ctx) {
             ctx.user.tell(orv::MessageKind::Information, orv::cp1251::fromUtf8("Услуга есть"),
                           orv::MessageButtons::Ok);
         },
         {"status 0\n", "message Услуга есть\n", "figure lines_sent 0\n"},
         {}},
        {{"read", nullptr, nullptr, false},
         [](orv::OperationContext&) {
             throw orv::Failure(orv::MessageKind::Warning, "not saved", orv::Outcome::NotSaved);
         },
         {"status 8\n", "message not saved\n"},
         {}},
        // The device seemed absent on a port that was never open: no port, as the command
        // line says when it cannot open one.
        {{"clear-sim", nullptr, nullptr, false},
         [](orv::OperationContext&) {
             throw orv::Failure(orv::MessageKind::Error, "absent", orv::Outcome::DeviceTrouble);
         },
         {"status 2\n", "message absent\n"},
         {}},
        {write,
         [](orv::OperationContext&) { throw orv::Stopped("stopped"); },
         {"status 5\n", "message stopped\n"},
         {"device-before.cfg", "record.cfg", "window-before.cfg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recorded.operation);
        orv::test::TempDir data;
        runner.setHistoryFolder(data.dir(), "1.0.7");
        runner.runOperation(c.run, {}, c.recorded);
        ASSERT_TRUE(waitUntil([&] { return !runner.busy(); }));
        const std::string folder = onlyRecord(data.dir());
        ASSERT_FALSE(folder.empty());
        const std::string outcome = orv::test::readFile(folder + "/outcome.txt");
        for (const char* line : c.lines) {
            EXPECT_NE(outcome.find(line), std::string::npos) << line << " in\n" << outcome;
        }
        for (const char* file : c.files) {
            orv::SettingsRecord kept;
            orv::LoadFromFile(folder + "/" + file, kept);
            EXPECT_TRUE(kept == *before) << file;
        }
    }
}

// A history that cannot be written is told once, in the line that ends the operation, and the
// operations run on.
TEST_F(OperationRunnerTest, AHistoryThatCannotBeWrittenIsToldOnce) {
    orv::test::TempDir data;
    orv::test::writeFile(data.path("history"), "not a folder");
    runner.setHistoryFolder(data.dir(), "1.0.7");
    std::vector<QString> ended;
    QObject::connect(&runner, &OperationRunner::operationEnded,
                     [&](const QString& line) { ended.push_back(line); });
    int ran = 0;
    for (int i = 0; i < 2; ++i) {
        runner.runOperation([&ran](orv::OperationContext&) { ++ran; }, {},
                            {"clir", nullptr, nullptr, false});
        ASSERT_TRUE(waitUntil([&] { return !runner.busy(); }));
    }
    EXPECT_EQ(ran, 2);
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_TRUE(
        ended[0].startsWith(QStringLiteral("Выполнено (История операций не записывается: ")))
        << ended[0].toStdString();
    EXPECT_EQ(ended[1], QStringLiteral("Выполнено"));
}

// The runner's wait for a link job: how it ended, with the windows busy and events handled
// meanwhile.
TEST_F(OperationRunnerTest, RunAndWaitReturnsHowTheJobEnded) {
    bool busyMeanwhile = false;
    QTimer::singleShot(0, &window, [&] { busyMeanwhile = runner.busy(); });
    EXPECT_FALSE(runner.runAndWait([](orv::LinkContext& ctx) { ctx.clock().sleep(50); }));
    EXPECT_TRUE(busyMeanwhile);
    EXPECT_FALSE(runner.busy());
    EXPECT_EQ(failureText(runner.runAndWait([](orv::LinkContext&) {
                  throw orv::Failure(orv::MessageKind::Error, "no port");
              })),
              QStringLiteral("no port"));
    EXPECT_EQ(busyChanges, 2);
}

// The one wait for a link job, as the close uses it: the thread blocks, handling no events,
// and with a bound returns no later than that while the job runs on.
TEST_F(OperationRunnerTest, ABlockingWaitHandlesNoEventsAndKeepsItsBound) {
    bool handled = false;
    QTimer::singleShot(0, &window, [&] { handled = true; });
    EXPECT_EQ(failureText(link.await(
                  [](orv::LinkContext& ctx) {
                      ctx.clock().sleep(50);
                      throw orv::Failure(orv::MessageKind::Error, "closed");
                  },
                  orv::Link::WhileWaiting::Block)),
              QStringLiteral("closed"));
    EXPECT_FALSE(handled);
    EXPECT_EQ(busyChanges, 0);

    for (auto meanwhile : {orv::Link::WhileWaiting::Block, orv::Link::WhileWaiting::HandleEvents}) {
        std::atomic<bool> ended{false};
        QElapsedTimer waited;
        waited.start();
        EXPECT_FALSE(link.await(
            [&](orv::LinkContext& ctx) {
                while (!released) {
                    ctx.clock().sleep(5);
                }
                ended = true;
                throw orv::SilentAbort();
            },
            meanwhile, 100));
        EXPECT_GE(waited.elapsed(), 100);
        EXPECT_LT(waited.elapsed(), 2000);
        EXPECT_FALSE(ended) << "the job outlasted its bound";
        released = true;
        ASSERT_TRUE(waitUntil([&] { return bool(ended); }));
        released = false;
    }
}

// Without a main window or a progress window the runner still runs operations: their progress
// goes nowhere and their messages are shown without a parent.
TEST(OperationRunnerAlone, RunsOperationsWithoutAnyWindow) {
    orv::Link link(std::make_unique<orv::SystemClock>());
    OperationRunner runner(link);
    MessageRecorder messages;
    runner.runOperation([](orv::OperationContext& ctx) {
        ctx.user.showProgress();
        ctx.user.setPosition(3);
        ctx.user.tell(orv::MessageKind::Information, "told");
        throw orv::Failure(orv::MessageKind::Error, "failed");
    });
    ASSERT_TRUE(waitUntil([&] { return !runner.busy(); }));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("told"));
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("failed"));
}

// The main window's handlers, on the runner the window made for itself.
class MainWindowCommandsTest : public ::testing::Test {
  protected:
    MainWindowCommandsTest() {
        form.setProgressWindow(&progress);
        QObject::connect(&form.runner(), &OperationRunner::busyChanged,
                         [this](bool busy) { busyChanges += busy ? 1 : 0; });
    }
    ~MainWindowCommandsTest() override {
        EXPECT_TRUE(waitUntil([&] { return !form.runner().busy(); }));
    }

    // Nothing ran on the link and no "1.txt" was written.
    void expectNothingRan() {
        processEventsFor(50);
        EXPECT_EQ(busyChanges, 0);
        EXPECT_FALSE(QFile::exists(dir.path("1.txt")));
    }

    ScopedWorkDir dir;
    TForm1 form;
    TForm4 progress{&form};
    int busyChanges = 0;
};

// Every message shown has this icon and these buttons.
void expectAllShownAs(const MessageRecorder& messages, QMessageBox::Icon icon,
                      QMessageBox::StandardButtons buttons) {
    for (const ShownMessage& m : messages.shown) {
        EXPECT_EQ(m.icon, icon);
        EXPECT_EQ(m.buttons, buttons);
    }
}

TEST_F(MainWindowCommandsTest, NoToTheQuestionsRunsNothing) {
    MessageRecorder messages(QMessageBox::No);
    form.N7Click();
    form.Sim1Click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("При программировании данные в Sim-карте будут запорчены. "
                             "Продолжить?"));
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("Вы уверены что хотите стереть все записи из Sim-карты?"));
    expectAllShownAs(messages, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No);
    expectNothingRan();
    EXPECT_FALSE(progress.isVisible());
}

// A record the device could not hold (a value the program put in, such as a read-back or an
// old file gave) is refused before the question, and nothing runs.
TEST_F(MainWindowCommandsTest, WriteRefusesARecordItCannotEncodeBeforeTheQuestion) {
    orv::SettingsRecord r = form.record();
    r.numberLength = "1x";
    form.setRecord(r);
    MessageRecorder messages(QMessageBox::Yes);
    form.N7Click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("'1x' is not a valid integer value"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    expectNothingRan();
}

// A broadcast with nobody to send to says so, and nothing runs.
TEST_F(MainWindowCommandsTest, BroadcastWithoutRecipientsSaysSoAndRunsNothing) {
    MessageRecorder messages(QMessageBox::Yes);
    form.Button2Click();
    std::ofstream(dir.path("names.txt").toStdString(), std::ios::binary) << "Ivan\r\n\r\n";
    form.loadRecipients(dir.path("names.txt").toStdString());
    form.Button2Click();
    expectNothingRan();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Файл абонентов не загружен. Загрузите его кнопкой «Загрузить файл "
                             "абонентов» и повторите рассылку."));
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("В списке абонентов нет ни одного номера. Сообщение не отправлено.\n\n"
                             "Строки без номера абонента:\nСтрока 1: Ivan\nСтрока 2: (пустая)"));
    expectAllShownAs(messages, QMessageBox::Warning, QMessageBox::Ok);
}

// Nothing is sent before the user has seen how many recipients get which text, and agreed.
TEST_F(MainWindowCommandsTest, BroadcastAsksFirstWithYesAsTheDefault) {
    std::ofstream(dir.path("list.txt").toStdString(), std::ios::binary)
        << "+79001234567 Ivan\r\n89001234567\r\nIvan\r\n";
    form.loadRecipients(dir.path("list.txt").toStdString());
    child<QPlainTextEdit>(&form, "Memo2")->setPlainText(QStringLiteral("Ёлка"));
    MessageRecorder messages(QMessageBox::No);
    form.Button2Click();
    expectNothingRan();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Разослать SMS-сообщение 2 абонентам?\n\nТекст: «Ёлка»\n\n"
                             "Номера: +79001234567, 89001234567\n\n"
                             "Строки без номера абонента (1) будут пропущены."));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(messages.shown[0].defaultButton, QMessageBox::Yes);
}

// The report at a broadcast's end offers to send the same text again to those it did not
// reach (refused, unconfirmed, never sent to), and only to them, after the same question; and
// it saves itself as a file, after which it is shown again.
TEST_F(MainWindowCommandsTest, BroadcastReportResendsToThoseNotReachedAlone) {
    orv::BroadcastReport report = orv::newBroadcastReport(
        {"+79001111111 Ivan", "+79002222222", "Ivan", "+79003333333", "+79004444444"});
    const orv::SendOutcome outcomes[] = {orv::SendOutcome::Confirmed, orv::SendOutcome::Refused,
                                         orv::SendOutcome::NotSent, orv::SendOutcome::Unconfirmed,
                                         orv::SendOutcome::NotSent};
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        report.rows[i].outcome = outcomes[i];
    }
    report.ending = orv::BroadcastEnding::Stopped;

    // Answers the save dialog with `name` once it shows.
    auto answerSaveDialog = [this](const QString& name) {
        auto* timer = new QTimer(&form);
        QObject::connect(timer, &QTimer::timeout, &form, [this, timer, name] {
            auto* dialog = form.findChild<QFileDialog*>("SaveReportDialog");
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            timer->deleteLater();
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        timer->start(20);
    };
    // The report: "Сохранить отчёт…" first, then "Разослать повторно"; No to the question.
    std::vector<ShownMessage> shown;
    std::vector<int> answers = {QMessageBox::Save, QMessageBox::Retry, QMessageBox::No};
    const orv::ui::MessageBoxHook previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
        shown.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons()});
        if (answers.front() == QMessageBox::Save) {
            EXPECT_EQ(box.button(QMessageBox::Save)->text(), QStringLiteral("Сохранить отчёт…"));
            EXPECT_EQ(box.button(QMessageBox::Retry)->text(), QStringLiteral("Разослать повторно"));
            answerSaveDialog(dir.path("report"));
        }
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    const orv::Text text = orv::broadcastReportText(report);
    form.showBroadcastReport({"Hi"}, report, orv::MessageKind::Information, text);
    orv::ui::setMessageBoxHook(previous);

    ASSERT_EQ(shown.size(), 3u);
    for (int i : {0, 1}) {
        EXPECT_EQ(shown[i].text, orv::ui::toQString(text));
        EXPECT_EQ(shown[i].buttons, QMessageBox::Ok | QMessageBox::Save | QMessageBox::Retry);
    }
    EXPECT_EQ(shown[2].text,
              QStringLiteral("Разослать SMS-сообщение 3 абонентам?\n\nТекст: «Hi»\n\nНомера: "
                             "+79002222222, +79003333333, +79004444444"));
    EXPECT_EQ(shown[2].icon, QMessageBox::Question);
    expectNothingRan();
    std::ifstream saved(dir.path("report.csv").toStdString(), std::ios::binary);
    std::ostringstream bytes;
    bytes << saved.rdbuf();
    EXPECT_EQ(bytes.str(), orv::broadcastReportCsv(report));

    // Everyone reached: nothing to resend, the report is only saved or closed.
    for (orv::RecipientRow& row : report.rows) {
        row.outcome = row.number.empty() ? row.outcome : orv::SendOutcome::Confirmed;
    }
    MessageRecorder messages;
    form.showBroadcastReport({"Hi"}, report, orv::MessageKind::Information,
                             orv::broadcastReportText(report));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Ok | QMessageBox::Save);
}

// A write's record keeps, beside what it writes, the window's record as it stood when it was
// last read, created or opened, and the device's contents once a read or a write of this run has
// gone through; without one there is no device-before.cfg.
TEST_F(MainWindowCommandsTest, AWritesRecordKeepsTheWindowAndTheDeviceAsTheyWereBefore) {
    orv::SettingsRecord device = orv::test::sampleRecord();
    device.password = "4321";
    orv::SettingsRecord edited = orv::test::shortRecord();
    const orv::SettingsRecord defaults;
    const struct {
        const char* name;
        std::function<void()> before;
        orv::SettingsRecord window;                   // window-before.cfg
        std::optional<orv::SettingsRecord> onDevice;  // device-before.cfg
    } cases[] = {
        {"nothing read", [] {}, defaults, std::nullopt},
        {"read, then the defaults",
         [&] {
             form.takeReadBack(device);
             form.createDefaults();
         },
         defaults, device},
        {"read", [&] { form.takeReadBack(device); }, device, device},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        orv::test::TempDir data;
        form.runner().setHistoryFolder(data.dir(), "1.0.7");
        c.before();
        form.setRecord(edited);
        MessageRecorder yes(QMessageBox::Yes);
        form.N7Click();
        ASSERT_TRUE(waitUntil([&] { return !form.runner().busy(); }));
        const std::string folder = onlyRecord(data.dir());
        ASSERT_FALSE(folder.empty());
        const auto kept = [&](const char* file) {
            orv::SettingsRecord record;
            orv::LoadFromFile(folder + "/" + file, record);
            return record;
        };
        EXPECT_TRUE(kept("record.cfg") == edited);
        EXPECT_TRUE(kept("window-before.cfg") == c.window);
        EXPECT_EQ(QFile::exists(QString::fromStdString(folder + "/device-before.cfg")),
                  c.onDevice.has_value());
        if (c.onDevice) {
            EXPECT_TRUE(kept("device-before.cfg") == *c.onDevice);
        }
    }
}

TEST_F(MainWindowCommandsTest, RecipientFileFromTheDialogReplacesTheList) {
    std::ofstream(dir.path("list.txt").toStdString(), std::ios::binary)
        << "+79001234567 Ivan\r\n\r\n8900";
    // Answers the dialog once it shows: the file typed into its name field, or Cancel.
    auto answerDialog = [this](bool accept) {
        auto* timer = new QTimer(&form);
        QObject::connect(timer, &QTimer::timeout, &form, [this, timer, accept] {
            auto* dialog = form.findChild<QFileDialog*>("OpenDialog2");
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            timer->deleteLater();
            EXPECT_TRUE(dialog->defaultSuffix().isEmpty());
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
            EXPECT_LE(dialog->nameFilters().size(), 1);
            if (accept) {
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                    ->setText(dir.path("list.txt"));
                QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
            }
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        timer->start(20);
    };
    answerDialog(false);
    form.Button3Click();
    EXPECT_FALSE(form.recipientsLoaded());

    answerDialog(true);
    form.Button3Click();
    EXPECT_TRUE(form.recipientsLoaded());
    EXPECT_EQ(form.recipients(), (orv::RecipientList{"+79001234567 Ivan", "", "8900"}));

    // A file that cannot be read: its error is shown, the list is new and empty, the flag stays.
    MessageRecorder messages;
    form.loadRecipients(dir.path("missing.txt").toStdString());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(messages.shown[0].text.contains("missing.txt"));
    EXPECT_TRUE(form.recipients().empty());
    EXPECT_TRUE(form.recipientsLoaded());
}

// The program's set-up makes the link and the runner and joins the windows to them: the main
// window's commands run on that runner, whose messages are shown over the main window and whose
// progress goes to the progress window; the about and port settings windows are busy with the
// rest.
TEST(ProgramSetUp, TheWindowsWorkWithTheLinkAndTheRunnerItMade) {
    ScopedWorkDir dir;
    orv::ui::ProgramWindows windows;
    EXPECT_EQ(&windows.form1.link(), &windows.link);
    EXPECT_EQ(&windows.form1.runner(), &windows.runner);
    EXPECT_EQ(windows.runner.progressWindow(), &windows.form4);
    std::atomic<bool> release{false};
    windows.runner.run([&release](orv::LinkContext& ctx) {
        while (!release) {
            ctx.clock().sleep(5);
        }
    });
    for (QWidget* window :
         {static_cast<QWidget*>(&windows.form2), static_cast<QWidget*>(&windows.form3)}) {
        window->setWindowModality(Qt::ApplicationModal);
        window->show();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeModalWidget() == window; }));
        EXPECT_FALSE(closeBox(window)) << window->objectName().toStdString();
        window->hide();
    }
    release = true;
    ASSERT_TRUE(waitUntil([&] { return !windows.runner.busy(); }));
}

TEST(ShownLines, WrappedLinesComeSeparatelyAndLineBreaksAreDropped) {
    QPlainTextEdit box;
    box.setFixedSize(305, 113);
    box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QString longLine = QString("слово ").repeated(20).trimmed();
    box.setPlainText("abc\n\n" + longLine);
    box.show();
    QApplication::processEvents();
    const QStringList lines = orv::ui::shownLines(box);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "abc");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines.mid(2).join(QString()), longLine);
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains('\n'));
    }
}

}  // namespace
