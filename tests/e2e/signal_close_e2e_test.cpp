// The program itself, told to stop by a signal as a desktop session that ends does: it closes
// as its close box does, the port closed and "config.bak" written.

#include <signal.h>
#include <sys/types.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include "../ui/ui_support.h"
#include "emulator_process.h"

using namespace orv::ui::test;

namespace {

// Whether the process catches the signal yet (its handler is installed): the mask of caught
// signals in its status.
bool catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask >> (signal - 1) & 1u) != 0;
        }
    }
    return false;
}

class RunningProgram {
  public:
    explicit RunningProgram(const QString& folder) {
        process_.setWorkingDirectory(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    ~RunningProgram() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    // Starts the program and waits until it has its windows up and catches `signal`.
    bool start(int signal) {
        process_.start(QCoreApplication::applicationDirPath() + "/orvelin9", QStringList());
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (!catches(process_.processId(), signal) && waited.elapsed() < 10000) {
            QThread::msleep(10);
        }
        // The windows and the first activation.
        QThread::msleep(1500);
        return catches(process_.processId(), signal);
    }
    // Sends the signal; the exit status, or -1 when the program did not end normally in time.
    int stop(int signal, qint64* tookMs) {
        QElapsedTimer took;
        took.start();
        ::kill(static_cast<pid_t>(process_.processId()), signal);
        const bool ended = process_.waitForFinished(10000);
        *tookMs = took.elapsed();
        if (!ended || process_.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process_.exitCode();
    }

  private:
    QProcess process_;
};

TEST(SignalCloseE2E, SigtermWithThePortOpenOnTheEmulatorWritesConfigBak) {
    ScopedWorkDir dir;
    orv::test::EmulatorProcess emulator;
    ASSERT_TRUE(emulator.start(dir.path("emulator-port")));
    writeFile(dir.path("Dalvorn Terminal.ini"), "emulator-port\r\n");

    RunningProgram program(dir.path(""));
    ASSERT_TRUE(program.start(SIGTERM));
    EXPECT_FALSE(QFile::exists(dir.path("config.bak")));
    qint64 took = 0;
    EXPECT_EQ(program.stop(SIGTERM, &took), 0);
    EXPECT_LT(took, 5000);
    QFile saved(dir.path("config.bak"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("ATW8001"));
}

TEST(SignalCloseE2E, SighupWhileAMessageIsShownClosesItAndWritesConfigBak) {
    ScopedWorkDir dir;
    // The port chosen is not there: its message is on the screen when the signal comes.
    writeFile(dir.path("Dalvorn Terminal.ini"), "no-such-adapter\r\n");
    RunningProgram program(dir.path(""));
    ASSERT_TRUE(program.start(SIGHUP));
    qint64 took = 0;
    EXPECT_EQ(program.stop(SIGHUP, &took), 0);
    EXPECT_LT(took, 5000);
    EXPECT_TRUE(QFile::exists(dir.path("config.bak")));
}

// A damaged "config.bak" holds the start-up at its message, before the main window is shown:
// the signal closes that message, and the one after it, and then the program.
TEST(SignalCloseE2E, SigtermWhileAStartUpMessageIsOpenClosesItAndTheProgram) {
    ScopedWorkDir dir;
    writeFile(dir.path("config.bak"), "ATW8001\r\n");
    RunningProgram program(dir.path(""));
    ASSERT_TRUE(program.start(SIGTERM));
    qint64 took = 0;
    EXPECT_EQ(program.stop(SIGTERM, &took), 0);
    EXPECT_LT(took, 5000);
    // The damaged file was kept aside; the close wrote the window's settings.
    const QStringList kept =
        QDir(dir.path("")).entryList({QStringLiteral("config.bak.damaged-*")}, QDir::Files);
    EXPECT_EQ(kept.size(), 1);
    QFile saved(dir.path("config.bak"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("ATW8001"));
}

}  // namespace
