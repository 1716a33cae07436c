#include "app/signal_close.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <csignal>

namespace orv::ui {
namespace {

int pipeEnds[2] = {-1, -1};  // [0] read by the event loop, [1] written by the handler

void caught(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // Non-blocking: when the pipe is full, the signals before are enough.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

void handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

bool SignalClose::install() {
    if (pipeEnds[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeEnds) != 0) {
        pipeEnds[0] = pipeEnds[1] = -1;
        return false;
    }
    handle(SIGTERM, caught);
    handle(SIGHUP, caught);
    return true;
}

SignalClose::SignalClose(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (!install()) {
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalClose::readSignals);
}

SignalClose::SignalClose(QObject* parent) : SignalClose(std::function<void()>(), parent) {}

void SignalClose::setTarget(std::function<void()> onSignal) {
    onSignal_ = std::move(onSignal);
    if (boxCloser_) {
        boxCloser_->stop();
    }
}

void SignalClose::closeBoxes() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
    }
}

SignalClose::~SignalClose() {
    handle(SIGTERM, SIG_DFL);
    handle(SIGHUP, SIG_DFL);
}

void SignalClose::readSignals() {
    char bytes[16];
    bool any = false;
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        any = true;
    }
    if (!any) {
        return;
    }
    if (onSignal_) {
        onSignal_();
        return;
    }
    caughtBeforeTarget_ = true;
    // A box of the start-up runs its own event loop: it is closed now, and so is each box
    // that follows it until the start-up is done.
    closeBoxes();
    if (!boxCloser_) {
        boxCloser_ = new QTimer(this);
        connect(boxCloser_, &QTimer::timeout, this, &SignalClose::closeBoxes);
        boxCloser_->start(20);
    }
}

}  // namespace orv::ui
