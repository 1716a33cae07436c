#pragma once
// StatusLine, the main window's status bar below its client area: where the settings shown came
// from (a file name, Config.bak, the device, a CSV file) with a mark while the window differs
// from it, the serial port and whether it is open, and the outcome of the last command.

#include <QLabel>
#include <QStatusBar>

namespace orv::ui {

class StatusLine : public QStatusBar {
    Q_OBJECT
  public:
    // The mark after the source while the window differs from it.
    static inline const QString kChangedMark = QStringLiteral(" *");

    explicit StatusLine(QWidget* parent = nullptr);

    void setSource(const QString& source, bool differs);
    void setPort(const QString& port);
    void setOutcome(const QString& outcome);

    QString sourceText() const { return source_->text(); }
    QString portText() const { return port_->text(); }
    QString outcomeText() const { return outcome_->text(); }

  private:
    QLabel* source_;
    QLabel* port_;
    QLabel* outcome_;
};

}  // namespace orv::ui
