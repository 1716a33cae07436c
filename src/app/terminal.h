#pragma once
// The terminal on the tab "Дальворн-терминал": what the device sends is shown byte by byte as
// it comes, in code page 1251, and each character typed goes to the device as one byte.

#include <QPointer>
#include <QString>
#include <optional>
#include <vector>

class QByteArray;
class QKeyEvent;
class QPlainTextEdit;

namespace orv::ui {

// A line feed is one character of the terminal's text that shows nothing, so that CR LF gives
// one line break and a lone LF leaves the line as it is.
constexpr char16_t kShownLineFeed = 0x200B;

class Terminal {
  public:
    explicit Terminal(QPlainTextEdit* memo);

    // Shows received bytes, one after the other. A CR appends a line break at the end of the
    // text and puts the caret after it. Any other byte is inserted as one character at the
    // caret; when text is selected, the selection stays and the character follows it (and the
    // next one follows that).
    void show(const QByteArray& bytes);
    void showByte(unsigned char byte);

    // The byte a key press types: Enter is CR, Backspace 0x08, Ctrl with a letter its control
    // code, a character its code page 1251 byte. Nothing for keys that type no character (the
    // arrows, Tab, which moves the focus, Delete) or characters the code page lacks.
    static std::optional<unsigned char> typedByte(const QKeyEvent& key);

    // The bytes of text an input method commits, as typing it key by key gives: a line break is
    // CR, a character its code page 1251 byte; characters the code page lacks are left out.
    static std::vector<unsigned char> typedBytes(const QString& text);

  private:
    // The byte of one typed character, or nothing.
    static std::optional<unsigned char> characterByte(QChar c);

    QPointer<QPlainTextEdit> memo_;
    // Where the next byte goes while a selection is kept: after the last byte shown, as long
    // as the selection is still the one it followed.
    int keptAnchor_ = -1;
    int keptPosition_ = -1;
    int insertAt_ = -1;
};

}  // namespace orv::ui
