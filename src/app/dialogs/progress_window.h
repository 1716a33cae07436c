#pragma once
// TForm4, the progress window: a caption and one progress bar, shown by the device operations while
// they run, without blocking them. The bar's own text tells the time the operation still takes, as
// the operation counts it from its schedule, and that Escape stops it.

#include <QElapsedTimer>
#include <QWidget>

class QProgressBar;
class QTimer;

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

    // The time left as the operation reported it, in ms from now; `upperBound` when it is the
    // most the rest can take. The bar counts it down every second until the next report.
    void setTimeLeft(qint64 left, bool upperBound);
    // Whether Escape stops the running operation; the bar's text names the key.
    void setStopOffered(bool offered);
    bool stopOffered() const { return stopOffered_; }
    // A stop was asked for: the bar says so instead of the key.
    void setStopping();
    // The operation has ended: the bar's text goes, the window may stay (after a failure).
    void clearStatus();
    // What the bar's text says now; empty when it shows none.
    QString barText() const;

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void showStatus();

    QProgressBar* ProgressBar1;
    QTimer* tick_;
    QElapsedTimer since_;  // since the last report
    qint64 left_ = -1;     // none reported
    bool upperBound_ = false;
    bool stopOffered_ = false;
    bool stopping_ = false;
};
