// Editing the phone tables in their grids.

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>

#include "app/main_window.h"
#include "app/text_bridge.h"
#include "app/widgets/phone_grid.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

class GridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(showActive(&form));
        processEventsFor(20);  // the first activation selects the first tab
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 0));
    }

    void setCallBack(const orv::PhoneTable& table) {
        orv::SettingsRecord r = form.record();
        r.tables[orv::kCallBackTable] = table;
        form.setRecord(r);
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 0));
    }
    orv::PhoneTable callBack() { return form.record().tables[orv::kCallBackTable]; }
    int rows() const { return grid->model()->rowCount(); }

    ScopedWorkDir dir;
    TForm1 form;
    orv::ui::PhoneGrid* grid = child<orv::ui::PhoneGrid>(&form, "DBGrid1");
};

TEST_F(GridTest, EditStillOpenIsWrittenWhenTheRecordIsRead) {
    type(grid, "5");
    ASSERT_NE(grid->indexWidget(grid->currentIndex()), nullptr);
    type(QApplication::focusWidget(), "55");
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"555", ""}}));
    EXPECT_EQ(grid->indexWidget(grid->currentIndex()), nullptr);
}

TEST_F(GridTest, EditorTakesAtMostFifteenCharacters) {
    type(grid, "+");  // the first key opens the cell editor, which takes the rest
    type(QApplication::focusWidget(), "1234567890123456789");
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"+12345678901234", ""}}));
}

// The cell takes only what the table can hold: digits and "+", typed or pasted; the rest of
// what was typed never reaches the table.
TEST_F(GridTest, EditorKeepsOnlyDigitsAndPlus) {
    type(grid, "8");
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    type(editor, "9-00 abc+1");
    editor->insert(QStringLiteral("(495) 12-34"));
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"8900+14951234", ""}}));
}

// An allowed or forbidden direction of 1 to 3 characters would take a slot but the device
// keeps no entry for it: it is refused with a message where it is typed, and the cell keeps
// what it held.
TEST_F(GridTest, AShortDirectionIsRefusedWithAMessage) {
    orv::SettingsRecord r = form.record();
    r.tables[orv::kAllowedTable] = {{"1234", ""}};
    form.setRecord(r);
    auto* allowed = child<orv::ui::PhoneGrid>(&form, "DBGrid2");
    child<QTabWidget>(&form, "PageControl1")->setCurrentIndex(1);
    allowed->setFocus();
    allowed->setCurrentIndex(allowed->model()->index(0, 0));
    MessageRecorder messages;
    key(allowed, Qt::Key_Return);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    type(editor, "12");
    key(editor, Qt::Key_Return);
    // The message comes from a queued call: waited for, not for a fixed time.
    ASSERT_TRUE(waitFor([&] { return !messages.shown.empty(); }, 3000));
    processEventsFor(20);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Номер «12» в таблице «Разрешенные номера, направл.»: номер "
                             "направления должен содержать не менее 4 знаков."));
    EXPECT_EQ(form.record().tables[orv::kAllowedTable], (orv::PhoneTable{{"1234", ""}}));
}

TEST_F(GridTest, TabAtTheLastRowStartsANewRecord) {
    type(grid, "1");
    key(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    type(QApplication::focusWidget(), "2");
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"1", ""}, {"2", ""}}));
}

TEST_F(GridTest, UntouchedNewRecordIsDropped) {
    setCallBack({{"111", "Name kept"}});
    key(grid, Qt::Key_Down);
    EXPECT_EQ(rows(), 2);
    key(grid, Qt::Key_Down);  // no second new record below an untouched one
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"111", "Name kept"}}));
    EXPECT_EQ(rows(), 1);

    key(grid, Qt::Key_Down);
    key(grid, Qt::Key_Up);
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

TEST_F(GridTest, LeavingTheGridDropsAnUntouchedNewRecordOnly) {
    setCallBack({{"111", ""}});
    key(grid, Qt::Key_Down);
    ASSERT_EQ(rows(), 2);
    child<QComboBox>(&form, "ComboBox1")->setFocus();
    EXPECT_EQ(rows(), 1);

    grid->setFocus();
    key(grid, Qt::Key_Down);
    type(grid, "7");
    child<QComboBox>(&form, "ComboBox1")->setFocus();
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"111", ""}, {"7", ""}}));
}

TEST_F(GridTest, CtrlDeleteAsksBeforeDeleting) {
    setCallBack({{"111", ""}, {"222", ""}});
    {
        MessageRecorder messages(QMessageBox::Cancel);
        key(grid, Qt::Key_Delete, Qt::ControlModifier);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Delete record?");
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Question);
        EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(rows(), 2);
    }
    MessageRecorder messages(QMessageBox::Ok);
    key(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(callBack(), (orv::PhoneTable{{"222", ""}}));
    // Also while the cell is being edited.
    grid->setCurrentIndex(grid->model()->index(0, 0));
    type(grid, "9");
    key(QApplication::focusWidget(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(callBack().empty());
}

// Escape cancels only the edit in progress: the number typed into an open cell, or a new
// record nothing was written into. A number committed with Enter stays; only the delete
// command, after its question, removes it.
TEST_F(GridTest, EscapeCancelsOnlyTheEditInProgress) {
    const struct {
        const char* what;
        const char* typed;  // into the new record's cell, empty for none
        bool commit;        // Enter before Escape
        int escapes;
        orv::PhoneTable expected;
    } cases[] = {
        {"a committed number", "5", true, 1, {{"111", ""}, {"5", ""}}},
        {"a committed number, Escape twice", "5", true, 2, {{"111", ""}, {"5", ""}}},
        {"an untouched new record", "", false, 1, {{"111", ""}}},
        {"a number still in its cell", "5", false, 1, {{"111", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setCallBack({{"111", ""}});
        key(grid, Qt::Key_Down);
        ASSERT_EQ(rows(), 2);
        if (*c.typed) {
            type(grid, c.typed);
        }
        if (c.commit) {
            key(QApplication::focusWidget(), Qt::Key_Return);
            processEventsFor(20);  // the cell editor commits and closes from the event loop
        }
        for (int i = 0; i < c.escapes; ++i) {
            key(QApplication::focusWidget(), Qt::Key_Escape);
            processEventsFor(20);
        }
        // Read while the grid keeps the focus: leaving it would settle the new record itself.
        EXPECT_EQ(form.record().tables[orv::kCallBackTable], c.expected);
    }
}

}  // namespace
