#pragma once
// The windows hold Unicode text, the core 8-bit text in code page 1251; these two convert at the
// boundary between them.

#include <QString>

#include "base/text.h"

namespace orv::ui {

inline QString toQString(const Text& text) {
    return QString::fromStdString(cp1251::toUtf8(text));
}

inline Text toText(const QString& text) {
    return cp1251::fromUtf8(text.toStdString());
}

}  // namespace orv::ui
