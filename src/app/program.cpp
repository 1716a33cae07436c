#include "app/program.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/window_font.h"

namespace orv::ui {

void setUpApplication() {
    // The title of the program as the desktop lists it; window captions stay as they are.
    QApplication::setApplicationName(QStringLiteral("Орвелин-9"));
    QGuiApplication::setDesktopFileName(QStringLiteral("orvelin9"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/orvelin9-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    installWindowFont();
    // The toolkit's own dialog and button texts in Russian, like the rest of the program.
    auto* toolkitTexts = new QTranslator(qApp);
    if (toolkitTexts->load(QLocale(QLocale::Russian), "qtbase", "_",
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(toolkitTexts);
    }
}

ProgramWindows::ProgramWindows() : form3(form1.portFlags()), form4(&form1) {
    form1.setAboutWindow(&form2);
    form1.setPortSettingsWindow(&form3);
    form1.setProgressWindow(&form4);
}

}  // namespace orv::ui
