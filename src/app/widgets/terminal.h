#pragma once
// Terminal, the terminal on the tab "Дальворн-терминал": what the device sends is shown as it
// comes, in the batches the link hands over, in code page 1251, and each character typed goes to
// the device as one byte. The text is bounded: the last lines, each of a bounded length.
// Its context menu adds to the text box's own items a hexadecimal view and time stamps of the
// received batches (both apply from the next batch on; what is shown stays as it is) and
// "Сохранить журнал…".

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTextCursor>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "link/terminal_text.h"

class QAction;
class QByteArray;
class QKeyEvent;
class QMenu;
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

    // The milliseconds since the terminal's session began, for the time stamps.
    using SessionClock = std::function<std::uint64_t()>;
    // The session begins now (by default it began when the terminal was made).
    void beginSession();
    // The clock of the time stamps instead of the time since beginSession.
    void setSessionClock(SessionClock clock) { sessionClock_ = std::move(clock); }

    // The view the menu's toggles chose; both apply from the next batch on.
    TerminalView view() const;
    void setView(TerminalView view);

    // "Сохранить журнал…" runs `save`; without one (no journal is kept) the item is disabled.
    void setJournalSave(std::function<void()> save);

    // The menu of a right click: the text box's own items, then under a separator the two
    // toggles and "Сохранить журнал…". The caller owns it.
    QMenu* contextMenu();

    // Received bytes as the view shows them (terminalBatch), one batch.
    void receive(const QByteArray& bytes);

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
    QElapsedTimer session_;
    SessionClock sessionClock_;
    QAction* hexView_ = nullptr;
    QAction* stamps_ = nullptr;
    QAction* saveJournal_ = nullptr;
    std::function<void()> save_;
    // Where the next byte goes while a selection is kept: after the last byte shown, as long
    // as the selection is still the one it followed. The cursors follow the text's changes,
    // the dropping of the oldest lines included.
    QTextCursor keptAnchor_;
    QTextCursor keptPosition_;
    QTextCursor insertAt_;
};

}  // namespace orv::ui
