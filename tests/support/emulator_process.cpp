#include "emulator_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <climits>

namespace orv::test {

namespace {

// The folder of the running program, read from /proc so that it needs no application object.
QString programFolder() {
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return QStringLiteral(".");
    }
    return QFileInfo(QString::fromLocal8Bit(self, int(n))).path();
}

}  // namespace

bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        if (QCoreApplication::instance()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QThread::msleep(10);
    }
    return done();
}

EmulatorProcess::EmulatorProcess(QString program) : program_(std::move(program)) {
    if (program_.isEmpty()) {
        program_ = programFolder() + "/orvelin9-emulator";
    }
}

EmulatorProcess::~EmulatorProcess() {
    stop();
}

bool EmulatorProcess::start(const QString& link, const QStringList& options) {
    stop();
    link_ = link;
    QFile::remove(link_);
    process_.setProgram(program_);
    process_.setArguments(QStringList{"--link", link_} + options);
    // Its messages go where the caller's go; its standard output names the terminal.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start();
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    // The first line on standard output is the terminal: the link exists by then.
    QElapsedTimer waited;
    waited.start();
    while (!process_.canReadLine() && waited.elapsed() < 5000) {
        if (!process_.waitForReadyRead(int(5000 - waited.elapsed()))) {
            break;
        }
    }
    return process_.canReadLine() && QFileInfo::exists(link_);
}

bool EmulatorProcess::running() const {
    return process_.state() != QProcess::NotRunning;
}

void EmulatorProcess::stop() {
    if (!running()) {
        return;
    }
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        kill();
    }
}

void EmulatorProcess::kill() {
    process_.kill();
    process_.waitForFinished(5000);
    QFile::remove(link_);
}

bool EmulatorProcess::endsWithin(int ms) {
    return process_.waitForFinished(ms) && process_.exitStatus() == QProcess::NormalExit;
}

bool EmulatorProcess::dump(const QString& file, int ms) {
    QFile::remove(file);
    ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1);
    if (!waitUntil([&] { return QFile::exists(file); }, ms)) {
        return false;
    }
    // Let it finish writing.
    waitUntil([] { return false; }, 100);
    return true;
}

}  // namespace orv::test
