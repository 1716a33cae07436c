#include "app/dialogs/history_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/operation_runner.h"
#include "app/text_bridge.h"
#include "app/window_font.h"
#include "records/support_bundle.h"

namespace orv::ui {
namespace {

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What each exit status stands for, as the list says it beside the number.
QString statusMeaning(const std::string& status) {
    static const char* const meanings[] = {
        "выполнено",        "отклонено",   "порт недоступен", "ошибка устройства",
        "есть расхождения", "остановлено", "связь потеряна",  "не все SMS подтверждены",
        "файл не сохранён",
    };
    if (status.size() == 1 && status[0] >= '0' && status[0] <= '8') {
        return QString::fromUtf8(meanings[status[0] - '0']);
    }
    return QString();
}

// How the record's operation ended, in a line: its status, what that stands for, and the first
// line of its message.
QString outcomeCell(const HistoryEntry& entry) {
    if (entry.unfinished()) {
        return QStringLiteral("не завершена");
    }
    if (entry.status.empty()) {
        return utf8(entry.problem).section(QLatin1Char('\n'), 0, 0);
    }
    QString cell = utf8(entry.status);
    if (const QString meaning = statusMeaning(entry.status); !meaning.isEmpty()) {
        cell += QStringLiteral(" (") + meaning + QLatin1Char(')');
    }
    const QString message = utf8(entry.message).section(QLatin1Char('\n'), 0, 0);
    return message.isEmpty() ? cell : cell + QStringLiteral(": ") + message;
}

// A file of the record as the window shows it: whole, or its end within `tail` bytes; a file
// that is missing or refused says so in its place.
QString shownFile(const HistoryEntry& entry, const char* name, std::size_t tail) {
    try {
        return utf8(tail > 0 ? readHistoryFileTail(entry.folder, name, tail)
                             : readHistoryFile(entry.folder, name));
    } catch (const FileRefused& refused) {
        return refused.reason() == FileRefused::Reason::CannotOpen
                   ? QStringLiteral("(нет файла %1)").arg(QString::fromLatin1(name))
                   : toQString(refused.text());
    }
}

QPlainTextEdit* readOnlyText(QWidget* parent, const char* name) {
    auto* text = new QPlainTextEdit(parent);
    text->setObjectName(name);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    return text;
}

}  // namespace

HistoryWindow::HistoryWindow(TForm1& main, OperationRunner& runner, QWidget* parent)
    : QWidget(parent, Qt::Window), main_(main), runner_(runner) {
    setObjectName("HistoryWindow");
    setFont(windowFont());
    setWindowTitle(QStringLiteral("История операций"));
    setAttribute(Qt::WA_QuitOnClose, false);

    HistoryTable = new QTableWidget(0, 5, this);
    HistoryTable->setObjectName("HistoryTable");
    HistoryTable->setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Операция"),
                                             QStringLiteral("Порт"), QStringLiteral("Метка"),
                                             QStringLiteral("Итог")});
    HistoryTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    HistoryTable->setSelectionMode(QAbstractItemView::SingleSelection);
    HistoryTable->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    HistoryTable->verticalHeader()->hide();
    HistoryTable->horizontalHeader()->setStretchLastSection(true);

    ProblemLabel = new QLabel(this);
    ProblemLabel->setObjectName("ProblemLabel");
    ProblemLabel->setWordWrap(true);
    ProblemLabel->hide();
    OutcomeMemo = readOnlyText(this, "OutcomeMemo");
    TranscriptMemo = readOnlyText(this, "TranscriptMemo");

    OpenButton = new QPushButton(QStringLiteral("Открыть в окне"), this);
    OpenButton->setObjectName("OpenButton");
    ExportButton = new QPushButton(QStringLiteral("Экспорт для поддержки…"), this);
    ExportButton->setObjectName("ExportButton");

    auto* details = new QWidget(this);
    auto* detailsLayout = new QHBoxLayout(details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->addWidget(OutcomeMemo, 1);
    detailsLayout->addWidget(TranscriptMemo, 2);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(HistoryTable);
    split->addWidget(details);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OpenButton);
    buttons->addWidget(ExportButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(split, 1);
    layout->addWidget(ProblemLabel);
    layout->addLayout(buttons);
    resize(820, 560);

    connect(HistoryTable, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::showChosen);
    connect(HistoryTable, &QTableWidget::itemChanged, this, &HistoryWindow::labelEdited);
    connect(OpenButton, &QPushButton::clicked, this, [this] { openChosen(); });
    connect(ExportButton, &QPushButton::clicked, this, &HistoryWindow::exportChosen);
    runner_.addProgramWindow(this);
    // An operation's record shows from its start (read-only while it runs) to its end.
    const auto refreshShown = [this] {
        if (isVisible()) {
            refresh();
        }
    };
    connect(&runner_, &OperationRunner::busyChanged, this, refreshShown);
    connect(&runner_, &OperationRunner::operationEnded, this, refreshShown);
}

