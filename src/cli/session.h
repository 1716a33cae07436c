#pragma once
// One run of orvelin9-cli: the command line judged, the input read, the ports resolved, the
// command run on every port at once (each on a link thread of its own), SIGINT and SIGTERM
// turned into the stop of every operation, the results printed and the exit status returned.

#include <QStringList>

namespace orv::cli {

// Runs the command line (without the program's name); returns the exit status. Needs a
// QCoreApplication.
int runCommandLine(const QStringList& arguments);

}  // namespace orv::cli
