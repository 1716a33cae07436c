// TForm4, the progress window: its definitions (progress_window.h says what it does).
#include "app/dialogs/progress_window.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/text_bridge.h"
#include "app/window_font.h"
#include "operations/schedule.h"

TForm4::TForm4(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ProgressBar1(new QProgressBar(this)),
      tick_(new QTimer(this)) {
    setObjectName("Form4");
    setFont(orv::ui::windowFont());
    setWindowTitle(QStringLiteral("Запись программирования"));
    setAttribute(Qt::WA_QuitOnClose, false);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    // The text is drawn inside the bar, so that the window keeps its size and layout.
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ProgressBar1);
    setFixedSize(500, 33);
    tick_->setInterval(1000);
    connect(tick_, &QTimer::timeout, this, &TForm4::showStatus);
}

void TForm4::setCaption(const QString& caption) {
    setWindowTitle(caption);
}

QString TForm4::caption() const {
    return windowTitle();
}

void TForm4::show() {
    // Over the middle of the main window, where the user looks when starting an operation.
    if (!isVisible() && parentWidget() && parentWidget()->isVisible()) {
        const QRect owner = parentWidget()->frameGeometry();
        move(owner.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    QWidget::show();
    raise();
    activateWindow();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm4::setMinimum(int minimum) {
    ProgressBar1->setMinimum(minimum);
}

void TForm4::setMaximum(int maximum) {
    ProgressBar1->setMaximum(maximum);
}

int TForm4::minimum() const {
    return ProgressBar1->minimum();
}

int TForm4::maximum() const {
    return ProgressBar1->maximum();
}

void TForm4::setPosition(int position) {
    ProgressBar1->setValue(std::clamp(position, ProgressBar1->minimum(), ProgressBar1->maximum()));
    if (isVisible()) {
        ProgressBar1->repaint();
    }
}

int TForm4::position() const {
    return ProgressBar1->value();
}

void TForm4::setTimeLeft(qint64 left, bool upperBound) {
    left_ = std::max<qint64>(left, 0);
    upperBound_ = upperBound;
    since_.start();
    // The countdown keeps the step of the reports: a second after each, then every second.
    tick_->start();
    showStatus();
}

void TForm4::setStopOffered(bool offered) {
    stopOffered_ = offered;
    showStatus();
}

void TForm4::setStopping() {
    stopping_ = true;
    showStatus();
}

void TForm4::clearStatus() {
    tick_->stop();
    left_ = -1;
    stopOffered_ = false;
    stopping_ = false;
    showStatus();
}

QString TForm4::barText() const {
    QString text;
    if (left_ >= 0) {
        const qint64 left = std::max<qint64>(left_ - since_.elapsed(), 0);
        text = orv::ui::toQString(orv::timeLeftText(static_cast<orv::Millis>(left), upperBound_));
    }
    QString key;
    if (stopping_) {
        key = QStringLiteral("остановка после текущей строки…");
    } else if (stopOffered_) {
        key = QStringLiteral("Esc: остановить");
    }
    if (!text.isEmpty() && !key.isEmpty()) {
        text += QStringLiteral(" — ");
    }
    return text + key;
}

void TForm4::hideEvent(QHideEvent* event) {
    clearStatus();
    QWidget::hideEvent(event);
}

void TForm4::showStatus() {
    const QString text = barText();
    ProgressBar1->setTextVisible(!text.isEmpty());
    ProgressBar1->setFormat(text);
    if (isVisible()) {
        ProgressBar1->repaint();
    }
}
