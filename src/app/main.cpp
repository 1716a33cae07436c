#include <QApplication>

#include "app/program.h"
#include "app/signal_close.h"

int main(int argc, char** argv) {
    // First of all, so that a stop asked for during start-up waits for the windows.
    orv::ui::SignalClose::install();
    QApplication app(argc, argv);
    orv::ui::setUpApplication();
    if (const int status = orv::ui::takeCommandLine(QApplication::arguments()); status >= 0) {
        return status;
    }
    orv::ui::ProgramWindows windows;
    // SIGTERM and SIGHUP close the program as its close box does.
    orv::ui::SignalClose closeOnSignal([&windows] { windows.form1.closeBySignal(); });
    windows.form1.show();
    return QApplication::exec();
}
