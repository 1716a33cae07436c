#pragma once
// HistoryWindow, "История операций": the records the device operations left in the data
// folder's history, newest first (time, operation, port, label, outcome), the label editable;
// beneath, the chosen record's outcome and the end of its transcript; its configuration opened
// into the main window as "Открыть" opens a file, and a support bundle of it exported.
//
// The window takes no input while an operation runs (the runner's program windows); a record of
// an operation still running (here or in another program) is shown only: its label stays.

#include <QWidget>
#include <string>
#include <vector>

#include "records/history_list.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class TForm1;

namespace orv::ui {

class OperationRunner;

class HistoryWindow : public QWidget {
    Q_OBJECT
  public:
    // The columns of the table.
    enum Column { TimeColumn, OperationColumn, PortColumn, LabelColumn, OutcomeColumn };
    // The end of a transcript the window shows, in bytes.
    static constexpr std::size_t kTranscriptShown = 64 * 1024;

    // The records of `runner`'s data folder; "Открыть в окне" loads into `main`.
    HistoryWindow(TForm1& main, OperationRunner& runner, QWidget* parent = nullptr);

    // Shows the window without blocking, or brings it forward, with the list read afresh.
    void showHistory();
    // Reads the list afresh; the record chosen stays chosen while it is there.
    void refresh();

    // The record of a row, from the newest at 0.
    const HistoryEntry& entry(int row) const { return entries_.at(static_cast<std::size_t>(row)); }
    int rows() const { return static_cast<int>(entries_.size()); }
    // Whether a record may be changed: not while its operation still runs.
    bool editable(const HistoryEntry& entry) const;

    // The chosen record's configuration into the main window; false when there is none or the
    // main window refused it (which it told).
    bool openChosen();
    // A support bundle of the chosen record: where, then whether with the password digits.
    void exportChosen();

  private:
    void fillTable();
    void showChosen();
    void labelEdited(QTableWidgetItem* item);
    int chosenRow() const;

    TForm1& main_;
    OperationRunner& runner_;
    std::vector<HistoryEntry> entries_;
    bool filling_ = false;
    QTableWidget* HistoryTable = nullptr;
    QLabel* ProblemLabel = nullptr;
    QPlainTextEdit* OutcomeMemo = nullptr;
    QPlainTextEdit* TranscriptMemo = nullptr;
    QPushButton* OpenButton = nullptr;
    QPushButton* ExportButton = nullptr;
};

}  // namespace orv::ui
