#pragma once
// Terminal, the terminal on the tab "Дальворн-терминал": what the device sends is shown as it
// comes, in the batches the link hands over, in code page 1251, and each character typed goes to
// the device as one byte. The text is bounded: the last lines, each of a bounded length.

#include <QPointer>
#include <QString>
#include <QTextCursor>
#include <optional>
#include <vector>

#include "link/terminal_text.h"

class QByteArray;
class QKeyEvent;
class QPlainTextEdit;

namespace orv::ui {

// A line feed is one character of the terminal's text that shows nothing, so that CR LF gives
// one line break and a lone LF leaves the line as it is.
constexpr char16_t kShownLineFeed = orv::kShownLineFeed;

class Terminal {
  public:
    // Takes over the text box: from now on it keeps the last kTerminalLines lines, the oldest
    // dropped as new ones come, and no undo history.
    explicit Terminal(QPlainTextEdit* memo);

    // Shows received bytes, one after the other. A CR appends a line break at the end of the
    // text and puts the caret after it. Any other byte is inserted as one character at the
    // caret; when text is selected, the selection stays and the character follows it (and the
    // next one follows that). A line full at kTerminalLineLength characters goes on in a new
    // line at the end, as after a CR. The whole batch is one edit of the text, laid out and
    // scrolled to once.
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
    // A line break at the end of the text, the caret after it.
    void lineBreak(QTextCursor& caret);

    QPointer<QPlainTextEdit> memo_;
    // Where the next byte goes while a selection is kept: after the last byte shown, as long
    // as the selection is still the one it followed. The cursors follow the text's changes,
    // the dropping of the oldest lines included.
    QTextCursor keptAnchor_;
    QTextCursor keptPosition_;
    QTextCursor insertAt_;
};

}  // namespace orv::ui
