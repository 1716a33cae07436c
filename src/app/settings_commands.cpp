// TForm1's commands on the settings as a whole, under the separator of the menu "Файл": the
// defaults, the number lists as a CSV file, the comparison with a configuration file, undo and
// redo; and the status bar that follows them.

#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/dialogs/history_window.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/phone_table.h"
#include "app/port_keeper.h"
#include "app/settings_history.h"
#include "app/text_bridge.h"
#include "app/widgets/controls.h"
#include "app/widgets/phone_grid.h"
#include "app/widgets/sms_text_box.h"
#include "app/widgets/status_line.h"
#include "records/file_comparison.h"
#include "records/number_lists_csv.h"
#include "settings/encoding.h"

using orv::ui::toQString;
using orv::ui::toText;

namespace {

bool isUndoOrRedoKey(const QKeyEvent* key) {
    const QKeyCombination combination = key->keyCombination();
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
           combination == QKeyCombination(Qt::CTRL, Qt::Key_Z) ||
           combination == QKeyCombination(Qt::CTRL, Qt::Key_Y) ||
           combination == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);
}

// Who gets the undo keys. The terminal and the SMS text box keep them (in the terminal Ctrl+Z
// is a byte for the device; the SMS box's own undo keeps to its length limit); in the settings'
// fields they undo the window's steps, not the field's own typing.
class UndoKeys : public QObject {
  public:
    UndoKeys(QObject* parent, const QList<QObject*>& keepers)
        : QObject(parent), keepers_(keepers) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride ||
            !isUndoOrRedoKey(static_cast<QKeyEvent*>(event))) {
            return false;
        }
        if (keepers_.contains(watched)) {
            event->accept();
        } else {
            event->ignore();
        }
        return true;
    }

  private:
    QList<QObject*> keepers_;
};

QString fileName(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).fileName();
}

}  // namespace

orv::SettingsRecord TForm1::shownRecord() const {
    orv::SettingsRecord shown;
    for (int n = 1; n <= orv::kChoiceCount; ++n) {
        shown.choice(n) = choices_[static_cast<std::size_t>(n - 1)]->choice();
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        shown.*orv::kTextSettings[i].member = toText(fields_[i]->text());
    }
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        const orv::ui::PhoneTableModel& model = *tables_[t];
        shown.tables[t] = model.table();
        const int newRow = model.newRow();
        if (newRow >= 0 && !model.newRowTouched() &&
            static_cast<std::size_t>(newRow) < shown.tables[t].size()) {
            shown.tables[t].erase(shown.tables[t].begin() + newRow);
        }
    }
    return shown;
}

void TForm1::setUpHistory(bool workingStateLoaded) {
    status_ = new orv::ui::StatusLine(this);
    setStatusBar(status_);
    history_ =
        new orv::ui::SettingsHistory([this] { return shownRecord(); },
                                     [this](const orv::SettingsRecord& r) { setRecord(r); }, this);
    QUndoStack& stack = history_->stack();
    connect(Undo, &QAction::triggered, &stack, &QUndoStack::undo);
    connect(Redo, &QAction::triggered, &stack, &QUndoStack::redo);
    connect(&stack, &QUndoStack::canUndoChanged, Undo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::canRedoChanged, Redo, &QAction::setEnabled);
    Undo->setEnabled(false);
    Redo->setEnabled(false);
    connect(history_, &orv::ui::SettingsHistory::changed, this, &TForm1::showStatus);

    // Every change the user makes is noted; the keys typed into one field make one step.
    for (orv::ui::ChoiceBox* box : choices_) {
        connect(box, &QComboBox::currentIndexChanged, this,
                [this] { noteChange(QStringLiteral("Выбор")); });
    }
    // Keys typed into a field in a row make one step; leaving the field ends it, so that a
    // later edit of the same field is a step of its own.
    int field = 0;
    for (orv::ui::LimitedEdit* edit : fields_) {
        connect(edit, &QLineEdit::textChanged, this, [this, field] {
            noteChange(QStringLiteral("Поле"), field + 8 * (fieldEdits_ % 100000));
        });
        connect(edit, &QLineEdit::editingFinished, this, [this] { ++fieldEdits_; });
        ++field;
    }
    for (orv::ui::PhoneTableModel* model : tables_) {
        auto settle = [this] { noteChange(QStringLiteral("Таблица")); };
        // A row the grid adds is empty until something is typed into it (dataChanged).
        connect(model, &QAbstractItemModel::dataChanged, this, settle);
        connect(model, &QAbstractItemModel::rowsRemoved, this, settle);
    }
    auto* keys = new UndoKeys(this, {Memo1, Memo2});
    Memo1->installEventFilter(keys);
    Memo2->installEventFilter(keys);
    for (orv::ui::LimitedEdit* edit : fields_) {
        edit->installEventFilter(keys);
    }
    connect(portKeeper_, &orv::ui::PortKeeper::stateChanged, this, &TForm1::showPortStatus);
    connect(runner_, &orv::ui::OperationRunner::operationEnded, status_,
            &orv::ui::StatusLine::setOutcome);

    connect(NewSettings, &QAction::triggered, this, &TForm1::NewSettingsClick);
    connect(ExportNumbers, &QAction::triggered, this, &TForm1::ExportNumbersClick);
    connect(ImportNumbers, &QAction::triggered, this, &TForm1::ImportNumbersClick);
    connect(CompareWithFile, &QAction::triggered, this, &TForm1::CompareWithFileClick);
    connect(OperationHistory, &QAction::triggered, this, &TForm1::OperationHistoryClick);

    history_->reset();
    setSource(workingStateLoaded ? QString::fromLatin1(orv::kWorkingStateShownName)
                                 : QStringLiteral("Настройки по умолчанию"));
    showPortStatus();
}

