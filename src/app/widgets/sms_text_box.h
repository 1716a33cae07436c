#pragma once
// SmsTextBox, the SMS text box (Memo2). Keys go through the main window's counter; text that comes
// in any other way (pasted from the menu or by key, dropped) is held to the same limit here: what
// does not fit is refused, and the counter shows the limit reached.

#include <QPlainTextEdit>
#include <QStringList>
#include <vector>

namespace orv::ui {

class SmsTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit SmsTextBox(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

  signals:
    // The counter's text after a paste ("used/remaining").
    void counted(const QString& label);

  protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

// The lines of a text box as it shows them: each wrapped line on its own, without line breaks.
// The SMS counter counts them and the broadcast sends them.
QStringList shownLines(const QPlainTextEdit& box);

// The lengths of the shown lines, first line first.
std::vector<int> shownLineLengths(const QPlainTextEdit& box);

}  // namespace orv::ui
