// The end-to-end tests: the program's windows and link on the offscreen platform, talking to the
// device emulator over a real pseudo-terminal, with every message box answered by the tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/messages.h"
#include "app/window_font.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    orv::ui::installWindowFont();
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    orv::ui::setMessageBoxHook([](QMessageBox&) { return int(QMessageBox::Ok); });
    return RUN_ALL_TESTS();
}
