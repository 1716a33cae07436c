// The port settings window and the main window's port over a port list the test sets and real
// pseudo-terminals: the list at first start and afresh, the first port opened without a
// settings file, one message when there is no port, a vanished port opened again by itself,
// the terminal's input-method text and open line, and a close asked for by a signal.

#include <csignal>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/dialogs/port_settings_window.h"
#include "app/main_window.h"
#include "app/port_keeper.h"
#include "app/signal_close.h"
#include "app/text_bridge.h"
#include "app/widgets/status_line.h"
#include "base/platform.h"
#include "fake_port_list.h"
#include "link/port_problems.h"
#include "pty_device.h"
#include "test_support.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::toQString;

namespace {

class PortWindows : public ::testing::Test {
  protected:
    ScopedWorkDir dir;
    orv::test::FakePortList ports;
    MessageRecorder messages;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm3> settings;

    std::string path(const char* name) const { return dir.path(name).toStdString(); }

    void startProgram() {
        form = std::make_unique<TForm1>();
        form->setPortList(ports);
        form->portKeeper().setWatchInterval(50);
        settings = std::make_unique<TForm3>(form->portFlags(), ports);
        form->setPortSettingsWindow(settings.get());
        form->revealTerminal();
    }
    void TearDown() override {
        settings.reset();
        form.reset();
    }

