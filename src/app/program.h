#pragma once
// The program's start-up as its entry point performs it: the application's title, icon, font
// and the toolkit's Russian texts, then the four windows in their creation order.

#include "app/tark.h"
#include "app/tark2.h"
#include "app/tark3.h"
#include "app/tark4.h"

namespace orv::ui {

// Sets up the application object: title, desktop entry name, the program icon (from the
// program's resources), the windows' font, and the toolkit's own texts in Russian.
void setUpApplication();

// The main, about, port settings and progress windows, created in this order and joined up.
struct ProgramWindows {
    ProgramWindows();
    TForm1 form1;
    TForm2 form2;
    TForm3 form3;
    TForm4 form4;
};

}  // namespace orv::ui
