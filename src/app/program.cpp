#include "app/program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>

#include "app/messages.h"
#include "app/window_font.h"

namespace orv::ui {

void setUpApplication() {
    // The title of the program as the desktop lists it; window captions stay as they are.
    QApplication::setApplicationName(QStringLiteral("Орвелин-9"));
    QApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
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

QString dataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/orvelin9");
}

int takeCommandLine(const QStringList& arguments, QString* transcript) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Программирование GSM-Тарк Орвелин-9 через последовательный порт.\n"
        "Рабочие файлы (config.bak, 1.txt, \"Dalvorn Terminal.ini\") лежат в текущей папке."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption data(
        QStringLiteral("data-folder"),
        QStringLiteral("Работать в своей папке %1 (создаётся при первом запуске), как при "
                       "запуске из меню.")
            .arg(QDir::toNativeSeparators(dataFolder())));
    parser.addOption(data);
    const QCommandLineOption transcriptFile(
        QStringLiteral("transcript"),
        QStringLiteral("Записывать обмен каждой операции с устройством (каждый байт со временем) "
                       "в <файл>; файл заменяется следующей операцией."),
        QStringLiteral("файл"));
    parser.addOption(transcriptFile);
    parser.process(arguments);  // --help, --version and errors end the program here
    if (transcript && parser.isSet(transcriptFile)) {
        *transcript = QFileInfo(parser.value(transcriptFile)).absoluteFilePath();
    }
    if (!parser.isSet(data)) {
        return -1;
    }
    const QString folder = dataFolder();
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        const QString text = QStringLiteral("Не удалось создать рабочую папку %1").arg(folder);
        std::fprintf(stderr, "orvelin9: %s\n", text.toLocal8Bit().constData());
        showMessage(nullptr, QMessageBox::Critical, text);
        return 1;
    }
    return -1;
}

ProgramWindows::ProgramWindows()
    : link(std::make_unique<SystemClock>()),
      runner(link),
      form1(link, runner),
      form3(form1.portFlags()),
      form4(&form1) {
    form1.setAboutWindow(&form2);
    form1.setPortSettingsWindow(&form3);
    form1.setProgressWindow(&form4);
}

}  // namespace orv::ui
