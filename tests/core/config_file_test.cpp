#include "settings/config_file.h"
#include "sample_record.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <cerrno>
#include <cstring>

#include <filesystem>

#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::table;

const char kDefaultFile[] =
    "ATW80015A\r\nATW81010B\r\nATW82010A\r\nATW830100\r\nATW840107\r\nATW860182\r\n"
    "ATW900100\r\nATK1\r\nAT+CPAS\r\n";

Text messageOf(const std::string& bytes, SettingsRecord& r, const Text& name = "f.cfg") {
    try {
        loadFromText(bytes, r, name);
    } catch (const Failure& f) {
        return f.text();
    }
    return "loaded";
}

std::string header(const std::string& password = "00") {
    return "ATW80015A\r\nATW81010B\r\nATW82010A\r\nATW830100\r\nATW840107\r\nATW860182\r\n"
           "ATW9001" +
           password + "\r\n";
}

TEST(ConfigFile, DefaultSaveAndLoad) {
    test::TempDir dir;
    SaveData(dir.path("d.cfg"), SettingsRecord());
    EXPECT_EQ(test::readFile(dir.path("d.cfg")), kDefaultFile);
    SettingsRecord loaded = test::sampleRecord();
    loaded.forwardNumber.clear();
    LoadFromFile(dir.path("d.cfg"), loaded);
    EXPECT_EQ(loaded, SettingsRecord());
}

TEST(ConfigFile, FullRecordRoundTripsByteForByte) {
    test::TempDir dir;
    SettingsRecord r = test::sampleRecord();
    SaveData(dir.path("a.cfg"), r);
    SettingsRecord back;
    LoadFromFile(dir.path("a.cfg"), back);
    EXPECT_EQ(back, r);
    SaveData(dir.path("b.cfg"), back);
    EXPECT_EQ(test::readFile(dir.path("a.cfg")), test::readFile(dir.path("b.cfg")));
}

TEST(ConfigFile, WhatDoesNotComeBack) {
    SettingsRecord r;
    r.choice(1) = -1;  // no item: comes back as the item its 0 bit stands for
    r.numberLength = "07";
    r.tables[kAllowedTable] = table({"1234"});
    r.tables[kCallBackTable] = {PhoneRecord{"555", "Иван"}};
    SettingsRecord back;
    loadFromText(
        [&] {
            std::string s;
            for (const Text& l : encode(r))
                s += l + "\r\n";
            return s;
        }(),
        back, "x");
    EXPECT_EQ(back.choice(1), 1);
    EXPECT_EQ(back.numberLength, "7");
    EXPECT_EQ(back.tables[kAllowedTable], table({"1234", ""}));
    EXPECT_EQ(back.tables[kCallBackTable], table({"555", ""}));
}

