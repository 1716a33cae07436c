#pragma once
// The main window's serial port over its life: opened at the first activation (the first port
// found when no port was chosen), reopened after the name changed, and, when the port went away
// (its adapter unplugged) or was not there at all, opened again by itself once it is back
// instead of being tried at every activation.

#include <QObject>
#include <QTimer>
#include <exception>
#include <optional>

#include "app/default_ports.h"
#include "base/text.h"
#include "link/port_list.h"
#include "link/port_settings.h"

class QWidget;
class TForm3;

namespace orv {
class Link;
}

namespace orv::ui {

class OperationRunner;

class PortKeeper : public QObject {
    Q_OBJECT
  public:
    // Watches for a vanished port at this interval; a look costs one file status.
    static constexpr int kWatchInterval = 1000;

    // Keeps the port of `window` (the main window, which its messages are shown over and
    // which owns the keeper) with its port flags, opening it through `runner` at an activation
    // and quietly on `link` once a port watched for is back.
    PortKeeper(QWidget& window, PortFlags& flags, OperationRunner& runner, Link& link,
               PortList& ports);

    void setPortList(PortList& ports) { ports_ = &ports; }
    PortList& portList() { return *ports_; }
    void setSettingsWindow(TForm3* settings);
    void setWatchInterval(int ms) { watch_.setInterval(ms); }

    // The port steps of an activation of the main window. True when the activation went
    // through (the port is open as chosen, or was open already); false when it ends here: the
    // opening failed and was shown, there is no port at all (told once in the program's run),
    // or the port chosen is gone and is being watched for.
    bool activate();
    // True while a port opening runs on the link.
    bool activating() const { return activating_; }

    // The open port went away: the next activations leave it alone and it is opened again,
    // without a message, once it is back under its name.
    void lost();
    // The program closed the port (its close handler): the next activation opens it again.
    void closed();

    const std::optional<Text>& openName() const { return open_; }
    const std::optional<Text>& waitingFor() const { return waiting_; }

  signals:
    // The port opened, closed, went away or is watched for.
    void stateChanged();

  private:
    // The name to open: the port settings file's line, or the first port of the list.
    bool chooseName(std::optional<Text>& name);
    void watch(const Text& name);
    void stopWatching();
    // One look for the port watched for, and a quiet opening once it is there.
    void look();
    // How the quiet opening of `name` ended.
    void reopened(const Text& name, std::exception_ptr error);
    void showState();

    QWidget& window_;
    PortFlags& flags_;
    OperationRunner& runner_;
    Link& link_;
    PortList* ports_;
    TForm3* settings_ = nullptr;
    QTimer watch_;
    std::optional<Text> open_;     // the port open now
    std::optional<Text> waiting_;  // the port watched for
    int quietFailures_ = 0;        // openings of a port that is back, failed in a row
    bool activating_ = false;
    bool noPortsTold_ = false;
};

}  // namespace orv::ui
