// A whole run of the command line up to its exit status, for the runs that end before a device
// answers: refusals of the command line and of its inputs, a port that is not there, --help.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/session.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "test_support.h"

namespace orv::cli {
namespace {

// The program's application object and a folder of its own for each run.
class Session : public ::testing::Test {
  protected:
    int argc = 1;
    char name[13] = "orvelin9-cli";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    test::TempDir dir;
    const QString folder = QString::fromStdString(dir.dir());
};

TEST_F(Session, EachRunEndsWithItsExitStatus) {
    // No terminal to answer the broadcast's question, whoever runs the test.
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    test::writeFile(dir.path("bad.cfg"), "GARBAGE\r\n");
    test::writeFile(dir.path("list.txt"), "+79001111111\r\n");
    SaveData(dir.path("a.cfg"), test::sampleRecord());
    SaveData(dir.path("b.cfg"), SettingsRecord());
    test::writeFile(dir.path("bad.csv"), "allowed;1;8495abc\r\nallowed;2;8495\r\n");
    const QString missingPort = folder + "/no-such-port";
    const struct {
        QStringList args;
        int status;
    } cases[] = {
        {{"--help"}, 0},
        {{"--version"}, 0},
        {{}, 1},
        {{"format"}, 1},
        {{"--colour", "clir"}, 1},
        {{"csv-export"}, 1},
        // The commands on files need no port, nor "Dalvorn Terminal.ini".
        {{"--data-folder", folder, "csv-export", folder + "/a.cfg", folder + "/a.csv"}, 0},
        {{"--quiet", "diff", folder + "/a.cfg", folder + "/a.cfg"}, 0},
        {{"--json", "diff", folder + "/a.cfg", folder + "/b.cfg"}, 4},
        {{"diff", folder + "/a.cfg", folder + "/missing.cfg"}, 1},
        {{"csv-import", folder + "/a.cfg", folder + "/bad.csv", folder + "/c.cfg"}, 1},
        {{"csv-import", folder + "/a.cfg", folder + "/bad.csv", folder + "/c.cfg",
          "--skip-bad-rows"},
         0},
        {{"csv-export", folder + "/a.cfg", folder + "/none/a.csv"}, 8},
        {{"--data-folder", folder, "clir"}, 1},  // no "Dalvorn Terminal.ini": no guess
        {{"--data-folder", folder + "/none", "--port", missingPort, "clir"}, 1},
        {{"--port", missingPort, "write", folder + "/bad.cfg"}, 1},
        {{"--port", missingPort, "check", folder + "/missing.cfg"}, 1},
        {{"--port", "a", "--port", "b", "read", "out.cfg"}, 1},
        // No terminal to ask on and no --yes: refused before anything is sent.
        {{"--port", missingPort, "sms", "--to", folder + "/list.txt", "Привет"}, 1},
        {{"--port", missingPort, "--quiet", "clir"}, 2},
        {{"--port", missingPort, "--port", missingPort + "2", "--quiet", "clir"}, 2},
        {{"--port", missingPort, "--quiet", "sms", "--yes", "--to", folder + "/list.txt", "Привет"},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(runCommandLine(c.args), c.status);
    }
}

TEST_F(Session, EachPortsRunLeavesItsRecord) {
    const std::string missing = dir.path("no-such-port");
    EXPECT_EQ(runCommandLine({"--data-folder", folder, "--port", QString::fromStdString(missing),
                              "--port", QString::fromStdString(missing + "2"), "--label",
                              "Подстанция 3", "--quiet", "clir"}),
              2);
    std::vector<std::string> records;
    platform::listDirectory(dir.path("history"), records);
    records.erase(std::remove(records.begin(), records.end(), ".lock"), records.end());
    std::sort(records.begin(), records.end());
    ASSERT_EQ(records.size(), 2u);
    // Both ports began in the same second, or the second one later: either way one "-clir".
    EXPECT_NE(records[0].find("-clir"), std::string::npos);
    std::vector<std::string> ports;
    for (const std::string& record : records) {
        const std::string folderOf = dir.path("history/" + record);
        EXPECT_EQ(test::readFile(folderOf + "/label.txt"), "Подстанция 3\n");
        ports.push_back(test::readFile(folderOf + "/port.txt"));
        const std::string outcome = test::readFile(folderOf + "/outcome.txt");
        EXPECT_NE(outcome.find("operation clir\n"), std::string::npos) << outcome;
        EXPECT_NE(outcome.find("\nstatus 2\n"), std::string::npos) << outcome;
    }
    std::sort(ports.begin(), ports.end());
    EXPECT_EQ(ports, (std::vector<std::string>{missing + "\n", missing + "2\n"}));
}

}  // namespace
}  // namespace orv::cli
