#include <QApplication>

#include "app/program.h"
#include "app/signal_close.h"

int main(int argc, char** argv) {
    // First of all, so that a stop asked for during start-up waits for the windows.
    orv::ui::SignalClose::install();
    QApplication app(argc, argv);
    orv::ui::setUpApplication();
    QString transcript;
    if (const int status = orv::ui::takeCommandLine(QApplication::arguments(), &transcript);
        status >= 0) {
        return status;
    }
    // A signal while the windows are made closes the start-up's message boxes...
    orv::ui::SignalClose closeOnSignal;
    orv::ui::ProgramWindows windows;
    windows.runner.setTranscriptFile(transcript.toUtf8().toStdString());
    windows.runner.setHistoryFolder(windows.runner.workDir(),
                                    QApplication::applicationVersion().toStdString());
    if (closeOnSignal.caughtBeforeTarget()) {
        // ...and then the program, as a signal closes it later.
        windows.form1.closeBySignal();
        return 0;
    }
    // SIGTERM and SIGHUP close the program as its close box does, a running operation stopped
    // first as Escape stops it.
    closeOnSignal.setTarget([&windows] { windows.form1.closeBySignal(); });
    windows.form1.show();
    return QApplication::exec();
}
