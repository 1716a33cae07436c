#include <QApplication>

#include "app/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orv::ui::setUpApplication();
    orv::ui::ProgramWindows windows;
    windows.form1.show();
    return app.exec();
}