TEST(ConfigFile, LineEndingsAndNul) {
    EXPECT_EQ(splitLines("a\rb\nc\r\nd"), (CommandList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (CommandList{"a", "", "b"}));
    EXPECT_EQ(splitLines(std::string("a\r\nb\0c\r\nd", 9)), (CommandList{"a", "b"}));
    EXPECT_EQ(splitLines(""), CommandList{});
    EXPECT_EQ(splitLines("\n"), CommandList{""});

    std::string file = kDefaultFile;
    for (const char* ending : {"\r", "\n"}) {
        std::string other;
        for (char c : file) {
            if (c == '\r')
                continue;
            if (c == '\n')
                other += ending;
            else
                other += c;
        }
        SettingsRecord r = test::sampleRecord();
        EXPECT_EQ(messageOf(other, r), "loaded");
        EXPECT_EQ(r.volume, "82");
    }
}

TEST(ConfigFile, HeaderFormatErrorsStopInOrderAndChangeNothing) {
    // Line 3 has a trailing blank: the load stops there, and the record stays as it was (a
    // mixture of two configurations would be written back by the next save or programming).
    SettingsRecord r = test::sampleRecord();
    std::string bad = "ATW8001FF\r\nATW810163\r\nATW82010A \r\nATW830100\r\n";
    EXPECT_EQ(messageOf(bad, r, "Config.bak"), cp("Файл Config.bak имеет не правильный формат"));
    EXPECT_EQ(r, test::sampleRecord());

    SettingsRecord s;
    EXPECT_EQ(messageOf("\r\n" + header(), s), cp("Файл f.cfg имеет не правильный формат"));
    EXPECT_EQ(messageOf("ATW8101FF\r\n", s), cp("Файл f.cfg имеет не правильный формат"));
    // A volume of one digit makes the sixth line eight characters long.
    EXPECT_EQ(messageOf("ATW80015A\r\nATW81010B\r\nATW82010A\r\nATW830100\r\nATW840107\r\n"
                        "ATW86015\r\nATW900100\r\n",
                        s),
              cp("Файл f.cfg имеет не правильный формат"));
    EXPECT_EQ(messageOf(header().substr(0, 55) + "ATW8601x2\r\nATW900100\r\n", s),
              "'x2' is not a valid integer value");
}

TEST(ConfigFile, MissingLinesGiveTheListIndexMessage) {
    SettingsRecord r;
    EXPECT_EQ(messageOf("", r), "List index out of bounds (0)");
    EXPECT_EQ(messageOf("ATW80015A\r\nATW81010B\r\n", r), "List index out of bounds (2)");
    // Three password lines announced, one present: nothing of the file is taken.
    SettingsRecord p = test::sampleRecord();
    EXPECT_EQ(messageOf(header("03") + "ATW910105\r\n", p), "List index out of bounds (8)");
    EXPECT_EQ(p, test::sampleRecord());
    // A password character that is not a digit could not be written back.
    EXPECT_EQ(messageOf(header("02") + "ATW910105\r\nATW92010x\r\n", p),
              cp("Файл f.cfg имеет не правильный формат"));
    EXPECT_EQ(p, test::sampleRecord());
}

// A file without a forward-number line has none: the forward number of the file opened
// before, or of the window, is not carried into the next save or programming.
TEST(ConfigFile, HeaderAloneEmptiesTablesAndTheForwardNumber) {
    SettingsRecord r = test::sampleRecord();
    EXPECT_EQ(messageOf(header(), r), "loaded");
    EXPECT_EQ(r.password, "");
    for (const PhoneTable& t : r.tables)
        EXPECT_EQ(t, templateTable());
    EXPECT_EQ(r.forwardNumber, "");
    EXPECT_EQ(r.choice(1), 1);

    // Opening a configuration without a forward number after one with it clears it.
    test::TempDir dir;
    SettingsRecord with = test::sampleRecord();
    SaveData(dir.path("with.cfg"), with);
    SettingsRecord without = test::sampleRecord();
    without.forwardNumber.clear();
    SaveData(dir.path("without.cfg"), without);
    SettingsRecord window;
    LoadFromFile(dir.path("with.cfg"), window);
    EXPECT_EQ(window.forwardNumber, "+79161234567");
    LoadFromFile(dir.path("without.cfg"), window);
    EXPECT_EQ(window, without);
}

TEST(ConfigFile, ReadBackForms) {
    // Seven password registers always follow; the count says how many hold the password.
    std::string regs =
        "ATW910101\r\nATW920102\r\nATW930103\r\nATW940104\r\nATW950105\r\n"
        "ATW960106\r\nATW970107\r\n";
    std::string phone =
        "AT+CPBW=1,\"8900\",129,\"W8900\"\r\n\r\nOK\r\n"
        "AT+CPBW=2,\"77777\",129,\"R77777\"\r\n";
    SettingsRecord seven;
    EXPECT_EQ(messageOf(header("07") + regs + phone, seven), "loaded");
    EXPECT_EQ(seven.password, "1234567");
    EXPECT_EQ(seven.tables[kCallBackTable], table({"8900", ""}));
    EXPECT_EQ(seven.tables[kAllowedTable], table({"77777", ""}));

    SettingsRecord two;
    EXPECT_EQ(messageOf(header("02") + regs + phone, two), "loaded");
    EXPECT_EQ(two.password, "12");
    EXPECT_EQ(two.tables[kCallBackTable], table({"8900", ""}));

    // Only the low three bits of the count are read.
    SettingsRecord nine;
    EXPECT_EQ(messageOf(header("09") + regs, nine), "loaded");
    EXPECT_EQ(nine.password, "1");
}

TEST(ConfigFile, TableSectionScan) {
    SettingsRecord r = test::sampleRecord();
    std::string lines =
        "ATK1\r\n"
        "AT+CPBW=100,\"+7333\",129,\"W+7333\"\r\n"      // index 100 with W: a call-back number
        "AT+CPBW=100,\"+7444\",129,\"+7444\"\r\n"       // the forward number
        "AT+CPBW=12,\"555\",129,\"555\"\r\n"            // untagged, two digits: ignored
        "AT+CPBW=1234,\"556\",129,\"556\"\r\n"          // untagged, four digits: ignored
        "AT+CPBW=101,\"557\",129,\"557\" \r\n"          // trailing blank after the last quote
        "AT+CPBW=102,\"123456789012345\",129,\"\"\r\n"  // no tag
        "AT+CPBW=3,\"5678\",129,\"B5678\"\r\n"
        "AT+CPBW=4,\"56789\",129,\"S56789\"\r\n"
        "AT+CPBW=5,\"1111\",129,\"N1111\"\r\n"
        "AT+CPBW=6,\"2222\",129,\"w2222\"\r\n"  // tags are upper case
        "AT+CPAS\r\n";
    EXPECT_EQ(messageOf(header() + lines, r), "loaded");
    EXPECT_EQ(r.tables[kCallBackTable], table({"+7333", ""}));
    EXPECT_EQ(r.forwardNumber, "+7444");
    EXPECT_EQ(r.tables[kSpeedDialTable], table({"557", "123456789012345", ""}));
    EXPECT_EQ(r.tables[kForbiddenTable], table({"5678", "56789", ""}));
    EXPECT_EQ(r.tables[kAllowedTable], table({"1111", ""}));
}

TEST(ConfigFile, CutPhoneBookLineStopsAndChangesNothing) {
    SettingsRecord r = test::sampleRecord();
    std::string lines =
        "ATK1\r\nAT+CPBW=1,\"8900\",129,\"W8900\"\r\nAT+CPBW=2,\"12\"\r\n"
        "AT+CPBW=3,\"8901\",129,\"W8901\"\r\n";
    EXPECT_EQ(messageOf(header() + lines, r, "1.txt"), cp("Файл 1.txt имеет не правильный формат"));
    EXPECT_EQ(r, test::sampleRecord());
}

// A number that its table could not hold, and that the next save would drop or programming
// would skip, is refused with the format message instead of being shown and lost later.
TEST(ConfigFile, NumbersTheTableCannotHoldAreRefused) {
    const std::string prefix = header() + "ATK1\r\n";
    for (const char* line : {
             "AT+CPBW=1,\"12-34\",129,\"W12-34\"",
             "AT+CPBW=1,\"123\",129,\"N123\"",
             "AT+CPBW=1,\"12\",129,\"B12\"",
             "AT+CPBW=1,\"1234567890123456\",129,\"S1234567890123456\"",
             "AT+CPBW=100,\"8 900\",129,\"8 900\"",
             "AT+CPBW=101,\"12a\",129,\"12a\"",
         }) {
        SettingsRecord r = test::sampleRecord();
        EXPECT_EQ(messageOf(prefix + line + "\r\n", r), cp("Файл f.cfg имеет не правильный формат"))
            << line;
        EXPECT_EQ(r, test::sampleRecord());
    }
    SettingsRecord r;
    EXPECT_EQ(messageOf(prefix + "AT+CPBW=101,\"12\",129,\"12\"\r\n", r), "loaded");
    EXPECT_EQ(r.tables[kSpeedDialTable], table({"12", ""}));
}

TEST(ConfigFile, FileErrorsLeaveEverythingAlone) {
    test::TempDir dir;
    SettingsRecord r = test::sampleRecord();
    try {
        LoadFromFile(dir.path("missing.cfg"), r);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.text().rfind("Cannot open file \"" + dir.path("missing.cfg") + "\"", 0), 0u)
            << f.text();
    }
    EXPECT_EQ(r, test::sampleRecord());

    // An encoding failure writes nothing; an old file stays whole.
    test::writeFile(dir.path("keep.cfg"), "old");
    SettingsRecord bad;
    bad.numberLength = "x";
    EXPECT_THROW(SaveData(dir.path("keep.cfg"), bad), Failure);
    EXPECT_EQ(test::readFile(dir.path("keep.cfg")), "old");

    try {
        SaveData(dir.path("no/such/folder.cfg"), SettingsRecord());
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.text().rfind("Cannot create file", 0), 0u);
    }
}

