#include "app/activation.h"

#include <QGuiApplication>
#include <QWidget>

namespace orv::ui {

ActivationTracker::ActivationTracker(QWidget* window) : QObject(window), window_(window) {
    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            &ActivationTracker::focusWindowChanged);
}

bool ActivationTracker::focusWindowChanged(QWindow* now) {
    if (!now) {
        away_ = true;
        return false;
    }
    if (now->type() == Qt::Popup || now->type() == Qt::ToolTip) {
        return false;
    }
    QWindow* main = window_ ? window_->windowHandle() : nullptr;
    bool activation = false;
    if (now == main) {
        if (first_) {
            activation = true;
        } else if (skipNextReturn_) {
            // Back from a message the activation itself showed: showing it again would never end.
            skipNextReturn_ = false;
        } else if (hadLast_ && last_ != main) {
            // From another window of the program, directly or after it was closed; not when the
            // user went to another program and comes back.
            activation = !away_ || last_.isNull() || !last_->isVisible();
        }
    } else if (handling_) {
        skipNextReturn_ = true;
    }
    last_ = now;
    hadLast_ = true;
    away_ = false;
    if (activation) {
        first_ = false;
        QMetaObject::invokeMethod(this, &ActivationTracker::emitActivated, Qt::QueuedConnection);
    }
    return activation;
}

void ActivationTracker::emitActivated() {
    handling_ = true;
    emit activated();
    handling_ = false;
}

}  // namespace orv::ui
