// The commands on files alone, without a port: csv-export, csv-import (with and without
// --skip-bad-rows) and diff, what each writes and how each ends.

#include "cli/file_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/commands.h"
#include "records/number_lists_csv.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "test_support.h"

namespace orv::cli {
namespace {

std::string utf8(const Text& text) {
    return cp1251::toUtf8(text);
}

// A folder holding the sample configuration as "sample.cfg".
class FileCommand : public ::testing::Test {
  protected:
    FileCommand() { SaveData(dir.path("sample.cfg"), test::sampleRecord()); }

    Invocation invocation(const std::vector<std::string>& args) {
        Invocation inv = parseArguments(args);
        checkInvocation(inv, *findCommand(inv.command));
        return inv;
    }
    PortResult run(const std::vector<std::string>& args) {
        return runFileCommand(invocation(args));
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.path(name)); }
    SettingsRecord load(const std::string& name) const {
        SettingsRecord record;
        LoadFromFile(dir.path(name), record);
        return record;
    }

    test::TempDir dir;
};

TEST_F(FileCommand, ExportThenImportGivesTheSameLists) {
    const PortResult exported = run({"csv-export", dir.path("sample.cfg"), dir.path("n.csv")});
    EXPECT_EQ(exported.status, Status::Done);
    EXPECT_EQ(exported.port, "-");
    EXPECT_EQ(exported.command, "csv-export");
    EXPECT_EQ(utf8(exported.message), "Номера записаны в n.csv");
    EXPECT_EQ(test::readFile(dir.path("n.csv")), numberListsCsv(test::sampleRecord()));

    SaveData(dir.path("empty.cfg"), SettingsRecord());
    const PortResult imported =
        run({"csv-import", dir.path("empty.cfg"), dir.path("n.csv"), dir.path("out.cfg")});
    EXPECT_EQ(imported.status, Status::Done);
    EXPECT_EQ(oneLine(imported.message).rfind("Номера взяты из n.csv Из файла заменены:", 0), 0u)
        << oneLine(imported.message);
    const SettingsRecord out = load("out.cfg");
    EXPECT_EQ(out.tables, test::sampleRecord().tables);
    EXPECT_EQ(out.forwardNumber, test::sampleRecord().forwardNumber);
    EXPECT_EQ(out.volume, SettingsRecord().volume);  // the settings stay those of the base
}

TEST_F(FileCommand, ImportRefusesAFileWithBadRowsUnlessTold) {
    test::writeFile(dir.path("in.csv"),
                    "Список;Позиция;Номер\r\n"
                    "allowed;1;8 (495) 123-45-67\r\n"
                    "allowed;2;8495abc\r\n"
                    "forbidden;1;12\r\n");
    const struct {
        bool skip;
        const char* refusal;  // null: taken
    } cases[] = {
        {false,
         "Файл in.csv не взят: строк, которые нельзя взять, 2; ничего не записано. Взять файл "
         "без них: --skip-bad-rows\nСтрока 3: "},
        {true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skip);
        std::filesystem::remove(dir.path("out.cfg"));
        std::vector<std::string> args = {"csv-import", dir.path("sample.cfg"), dir.path("in.csv"),
                                         dir.path("out.cfg")};
        if (c.skip) {
            args.push_back("--skip-bad-rows");
        }
        if (c.refusal) {
            try {
                run(args);
                ADD_FAILURE() << "taken";
            } catch (const UsageError& e) {
                EXPECT_EQ(utf8(e.text()).rfind(c.refusal, 0), 0u) << utf8(e.text());
                EXPECT_NE(utf8(e.text()).find("\nСтрока 4: "), std::string::npos);
            }
            EXPECT_FALSE(exists("out.cfg"));
            continue;
        }
        const PortResult result = run(args);
        EXPECT_EQ(result.status, Status::Done);
        EXPECT_NE(utf8(result.message).find("Не взяты строки (2)"), std::string::npos);
        const SettingsRecord out = load("out.cfg");
        EXPECT_EQ(out.tables[kAllowedTable].front().number, "84951234567");
        // Lists the file does not name are kept.
        EXPECT_EQ(out.tables[kCallBackTable], test::sampleRecord().tables[kCallBackTable]);
    }
}

TEST_F(FileCommand, InputsThatCannotBeReadAreRefusedAndOutputsNotSavedAreStatusEight) {
    test::writeFile(dir.path("in.csv"), "allowed;1;8495\r\n");
    test::writeFile(dir.path("bad.cfg"), "GARBAGE\r\n");
    const std::string nowhere = dir.path("no-such-folder/out");
    const struct {
        std::vector<std::string> args;
        bool refused;  // otherwise status 8
    } cases[] = {
        {{"csv-export", dir.path("missing.cfg"), dir.path("n.csv")}, true},
        {{"csv-export", dir.path("bad.cfg"), dir.path("n.csv")}, true},
        {{"csv-export", dir.path("sample.cfg"), nowhere + ".csv"}, false},
        {{"csv-import", dir.path("sample.cfg"), dir.path("missing.csv"), dir.path("o.cfg")}, true},
        {{"csv-import", dir.path("bad.cfg"), dir.path("in.csv"), dir.path("o.cfg")}, true},
        {{"csv-import", dir.path("sample.cfg"), dir.path("in.csv"), nowhere + ".cfg"}, false},
        {{"diff", dir.path("sample.cfg"), dir.path("missing.cfg")}, true},
        {{"diff", dir.path("bad.cfg"), dir.path("sample.cfg")}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.at(0) + " " + c.args.at(1) + " " + c.args.at(2));
        if (c.refused) {
            EXPECT_THROW(run(c.args), Failure);
        } else {
            const PortResult result = run(c.args);
            EXPECT_EQ(result.status, Status::NotSaved);
            EXPECT_FALSE(result.message.empty());
        }
        EXPECT_FALSE(exists("o.cfg"));
        EXPECT_FALSE(exists("n.csv"));
    }
}

TEST_F(FileCommand, DiffTellsTheDifferencesAsTheCheckDoes) {
    SettingsRecord other = test::sampleRecord();
    other.volume = "60";
    other.tables[kAllowedTable].insert(other.tables[kAllowedTable].begin(), {"8812", ""});
    SaveData(dir.path("other.cfg"), other);

    const PortResult same = run({"diff", dir.path("sample.cfg"), dir.path("sample.cfg")});
    EXPECT_EQ(same.status, Status::Done);
    EXPECT_EQ(utf8(same.message), "Программирование в двух файлах совпадает.");
    EXPECT_TRUE(same.differences.empty());

    const PortResult differs = run({"diff", dir.path("sample.cfg"), dir.path("other.cfg")});
    EXPECT_EQ(differs.status, Status::Differs);
    EXPECT_EQ(utf8(differs.message)
                  .rfind("Программирование в двух файлах различается (в первом / во втором):", 0),
              0u);
    EXPECT_NE(utf8(differs.message).find(", только во втором файле: 8812"), std::string::npos);
    ASSERT_EQ(differs.differences.size(), 2u);
    EXPECT_EQ(utf8(differs.differences[0].what), "Уровень громкости");
    EXPECT_EQ(differs.differences[0].expected, test::sampleRecord().volume);
    EXPECT_EQ(differs.differences[0].device, "60");
    EXPECT_EQ(differs.differences[1].device, "8812");
    EXPECT_EQ(resultLines(differs).rfind("-\tdiff\t4\tПрограммирование в двух файлах", 0), 0u);
}

}  // namespace
}  // namespace orv::cli