void TForm1::noteChange(const QString& what, int field) {
    // The controls go before the window does: what they signal then is no edit.
    if (history_) {
        history_->settle(what, field);
    }
}

void TForm1::setSource(const QString& source) {
    source_ = source;
    sourceRecord_ = shownRecord();
    showStatus();
}

void TForm1::showStatus() {
    if (!history_) {
        return;
    }
    status_->setSource(source_, !(shownRecord() == sourceRecord_));
}

void TForm1::showPortStatus() {
    const auto& open = portKeeper_->openName();
    const auto& waiting = portKeeper_->waitingFor();
    if (open) {
        status_->setPort(QStringLiteral("Порт %1 открыт").arg(toQString(*open)));
    } else if (waiting) {
        status_->setPort(QStringLiteral("Порт %1 не найден").arg(toQString(*waiting)));
    } else {
        status_->setPort(QStringLiteral("Порт не открыт"));
    }
}

void TForm1::createDefaults() {
    history_->replace(QStringLiteral("Создать"), [this] { setRecord(orv::SettingsRecord()); });
    setSource(QStringLiteral("Настройки по умолчанию"));
    status_->setOutcome(QStringLiteral("Настройки по умолчанию (Ctrl+Z возвращает прежние)"));
}

void TForm1::NewSettingsClick() {
    createDefaults();
}

QString TForm1::askCsvPath(bool save, const QString& title) {
    QFileDialog dialog(this, title, QDir::currentPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("таблицы CSV (*.csv)"), QStringLiteral("все файлы (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().constFirst();
}

void TForm1::exportNumberListsTo(const std::string& path) {
    if (orv::ui::runCommand(this, [&] { orv::exportNumberLists(path, record()); })) {
        status_->setOutcome(QStringLiteral("Номера записаны в %1").arg(fileName(path)));
    }
}

void TForm1::ExportNumbersClick() {
    const QString path = askCsvPath(true, QStringLiteral("Экспорт номеров в CSV"));
    if (!path.isEmpty()) {
        exportNumberListsTo(path.toUtf8().toStdString());
    }
}

bool TForm1::importNumberListsFrom(const std::string& path, const orv::Text& shownName) {
    orv::SettingsRecord base;
    orv::NumberListsImport result;
    if (!orv::ui::runCommand(this, [&] {
            base = record();
            result = orv::importNumberListsFile(path, base);
        })) {
        status_->setOutcome(QStringLiteral("Импорт из %1 не выполнен").arg(toQString(shownName)));
        return false;
    }
    const bool refused = !result.refused.empty();
    const QString question = toQString(orv::describeImport(result, base)) +
                             (refused ? QStringLiteral("\n\nВзять файл без этих строк?")
                                      : QStringLiteral("\n\nЗаменить эти списки?"));
    if (orv::ui::showMessage(this, refused ? QMessageBox::Warning : QMessageBox::Question, question,
                             QMessageBox::Yes | QMessageBox::No,
                             refused ? QMessageBox::No : QMessageBox::Yes) != QMessageBox::Yes) {
        status_->setOutcome(QStringLiteral("Импорт отменён: окно не изменилось"));
        return false;
    }
    history_->replace(QStringLiteral("Импорт номеров из CSV"), [&] { setRecord(result.record); });
    setSource(toQString(shownName));
    status_->setOutcome(
        QStringLiteral("Номера взяты из %1 (Ctrl+Z возвращает прежние)").arg(toQString(shownName)));
    return true;
}

void TForm1::ImportNumbersClick() {
    const QString path = askCsvPath(false, QStringLiteral("Импорт номеров из CSV"));
    if (!path.isEmpty()) {
        importNumberListsFrom(path.toUtf8().toStdString(), toText(QFileInfo(path).fileName()));
    }
}

void TForm1::compareWithFile(const std::string& path, const orv::Text& shownName) {
    orv::Differences differences;
    if (!orv::ui::runCommand(
            this, [&] { differences = orv::compareWithFile(record(), path, shownName); })) {
        return;
    }
    status_->setOutcome(differences.none()
                            ? QStringLiteral("Окно совпадает с %1").arg(toQString(shownName))
                            : QStringLiteral("Окно отличается от %1").arg(toQString(shownName)));
    orv::ui::showMessage(
        this, differences.none() ? QMessageBox::Information : QMessageBox::Warning,
        toQString(orv::describeDifferences(differences, windowWords(), orv::ComparedWith::File)));
}

void TForm1::CompareWithFileClick() {
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) {
        return;
    }
    const QString path = OpenDialog1->selectedFiles().constFirst();
    compareWithFile(path.toUtf8().toStdString(), toText(QDir::toNativeSeparators(path)));
}

void TForm1::OperationHistoryClick() {
    if (!historyWindow_) {
        historyWindow_ = new orv::ui::HistoryWindow(*this, *runner_, this);
    }
    historyWindow_->showHistory();
}
