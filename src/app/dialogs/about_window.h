#pragma once
// TForm2, the about window. F3 in its text box reveals the terminal tab of the main window.

#include <QWidget>

class QPlainTextEdit;

class TForm2 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    // Shows the window, or brings it forward when it is shown already.
    void showAbout();

  signals:
    // F3 was pressed in the text box, with or without Shift, Ctrl or Alt.
    void terminalRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPlainTextEdit* Memo1;
};
