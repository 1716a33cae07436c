#include "app/tark4.h"

#include <QApplication>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/window_font.h"

TForm4::TForm4(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ProgressBar1(new QProgressBar(this)) {
    setObjectName("Form4");
    setFont(orv::ui::windowFont());
    setWindowTitle(QStringLiteral("Запись программирования"));
    setAttribute(Qt::WA_QuitOnClose, false);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ProgressBar1);
    setFixedSize(500, 33);
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