    void choosePort(const std::string& name) {
        QFile file(dir.path("Dalvorn Terminal.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(name) + "\r\n");
    }
    QComboBox* box() { return child<QComboBox>(settings.get(), "ComboBox1"); }
    QString state() { return child<QLabel>(settings.get(), "Label3")->text(); }
    QPlainTextEdit* memo() { return child<QPlainTextEdit>(form.get(), "Memo1"); }
    bool isOpen() { return form->portFlags().portOpen == 1; }

    // Types into the terminal and waits until the device has all it was sent.
    bool typedReaches(orv::test::PtyDevice& device, const QString& text) {
        const std::string before = device.received();
        for (QChar c : text) {
            key(memo(), c.toUpper().unicode(), Qt::NoModifier, QString(c));
        }
        return waitFor([&] { return device.received() == before + text.toStdString(); }, 3000);
    }
};

const QString kOpen = QStringLiteral("Порт открыт");
const QString kNotOpen = QStringLiteral("Порт не открыт");
const QString kWaiting = QStringLiteral("Порт отключен: он будет открыт, как только появится");

TEST_F(PortWindows, TheListShowsThePortsAtFirstStartAndOnesPluggedInLater) {
    const orv::Text byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    ports.entries = {{"/dev/ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART"},
                     {byId, "/dev/ttyUSB0", "FT232R USB UART"},
                     {"/dev/ttyS0", "/dev/ttyS0", ""}};
    startProgram();
    ASSERT_EQ(box()->count(), 3);
    EXPECT_EQ(box()->itemText(0), "/dev/ttyUSB0");
    EXPECT_EQ(box()->itemText(1), toQString(byId));
    // The popup shows the device a stable name leads to and the adapter's description.
    EXPECT_EQ(box()->itemData(0, TForm3::kShownRole).toString(),
              QStringLiteral("/dev/ttyUSB0 — FT232R USB UART"));
    EXPECT_EQ(box()->itemData(1, TForm3::kShownRole).toString(),
              toQString(byId) + QStringLiteral(" → /dev/ttyUSB0 — FT232R USB UART"));
    EXPECT_EQ(box()->itemData(2, TForm3::kShownRole).toString(), "/dev/ttyS0");
    // Without a settings file the box shows the first port, and nothing is written.
    EXPECT_EQ(box()->currentText(), "/dev/ttyUSB0");
    EXPECT_FALSE(QFile::exists(dir.path("Dalvorn Terminal.ini")));
    EXPECT_EQ(form->portFlags().portChanged, 0);

    // An adapter plugged in afterwards is there the next time the window is shown...
    ports.add("/dev/ttyACM0", "USB Modem");
    form->N8Click();
    ASSERT_EQ(box()->count(), 4);
    EXPECT_EQ(box()->itemText(3), "/dev/ttyACM0");
    EXPECT_EQ(box()->currentText(), "/dev/ttyUSB0");
    // ...and when the list drops down while the window is open.
    ports.add("/dev/ttyACM1");
    box()->showPopup();
    EXPECT_EQ(box()->count(), 5);
    box()->hidePopup();
    EXPECT_EQ(box()->currentText(), "/dev/ttyUSB0");
    EXPECT_FALSE(QFile::exists(dir.path("Dalvorn Terminal.ini")));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PortWindows, WithoutASettingsFileTheFirstPortFoundIsOpened) {
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    ports.add(device.link(), "USB Serial");
    ports.add("/dev/ttyS0");
    startProgram();
    EXPECT_EQ(state(), kNotOpen);
    form->onActivated();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(form->portKeeper().openName(), device.link());
    EXPECT_EQ(state(), kOpen);
    EXPECT_FALSE(QFile::exists(dir.path("Dalvorn Terminal.ini")));
    EXPECT_TRUE(typedReaches(device, "at"));

    // Another name in the box is not the open port until the main window opens it.
    box()->setEditText("/dev/ttyS0");
    EXPECT_EQ(state(), kNotOpen);
    box()->setEditText(toQString(device.link()));
    EXPECT_EQ(state(), kOpen);
}

TEST_F(PortWindows, WithNoPortAtAllTheUserIsToldOnceNotAtEveryActivation) {
    startProgram();
    EXPECT_EQ(box()->currentText(), "");
    for (int i = 0; i < 3; ++i) {
        form->onActivated();
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, toQString(orv::noPortsMessage()));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Information);
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(form->portFlags().firstActivation, 0);

    // The adapter plugged in: the next activation opens it, without a word.
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    ports.add(device.link());
    form->onActivated();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(box()->currentText(), toQString(device.link()));
}

TEST_F(PortWindows, TheStatusBarFollowsThePort) {
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    ports.add(device.link());
    startProgram();
    const orv::ui::StatusLine& status = form->statusLine();
    EXPECT_EQ(status.portText(), QStringLiteral("Порт не открыт"));
    form->onActivated();
    ASSERT_TRUE(isOpen());
    EXPECT_EQ(status.portText(), QStringLiteral("Порт %1 открыт").arg(toQString(device.link())));
    form->portKeeper().lost();
    EXPECT_EQ(status.portText(), QStringLiteral("Порт %1 не найден").arg(toQString(device.link())));
}

TEST_F(PortWindows, APortBackAfterALossIsOpenedAgainWithoutAMessage) {
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    ports.add(device.link());
    choosePort(device.link());
    startProgram();
    form->onActivated();
    ASSERT_TRUE(isOpen());

    // Pulled out.
    device.stop();
    ports.there.clear();
    ASSERT_TRUE(waitFor([&] { return !isOpen(); }, 3000));
    EXPECT_EQ(state(), kWaiting);
    // The vanished name is not tried at activations.
    form->onActivated();
    form->onActivated();
    processEventsFor(200);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(isOpen());

    // Plugged back: opened by itself.
    ASSERT_TRUE(device.start());
    ports.there.insert(device.link());
    ASSERT_TRUE(waitFor([&] { return isOpen(); }, 3000));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(state(), kOpen);
    EXPECT_EQ(form->portFlags().firstActivation, 1);
    EXPECT_TRUE(typedReaches(device, "x"));
    form->onActivated();
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PortWindows, AChosenPortThatIsNotThereIsToldOnceAndOpenedWhenItComes) {
    orv::test::PtyDevice device(path("later"));
    choosePort(device.link());
    startProgram();
    for (int i = 0; i < 3; ++i) {
        form->onActivated();
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, toQString(orv::portMissingMessage(device.link())));
    EXPECT_EQ(state(), kWaiting);

    ASSERT_TRUE(device.start());
    ports.there.insert(device.link());
    ASSERT_TRUE(waitFor([&] { return isOpen(); }, 3000));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(state(), kOpen);
}

TEST_F(PortWindows, InputMethodTextGoesToTheDeviceLikeTypedKeys) {
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    choosePort(device.link());
    startProgram();
    form->onActivated();
    ASSERT_TRUE(isOpen());

    // Still being composed: nothing is sent and nothing shown.
    QInputMethodEvent composing(QStringLiteral("´"), {});
    QApplication::sendEvent(memo(), &composing);
    // Committed: characters the code page has, and two it lacks.
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("жé中A"));
    QApplication::sendEvent(memo(), &committed);
    EXPECT_TRUE(waitFor(
        [&] {
            return device.received() ==
                   "\xE6"
                   "A";
        },
        3000))
        << device.received();
    EXPECT_EQ(memo()->toPlainText(), "");
}

TEST_F(PortWindows, CharactersLeftInTheDevicesLineAreEndedBeforeTheNextOperation) {
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    choosePort(device.link());
    startProgram();
    form->onActivated();
    ASSERT_TRUE(typedReaches(device, "abc"));

    form->N11Click();  // the data-mode switch: presence check, then "ATK1"
    ASSERT_TRUE(waitFor([&] { return !messages.shown.empty(); }, 8000));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Переход в режим передачи данных выполнен. Для выхода из режима "
                             "перезапустите питание устройства"));
    EXPECT_EQ(device.received(), "abc\rATR2301\rATK1\r");

    // A line ended with Enter needs nothing more.
    ASSERT_TRUE(waitFor([&] { return !form->runner().busy(); }, 3000));
    ASSERT_TRUE(typedReaches(device, "d\r"));
    form->N11Click();
    ASSERT_TRUE(waitFor([&] { return messages.shown.size() == 2; }, 8000));
    EXPECT_EQ(device.received(), "abc\rATR2301\rATK1\rd\rATR2301\rATK1\r");
}

