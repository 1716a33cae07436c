// The terminal's handling of received and typed bytes.

#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/main_window.h"
#include "app/text_bridge.h"
#include "app/widgets/terminal.h"
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

}  // namespace
