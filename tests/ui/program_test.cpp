// The program's command line: started from the desktop menu it works in a folder of its own
// under the user's data folder, made at the first start.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/program.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

// Sets an environment variable for the test's time.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// The transcript file is named as it was given, from the folder the program was started in,
// even when the data folder becomes the working folder.
TEST(CommandLine, TheTranscriptFileIsTakenFromTheStartFolder) {
    ScopedWorkDir dir;
    const QString start = QDir::currentPath();
    ScopedEnv data("XDG_DATA_HOME", dir.path("data").toUtf8());
    QString transcript;
    EXPECT_EQ(orv::ui::takeCommandLine({"orvelin9"}, &transcript), -1);
    EXPECT_TRUE(transcript.isEmpty());
    EXPECT_EQ(orv::ui::takeCommandLine({"orvelin9", "--transcript", "run/t.txt", "--data-folder"},
                                       &transcript),
              -1);
    EXPECT_EQ(transcript, QDir(start).absoluteFilePath("run/t.txt"));
    QDir::setCurrent(start);
}

TEST(CommandLine, TheDataFolderIsMadeAtTheFirstStartAndBecomesTheWorkingFolder) {
    ScopedWorkDir dir;
    const QString start = QDir::currentPath();
    ScopedEnv data("XDG_DATA_HOME", dir.path("data").toUtf8());
    const QString folder = QDir(dir.path("data/orvelin9")).absolutePath();

    // Started from a terminal: the current folder stays.
    EXPECT_EQ(orv::ui::takeCommandLine({"orvelin9"}), -1);
    EXPECT_EQ(QDir::currentPath(), start);
    EXPECT_FALSE(QFileInfo::exists(folder));

    // Started as the menu does: the folder is made and the program works there.
    EXPECT_EQ(orv::ui::takeCommandLine({"orvelin9", "--data-folder"}), -1);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir::currentPath(), folder);
    // The next start finds it and keeps what is in it.
    QFile kept(folder + "/config.bak");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.close();
    QDir::setCurrent(start);
    EXPECT_EQ(orv::ui::takeCommandLine({"orvelin9", "--data-folder"}), -1);
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_TRUE(QFileInfo::exists("config.bak"));
}

TEST(CommandLine, AFolderThatCannotBeMadeIsToldAndEndsTheProgram) {
    ScopedWorkDir dir;
    QFile blocker(dir.path("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScopedEnv data("XDG_DATA_HOME", dir.path("file").toUtf8());
    const QString start = QDir::currentPath();
    MessageRecorder messages;
    EXPECT_EQ(orv::ui::takeCommandLine({"orvelin9", "--data-folder"}), 1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(
        messages.shown[0].text.startsWith(QStringLiteral("Не удалось создать рабочую папку")));
    EXPECT_EQ(QDir::currentPath(), start);
}

}  // namespace
