// TForm2, the about window: its definitions (about_window.h says what it does).
#include "app/dialogs/about_window.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

#include "app/window_font.h"

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      Memo1(new QPlainTextEdit(this)) {
    setObjectName("Form2");
    setFont(orv::ui::windowFont());
    setWindowTitle(QStringLiteral("О программе"));
    setAttribute(Qt::WA_QuitOnClose, false);

    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setFocusPolicy(Qt::StrongFocus);
    Memo1->setPlainText(QStringList{
        QStringLiteral("Программа программирования GSM-ТАРКА Орвелин-9."),
        QStringLiteral("Версия программы 1.0.7 от 1.11.12."),
        QStringLiteral("Изготовитель: предприятие-изготовитель"),
        QStringLiteral("Адрес: 000000, г. Образцово, ул. Примерная, 0"),
        QStringLiteral("Телефон: +7 (000) 000-00-00"),
        QStringLiteral("Телефон сервиса: +7 (000) 000-00-01"),
        QStringLiteral("E-mail: info@example.com"),
        QStringLiteral("Сайт: www.example.com"),
    }
                            .join('\n'));
    Memo1->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    setFixedSize(306, 132);
}

void TForm2::showAbout() {
    show();
    raise();
    activateWindow();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F3) {
        emit terminalRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
