// The device link over the emulator's pseudo-terminal, in real time: the presence check, the
// terminal's echo, choosing the port, and the device pulled away mid-run.

#include <sys/resource.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>
#include <atomic>
#include <memory>

#include "../ui/ui_support.h"
#include "app/dialogs/port_settings_window.h"
#include "app/main_window.h"
#include "app/text_bridge.h"
#include "app/widgets/terminal.h"
#include "emulator_process.h"
#include "fake_port_list.h"
#include "link/link.h"
#include "link/presence.h"

using namespace orv::ui::test;

namespace {

// One run of the emulator program, its terminal linked into the test's folder under a name of
// its own (the serial port module locks ports by their file name).
class Emulator {
  public:
    explicit Emulator(const QString& folder) {
        static std::atomic<int> count{0};
        link_ = QStringLiteral("%1/port-%2-%3")
                    .arg(folder)
                    .arg(QCoreApplication::applicationPid())
                    .arg(++count);
    }

    bool start(const QStringList& options = {}) { return process_.start(link_, options); }
    void kill() { process_.kill(); }
    void stop() { process_.stop(); }
    const QString& link() const { return link_; }
    orv::Text port() const { return orv::ui::toText(link_); }

  private:
    QString link_;
    orv::test::EmulatorProcess process_;
};

// Runs a job on the link and waits for it; what it ended with.
std::exception_ptr runJob(orv::Link& link, orv::Link::Job job) {
    struct State {
        bool done = false;
        std::exception_ptr error;
    };
    auto state = std::make_shared<State>();
    link.post(std::move(job), [state](std::exception_ptr e) {
        state->error = e;
        state->done = true;
    });
    EXPECT_TRUE(waitFor([&] { return state->done; }, 20000)) << "the link job did not end";
    return state->error;
}

// The text of the Failure a job ended with, or "" when it went through.
QString failureText(std::exception_ptr error) {
    if (!error) {
        return {};
    }
    try {
        std::rethrow_exception(error);
    } catch (const orv::Failure& failure) {
        return orv::ui::toQString(failure.text());
    } catch (...) {
    }
    return QStringLiteral("(another error)");
}

QString presenceCheck(const QStringList& options) {
    ScopedWorkDir dir;
    Emulator emulator(dir.path(""));
    EXPECT_TRUE(emulator.start(options));
    orv::Link link(std::make_unique<orv::SystemClock>());
    return failureText(runJob(link, [port = emulator.port()](orv::LinkContext& ctx) {
        ctx.openPort(port);
        ctx.stopReader();
        orv::Connect(ctx.port(), ctx.clock());
        ctx.startReader();
    }));
}

TEST(PresenceCheckOverThePty, PassesWithTheDevice) {
    EXPECT_EQ(presenceCheck({}), "");
}

TEST(PresenceCheckOverThePty, NoReplyMeansNotConnected) {
    EXPECT_EQ(
        presenceCheck({"--mode", "absent"}),
        QStringLiteral("GSM-Тарк Орвелин-9 не подключен. Проверте правильность выбраного порта"));
}

TEST(PresenceCheckOverThePty, AWrongReplyMeansBusy) {
    EXPECT_EQ(
        presenceCheck({"--mode", "busy"}),
        QStringLiteral("GSM-Тарк Орвелин-9 в активном состоянии. Программирование не возможно"));
}

void writePortFile(const QString& name) {
    QFile file("Dalvorn Terminal.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(name.toUtf8() + "\r\n");
}

// The main window with its port settings window, started in a folder of its own.
class DeviceLinkE2E : public ::testing::Test {
  protected:
    ScopedWorkDir dir;
    Emulator emulator{dir.path("")};
    MessageRecorder messages;
    orv::test::FilePortList ports;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm3> settings;
    QPlainTextEdit* memo = nullptr;

    void startProgram() {
        form = std::make_unique<TForm1>();
        form->setPortList(ports);
        settings = std::make_unique<TForm3>(form->portFlags(), ports);
        form->setPortSettingsWindow(settings.get());
        form->revealTerminal();
        memo = child<QPlainTextEdit>(form.get(), "Memo1");
    }
    void TearDown() override {
        settings.reset();
        form.reset();
    }

    // Types into the terminal as a user does, a little apart, and waits for the echo.
    bool typedComesBack(const QString& text) {
        const QString before = memo->toPlainText();
        for (QChar c : text) {
            key(memo, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            processEventsFor(60);
        }
        return waitFor([&] { return memo->toPlainText() == before + text; }, 3000);
    }
};

TEST_F(DeviceLinkE2E, TypedCharactersComeBackAsTheDevicesEcho) {
    ASSERT_TRUE(emulator.start());
    writePortFile(emulator.link());
    startProgram();
    form->onActivated();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(form->portFlags().portOpen, 1);
    EXPECT_TRUE(typedComesBack("at+x"));
    EXPECT_EQ(memo->toPlainText(), "at+x");
    // Enter is CR, which the terminal shows as a line break.
    key(memo, Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_TRUE(waitFor([&] { return memo->toPlainText().startsWith("at+x\n"); }, 3000))
        << memo->toPlainText().toStdString();
}

TEST_F(DeviceLinkE2E, AMissingPortIsReportedAndTheRightOneChosenInTheSettingsOpens) {
    ASSERT_TRUE(emulator.start());
    writePortFile("no-such-port");
    startProgram();
    auto* tabs = child<QTabWidget>(form.get(), "PageControl1");
    tabs->setCurrentIndex(4);
    form->onActivated();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Порт no-such-port не найден. Подключите адаптер или выберите другой "
                             "порт в окне \"Настройки программирования\""));
    EXPECT_EQ(tabs->currentIndex(), 4);
    EXPECT_EQ(form->portFlags().portOpen, 0);
    // Told once: the next activation waits for the port instead of trying it again.
    form->onActivated();
    EXPECT_EQ(messages.shown.size(), 1u);

    form->N8Click();
    child<QComboBox>(settings.get(), "ComboBox1")->setEditText(emulator.link());
    QElapsedTimer took;
    took.start();
    form->onActivated();
    EXPECT_LT(took.elapsed(), 1500);  // never opened yet: no pause
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(form->portFlags().portOpen, 1);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(typedComesBack("z"));

    // A change after a successful opening closes the port and opens the new name 1.5 s later.
    Emulator second(dir.path(""));
    ASSERT_TRUE(second.start());
    form->N8Click();
    child<QComboBox>(settings.get(), "ComboBox1")->setEditText(second.link());
    took.restart();
    form->onActivated();
    EXPECT_GE(took.elapsed(), 1500);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(typedComesBack("y"));
}

// Lets the event loop wait for events, as the program does when idle.
void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(DeviceLinkE2E, TheDevicePulledAwayClosesThePortAndItIsOpenedAgainWhenItIsBack) {
    ASSERT_TRUE(emulator.start());
    writePortFile(emulator.link());
    startProgram();
    form->onActivated();
    ASSERT_EQ(form->portFlags().portOpen, 1);
    ASSERT_TRUE(typedComesBack("a"));
    child<QComboBox>(form.get(), "ComboBox9")->setCurrentIndex(1);

    emulator.kill();
    EXPECT_TRUE(waitFor([&] { return form->portFlags().portOpen == 0; }, 3000));
    // Nothing reads the dead line in a loop.
    const double before = cpuSeconds();
    idleFor(1000);
    EXPECT_LT(cpuSeconds() - before, 0.25);
    // A key typed meanwhile is lost without a message; the settings stay.
    key(memo, Qt::Key_B, Qt::NoModifier, "b");
    processEventsFor(100);
    EXPECT_EQ(memo->toPlainText(), "a");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(child<QComboBox>(form.get(), "ComboBox9")->currentIndex(), 1);

    // The port is not tried at activations while it is gone...
    form->onActivated();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(form->portFlags().portOpen, 0);
    // ...and opened by itself, without a message, once it is back.
    ASSERT_TRUE(emulator.start());
    EXPECT_TRUE(waitFor([&] { return form->portFlags().portOpen == 1; }, 3000));
    EXPECT_TRUE(messages.shown.empty());
    // The presence check works over the port opened again, and so does the terminal.
    EXPECT_EQ(failureText(runJob(form->link(),
                                 [](orv::LinkContext& ctx) {
                                     ctx.stopReader();
                                     orv::Connect(ctx.port(), ctx.clock());
                                     ctx.startReader();
                                 })),
              "");
    EXPECT_TRUE(typedComesBack("c"));
}

}  // namespace

// The reader-stop protocol on the link: while the flag is set nothing reaches the terminal,
// also after the job that set it has ended (an operation abandoned after its presence check);
// the next start discards what came meanwhile, and from then on the device is shown again.
TEST(ReaderStopProtocol, AStoppedReaderShowsNothingUntilTheNextStartWhichDiscardsTheBacklog) {
    ScopedWorkDir dir;
    Emulator emulator(dir.path(""));
    ASSERT_TRUE(emulator.start());
    orv::Link link(std::make_unique<orv::SystemClock>());
    QByteArray shown;
    QObject::connect(&link, &orv::Link::received, [&](const QByteArray& b) { shown += b; });
    ASSERT_EQ(runJob(link, [port = emulator.port()](orv::LinkContext& ctx) { ctx.openPort(port); }),
              nullptr);

    // A job that stops the reader and is abandoned: the flag stays set.
    const std::exception_ptr abandoned = runJob(link, [](orv::LinkContext& ctx) {
        ctx.stopReader();
        throw orv::SilentAbort();
    });
    EXPECT_NE(abandoned, nullptr);
    // The device talks (its echo of bytes written without the protocol): nothing is shown.
    runJob(link, [](orv::LinkContext& ctx) {
        for (char c : std::string("xyz")) {
            ctx.port().writeByte(static_cast<std::uint8_t>(c));
        }
    });
    processEventsFor(300);
    EXPECT_TRUE(shown.isEmpty()) << shown.toStdString();

    // The next start purges the backlog; what the device sends afterwards is shown.
    runJob(link, [](orv::LinkContext& ctx) {
        ctx.startReader();
        EXPECT_FALSE(ctx.readerStopped());
    });
    processEventsFor(100);
    EXPECT_TRUE(shown.isEmpty()) << shown.toStdString();
    runJob(link, [](orv::LinkContext& ctx) { ctx.port().writeByte('q'); });
    EXPECT_TRUE(waitFor([&] { return shown == "q"; }, 3000)) << shown.toStdString();
}
