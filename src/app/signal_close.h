#pragma once
// SIGTERM and SIGHUP (the program told to stop, the desktop session ending) turned into a call
// on the user-interface thread: the signal handler only writes the signal's number into a pipe,
// whose other end the event loop watches.

#include <QObject>
#include <functional>

class QSocketNotifier;
class QTimer;

namespace orv::ui {

class SignalClose : public QObject {
    Q_OBJECT
  public:
    // Catches the signals from now on. Called as early as possible in the entry point: a signal
    // that comes before there is an event loop waits in the pipe.
    static bool install();

    // Calls `onSignal` on this thread for each signal caught, from the next pass of the event
    // loop on (also for one caught before).
    explicit SignalClose(std::function<void()> onSignal, QObject* parent = nullptr);
    // For the start-up, while the windows are made and no one is there to call yet: a signal
    // closes the message box open now and every one opened after it (as their close box
    // would), and is kept for setTarget.
    explicit SignalClose(QObject* parent = nullptr);
    // The signals' default action again.
    ~SignalClose() override;

    // From now on each signal calls `onSignal`; no more boxes are closed here.
    void setTarget(std::function<void()> onSignal);
    // A signal came before there was a target: the program is to end as soon as it can.
    bool caughtBeforeTarget() const { return caughtBeforeTarget_; }

  private:
    void readSignals();
    void closeBoxes();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* boxCloser_ = nullptr;
    bool caughtBeforeTarget_ = false;
};

}  // namespace orv::ui
