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
    addWidget(source_);
    addWidget(outcome_, 1);
    addPermanentWidget(port_);
}

void StatusLine::setSource(const QString& source, bool differs) {
    source_->setText(source + (differs ? kChangedMark : QString()));
    source_->setToolTip(differs ? QStringLiteral("Настройки окна отличаются от источника")
                                : QString());
}

void StatusLine::setPort(const QString& port) {
    port_->setText(port);
}

void StatusLine::setOutcome(const QString& outcome) {
    outcome_->setText(outcome);
}

}  // namespace orv::ui
