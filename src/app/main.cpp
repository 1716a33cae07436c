#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/tark.h"
#include "app/tark2.h"
#include "app/tark3.h"
#include "app/tark4.h"
#include "app/window_font.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The title of the program as the desktop lists it; window captions stay as they are.
    QApplication::setApplicationName(QStringLiteral("Орвелин-9"));
    QGuiApplication::setDesktopFileName(QStringLiteral("orvelin9"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/orvelin9-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    orv::ui::installWindowFont();
    // The toolkit's own dialog and button texts in Russian, like the rest of the program.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(QLocale::Russian), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&toolkitTexts);
    }

    TForm1 form1;
    TForm2 form2;
    TForm3 form3(form1.portFlags());
    TForm4 form4(&form1);
    form1.setAboutWindow(&form2);
    form1.setPortSettingsWindow(&form3);
    form1.setProgressWindow(&form4);
    form1.show();
    return app.exec();
}
