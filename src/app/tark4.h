#pragma once
// The progress window: a caption and one progress bar, shown by the device operations while they
// run, without blocking them.

#include <QWidget>

class QProgressBar;

class TForm4 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm4(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const;

    // Makes the window visible and brings it to the front; returns at once. The window is drawn
    // before the call returns, as the operations keep the event loop waiting while they run.
    void show();
    // Hides the window; it can be shown again. (QWidget::close.)

    void setMinimum(int minimum);
    void setMaximum(int maximum);
    int minimum() const;
    int maximum() const;
    // Positions outside the range are taken as its nearer end.
    void setPosition(int position);
    int position() const;

  private:
    QProgressBar* ProgressBar1;
};
