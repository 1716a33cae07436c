// The window tests: one application object on the offscreen platform, run in a directory of
// their own, with every message box answered by the tests instead of a user.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/messages.h"
#include "app/port_keeper.h"
#include "app/window_font.h"
#include "fake_port_list.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    orv::ui::installWindowFont();
    ::testing::InitGoogleTest(&argc, argv);

    // The main window reads and writes the working-state file in the current directory.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    // No window test touches the machine's own serial ports: without a port of its own, a test
    // finds none.
    orv::test::FakePortList noPorts;
    orv::ui::setDefaultPortList(&noPorts);
    // A box no test expects is answered with OK rather than waiting for a user.
    orv::ui::setMessageBoxHook([](QMessageBox&) { return int(QMessageBox::Ok); });
    return RUN_ALL_TESTS();
}
