#include "app/sms_text_box.h"

#include <QApplication>
#include <QMimeData>
#include <QTextCursor>

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

}  // namespace orv::ui
