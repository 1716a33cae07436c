// orvelin9-cli against the device emulator in real time: a CLIR query on the port named by
// "Dalvorn Terminal.ini" (its record with and without the byte transcript), and a port held by one
// orvelin9-cli that a second one is refused, by the same name and by the device's other name;
// SIGINT then stops the first at its line boundary with status 5.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "emulator_process.h"

namespace {

QString cliProgram() {
    return QCoreApplication::applicationDirPath() + "/orvelin9-cli";
}

struct Finished {
    int status = -1;
    QString out;
    QString err;
};

Finished runCli(const QStringList& arguments, int ms = 60000,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(cliProgram(), arguments);
    Finished finished;
    if (!process.waitForFinished(ms)) {
        process.kill();
        process.waitForFinished();
        return finished;
    }
    finished.status = process.exitCode();
    finished.out = QString::fromUtf8(process.readAllStandardOutput());
    finished.err = QString::fromUtf8(process.readAllStandardError());
    return finished;
}

TEST(CliE2E, ClirOnThePortOfThePortSettingsFile) {
    QTemporaryDir dir;
    orv::test::EmulatorProcess emulator;
    ASSERT_TRUE(emulator.start(dir.filePath("emulator-port")));
    QFile ini(dir.filePath("Dalvorn Terminal.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("emulator-port\r\n");
    ini.close();

    // The run leaves its record with the transcript; with ORVELIN9_NO_TRANSCRIPT (the
    // transcript benchmark's switch) the record is kept without it.
    for (const bool transcript : {true, false}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!transcript) {
            environment.insert("ORVELIN9_NO_TRANSCRIPT", "1");
        }
        const Finished run =
            runCli({"--data-folder", dir.path(), "--quiet", "clir"}, 60000, environment);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, dir.filePath("emulator-port") +
                               "\tclir\t0\tCLIR - предоставляется на постоянной основе\n");
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        // The newest record is this run's.
        const QStringList records =
            QDir(dir.filePath("history")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        ASSERT_EQ(records.size(), transcript ? 1 : 2);
        const QString record = dir.filePath("history/" + records.last());
        EXPECT_TRUE(QFileInfo::exists(record + "/outcome.txt"));
        QFile file(record + "/transcript.txt");
        EXPECT_EQ(file.exists(), transcript) << record.toStdString();
        if (transcript) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(file.readAll().contains(" open "));
        }
    }
}

TEST(CliE2E, AHeldPortIsBusyByEitherNameAndSigintStopsItsHolder) {
    QTemporaryDir dir;
    orv::test::EmulatorProcess emulator;
    const QString link = dir.filePath("emulator-port");
    ASSERT_TRUE(emulator.start(link));
    const QString device = QFileInfo(link).canonicalFilePath();
    ASSERT_NE(device, link);

    // SIM clearing runs for minutes: long enough to be met by the second program.
    QProcess holder;
    holder.start(cliProgram(),
                 {"--port", link, "--json", "--data-folder", dir.path(), "clear-sim"});
    ASSERT_TRUE(holder.waitForStarted());
    // Its first progress line (on standard error): the port is open.
    holder.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    holder.setReadChannel(QProcess::StandardOutput);

    for (const QString& name : {link, device}) {
        SCOPED_TRACE(name.toStdString());
        const Finished second = runCli({"--port", name, "--quiet", "clir"});
        EXPECT_EQ(second.status, 2);
        EXPECT_TRUE(second.out.startsWith(name + "\tclir\t2\t"));
        EXPECT_TRUE(second.out.contains("занят другим приложением")) << second.out.toStdString();
    }

    ::kill(static_cast<pid_t>(holder.processId()), SIGINT);
    ::kill(static_cast<pid_t>(holder.processId()), SIGINT);  // the second changes nothing
    ASSERT_TRUE(holder.waitForFinished(15000));
    EXPECT_EQ(holder.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(holder.exitCode(), 5);
    const QString out = QString::fromUtf8(holder.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith("{\"port\":")) << out.toStdString();
    EXPECT_TRUE(out.contains("\"status\":5")) << out.toStdString();
    EXPECT_TRUE(out.contains("Стирание Sim-карты остановлено")) << out.toStdString();

    // Once it has gone, the port is free again.
    EXPECT_EQ(runCli({"--port", device, "--quiet", "clir"}).status, 0);
}

}  // namespace