// An operation's record names the port open as it began and, when the system lists one, the
// stable name of the same device.
TEST_F(PortWindows, AnOperationsRecordNamesItsPortAndItsStableName) {
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    const orv::Text byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const struct {
        bool listed;
        std::string portFile;
    } cases[] = {
        {false, device.link() + "\n"},
        {true, device.link() + "\n" + byId + "\n"},
    };
    choosePort(device.link());
    startProgram();
    form->onActivated();
    ASSERT_TRUE(isOpen());
    for (const auto& c : cases) {
        ports.entries.clear();
        if (c.listed) {
            ports.entries = {{device.link(), device.link(), "USB"}, {byId, device.link(), "USB"}};
        }
        orv::test::TempDir data;
        form->runner().setHistoryFolder(data.dir(), "1.0.7");
        form->runner().runOperation([](orv::OperationContext&) {}, {},
                                    {"clir", nullptr, nullptr, false});
        ASSERT_TRUE(waitFor([&] { return !form->runner().busy(); }, 3000));
        std::vector<std::string> records;
        orv::platform::listDirectory(data.dir() + "/history", records);
        records.erase(std::remove(records.begin(), records.end(), ".lock"), records.end());
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(orv::test::readFile(data.dir() + "/history/" + records[0] + "/port.txt"),
                  c.portFile);
    }
}

// The signal stops the operation as Escape does: at its next line boundary, with its closing
// line, and its state message on standard error; only then the window closes and saves.
TEST_F(PortWindows, ASignalDuringAnOperationStopsItAsEscapeDoesThenClosesAndSaves) {
    QApplication::setQuitOnLastWindowClosed(false);
    orv::test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    choosePort(device.link());
    startProgram();
    ASSERT_TRUE(showActive(form.get()));
    ASSERT_TRUE(waitFor([&] { return isOpen(); }, 3000));
    orv::ui::SignalClose closeOnSignal([this] { form->closeBySignal(); });
    CapturedStandardError standardError;

    MessageRecorder yes(QMessageBox::Yes);
    form->Sim1Click();  // SIM clearing: a long run of lines
    const std::string firstLines = "ATR2301\rATK1\rAT+CPBW=1\rAT+C";
    ASSERT_TRUE(waitFor([&] { return device.received().size() >= firstLines.size(); }, 10000));
    ASSERT_EQ(device.received().substr(0, firstLines.size()), firstLines);
    ::raise(SIGTERM);  // in the middle of "AT+CPBW=2"

    ASSERT_TRUE(waitFor([&] { return !form->isVisible(); }, 8000));
    const std::string sent = device.received();
    EXPECT_EQ(sent, "ATR2301\rATK1\rAT+CPBW=1\rAT+CPBW=2\rAT+CPAS\r");
    processEventsFor(700);
    EXPECT_EQ(device.received(), sent);  // nothing after the windows are gone
    EXPECT_TRUE(QFile::exists(dir.path("config.bak")));
    EXPECT_FALSE(form->runner().busy());
    EXPECT_EQ(standardError.programLines(),
              QStringList{QStringLiteral("orvelin9: Стирание Sim-карты остановлено. Стерты записи "
                                         "с 1 по 2, записи с 3 по 150 не изменены.")});
    EXPECT_TRUE(yes.shown.size() == 1);  // the question; the outcome went to standard error
    QApplication::setQuitOnLastWindowClosed(true);
}

// A signal while a message box of the start-up is open closes it, and every box after it;
// the program is then told to end.
TEST_F(PortWindows, ASignalDuringAStartUpMessageClosesItAndEndsTheProgram) {
    writeFile(dir.path("config.bak"), "ATW8001\r\n");  // damaged: two messages follow
    const orv::ui::MessageBoxHook answered =
        orv::ui::setMessageBoxHook({});  // real boxes, waiting for a user
    orv::ui::SignalClose closeOnSignal;
    QTimer::singleShot(300, [] { ::raise(SIGHUP); });
    // Should the signal not close them, the boxes are closed late, and the test fails.
    QTimer rescue;
    rescue.callOnTimeout([] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    rescue.start(4000);
    QElapsedTimer took;
    took.start();
    startProgram();
    orv::ui::setMessageBoxHook(answered);
    EXPECT_LT(took.elapsed(), 3000);
    EXPECT_TRUE(closeOnSignal.caughtBeforeTarget());
    bool toldLater = false;
    closeOnSignal.setTarget([&] { toldLater = true; });
    ::raise(SIGTERM);
    EXPECT_TRUE(waitFor([&] { return toldLater; }, 3000));
}

}  // namespace
