// The terminal's handling of received and typed bytes, and the port settings window.

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>

#include "app/tark.h"
#include "app/tark3.h"
#include "app/terminal.h"
#include "app/text_bridge.h"
#include "fake_port_list.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::Terminal;

namespace {

const QString kLf = QString(QChar(orv::ui::kShownLineFeed));

class TerminalTest : public ::testing::Test {
  protected:
    QPlainTextEdit memo;
    Terminal terminal{&memo};

    void select(int anchor, int position) {
        QTextCursor c(memo.document());
        c.setPosition(anchor);
        c.setPosition(position, QTextCursor::KeepAnchor);
        memo.setTextCursor(c);
    }
};

TEST_F(TerminalTest, CrBreaksTheLineAndLfIsOneCharacterThatShowsNothing) {
    terminal.show("OK\r\nATR\r\r\r\n01 ");
    EXPECT_EQ(memo.toPlainText(), "OK\n" + kLf + "ATR\n\n\n" + kLf + "01 ");
    EXPECT_EQ(memo.document()->blockCount(), 5);
    EXPECT_EQ(memo.textCursor().position(), memo.document()->characterCount() - 1);
}

TEST_F(TerminalTest, BytesAreCodePage1251) {
    terminal.show(QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("Привет"));
}

TEST_F(TerminalTest, ByteGoesToTheCaretAndCrToTheEnd) {
    memo.setPlainText("abcd");
    select(2, 2);
    terminal.show("X");
    EXPECT_EQ(memo.toPlainText(), "abXcd");
    EXPECT_EQ(memo.textCursor().position(), 3);
    terminal.show("\r");
    EXPECT_EQ(memo.toPlainText(), "abXcd\n");
    EXPECT_EQ(memo.textCursor().position(), 6);
}

TEST_F(TerminalTest, SelectionStaysAndTheBytesFollowItInOrder) {
    memo.setPlainText("hello world");
    select(5, 0);  // made backwards
    terminal.show("XYZ");
    EXPECT_EQ(memo.toPlainText(), "helloXYZ world");
    EXPECT_EQ(memo.textCursor().anchor(), 5);
    EXPECT_EQ(memo.textCursor().position(), 0);
    EXPECT_EQ(memo.textCursor().selectedText(), "hello");

    // A new selection starts a new place.
    select(9, 14);
    terminal.show("!");
    EXPECT_EQ(memo.toPlainText(), "helloXYZ world!");
    EXPECT_EQ(memo.textCursor().selectedText(), "world");

    // CR ends the selection: the line break goes to the end, the caret after it.
    terminal.show("\r");
    EXPECT_FALSE(memo.textCursor().hasSelection());
    EXPECT_EQ(memo.toPlainText(), "helloXYZ world!\n");
}

TEST(TerminalKeys, TypedBytes) {
    auto byte = [](int code, Qt::KeyboardModifiers modifiers, const QString& text) {
        QKeyEvent key(QEvent::KeyPress, code, modifiers, text);
        return Terminal::typedByte(key);
    };
    EXPECT_EQ(byte(Qt::Key_Return, Qt::NoModifier, "\r"), 0x0D);
    EXPECT_EQ(byte(Qt::Key_Enter, Qt::KeypadModifier, "\r"), 0x0D);
    EXPECT_EQ(byte(Qt::Key_Backspace, Qt::NoModifier, "\b"), 0x08);
    EXPECT_EQ(byte(Qt::Key_C, Qt::ControlModifier, ""), 0x03);
    EXPECT_EQ(byte(Qt::Key_Z, Qt::ControlModifier, "\x1a"), 0x1A);
    EXPECT_EQ(byte(Qt::Key_A, Qt::NoModifier, "a"), 'a');
    EXPECT_EQ(byte(Qt::Key_A, Qt::ShiftModifier, "A"), 'A');
    EXPECT_EQ(byte(0x42F, Qt::NoModifier, QStringLiteral("я")), 0xFF);
    EXPECT_EQ(byte(Qt::Key_Escape, Qt::NoModifier, "\x1b"), 0x1B);
    EXPECT_EQ(byte(Qt::Key_Tab, Qt::NoModifier, "\t"), std::nullopt);
    EXPECT_EQ(byte(Qt::Key_Delete, Qt::NoModifier, "\x7f"), std::nullopt);
    EXPECT_EQ(byte(Qt::Key_Left, Qt::NoModifier, ""), std::nullopt);
    EXPECT_EQ(byte(Qt::Key_F3, Qt::NoModifier, ""), std::nullopt);
    EXPECT_EQ(byte(0x4E2D, Qt::NoModifier, QStringLiteral("中")), std::nullopt);
}

TEST(TerminalKeys, TypedCharactersNeverEnterTheTextWithoutAPort) {
    ScopedWorkDir dir;
    TForm1 form;
    form.revealTerminal();
    auto* memo = child<QPlainTextEdit>(&form, "Memo1");
    memo->setFocus();
    type(memo, "AT");
    key(memo, Qt::Key_Return, Qt::NoModifier, "\r");
    processEventsFor(100);
    EXPECT_EQ(memo->toPlainText(), "");
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PortSettingsWindow, MakeUp) {
    ScopedWorkDir dir;
    orv::PortFlags flags;
    orv::test::FakePortList ports;
    TForm3 form(flags, ports);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Настройки программирования"));
    const Qt::WindowFlags frame = form.windowFlags();
    EXPECT_TRUE(frame & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(frame & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frame & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(child<QLabel>(&form, "Label1")->text(), QStringLiteral("Номер порта"));
    EXPECT_EQ(child<QLabel>(&form, "Label2")->text(), QStringLiteral("Скорость обмена"));
    EXPECT_EQ(child<QLabel>(&form, "Label3")->text(), QStringLiteral("Порт не открыт"));
    auto* speed = child<QComboBox>(&form, "ComboBox2");
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_EQ(speed->currentText(), "2400");
    EXPECT_EQ(speed->count(), 0);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
}

TEST(PortSettingsWindow, EveryKeystrokeRewritesTheFile) {
    ScopedWorkDir dir;
    orv::PortFlags flags;
    orv::test::FakePortList ports;  // no port at all: the box is empty
    TForm3 form(flags, ports);
    auto* port = child<QComboBox>(&form, "ComboBox1");
    EXPECT_TRUE(port->isEditable());
    EXPECT_EQ(port->currentText(), "");
    EXPECT_EQ(port->count(), 0);
    EXPECT_FALSE(QFile::exists(dir.path("Dalvorn Terminal.ini")));
    EXPECT_EQ(flags.portChanged, 0);

    port->lineEdit()->setFocus();
    type(port->lineEdit(), "COM");
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "COM\r\n");
    EXPECT_EQ(flags.portChanged, 1);
    flags.portChanged = 0;
    type(port->lineEdit(), "12");
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "COM12\r\n");
    EXPECT_EQ(flags.portChanged, 1);

    // A name with blanks around it is kept as it is.
    port->setEditText(QStringLiteral(" /dev/ttyUSB0 "));
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), " /dev/ttyUSB0 \r\n");
}

