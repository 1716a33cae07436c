#pragma once
// SIGTERM and SIGHUP (the program told to stop, the desktop session ending) turned into a call
// on the user-interface thread: the signal handler only writes the signal's number into a pipe,
// whose other end the event loop watches.

#include <QObject>
#include <functional>

class QSocketNotifier;

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
    // The signals' default action again.
    ~SignalClose() override;

  private:
    void readSignals();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace orv::ui
