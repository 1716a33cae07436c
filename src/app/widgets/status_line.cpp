// StatusLine, the main window's status bar (status_line.h says what it shows).
#include "app/widgets/status_line.h"

namespace orv::ui {

StatusLine::StatusLine(QWidget* parent)
    : QStatusBar(parent),
      source_(new QLabel(this)),
      port_(new QLabel(this)),
      outcome_(new QLabel(this)) {
    setObjectName(QStringLiteral("StatusLine"));
    setSizeGripEnabled(false);
    source_->setObjectName(QStringLiteral("StatusSource"));
    port_->setObjectName(QStringLiteral("StatusPort"));
    outcome_->setObjectName(QStringLiteral("StatusOutcome"));
    // The bar shares the window's width and never widens it: a long text is cut. (No hints:
    // the window has hints only where it always had them.)
    for (QLabel* label : {source_, outcome_, port_}) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setMinimumWidth(0);
    }
    addWidget(source_, 3);
    addWidget(outcome_, 5);
    addPermanentWidget(port_, 3);
}

void StatusLine::setSource(const QString& source, bool differs) {
    source_->setText(source + (differs ? kChangedMark : QString()));
}

void StatusLine::setPort(const QString& port) {
    port_->setText(port);
}

void StatusLine::setOutcome(const QString& outcome) {
    outcome_->setText(outcome);
    // The bar may cut a long outcome; the whole of it shows under the pointer.
    outcome_->setToolTip(outcome);
}

}  // namespace orv::ui
