// orvelin9-cli, the workshop command line: the window's device operations on one port or many
// at once, for scripts. No window, no display: Qt Core and Qt Serial Port only.

#include <QCoreApplication>

#include "cli/session.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvelin9-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return orv::cli::runCommandLine(arguments);
}
