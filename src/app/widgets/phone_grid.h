#pragma once
// PhoneGrid, the grid that edits one phone table: one column, the numbers; no title row and no row
// indicator. Editing in place; Tab and Down at the last row start a new record, Insert one before
// the current row; Ctrl+Delete deletes the current record after a question. A new record left
// untouched is dropped when the user leaves it or the grid, or presses Escape on it; Escape never
// removes a record that holds a number written into it.

#include <QStyledItemDelegate>
#include <QTableView>

#include "app/phone_table.h"

namespace orv::ui {

class PhoneGrid : public QTableView {
    Q_OBJECT
  public:
    explicit PhoneGrid(const QString& objectName, QWidget* parent = nullptr);

    void setPhoneModel(PhoneTableModel* model);
    PhoneTableModel* phoneModel() const { return model_; }
    // Which phone table the grid edits: the numbers it can hold follow from it.
    void setTableId(TableId table) { table_ = table; }
    TableId tableId() const { return table_; }

    // Writes an open editor into the table, keeps a new record that was typed into and drops
    // one that was not: what the table holds afterwards is what the user entered.
    void finishEditing();
    // Closes an open editor without writing it.
    void cancelEditing();

    // Asks "Delete record?" and deletes the current record on OK.
    void deleteCurrentRecord();

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* openEditor() const;
    void commitOpenEditor();
    void startNewRow(int row);
    void leaveNewRow();
    void focusChanged(QWidget* old, QWidget* now);

    PhoneTableModel* model_ = nullptr;
    TableId table_ = kCallBackTable;
};

// The editor of a grid cell: at most 15 characters typed or pasted, digits and "+" only. A
// number its table cannot hold (a direction shorter than 4 characters) is refused with a
// message when the edit is written, and the cell keeps what it held.
class NumberDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit NumberDelegate(PhoneGrid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  private:
    PhoneGrid* grid_;
};

}  // namespace orv::ui
