// LimitedEdit, ChoiceBox and UpDown, the settings controls of the main window: its definitions
// (controls.h says what it does).
#include "app/widgets/controls.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace orv::ui {

CharacterFilter::CharacterFilter(QString allowed, const LimitedEdit* edit)
    : QValidator(const_cast<LimitedEdit*>(edit)), allowed_(std::move(allowed)), edit_(edit) {}

QValidator::State CharacterFilter::validate(QString& input, int& position) const {
    QString kept;
    int keptPosition = 0;
    for (int i = 0; i < input.size(); ++i) {
        if (allowed_.contains(input[i])) {
            kept += input[i];
            if (i < position) {
                ++keptPosition;
            }
        }
    }
    // Past the limit (or past a longer text the program put in), the end of what was just
    // inserted, which ends at the cursor, is left out; the text that was there stays.
    const QString& before = edit_->previousText();
    const int room = std::max(edit_->limit(), static_cast<int>(before.size()));
    const int excess = static_cast<int>(kept.size()) - room;
    if (excess > 0) {
        int common = 0;
        while (common < kept.size() && common < before.size() && kept[common] == before[common]) {
            ++common;
        }
        if (keptPosition - excess < common) {
            return Invalid;
        }
        kept.remove(keptPosition - excess, excess);
        keptPosition -= excess;
    }
    input = kept;
    position = keptPosition;
    return Acceptable;
}

LimitedEdit::LimitedEdit(const QString& objectName, int limit, QWidget* parent)
    : QLineEdit(parent), limit_(limit) {
    setObjectName(objectName);
    setMaxLength(limit_);
    connect(this, &QLineEdit::textChanged, this, &LimitedEdit::restoreLimit);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { previous_ = text; });
}

void LimitedEdit::setValue(const QString& text) {
    // QLineEdit cuts text to its maximum length, so the maximum is raised to the text first;
    // the character filter is for the user's input, not for what the program puts in.
    const QValidator* filter = validator();
    if (!filtered_) {
        setMaxLength(std::max(limit_, static_cast<int>(text.size())));
    }
    setValidator(nullptr);
    setText(text);
    setValidator(filter);
}

void LimitedEdit::setAllowedCharacters(const QString& allowed) {
    // The filter holds the limit itself: QLineEdit would cut a paste to the limit before the
    // filter sees it, so that "y2z" in a field with room for two characters left only "y".
    filtered_ = true;
    setValidator(new CharacterFilter(allowed, this));
    setMaxLength(32767);
}

void LimitedEdit::restoreLimit() {
    if (!filtered_ && maxLength() != limit_ && text().size() <= limit_) {
        const int cursor = cursorPosition();
        setMaxLength(limit_);
        setCursorPosition(cursor);
    }
}

ChoiceBox::ChoiceBox(const QString& objectName, const QString& item0, const QString& item1,
                     QWidget* parent)
    : QComboBox(parent) {
    setObjectName(objectName);
    setEditable(false);
    addItem(item0);
    addItem(item1);
}

void ChoiceBox::setChoice(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
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
