#include "app/controls.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace orv::ui {

LimitedEdit::LimitedEdit(const QString& objectName, int limit, QWidget* parent)
    : QLineEdit(parent), limit_(limit) {
    setObjectName(objectName);
    setMaxLength(limit_);
    connect(this, &QLineEdit::textChanged, this, &LimitedEdit::restoreLimit);
}

void LimitedEdit::setValue(const QString& text) {
    // QLineEdit cuts text to its maximum length, so the maximum is raised to the text first.
    setMaxLength(std::max(limit_, static_cast<int>(text.size())));
    setText(text);
}

void LimitedEdit::restoreLimit() {
    if (maxLength() != limit_ && text().size() <= limit_) {
        const int cursor = cursorPosition();
        setMaxLength(limit_);
        setCursorPosition(cursor);
    }
}

ChoiceBox::ChoiceBox(const QString& objectName, const QString& item0, const QString& item1,
                     QWidget* parent)
    : QComboBox(parent) {
    setObjectName(objectName);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // No completion: typed text is taken as it stands.
    setCompleter(nullptr);
    addItem(item0);
    addItem(item1);
    connect(lineEdit(), &QLineEdit::textEdited, this, &ChoiceBox::selectTyped);
}

void ChoiceBox::setChoice(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

void ChoiceBox::selectTyped(const QString& text) {
    const int found = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found == currentIndex()) {
        return;
    }
    const int cursor = lineEdit()->cursorPosition();
    setCurrentIndex(found);
    // Selecting no item empties the box; the typed text stays.
    if (lineEdit()->text() != text) {
        lineEdit()->setText(text);
        lineEdit()->setCursorPosition(cursor);
    }
}

UpDown::UpDown(const QString& objectName, LimitedEdit* buddy, int minimum, int maximum,
               QWidget* parent)
    : QWidget(parent),
      buddy_(buddy),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)),
      minimum_(minimum),
      maximum_(maximum),
      position_(minimum) {
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    buddy_->installEventFilter(this);
}

void UpDown::setPosition(int value) {
    position_ = std::clamp(value, minimum_, maximum_);
    buddy_->setValue(QString::number(position_));
}

void UpDown::stepBy(int delta) {
    bool ok = false;
    const int typed = buddy_->text().trimmed().toInt(&ok);
    setPosition((ok ? typed : position_) + delta);
}

void UpDown::takeBuddyText() {
    bool ok = false;
    const int value = buddy_->text().trimmed().toInt(&ok);
    if (ok && value >= minimum_ && value <= maximum_) {
        position_ = value;
    }
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            stepBy(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace orv::ui
