// SmsTextBox, the SMS text box (Memo2): its definitions (sms_text_box.h says what it does).
#include "app/widgets/sms_text_box.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include "sms/counter.h"

namespace orv::ui {
namespace {

// Characters as the counter counts them: line breaks (a paragraph separator in a selection)
// do not count.
int countedLength(const QString& text) {
    int n = 0;
    for (QChar c : text) {
        n += c != QLatin1Char('\n') && c != QChar::ParagraphSeparator;
    }
    return n;
}

}  // namespace

bool SmsTextBox::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText();
}

void SmsTextBox::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) {
        return;
    }
    QString text = source->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QTextCursor cursor = textCursor();
    const int used = countedLength(toPlainText()) - countedLength(cursor.selectedText());
    const PasteResult result = Memo2Paste(used, countedLength(text));
    if (result.refused) {
        int taken = 0;
        int end = 0;
        while (end < text.size() && taken < result.kept) {
            taken += text[end] != QLatin1Char('\n');
            ++end;
        }
        if (end > 0 && text[end - 1].isHighSurrogate()) {
            --end;  // half a character is no character
        }
        text.truncate(end);
    }
    cursor.insertText(text);
    setTextCursor(cursor);
    ensureCursorVisible();
    if (result.refused) {
        QApplication::beep();
    }
    emit counted(QString::fromStdString(result.counter.label()));
}

QStringList shownLines(const QPlainTextEdit& box) {
    QStringList lines;
    QTextDocument* document = box.document();
    QAbstractTextDocumentLayout* documentLayout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        documentLayout->blockBoundingRect(block);  // lays the block out when it is not yet
        const QTextLayout* layout = block.layout();
        const QString text = block.text();
        if (!layout || layout->lineCount() == 0) {
            lines << text;
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

std::vector<int> shownLineLengths(const QPlainTextEdit& box) {
    std::vector<int> lengths;
    for (const QString& line : shownLines(box)) {
        lengths.push_back(static_cast<int>(line.size()));
    }
    return lengths;
}

}  // namespace orv::ui