TEST(ConfigFile, SaveKeepsPermissionsAndLeavesNoTemporaryFile) {
    test::TempDir dir;
    std::string path = dir.path("config.bak");
    test::writeFile(path, "old");
#ifndef _WIN32  // Windows files have no permission bits for group and others
    ::chmod(path.c_str(), 0640);
#endif
    SaveData(path, SettingsRecord());
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.dir())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

// A file the user may not write is never replaced: the save fails with the runtime's message
// and the system's reason, and the file keeps its bytes. A save through a symbolic link
// replaces the link's target and leaves the link.
TEST(ConfigFile, ProtectedFilesKeepTheirBytesAndLinksStayLinks) {
    test::TempDir dir;
    for (const char* name : {"config.bak", "mine.cfg"}) {
        const std::string path = dir.path(name);
        test::writeFile(path, "old\r\n");
        ::chmod(path.c_str(), 0444);
        try {
            SaveData(path, SettingsRecord());
            ADD_FAILURE() << "saved over " << name;
        } catch (const Failure& f) {
            EXPECT_EQ(f.text(), "Cannot create file \"" + path + "\". " + std::strerror(EACCES));
        }
        EXPECT_EQ(test::readFile(path), "old\r\n");
    }

#ifndef _WIN32  // symbolic links need privileges on Windows, and it has no /dev/null
    const std::string target = dir.path("real.cfg");
    const std::string link = dir.path("link.cfg");
    test::writeFile(target, "old\r\n");
    ASSERT_EQ(::symlink("real.cfg", link.c_str()), 0);
    SaveData(link, SettingsRecord());
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(test::readFile(target), kDefaultFile);
    // A link to something that is no file (a device) is refused, and the device stays.
    const std::string device = dir.path("device.cfg");
    ASSERT_EQ(::symlink("/dev/null", device.c_str()), 0);
    EXPECT_THROW(SaveData(device, SettingsRecord()), Failure);
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    // A link to a file that does not exist yet creates its target.
    const std::string dangling = dir.path("dangling.cfg");
    ASSERT_EQ(::symlink("new.cfg", dangling.c_str()), 0);
    SaveData(dangling, SettingsRecord());
    EXPECT_EQ(test::readFile(dir.path("new.cfg")), kDefaultFile);
    ASSERT_EQ(::lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
}

TEST(ConfigFile, StartUpProbe) {
    test::TempDir dir;
    std::string path = dir.path("config.bak");
    EXPECT_FALSE(canOpenForReadWrite(path));
    test::writeFile(path, kDefaultFile);
    EXPECT_TRUE(canOpenForReadWrite(path));
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(canOpenForReadWrite(path));
    EXPECT_FALSE(canOpenForReadWrite(dir.dir()));
}

// ---- What loads can be saved again ----

std::string headerWithLength(const std::string& numberLength = "0B") {
    return "ATW80015A\r\nATW8101" + numberLength +
           "\r\nATW82010A\r\nATW830100\r\nATW840107\r\nATW860182\r\nATW900100\r\nATK1\r\n";
}

std::string tagged(int count, char tag) {
    std::string lines;
    for (int i = 1; i <= count; ++i) {
        const std::string number = "+7900" + std::to_string(1000000 + i);
        lines +=
            "AT+CPBW=" + std::to_string(i) + ",\"" + number + "\",129,\"" + tag + number + "\"\r\n";
    }
    return lines;
}

std::string speedDial(int count) {
    std::string lines;
    for (int i = 1; i <= count; ++i) {
        const std::string number = std::to_string(500 + i);
        lines +=
            "AT+CPBW=" + std::to_string(100 + i) + ",\"" + number + "\",129,\"" + number + "\"\r\n";
    }
    return lines;
}

// The load's message, or "loaded" after checking that the record saves again.
Text load(const std::string& text) {
    SettingsRecord record;
    try {
        loadFromText(text, record, kWorkingStateShownName);
    } catch (const Failure& failure) {
        return failure.text();
    }
    EXPECT_NO_THROW(encode(record));
    return "loaded";
}

TEST(SaveableLoad, NoMoreNumbersThanThePhoneBookHasIndicesFor) {
    const Text refused = cp("Файл Config.bak имеет не правильный формат");
    // 99 tagged numbers over the three tables fill indices 1 to 99.
    EXPECT_EQ(load(headerWithLength() + tagged(33, 'W') + tagged(33, 'R') + tagged(33, 'S')),
              "loaded");
    EXPECT_EQ(load(headerWithLength() + tagged(34, 'W') + tagged(33, 'N') + tagged(33, 'B')),
              refused);
    EXPECT_EQ(load(headerWithLength() + tagged(100, 'W')), refused);
    // An empty number takes no index and is not counted; a number its table cannot hold is
    // refused whatever the count.
    EXPECT_EQ(load(headerWithLength() + tagged(99, 'W') + "AT+CPBW=1,\"\",129,\"W\"\r\n"),
              "loaded");
    EXPECT_EQ(load(headerWithLength() + "AT+CPBW=1,\"12 34\",129,\"W12 34\"\r\n"), refused);
    // The speed-dial numbers have indices 101 to 150.
    EXPECT_EQ(load(headerWithLength() + speedDial(50)), "loaded");
    EXPECT_EQ(load(headerWithLength() + speedDial(51)), refused);
    // The forward number has an index of its own.
    EXPECT_EQ(load(headerWithLength() + tagged(99, 'W') +
                   "AT+CPBW=100,\"+79001112233\",129,\"+79001112233\"\r\n" + speedDial(50)),
              "loaded");
}

TEST(SaveableLoad, TwoDigitFieldsAndPasswordDigits) {
    const Text refused = cp("Файл Config.bak имеет не правильный формат");
    EXPECT_EQ(load(headerWithLength("63")), "loaded");  // 99
    EXPECT_EQ(load(headerWithLength("64")), refused);   // 100
    EXPECT_EQ(load(headerWithLength("FF")), refused);
    for (const char* line : {"ATW820164", "ATW8301FF"}) {
        std::string text = headerWithLength();
        const std::string prefix(line, 7);
        text.replace(text.find(prefix), 9, line);
        EXPECT_EQ(load(text), refused) << line;
    }
    std::string withPassword = headerWithLength();
    withPassword.replace(withPassword.find("ATW900100"), 9, "ATW900102");
    withPassword.replace(withPassword.find("ATK1"), 4, "ATW910107\r\nATW920109\r\nATK1");
    EXPECT_EQ(load(withPassword), "loaded");
    withPassword.replace(withPassword.find("ATW920109"), 9, "ATW92010A");
    EXPECT_EQ(load(withPassword), refused);
}

TEST(SaveableLoad, HundredThousandNumbersAreRefusedAtTheHundredthAndTheRecordStaysSaveable) {
    std::string text = headerWithLength();
    for (int i = 0; i < 1000; ++i) {
        text += tagged(100, 'W');
    }
    SettingsRecord record;
    EXPECT_THROW(loadFromText(text, record, kWorkingStateShownName), Failure);
    EXPECT_NO_THROW(encode(record));
}

}  // namespace
}  // namespace orv
