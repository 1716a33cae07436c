#pragma once
// The settings controls of the main window: two-way choices, text fields with a typing limit,
// and the up-down arrows of the volume field.

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

class QToolButton;

namespace orv::ui {

// A text field whose limit holds for typing and pasting only. Text put in by the program (a
// loaded configuration, for instance "255" in a two-character field) is kept whole; the user can
// shorten it, and the limit holds again once the text is within it.
class LimitedEdit : public QLineEdit {
    Q_OBJECT
  public:
    LimitedEdit(const QString& objectName, int limit, QWidget* parent = nullptr);

    int limit() const { return limit_; }
    void setValue(const QString& text);

  private:
    void restoreLimit();

    int limit_;
};

// A two-way choice: a drop-down list of two items whose box also takes typed text. Typed text
// that is exactly an item selects that item; any other text selects none and stays as typed.
class ChoiceBox : public QComboBox {
    Q_OBJECT
  public:
    ChoiceBox(const QString& objectName, const QString& item0, const QString& item1,
              QWidget* parent = nullptr);

    // The selected item: 0, 1, or -1 for none.
    int choice() const { return currentIndex(); }
    void setChoice(int index);

  private:
    void selectTyped(const QString& text);
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
