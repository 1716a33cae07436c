#include "app/window_font.h"

#include <QApplication>

namespace orv::ui {
namespace {

const char* const kFamily = "MS Sans Serif";

void insertSubstitutes() {
    static bool done = false;
    if (!done) {
        QFont::insertSubstitutions(kFamily, {"Liberation Sans", "Arial", "Nimbus Sans"});
        done = true;
    }
}

}  // namespace

QFont windowFont() {
    insertSubstitutes();
    return QFont(kFamily, 8);
}

void installWindowFont() {
    QApplication::setFont(windowFont());
}

}  // namespace orv::ui
