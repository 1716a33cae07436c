// The terminal's handling of received and typed bytes.

#include <QPlainTextEdit>
#include <QTextCursor>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <memory>

#include "app/main_window.h"
#include "app/text_bridge.h"
#include "app/widgets/status_line.h"
#include "app/widgets/terminal.h"
#include "test_support.h"
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

QAction* menuItem(QPlainTextEdit& memo, const char* name) {
    return child<QAction>(&memo, name);
}

// The box's own items, a separator, then the terminal's; the journal only once one is kept.
TEST_F(TerminalTest, TheMenuKeepsTheBoxsItemsAndAddsItsOwnAfterASeparator) {
    const std::unique_ptr<QMenu> menu(terminal.contextMenu());
    QStringList texts;
    for (QAction* item : menu->actions()) {
        texts << (item->isSeparator() ? QStringLiteral("-") : item->objectName() + item->text());
    }
    EXPECT_TRUE(texts.first().startsWith("edit-"));  // the box's own items first
    EXPECT_EQ(texts.mid(texts.size() - 4),
              (QStringList{"-", QStringLiteral("HexViewШестнадцатеричный вид"),
                           QStringLiteral("ReceiveTimeВремя приёма"),
                           QStringLiteral("SaveJournalСохранить журнал…")}));
    EXPECT_TRUE(menuItem(memo, "HexView")->isCheckable() &&
                menuItem(memo, "ReceiveTime")->isCheckable());
    EXPECT_FALSE(menuItem(memo, "SaveJournal")->isEnabled());
    int saves = 0;
    terminal.setJournalSave([&] { ++saves; });
    menuItem(memo, "SaveJournal")->trigger();
    EXPECT_EQ(saves, 1);
}

// The toggles apply from the next batch on; what is shown stays as it was shown.
TEST_F(TerminalTest, TogglesApplyFromTheNextBatch) {
    std::uint64_t now = 0;
    terminal.setSessionClock([&] { return now; });
    const struct {
        bool hex;
        bool stamps;
        std::uint64_t at;
        QByteArray bytes;
        QString text;  // all the terminal shows afterwards
    } steps[] = {
        {false, false, 10, "OK\r", "OK\n"},
        {true, false, 1500, "A", "OK\n41 "},
        {true, true, 2000, "B\r", "OK\n41 [2000] 42 0D\n"},
        {false, true, 2100, "C", "OK\n41 [2000] 42 0D\n[2100] C"},
        {false, false, 2200, "D", "OK\n41 [2000] 42 0D\n[2100] CD"},
    };
    for (const auto& step : steps) {
        menuItem(memo, "HexView")->setChecked(step.hex);
        menuItem(memo, "ReceiveTime")->setChecked(step.stamps);
        now = step.at;
        terminal.receive(step.bytes);
        EXPECT_EQ(memo.toPlainText(), step.text) << step.at;
    }
}

// The main window with a history in its folder, the terminal shown: its session's journal is
// kept, and saved where the user says; a save that fails is told in a box.
TEST(TerminalJournal, SavingWritesTheSessionsTranscriptOrTellsWhyNot) {
    ScopedWorkDir dir;
    MessageRecorder messages;
    TForm1 form;
    form.runner().setHistoryFolder(dir.path(".").toStdString(), "1.0.7");
    form.revealTerminal();
    auto* memo = child<QPlainTextEdit>(&form, "Memo1");
    type(memo, "AT");
    for (const QString& name : {QStringLiteral("missing/journal.txt"), QStringLiteral("j.txt")}) {
        answerFileDialog(&form, "SaveJournalDialog", dir.path(name));
        menuItem(*memo, "SaveJournal")->trigger();
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains("missing/journal.txt"));
    const QStringList records = QDir(dir.path("history")).entryList({"*-terminal"}, QDir::Dirs);
    ASSERT_EQ(records.size(), 1);
    const std::string text = orv::test::readFile(dir.path("j.txt").toStdString());
    EXPECT_EQ(text, orv::test::readFile(
                        dir.path("history/" + records[0] + "/transcript.txt").toStdString()));
    EXPECT_NE(text.find(" > A\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" > T\n"), std::string::npos) << text;
}

TEST(TerminalJournal, AHistoryThatCannotBeWrittenIsToldAndTheTerminalGoesOn) {
    ScopedWorkDir dir;
    TForm1 form;
    form.runner().setHistoryFolder(dir.path(".").toStdString(), "1.0.7");
    writeFile(dir.path("history"), "not a folder");
    form.revealTerminal();
    EXPECT_TRUE(form.findChild<orv::ui::StatusLine*>()->outcomeText().startsWith(
        QStringLiteral("История операций не записывается")));
    EXPECT_FALSE(menuItem(*child<QPlainTextEdit>(&form, "Memo1"), "SaveJournal")->isEnabled());
}

}  // namespace
