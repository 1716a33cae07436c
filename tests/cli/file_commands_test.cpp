// The commands on files alone, without a port: what csv-export, csv-import, diff and bundle
// write and how each ends, and the lines of history. Their exit statuses through a whole run are in
// session_test.

#include "cli/file_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/commands.h"
#include "history_records.h"
#include "records/number_lists_csv.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "test_support.h"

namespace orv::cli {
namespace {

// A folder holding the sample configuration as "a.cfg" and the defaults as "b.cfg".
class FileCommand : public ::testing::Test {
  protected:
    FileCommand() {
        SaveData(dir.path("a.cfg"), test::sampleRecord());
        SaveData(dir.path("b.cfg"), SettingsRecord());
    }
    PortResult run(std::vector<std::string> args) {
        for (std::string& arg : args) {
            arg = arg[0] == '-' || arg.find('.') == std::string::npos ? arg : dir.path(arg);
        }
        Invocation inv = parseArguments(args);
        checkInvocation(inv, *findCommand(inv.command));
        return runFileCommand(inv);
    }
    SettingsRecord load(const std::string& name) const {
        SettingsRecord record;
        LoadFromFile(dir.path(name), record);
        return record;
    }

    test::TempDir dir;
};

TEST_F(FileCommand, ExportThenImportGivesTheSameLists) {
    const PortResult exported = run({"csv-export", "a.cfg", "n.csv"});
    EXPECT_EQ(resultLines(exported), "-\tcsv-export\t0\tНомера записаны в n.csv\n");
    EXPECT_EQ(test::readFile(dir.path("n.csv")), numberListsCsv(test::sampleRecord()));

    const PortResult imported = run({"csv-import", "b.cfg", "n.csv", "out.cfg"});
    EXPECT_EQ(imported.status, Status::Done);
    EXPECT_EQ(oneLine(imported.message).rfind("Номера взяты из n.csv Из файла заменены:", 0), 0u);
    SettingsRecord expected;
    expected.tables = test::sampleRecord().tables;
    expected.forwardNumber = test::sampleRecord().forwardNumber;
    EXPECT_EQ(load("out.cfg"), expected);  // the settings stay those of b.cfg
}

TEST_F(FileCommand, ImportRefusesAFileWithBadRowsUnlessTold) {
    test::writeFile(dir.path("in.csv"),
                    "Список;Позиция;Номер\r\nallowed;1;8 (495) 123-45-67\r\n"
                    "allowed;2;8495abc\r\nforbidden;1;12\r\n");
    try {
        run({"csv-import", "a.cfg", "in.csv", "out.cfg"});
        ADD_FAILURE() << "taken";
    } catch (const UsageError& e) {
        EXPECT_EQ(oneLine(e.text()).rfind("Файл in.csv не взят: строк, которые нельзя взять, 2; "
                                          "ничего не записано. Взять файл без них: "
                                          "--skip-bad-rows Строка 3: ",
                                          0),
                  0u);
        EXPECT_NE(cp1251::toUtf8(e.text()).find("\nСтрока 4: "), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.cfg")));

    const PortResult taken = run({"csv-import", "a.cfg", "in.csv", "out.cfg", "--skip-bad-rows"});
    EXPECT_EQ(taken.status, Status::Done);
    EXPECT_NE(oneLine(taken.message).find("Не взяты строки (2)"), std::string::npos);
    const SettingsRecord out = load("out.cfg");
    EXPECT_EQ(out.tables[kAllowedTable].front().number, "84951234567");
    // A list the file does not name is kept.
    EXPECT_EQ(out.tables[kCallBackTable], test::sampleRecord().tables[kCallBackTable]);
}

TEST_F(FileCommand, DiffTellsTheDifferencesAsTheCheckDoes) {
    SettingsRecord other = test::sampleRecord();
    other.volume = "60";
    other.tables[kAllowedTable].insert(other.tables[kAllowedTable].begin(), {"8812", ""});
    SaveData(dir.path("c.cfg"), other);

    EXPECT_EQ(resultLines(run({"diff", "a.cfg", "a.cfg"})),
              "-\tdiff\t0\tПрограммирование в двух файлах совпадает.\n");
    const PortResult differs = run({"diff", "a.cfg", "c.cfg"});
    EXPECT_EQ(differs.status, Status::Differs);
    EXPECT_EQ(resultLines(differs),
              "-\tdiff\t4\tПрограммирование в двух файлах различается (в первом / во втором): "
              "Уровень громкости: 55 / 60 Разрешенные номера, направл., только во втором файле: "
              "8812\n"
              "-\t-\tУровень громкости\t55\t60\n"
              "-\t-\tРазрешенные номера, направл.\t\t8812\n");
}

TEST_F(FileCommand, BundleOfARecordByItsNameOrFolder) {
    test::HistoryRecords h;
    HistoryRecord record = h.history.begin("write", "");
    record.saveConfiguration(test::sampleRecord());
    record.finish({"0", "", {}, {}});
    const std::string name = std::filesystem::path(record.folder()).filename().string();
    const std::string data = "--data-folder=" + h.data.dir();
    const struct {
        std::vector<std::string> args;
        Status status;
        const char* message;
    } cases[] = {
        {{"bundle", name, "b.tar.gz", data},
         Status::Done,
         "Архив записан в b.tar.gz; цифры пароля в нём заменены на «*»"},
        {{"bundle", record.folder(), "b.tar.gz", "--include-password"},
         Status::Done,
         "Архив записан в b.tar.gz; цифры пароля в нём как есть"},
        {{"bundle", name, "missing/b.tar.gz", data},
         Status::NotSaved,
         "Архив для поддержки не записан: "},
    };
    for (const auto& c : cases) {
        const PortResult result = run(c.args);
        EXPECT_EQ(result.status, c.status) << c.message;
        EXPECT_EQ(cp1251::toUtf8(result.message).rfind(c.message, 0), 0u) << c.message;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path("b.tar.gz")));
    EXPECT_THROW(run({"bundle", name, "b.tar.gz"}), UsageError);  // not in this data folder
    EXPECT_THROW(run({"diff", "a.cfg", "b.cfg", "--include-password"}), UsageError);
}

TEST(HistoryLines, OneLineOrObjectPerRecord) {
    HistoryEntry going;
    going.name = "20261209-223100-read";
    going.start = "2026-12-09 22:31:00";
    going.operation = "read";
    going.problem = "port.txt, строка 3: лишняя строка";
    HistoryEntry done = going;
    done.port = "/dev/ttyUSB0";
    done.label = "Щит\t2";
    done.status = "0";
    EXPECT_EQ(historyLines({done, going}, false),
              "2026-12-09 22:31:00\tread\t/dev/ttyUSB0\tЩит 2\t0\t20261209-223100-read\n"
              "2026-12-09 22:31:00\tread\t-\t\t-\t20261209-223100-read\n");
    EXPECT_NE(historyLines({going}, true)
                  .find(",\"status\":\"\",\"message\":\"\",\"problem\":"
                        "\"port.txt, строка 3: лишняя строка\"}\n"),
              std::string::npos);
}

}  // namespace
}  // namespace orv::cli
