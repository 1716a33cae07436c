// Terminal, the terminal on the tab "Дальворн-терминал": its definitions (terminal.h says what it
// does).
#include "app/widgets/terminal.h"

#include <QAction>
#include <QByteArray>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <string_view>
#include <vector>

#include "app/text_bridge.h"

namespace orv::ui {

Terminal::Terminal(QPlainTextEdit* memo) : memo_(memo) {
    session_.start();
    if (!memo_) {
        return;
    }
    // The text keeps no undo history: what is dropped is gone.
    memo_->document()->setUndoRedoEnabled(false);
    hexView_ = new QAction(QStringLiteral("Шестнадцатеричный вид"), memo_);
    hexView_->setObjectName("HexView");
    hexView_->setCheckable(true);
    stamps_ = new QAction(QStringLiteral("Время приёма"), memo_);
    stamps_->setObjectName("ReceiveTime");
    stamps_->setCheckable(true);
    saveJournal_ = new QAction(QStringLiteral("Сохранить журнал…"), memo_);
    saveJournal_->setObjectName("SaveJournal");
    saveJournal_->setEnabled(false);
    QObject::connect(saveJournal_, &QAction::triggered, memo_, [this] {
        if (save_) {
            save_();
        }
    });
    memo_->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(memo_, &QWidget::customContextMenuRequested, memo_, [this](const QPoint& pos) {
        QMenu* menu = contextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(memo_->viewport()->mapToGlobal(pos));
    });
}

void Terminal::beginSession() {
    session_.restart();
}

TerminalView Terminal::view() const {
    TerminalView view;
    view.hex = hexView_ && hexView_->isChecked();
    view.stamps = stamps_ && stamps_->isChecked();
    return view;
}

void Terminal::setView(TerminalView view) {
    if (hexView_) {
        hexView_->setChecked(view.hex);
        stamps_->setChecked(view.stamps);
    }
}

void Terminal::setJournalSave(std::function<void()> save) {
    save_ = std::move(save);
    if (saveJournal_) {
        saveJournal_->setEnabled(static_cast<bool>(save_));
    }
}

QMenu* Terminal::contextMenu() {
    QMenu* menu = memo_->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(hexView_);
    menu->addAction(stamps_);
    menu->addAction(saveJournal_);
    return menu;
}

void Terminal::receive(const QByteArray& bytes) {
    const TerminalView shown = view();
    if (!shown.hex && !shown.stamps) {
        show(bytes);
        return;
    }
    const std::uint64_t at =
        sessionClock_ ? sessionClock_() : static_cast<std::uint64_t>(session_.elapsed());
    const std::string batch = terminalBatch(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), shown, at);
    show(QByteArray(batch.data(), static_cast<qsizetype>(batch.size())));
}

void Terminal::show(const QByteArray& bytes) {
    if (!memo_ || bytes.isEmpty()) {
        return;
    }
    const std::vector<TerminalPiece> pieces =
        terminalPieces(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    QTextDocument* document = memo_->document();
    QTextCursor caret = memo_->textCursor();

    // While text is selected, the bytes go after the selection, or after the bytes that
    // followed it last time when it is still the same selection; the selection itself stays.
    bool selected = caret.hasSelection();
    QTextCursor anchor(document);
    QTextCursor position(document);
    QTextCursor at(document);
    if (selected) {
        const bool same = !insertAt_.isNull() && keptAnchor_.position() == caret.anchor() &&
                          keptPosition_.position() == caret.position();
        anchor.setPosition(caret.anchor());
        position.setPosition(caret.position());
        anchor.setKeepPositionOnInsert(true);
        position.setKeepPositionOnInsert(true);
        at.setPosition(same ? insertAt_.position() : caret.selectionEnd());
    }

    QTextCursor edit(document);
    edit.beginEditBlock();
    for (const TerminalPiece& piece : pieces) {
        if (piece.lineBreak) {
            lineBreak(caret);
            selected = false;
            continue;
        }
        QString text(reinterpret_cast<const QChar*>(piece.text.data()),
                     static_cast<qsizetype>(piece.text.size()));
        while (!text.isEmpty()) {
            QTextCursor& target = selected ? at : caret;
            const int room = static_cast<int>(kTerminalLineLength) - (target.block().length() - 1);
            if (room <= 0) {
                lineBreak(caret);
                selected = false;
                continue;
            }
            target.insertText(text.left(room));
            text.remove(0, room);
        }
    }
    // The oldest lines go. Cut here, inside the edit, where nothing is laid out: the text
    // box's own block limit lays out every line it drops.
    const int excess = document->blockCount() - static_cast<int>(kTerminalLines);
    if (excess > 0) {
        QTextCursor cut(document);
        cut.setPosition(document->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    }
    edit.endEditBlock();

    if (selected) {
        // The selection as it was, whichever way it was made.
        QTextCursor kept(document);
        kept.setPosition(anchor.position());
        kept.setPosition(position.position(), QTextCursor::KeepAnchor);
        memo_->setTextCursor(kept);
        keptAnchor_ = anchor;
        keptPosition_ = position;
        insertAt_ = at;
        return;
    }
    memo_->setTextCursor(caret);
    memo_->ensureCursorVisible();
    keptAnchor_ = QTextCursor();
    keptPosition_ = QTextCursor();
    insertAt_ = QTextCursor();
}

void Terminal::showByte(unsigned char byte) {
    show(QByteArray(1, static_cast<char>(byte)));
}

void Terminal::lineBreak(QTextCursor& caret) {
    QTextCursor end(memo_->document());
    end.movePosition(QTextCursor::End);
    end.insertBlock();
    caret = end;
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
