#pragma once
// The font every window of the program asks for.

#include <QFont>

namespace orv::ui {

// "MS Sans Serif" at 8 points. Where the system lacks it, an Arial-metric face stands in: the
// window layouts are made for those widths.
QFont windowFont();

// Registers the stand-ins and makes the window font the application's font, so that menus,
// drop-down lists and message boxes use it too. Once, after the application object exists.
void installWindowFont();

}  // namespace orv::ui
