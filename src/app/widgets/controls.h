#pragma once
// LimitedEdit, ChoiceBox and UpDown, the settings controls of the main window: two-way choices,
// text fields with a typing limit, and the up-down arrows of the volume field.

#include <QComboBox>
#include <QLineEdit>
#include <QValidator>
#include <QWidget>

class QToolButton;

namespace orv::ui {

class LimitedEdit;

// Keeps only what a field can hold: what is typed or pasted loses every character outside the
// set, so that "12-34 56" pasted into a number field arrives as "123456", and then as much of
// its end as would pass the field's limit. The text that was there before stays as it was.
class CharacterFilter : public QValidator {
    Q_OBJECT
  public:
    CharacterFilter(QString allowed, const LimitedEdit* edit);
    State validate(QString& input, int& position) const override;

  private:
    QString allowed_;
    const LimitedEdit* edit_;
};

// The characters of a number and of a digits-only field.
inline const QString kNumberCharacters = QStringLiteral("0123456789+");
inline const QString kDigitCharacters = QStringLiteral("0123456789");

// A text field whose limit holds for typing and pasting only. Text put in by the program (a
// loaded configuration, for instance "255" in a two-character field) is kept whole; the user can
// shorten it, and the limit holds again once the text is within it. With a character set, what
// the user types or pastes keeps only those characters.
class LimitedEdit : public QLineEdit {
    Q_OBJECT
  public:
    LimitedEdit(const QString& objectName, int limit, QWidget* parent = nullptr);

    int limit() const { return limit_; }
    void setValue(const QString& text);
    void setAllowedCharacters(const QString& allowed);
    // The text before the change being validated.
    const QString& previousText() const { return previous_; }

  private:
    void restoreLimit();

    int limit_;
    bool filtered_ = false;  // the character filter holds the limit
    QString previous_;
};

// A two-way choice: a drop-down list of two items to pick from. It takes no typed text, so
// what it shows is the item whose bit is written.
class ChoiceBox : public QComboBox {
    Q_OBJECT
  public:
    ChoiceBox(const QString& objectName, const QString& item0, const QString& item1,
              QWidget* parent = nullptr);

    // The selected item: 0, 1, or -1 for none.
    int choice() const { return currentIndex(); }
    void setChoice(int index);
};

// The up-down arrows beside a numeric field. A step takes the field's number (or the last
// position when the field holds none), moves it by one within the range and writes it back as
// plain decimal. The Up and Down keys in the field step too.
class UpDown : public QWidget {
    Q_OBJECT
  public:
    UpDown(const QString& objectName, LimitedEdit* buddy, int minimum, int maximum,
           QWidget* parent = nullptr);

    int position() const { return position_; }
    void setPosition(int value);
    void stepBy(int delta);
    // Takes the field's text as the position when it is a number within the range.
    void takeBuddyText();

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    LimitedEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_;
};

}  // namespace orv::ui
