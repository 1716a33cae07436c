#include "app/port_keeper.h"

#include <QMessageBox>
#include <QPointer>
#include <memory>

#include "app/dialogs/port_settings_window.h"
#include "app/messages.h"
#include "app/operation_runner.h"
#include "app/text_bridge.h"
#include "link/link.h"
#include "link/port_problems.h"

namespace orv::ui {
namespace {

// A port that is back but cannot be opened (its rights not set yet, held by another program)
// is tried quietly this many times before the failure is shown.
constexpr int kQuietTries = 5;

bool isMissing(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const PortFailure& failure) {
        return failure.problem() == PortProblem::Missing;
    } catch (...) {
    }
    return false;
}

}  // namespace

PortKeeper::PortKeeper(QWidget& window, PortFlags& flags, OperationRunner& runner, Link& link,
                       PortList& ports)
    : QObject(&window),
      window_(window),
      flags_(flags),
      runner_(runner),
      link_(link),
      ports_(&ports) {
    watch_.setInterval(kWatchInterval);
    connect(&watch_, &QTimer::timeout, this, &PortKeeper::look);
}

void PortKeeper::setSettingsWindow(TForm3* settings) {
    settings_ = settings;
    showState();
}

bool PortKeeper::chooseName(std::optional<Text>& name) {
    if (!runCommand(&window_, [&] { name = readPortName(kPortSettingsFile); })) {
        return false;
    }
    if (name) {
        return true;
    }
    // No port chosen yet: the first port found, shown in the port box too.
    if (settings_) {
        name = settings_->selectFirstPort();
    } else if (const std::vector<PortEntry> ports = ports_->ports(); !ports.empty()) {
        name = ports.front().name;
    }
    if (name) {
        return true;
    }
    if (!noPortsTold_) {
        noPortsTold_ = true;
        showMessage(&window_, QMessageBox::Information, toQString(noPortsMessage()));
    }
    return false;
}

bool PortKeeper::activate() {
    if (activating_) {
        return false;
    }
    PortFlags& flags = flags_;
    if (flags.firstActivation && !flags.portChanged) {
        return true;
    }
    if (waiting_ && !flags.portChanged) {
        // Gone: it is opened again once it is back, not at every activation.
        return false;
    }
    stopWatching();
    std::optional<Text> name;
    if (!chooseName(name)) {
        return false;
    }
    // The opening with its pauses runs on the link thread while the windows take no input but
    // keep painting.
    activating_ = true;
    auto after = std::make_shared<PortFlags>(flags);
    const std::exception_ptr failure = runner_.runAndWait([after, name](LinkContext& link) {
        LinkPortOpening opening(link);
        activatePort(*after, opening, name);
    });
    activating_ = false;
    flags = *after;
    if (failure) {
        open_.reset();
        if (isMissing(failure)) {
            // Told once; the port is opened as soon as it is there.
            watch(*name);
        }
        showState();
        OperationRunner::showOutcome(&window_, failure);
        return false;
    }
    open_ = *name;
    showState();
    return true;
}

void PortKeeper::lost() {
    PortFlags& flags = flags_;
    flags.portOpen = 0;
    flags.firstActivation = 0;
    if (open_) {
        watch(*open_);
    }
    open_.reset();
    showState();
}

void PortKeeper::closed() {
    PortFlags& flags = flags_;
    flags.portOpen = 0;
    flags.firstActivation = 0;
    open_.reset();
    stopWatching();
    showState();
}

void PortKeeper::watch(const Text& name) {
    waiting_ = name;
    quietFailures_ = 0;
    watch_.start();
}

void PortKeeper::stopWatching() {
    waiting_.reset();
    watch_.stop();
}

void PortKeeper::look() {
    if (!waiting_ || activating_ || runner_.busy()) {
        return;
    }
    if (flags_.portChanged) {
        // Another port was chosen meanwhile: the next activation opens that one.
        stopWatching();
        showState();
        return;
    }
    if (!ports_->present(*waiting_)) {
        return;
    }
    activating_ = true;
    QPointer<PortKeeper> self(this);
    const Text name = *waiting_;
    link_.post([name](LinkContext& link) { link.openPort(name); },
               [self, name](std::exception_ptr error) {
                   if (self) {
                       self->activating_ = false;
                       self->reopened(name, error);
                   }
               });
}

void PortKeeper::reopened(const Text& name, std::exception_ptr error) {
    if (!waiting_ || *waiting_ != name) {
        return;
    }
    PortFlags& flags = flags_;
    if (!error) {
        flags.portOpen = 1;
        flags.firstActivation = 1;
        flags.portChanged = 0;
        open_ = name;
        stopWatching();
        showState();
        return;
    }
    if (++quietFailures_ < kQuietTries) {
        return;
    }
    // Back, but it cannot be opened: say why, and leave it to the activations as before.
    stopWatching();
    showState();
    OperationRunner::showOutcome(&window_, error);
}

void PortKeeper::showState() {
    if (settings_) {
        settings_->showPortState(open_, waiting_);
    }
    emit stateChanged();
}

}  // namespace orv::ui