void HistoryWindow::showHistory() {
    refresh();
    if (!isVisible() && parentWidget()) {
        // Over the main window, where the user asked for it.
        move(parentWidget()->geometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

bool HistoryWindow::editable(const HistoryEntry& entry) const {
    return !entry.unfinished() && entry.folder != runner_.runningRecord();
}

void HistoryWindow::refresh() {
    const int chosen = chosenRow();
    const std::string kept = chosen >= 0 ? entry(chosen).folder : std::string();
    runCommand(this, [&] { entries_ = listHistory(runner_.historyDataFolder()); });
    fillTable();
    int row = rows() > 0 ? 0 : -1;  // the newest, unless one was chosen
    for (int r = 0; r < rows(); ++r) {
        if (!kept.empty() && entry(r).folder == kept) {
            row = r;
        }
    }
    if (row >= 0) {
        HistoryTable->selectRow(row);
    }
    showChosen();
}

void HistoryWindow::fillTable() {
    filling_ = true;
    HistoryTable->clearContents();
    HistoryTable->setRowCount(rows());
    for (int row = 0; row < rows(); ++row) {
        const HistoryEntry& e = entry(row);
        const QString cells[] = {utf8(e.start), utf8(e.operation), utf8(e.port), utf8(e.label),
                                 outcomeCell(e)};
        for (int column = 0; column < 5; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
            if (column == LabelColumn && editable(e)) {
                flags |= Qt::ItemIsEditable;
            }
            item->setFlags(flags);
            HistoryTable->setItem(row, column, item);
        }
    }
    HistoryTable->resizeColumnsToContents();
    filling_ = false;
}

int HistoryWindow::chosenRow() const {
    const QList<QTableWidgetItem*> chosen = HistoryTable->selectedItems();
    return chosen.isEmpty() ? -1 : chosen.constFirst()->row();
}

void HistoryWindow::showChosen() {
    const int row = chosenRow();
    OpenButton->setEnabled(row >= 0);
    ExportButton->setEnabled(row >= 0);
    if (row < 0) {
        OutcomeMemo->clear();
        TranscriptMemo->clear();
        ProblemLabel->hide();
        return;
    }
    const HistoryEntry& e = entry(row);
    ProblemLabel->setText(utf8(e.problem));
    ProblemLabel->setVisible(!e.problem.empty());
    OutcomeMemo->setPlainText(shownFile(e, kHistoryOutcomeFile, 0));
    TranscriptMemo->setPlainText(shownFile(e, kHistoryTranscriptFile, kTranscriptShown));
    TranscriptMemo->moveCursor(QTextCursor::End);
}

void HistoryWindow::labelEdited(QTableWidgetItem* item) {
    if (filling_ || item->column() != LabelColumn) {
        return;
    }
    HistoryEntry& e = entries_.at(static_cast<std::size_t>(item->row()));
    const std::string label = item->text().toUtf8().toStdString();
    if (label == e.label) {
        return;
    }
    if (runCommand(this, [&] { relabelHistoryRecord(e.folder, label); })) {
        e.label = label;
        return;
    }
    // Refused: the label shown is the one kept.
    filling_ = true;
    item->setText(utf8(e.label));
    filling_ = false;
}

bool HistoryWindow::openChosen() {
    const int row = chosenRow();
    if (row < 0) {
        return false;
    }
    const HistoryEntry& e = entry(row);
    const QString path = utf8(e.folder + "/" + kHistoryRecordFile);
    if (!QFileInfo::exists(path)) {
        showMessage(this, QMessageBox::Warning,
                    QStringLiteral("В записи нет конфигурации (record.cfg)."));
        return false;
    }
    return main_.openConfiguration(path, utf8(e.name + "/" + kHistoryRecordFile));
}

void HistoryWindow::exportChosen() {
    const int row = chosenRow();
    if (row < 0) {
        return;
    }
    const HistoryEntry& e = entry(row);
    QFileDialog dialog(this, QStringLiteral("Экспорт для поддержки"));
    dialog.setObjectName("ExportDialog");
    // The platform's own dialog could move the process's current directory.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("архив tar.gz (*.tar.gz)"), QStringLiteral("все файлы (*)")});
    dialog.setDefaultSuffix(QStringLiteral("tar.gz"));
    dialog.selectFile(utf8(e.name) + QStringLiteral(".tar.gz"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().constFirst().toUtf8().toStdString();
    const bool withPassword =
        showMessage(this, QMessageBox::Question,
                    QStringLiteral("Включить в архив цифры пароля устройства? Без них каждая "
                                   "цифра пароля заменяется на «*»."),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    runCommand(this, [&] { writeSupportBundle(e.folder, path, withPassword); });
}

}  // namespace orv::ui