TEST(PortSettingsWindow, TheFileGivesTheNameAndTheSystemTheList) {
    ScopedWorkDir dir;
    writeFile(dir.path("Dalvorn Terminal.ini"), "/dev/ttyS7\r\nsecond line\r\n");
    orv::PortFlags flags;
    orv::test::FakePortList ports;
    ports.add("/dev/ttyUSB0", "FT232R USB UART");
    ports.add("/dev/ttyS0");
    TForm3 form(flags, ports);
    auto* port = child<QComboBox>(&form, "ComboBox1");
    EXPECT_EQ(port->currentText(), "/dev/ttyS7");
    ASSERT_EQ(port->count(), 2);
    EXPECT_EQ(port->itemText(0), "/dev/ttyUSB0");
    EXPECT_EQ(port->itemText(1), "/dev/ttyS0");
    EXPECT_EQ(flags.portChanged, 0);
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "/dev/ttyS7\r\nsecond line\r\n");

    // Picking an entry writes the file once; selecting the first one for a missing file does not.
    ports.add("/dev/ttyACM3");
    EXPECT_EQ(form.selectFirstPort(), orv::Text("/dev/ttyUSB0"));
    EXPECT_EQ(flags.portChanged, 0);
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "/dev/ttyS7\r\nsecond line\r\n");
    port->setCurrentIndex(port->count() - 1);
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "/dev/ttyACM3\r\n");
    EXPECT_EQ(flags.portChanged, 1);
}

TEST(PortSettingsWindow, AFailedRewriteIsShownAndLeavesTheFlag) {
    ScopedWorkDir dir;
    orv::PortFlags flags;
    orv::test::FakePortList ports;
    TForm3 form(flags, ports);
    ASSERT_TRUE(QDir(dir.path("")).mkdir("Dalvorn Terminal.ini"));
    MessageRecorder messages;
    child<QComboBox>(&form, "ComboBox1")->setEditText("COM2");
    EXPECT_EQ(flags.portChanged, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
}

TEST(PortSettingsWindow, MenuCommandClearsTheFlagAndShowsTheSameWindow) {
    ScopedWorkDir dir;
    TForm1 main;
    orv::test::FakePortList ports;
    TForm3 settings(main.portFlags(), ports);
    main.setPortSettingsWindow(&settings);
    for (int i = 0; i < 2; ++i) {
        main.portFlags().portChanged = 1;
        main.N8Click();
        EXPECT_EQ(main.portFlags().portChanged, 0);
        EXPECT_TRUE(settings.isVisible());
    }
    EXPECT_FALSE(main.isVisible());  // shown without blocking, the main window untouched
}

TEST(PortActivation, AFailedOpeningShowsItsMessageAndKeepsTheTab) {
    ScopedWorkDir dir;
    writeFile(dir.path("Dalvorn Terminal.ini"), "plain.txt\r\n");
    writeFile(dir.path("plain.txt"), "not a serial line");
    TForm1 form;
    orv::test::FakePortList ports;
    form.setPortList(ports);
    auto* tabs = child<QTabWidget>(&form, "PageControl1");
    tabs->setCurrentIndex(4);
    MessageRecorder messages;
    form.onActivated();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0].text,
        QStringLiteral("COM порт не поддерживает необходимые настройки. Выбирете другой порт"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(tabs->currentIndex(), 4);
    EXPECT_EQ(form.portFlags().firstActivation, 0);
    EXPECT_EQ(form.portFlags().portOpen, 0);
    // Such a failure is tried again at the next activation.
    form.onActivated();
    EXPECT_EQ(messages.shown.size(), 2u);
}

}  // namespace
