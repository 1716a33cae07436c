// The SMS text box of the SMS tab and its length counter.

#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>

#include "app/main_window.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

class SmsCounterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(showActive(&form));
        processEventsFor(20);
        child<QTabWidget>(&form, "PageControl1")
            ->setCurrentWidget(child<QWidget>(&form, "TabSheet5"));
        memo->setFocus();
    }
    QString label() const { return counter->text(); }

    ScopedWorkDir dir;
    TForm1 form;
    QPlainTextEdit* memo = child<QPlainTextEdit>(&form, "Memo2");
    QLabel* counter = child<QLabel>(&form, "Label21");
};

TEST_F(SmsCounterTest, CountsUpToSixtyAndSwallowsTheRest) {
    EXPECT_EQ(label(), "60/0");
    type(memo, "a");
    EXPECT_EQ(label(), "1/59");
    type(memo, QString(58, 'b'));
    EXPECT_EQ(label(), "59/1");
    type(memo, QStringLiteral("я"));
    EXPECT_EQ(label(), "60/0");
    type(memo, "c");
    EXPECT_EQ(label(), "60/0");
    EXPECT_EQ(memo->toPlainText().size(), 60);
    EXPECT_FALSE(memo->toPlainText().contains('c'));
    key(memo, Qt::Key_Backspace, Qt::NoModifier, "\b");
    EXPECT_EQ(label(), "59/1");
    EXPECT_EQ(memo->toPlainText().size(), 59);
}

TEST_F(SmsCounterTest, EnterCountsOnceAndWrappedLinesCountTheirCharacters) {
    type(memo, "ab");
    key(memo, Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(label(), "3/57");
    type(memo, "c");
    EXPECT_EQ(label(), "3/57");
    // A line longer than the box is wide wraps; its characters still count once.
    memo->clear();
    type(memo, QString(40, 'W'));
    EXPECT_GT(memo->document()->firstBlock().layout()->lineCount(), 1);
    EXPECT_EQ(label(), "40/20");
}

TEST_F(SmsCounterTest, KeysWithoutACharacterAreNotCounted) {
    type(memo, "ab");
    key(memo, Qt::Key_Left);
    key(memo, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(label(), "2/58");
    key(memo, Qt::Key_Delete);
    EXPECT_EQ(label(), "2/58");
    EXPECT_EQ(memo->toPlainText(), "a");
}

// Pasted text is held to the limit as typed text is: what does not fit is refused, and the
// counter shows the limit reached.
TEST_F(SmsCounterTest, PasteTakesOnlyWhatFits) {
    QApplication::clipboard()->setText(QString(70, 'p'));
    key(memo, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    EXPECT_EQ(memo->toPlainText(), QString(60, 'p'));
    EXPECT_EQ(label(), "60/0");
    memo->paste();  // the context menu's paste
    EXPECT_EQ(memo->toPlainText().size(), 60);
    EXPECT_EQ(label(), "60/0");

    // A paste over a selection counts what it replaces as gone; line breaks do not count.
    memo->setPlainText(QString(50, 'a'));
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(40);
    cursor.setPosition(50, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    QApplication::clipboard()->setText(QStringLiteral("12\r\n345678901234567890"));
    memo->paste();
    EXPECT_EQ(memo->toPlainText(), QString(40, 'a') + QStringLiteral("12\n345678901234567890"));
    EXPECT_EQ(label(), "60/0");
    memo->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("Ёлка\nёж"));
    memo->paste();
    EXPECT_EQ(label(), "6/54");
}

}  // namespace
