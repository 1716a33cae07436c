#pragma once
// The program's start-up as its entry point performs it: the application's title, icon, font
// and the toolkit's Russian texts, then the four windows in their creation order.

#include <QString>
#include <QStringList>

#include "app/dialogs/about_window.h"
#include "app/dialogs/port_settings_window.h"
#include "app/dialogs/progress_window.h"
#include "app/main_window.h"
#include "app/operation_runner.h"
#include "link/link.h"

namespace orv::ui {

// Sets up the application object: title, version, desktop entry name, the program icon (from
// the program's resources), the windows' font, and the toolkit's own texts in Russian.
void setUpApplication();

// The folder of the program's own under the user's data folder: $XDG_DATA_HOME/orvelin9, or
// ~/.local/share/orvelin9 without it.
QString dataFolder();

// Takes the command line: --help and --version print and end the program, an unknown option is
// an error; --data-folder makes the data folder (created when it is not there) the working
// folder, as the desktop menu starts the program. Returns the exit status when the program is
// to end now, or -1 to go on. --transcript FILE names the file each device operation writes
// its byte transcript to (`transcript`, made absolute before the folder changes).
int takeCommandLine(const QStringList& arguments, QString* transcript = nullptr);

// The link thread that owns the serial port and the runner of device commands on it, then the
// main, about, port settings and progress windows, created in this order and joined up. The
// windows go first, then the runner (releasing a job that waits on a message), then the link.
struct ProgramWindows {
    ProgramWindows();
    Link link;
    OperationRunner runner;
    TForm1 form1;
    TForm2 form2;
    TForm3 form3;
    TForm4 form4;
};

}  // namespace orv::ui
