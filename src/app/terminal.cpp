#include "app/terminal.h"

#include <QByteArray>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/text_bridge.h"

namespace orv::ui {

Terminal::Terminal(QPlainTextEdit* memo) : memo_(memo) {}

void Terminal::show(const QByteArray& bytes) {
    for (char byte : bytes) {
        showByte(static_cast<unsigned char>(byte));
    }
}

void Terminal::showByte(unsigned char byte) {
    if (!memo_) {
        return;
    }
    QTextDocument* document = memo_->document();
    if (byte == '\r') {
        QTextCursor end(document);
        end.movePosition(QTextCursor::End);
        end.insertBlock();
        memo_->setTextCursor(end);
        memo_->ensureCursorVisible();
        keptAnchor_ = -1;
        return;
    }
    const QString shown =
        byte == '\n' ? QString(QChar(kShownLineFeed)) : toQString(Text(1, static_cast<char>(byte)));
    QTextCursor caret = memo_->textCursor();
    if (!caret.hasSelection()) {
        caret.insertText(shown);
        memo_->setTextCursor(caret);
        memo_->ensureCursorVisible();
        keptAnchor_ = -1;
        return;
    }
    const int anchor = caret.anchor();
    const int position = caret.position();
    const bool same = anchor == keptAnchor_ && position == keptPosition_ && insertAt_ >= 0 &&
                      insertAt_ <= document->characterCount() - 1;
    const int at = same ? insertAt_ : caret.selectionEnd();
    QTextCursor insert(document);
    insert.setPosition(at);
    insert.insertText(shown);
    // The selection as it was, whichever way it was made.
    QTextCursor kept(document);
    kept.setPosition(anchor);
    kept.setPosition(position, QTextCursor::KeepAnchor);
    memo_->setTextCursor(kept);
    keptAnchor_ = anchor;
    keptPosition_ = position;
    insertAt_ = at + static_cast<int>(shown.size());
}

std::optional<unsigned char> Terminal::typedByte(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return std::nullopt;
        default:
            break;
    }
    if ((key.modifiers() & Qt::ControlModifier) && key.key() >= Qt::Key_A &&
        key.key() <= Qt::Key_Z) {
        return static_cast<unsigned char>(key.key() - Qt::Key_A + 1);
    }
    const QString text = key.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return characterByte(text.front());
}

std::optional<unsigned char> Terminal::characterByte(QChar c) {
    if (c.unicode() == 0x7F) {
        return std::nullopt;
    }
    if (c.unicode() < 0x20) {
        return static_cast<unsigned char>(c.unicode());
    }
    const Text byte = toText(QString(c));
    if (byte.size() != 1 || (byte[0] == '?' && c != QLatin1Char('?'))) {
        return std::nullopt;  // not in the code page
    }
    return static_cast<unsigned char>(byte[0]);
}

std::vector<unsigned char> Terminal::typedBytes(const QString& text) {
    std::vector<unsigned char> bytes;
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) {
            c = QLatin1Char('\r');
        }
        if (const std::optional<unsigned char> byte = characterByte(c)) {
            bytes.push_back(*byte);
        }
    }
    return bytes;
}

}  // namespace orv::ui
