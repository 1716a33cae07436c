// PhoneGrid, the grid that edits a phone table: its definitions (phone_grid.h says what it does).
#include "app/widgets/phone_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>

#include <algorithm>

#include "app/messages.h"
#include "app/text_bridge.h"
#include "app/widgets/controls.h"
#include "settings/encoding.h"

namespace orv::ui {
namespace {

bool isCtrlDelete(const QKeyEvent* key) {
    return key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier);
}

}  // namespace

PhoneGrid::PhoneGrid(const QString& objectName, QWidget* parent) : QTableView(parent) {
    setObjectName(objectName);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabKeyNavigation(true);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setItemDelegate(new NumberDelegate(this));
    connect(qApp, &QApplication::focusChanged, this, &PhoneGrid::focusChanged);
}

void PhoneGrid::setPhoneModel(PhoneTableModel* model) {
    model_ = model;
    setModel(model);
}

QWidget* PhoneGrid::openEditor() const {
    return state() == EditingState ? indexWidget(currentIndex()) : nullptr;
}

void PhoneGrid::commitOpenEditor() {
    if (QWidget* editor = openEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void PhoneGrid::finishEditing() {
    commitOpenEditor();
    if (model_ && !model_->dropUntouchedNewRow()) {
        model_->keepNewRow();
    }
}

void PhoneGrid::cancelEditing() {
    if (QWidget* editor = openEditor()) {
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void PhoneGrid::deleteCurrentRecord() {
    commitOpenEditor();
    const int row = currentIndex().row();
    if (!model_ || row < 0) {
        return;
    }
    if (showMessage(this, QMessageBox::Question, QStringLiteral("Delete record?"),
                    QMessageBox::Ok | QMessageBox::Cancel,
                    QMessageBox::Cancel) != QMessageBox::Ok) {
        return;
    }
    model_->removeRecord(row);
    if (model_->rowCount() == 0 && hasFocus()) {
        startNewRow(0);
    }
}

void PhoneGrid::startNewRow(int row) {
    const int inserted = model_->insertNewRow(row);
    setCurrentIndex(model_->index(inserted, 0));
}

// A new record left untouched goes when the user moves away from it or leaves the grid.
void PhoneGrid::leaveNewRow() {
    if (model_ && model_->newRow() >= 0 && model_->newRow() != currentIndex().row()) {
        if (!model_->dropUntouchedNewRow()) {
            model_->keepNewRow();
        }
    }
}

void PhoneGrid::focusChanged(QWidget* old, QWidget* now) {
    auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
    // Only focus that moves to another control of the window counts; a message box or another
    // program taking the focus leaves the record as it is.
    if (inside(old) && now && !inside(now) && now->window() == window()) {
        finishEditing();
    }
}

QModelIndex PhoneGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (!model_) {
        return QTableView::moveCursor(action, modifiers);
    }
    const QModelIndex current = currentIndex();
    const int last = model_->rowCount() - 1;
    const bool forward = action == MoveNext || action == MoveDown;
    if (forward && current.isValid() && current.row() == last) {
        // At the last row Tab and Down start a new record, unless it is an untouched new one.
        if (model_->newRow() == last && !model_->newRowTouched()) {
            return current;
        }
        return model_->index(model_->insertNewRow(last + 1), 0);
    }
    QModelIndex target = QTableView::moveCursor(action, modifiers);
    const int newRow = model_->newRow();
    if (target.isValid() && current.row() == newRow && target.row() != newRow) {
        int row = target.row();
        if (model_->dropUntouchedNewRow()) {
            row = row > newRow ? row - 1 : row;
            target = model_->index(row, 0);
        } else {
            model_->keepNewRow();
        }
    }
    return target;
}

void PhoneGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (model_ && previous.isValid() && previous.row() == model_->newRow() &&
        current.row() != previous.row()) {
        // Moved away by the mouse: the row is settled once the view has finished the move.
        QMetaObject::invokeMethod(this, &PhoneGrid::leaveNewRow, Qt::QueuedConnection);
    }
}

void PhoneGrid::keyPressEvent(QKeyEvent* event) {
    if (!model_) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (isCtrlDelete(event)) {
        deleteCurrentRecord();
        return;
    }
    if (state() != EditingState) {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (currentIndex().isValid()) {
                    edit(currentIndex());
                    return;
                }
                break;
            case Qt::Key_Escape:
                // Escape cancels only what is still being entered: a new record nothing was
                // typed into. A number written into a record stays until the delete command
                // and its question take it away.
                if (model_->newRow() >= 0 && model_->newRow() == currentIndex().row()) {
                    const int row = currentIndex().row();
                    if (model_->dropUntouchedNewRow()) {
                        setCurrentIndex(model_->index(std::min(row, model_->rowCount() - 1), 0));
                    }
                    return;
                }
                break;
            case Qt::Key_Insert:
                if (event->modifiers() == Qt::NoModifier) {
                    startNewRow(currentIndex().isValid() ? currentIndex().row() : 0);
                    return;
                }
                break;
            default:
                break;
        }
    }
    QTableView::keyPressEvent(event);
}

void PhoneGrid::focusInEvent(QFocusEvent* event) {
    // An empty table shows one row to type into.
    if (model_ && model_->rowCount() == 0) {
        startNewRow(0);
    }
    QTableView::focusInEvent(event);
}

bool PhoneGrid::eventFilter(QObject* watched, QEvent* event) {
    // The cell editor passes Ctrl+Delete on to the grid.
    if (event->type() == QEvent::KeyPress && isCtrlDelete(static_cast<QKeyEvent*>(event)) &&
        watched == openEditor()) {
        deleteCurrentRecord();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

NumberDelegate::NumberDelegate(PhoneGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

QWidget* NumberDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex&) const {
    auto* editor = new LimitedEdit(QString(), static_cast<int>(kNumberFieldSize), parent);
    editor->setAllowedCharacters(kNumberCharacters);
    editor->setFrame(false);
    editor->installEventFilter(grid_);
    return editor;
}

void NumberDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* edit = qobject_cast<LimitedEdit*>(editor)) {
        edit->setValue(index.data(Qt::EditRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void NumberDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    auto* edit = qobject_cast<LimitedEdit*>(editor);
    if (!edit) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const Text number = toText(edit->text());
    if (!storableNumber(grid_->tableId(), number)) {
        // Told once the edit has closed, so that the message box does not come between the
        // editor and the focus change that is writing it.
        QPointer<PhoneGrid> grid = grid_;
        const Text refusal = numberRefusal(grid_->tableId(), number);
        QMetaObject::invokeMethod(
            grid_,
            [grid, refusal] {
                if (grid) {
                    showFailure(grid, Failure(MessageKind::Warning, refusal));
                }
            },
            Qt::QueuedConnection);
        return;
    }
    model->setData(index, toQString(number), Qt::EditRole);
}

}  // namespace orv::ui
