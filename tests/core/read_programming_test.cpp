// Read programming and the check against the device, run whole against a scripted device in
// virtual time: the reads, the two passes over the phone book, "1.txt" and its load, the stops
// and the time left they tell.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "device_rig.h"
#include "link/device.h"
#include "operations/programming.h"
#include "sample_record.h"
#include "settings/comparison.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::FakePort;
using test::readFile;
using Field = SettingDifference::Field;

// Read programming into `record`.
struct Rig : test::DeviceRig {
    SettingsRecord record;

    void run() { readProgramming(ctx, record); }
    std::string file() const { return readFile(dir.path("1.txt")); }
};

std::vector<std::string> registerReads() {
    return {"ATR8001", "ATR8101", "ATR8201", "ATR8301", "ATR8401", "ATR8601", "ATR9001",
            "ATR9101", "ATR9201", "ATR9301", "ATR9401", "ATR9501", "ATR9601", "ATR9701"};
}

// Everything sent for a run that reads the given slots.
std::vector<std::string> sentFor(std::initializer_list<std::pair<int, int>> slotRanges) {
    std::vector<std::string> lines = {"ATR2301"};
    for (const std::string& r : registerReads()) {
        lines.push_back(r);
    }
    lines.push_back("ATK1");
    for (auto [from, to] : slotRanges) {
        for (int i = from; i <= to; ++i) {
            lines.push_back("AT+CPBR=" + std::to_string(i));
        }
    }
    lines.push_back("AT+CPAS");
    return lines;
}

std::vector<int> registerProgress() {
    std::vector<int> p = {0};
    for (int i = 1; i <= 14; ++i) {
        p.push_back(3 * i);
    }
    return p;
}

const char* const kDefaultRegisterLines =
    "ATW80015A\r\nATW81010B\r\nATW82010A\r\nATW830100\r\nATW840107\r\nATW860182\r\n"
    "ATW900100\r\nATW910100\r\nATW920100\r\nATW930100\r\nATW940100\r\nATW950100\r\n"
    "ATW960100\r\nATW970100\r\n";

TEST(ReadProgramming, EmptyPhoneBookReadsSlotOneAndSlotHundredOne) {
    Rig rig;
    rig.record.forwardNumber = "555";
    rig.record.tables[kCallBackTable] = test::table({"8900", ""});
    rig.record.numberLength = "3";
    rig.run();

    EXPECT_EQ(rig.port.lines(), sentFor({{1, 1}, {100, 100}, {101, 101}}));
    std::vector<int> progress = registerProgress();
    progress.insert(progress.end(), {43, 44, 70, 71, 100});
    EXPECT_EQ(rig.user.positions, progress);
    EXPECT_EQ(rig.file(), kDefaultRegisterLines);

    // Presence, 14 registers, ATK1 and three slots each purge once; DTR is raised with each.
    EXPECT_EQ(rig.port.purges, 1 + 14 + 1 + 3);
    EXPECT_FALSE(rig.user.readerStopped);
    EXPECT_EQ(rig.user.readersStarted, 0);

    EXPECT_EQ(rig.record.numberLength, "11");
    EXPECT_EQ(rig.record.tables, SettingsRecord().tables);
    // Slot 100 empty: the device has no forward number, so neither has the window.
    EXPECT_EQ(rig.record.forwardNumber, "");

    const std::vector<std::string> events = {"caption " + cp("Чтение программирования"), "show",
                                             "range 0 100", "close",
                                             "caption " + cp("Запись программирования")};
    EXPECT_EQ(rig.user.events, events);
    EXPECT_TRUE(rig.user.messages.empty());
}

TEST(ReadProgramming, PacesItsReadsAndWaitsAfterTheLastCommand) {
    Rig rig;
    rig.run();
    // ATK1 (the 16th line) is followed by its pause and no read: the next line's first byte
    // comes 600 ms after its CR.
    const auto& w = rig.port.written;
    std::size_t cr = 0;
    int crs = 0;
    for (; cr < w.size(); ++cr) {
        if (w[cr].byte == '\r' && ++crs == 16) {
            break;
        }
    }
    ASSERT_LT(cr + 1, w.size());
    EXPECT_EQ(w[cr + 1].at - w[cr].at, 600u);
    EXPECT_EQ(rig.clock.elapsed() - w.back().at, 500u);  // "AT+CPAS" then a pause
}

TEST(ReadProgramming, EmptySlotBelowHundredEndsFirstPassAndSpeedDialFollows) {
    Rig rig;
    for (int i : {1, 2, 3, 5, 6, 7, 8, 9}) {
        rig.device.fill(i, "890" + std::to_string(i), "W890" + std::to_string(i));
    }
    rig.device.fill(101, "111", "111");
    rig.device.fill(102, "+7495", "+7495");
    rig.run();

    EXPECT_EQ(rig.port.lines(), sentFor({{1, 4}, {100, 100}, {101, 103}}));
    std::vector<int> progress = registerProgress();
    progress.insert(progress.end(), {43, 44, 45, 46, 47, 70, 71, 72, 73, 100});
    EXPECT_EQ(rig.user.positions, progress);

    // Each listed reply keeps its own line breaks, every line of the file ending in CR LF.
    std::string expected = kDefaultRegisterLines;
    for (const char* entry :
         {"1,\"8901\",129,\"W8901\"", "2,\"8902\",129,\"W8902\"", "3,\"8903\",129,\"W8903\"",
          "101,\"111\",129,\"111\"", "102,\"+7495\",129,\"+7495\""}) {
        expected += std::string("\r\nAT+CPBW=") + entry + "\r\n\r\nOK\r\n";
    }
    EXPECT_EQ(rig.file(), expected);

    EXPECT_EQ(rig.record.tables[kCallBackTable], test::table({"8901", "8902", "8903", ""}));
    EXPECT_EQ(rig.record.tables[kSpeedDialTable], test::table({"111", "+7495", ""}));
    EXPECT_EQ(rig.record.tables[kAllowedTable], test::table({""}));
}

TEST(ReadProgramming, ForwardSlotIsReadOnlyWhenSlotsBelowItAreAllFilled) {
    for (bool forwardFilled : {false, true}) {
        SCOPED_TRACE(forwardFilled);
        Rig rig;
        rig.record.forwardNumber = "555";
        for (int i = 1; i <= 99; ++i) {
            rig.device.fill(i, std::to_string(1000 + i), "W" + std::to_string(1000 + i));
        }
        if (forwardFilled) {
            rig.device.fill(100, "89001234567", "89001234567");
        }
        rig.device.fill(101, "111", "111");
        rig.device.fill(102, "222", "222");
        rig.run();

        // Slot 100 empty ends the reads there, and the speed dial is not read; filled, the
        // first pass goes on through the speed dial to its first empty slot.
        EXPECT_EQ(rig.port.lines(), sentFor({{1, forwardFilled ? 103 : 100}}));
        EXPECT_EQ(rig.user.positions.back(), 100);
        for (int p : rig.user.positions) {
            EXPECT_LE(p, 100);
        }
        EXPECT_EQ(rig.record.tables[kCallBackTable].size(), 100u);
        EXPECT_EQ(rig.record.tables[kCallBackTable][98].number, "1099");
        EXPECT_EQ(rig.record.forwardNumber, forwardFilled ? "89001234567" : "");
        EXPECT_EQ(rig.record.tables[kSpeedDialTable],
                  forwardFilled ? test::table({"111", "222", ""}) : test::table({""}));
    }
}

TEST(ReadProgramming, FullPhoneBookStopsAfterSlotHundredFifty) {
    Rig rig;
    for (int i = 1; i <= 150; ++i) {
        const std::string n = std::to_string(7000 + i);
        rig.device.fill(i, n, i < 100 ? "N" + n : n);
    }
    rig.run();
    EXPECT_EQ(rig.port.lines(), sentFor({{1, 150}}));
    EXPECT_EQ(rig.record.tables[kAllowedTable].size(), 100u);
    EXPECT_EQ(rig.record.forwardNumber, "7100");
    EXPECT_EQ(rig.record.tables[kSpeedDialTable].size(), 51u);
    EXPECT_EQ(rig.record.tables[kSpeedDialTable][49].number, "7150");
}

TEST(ReadProgramming, SlotRepliesWithoutAnEntryOrOkDoNotEndThePass) {
    Rig rig;
    rig.device.fill(1, "8900", "W8900");
    rig.device.other["AT+CPBR=2"] = "\rOK\r";                // trimmed "OK": too short to judge
    rig.device.other["AT+CPBR=3"] = "\r\r\nERROR\r\n";       // 8 characters: not listed
    rig.device.other["AT+CPBR=4"] = "\r\r\nOK\r\n\r\nOK\r";  // 9 characters, "OK" at 3 and 4
    rig.run();
    EXPECT_EQ(rig.port.lines(), sentFor({{1, 4}, {100, 100}, {101, 101}}));
    const std::string file = rig.file();
    EXPECT_EQ(file.find("ERROR"), std::string::npos);
    EXPECT_NE(file.find("\r\nOK\r\n\r\nOK\r\n", file.find("W8900")), std::string::npos);
    EXPECT_EQ(rig.record.tables[kCallBackTable], test::table({"8900", ""}));
}

// A read that brings nothing ends the operation wherever it happens, before anything is saved
// or loaded.
TEST(ReadProgramming, ReadErrorLeavesFileAndRecordAlone) {
    for (const char* silent : {"ATR8401", "AT+CPBR=3", "AT+CPBR=102"}) {
        SCOPED_TRACE(silent);
        Rig rig;
        test::writeFile(rig.dir.path("1.txt"), "earlier\r\n");
        for (int i : {1, 2, 3, 101, 102}) {
            rig.device.fill(i, "8900", "W8900");
        }
        rig.device.other[silent] = "";
        rig.record.password = "12";
        rig.record.tables[kForbiddenTable] = test::table({"5678", ""});
        const SettingsRecord before = rig.record;

        try {
            rig.run();
            ADD_FAILURE() << "no failure";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), MessageKind::Error);
            EXPECT_EQ(f.text(), cp("Ошибка считывания данных"));
        }
        EXPECT_EQ(rig.port.lines().back(), silent);
        EXPECT_EQ(rig.file(), "earlier\r\n");
        EXPECT_EQ(rig.record, before);
        EXPECT_TRUE(rig.user.shown);
        EXPECT_EQ(rig.user.caption, cp("Чтение программирования"));
    }
}

// A reply without the form of a value (one character for a register of two) holds nothing to
// name: the load refuses the read-back with the format message.
TEST(ReadProgramming, MalformedRegisterReplyIsRejectedByTheLoadAfterTheFileIsWritten) {
    Rig rig;
    rig.device.registers["8001"] = "FF";
    rig.device.other["ATR8101"] = "\r5 ";  // one value character
    rig.device.fill(1, "8900", "W8900");
    rig.record.numberLength = "42";
    rig.record.tables[kCallBackTable] = test::table({"1111", ""});

    try {
        rig.run();
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.kind(), MessageKind::Plain);
        EXPECT_EQ(f.text(), cp("Файл 1.txt имеет не правильный формат"));
    }
    EXPECT_EQ(rig.file().substr(0, 21), "ATW8001FF\r\nATW81015\r\n");
    EXPECT_EQ(rig.port.lines().back(), "AT+CPAS");
    // A read-back that does not load leaves the window's record as it was.
    SettingsRecord before;
    before.numberLength = "42";
    before.tables[kCallBackTable] = test::table({"1111", ""});
    EXPECT_EQ(rig.record, before);
    EXPECT_TRUE(rig.user.shown);
    EXPECT_EQ(rig.user.caption, cp("Чтение программирования"));
}

// ---- Values the window cannot hold -----------------------------------------------------

// A register or a slot whose value the device holds but the window cannot. Read programming
// names each (a register by the label of its setting and its code, a slot by its index), with
// its value and why, after "1.txt" is written, and loads nothing; the check lists it as a
// difference and compares the rest, the setting or slot it stands for not told twice.
struct RefusedCase {
    const char* what;
    void (*onDevice)(test::ScriptedDevice&);
    const char* named;   // the line that names it
    const char* inFile;  // a line of "1.txt" that holds it
};

const RefusedCase kRefusedCases[] = {
    {"a number length of 255", [](test::ScriptedDevice& d) { d.registers["8101"] = "FF"; },
     "«Значность набираемых номеров» (регистр 8101): «FF» — это число 255, а поле принимает от "
     "0 до 99",
     "ATW8101FF"},
    {"a volume that is no decimal number",
     [](test::ScriptedDevice& d) { d.registers["8601"] = "FF"; },
     "«Уровень громкости» (регистр 8601): «FF» — это не десятичное число", "ATW8601FF"},
    {"a password character that is no digit",
     [](test::ScriptedDevice& d) { d.registers["9201"] = "0A"; },
     "«Пароль (не более 7 цифр)» (регистр 9201): значение не показывается — пароль состоит только "
     "из цифр",
     "ATW92010A"},
    {"a service number among the speed-dial numbers",
     [](test::ScriptedDevice& d) { d.fill(104, "*100#", "Balance"); },
     "Ячейка 104 SIM-карты: номер «*100#», текст «Balance» — номер может содержать только цифры "
     "и «+», не более 15 знаков",
     "AT+CPBW=104,\"*100#\",129,\"Balance\""},
    {"a tagged service number", [](test::ScriptedDevice& d) { d.fill(7, "*100#", "W*100#"); },
     "Ячейка 7 SIM-карты: номер «*100#», текст «W*100#» — номер может содержать только цифры и "
     "«+», не более 15 знаков",
     "AT+CPBW=7,\"*100#\",129,\"W*100#\""},
    {"a direction too short", [](test::ScriptedDevice& d) { d.fill(7, "12", "N12"); },
     "Ячейка 7 SIM-карты: номер «12», текст «N12» — номер направления должен содержать не менее "
     "4 знаков",
     "AT+CPBW=7,\"12\",129,\"N12\""},
};

TEST(RefusedValues, ReadProgrammingNamesThemSavesTheFileAndLoadsNothing) {
    for (const RefusedCase& c : kRefusedCases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.device.apply(encode(test::sampleRecord()));
        c.onDevice(rig.device);
        rig.record = test::shortRecord();
        try {
            rig.run();
            ADD_FAILURE() << "no failure";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), MessageKind::Error);
            EXPECT_EQ(f.outcome(), Outcome::HoldsUnrecordable);
            EXPECT_EQ(f.text(), cp(std::string("GSM-Тарк Орвелин-9 хранит значения, которые окно "
                                               "программы не может принять:\n") +
                                   c.named +
                                   "\nСчитанные данные записаны в файл 1.txt. Окно программы не "
                                   "изменено."));
        }
        EXPECT_NE(rig.file().find(std::string(c.inFile) + "\r\n"), std::string::npos);
        EXPECT_EQ(rig.port.lines().back(), "AT+CPAS");
        EXPECT_EQ(rig.record, test::shortRecord());
        EXPECT_FALSE(rig.user.shown);
        EXPECT_EQ(rig.user.caption, cp("Запись программирования"));
    }
}

TEST(RefusedValues, TheCheckListsThemAsDifferences) {
    for (const RefusedCase& c : kRefusedCases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        const SettingsRecord window = test::sampleRecord();
        rig.device.apply(encode(window));
        c.onDevice(rig.device);
        const Differences d = compareWithDevice(rig.ctx, window);
        ASSERT_EQ(d.refused.size(), 1u);
        EXPECT_EQ(describeRefusal(d.refused[0]), cp(c.named));
        EXPECT_TRUE(d.settings.empty());
        EXPECT_TRUE(d.numbers.empty());
        EXPECT_FALSE(d.none());
    }
}

// The forward number's slot lies beyond the first empty slot of a phone book with fewer than
// 99 tagged numbers: it is read on its own between the two passes, so it comes back too.
TEST(ReadProgramming, ReadsBackWhatWasWrittenWithTheForwardNumberBeyondTheFirstPass) {
    const SettingsRecord written = test::sampleRecord();
    Rig rig;
    rig.record.forwardNumber = "old";
    rig.device.apply(encode(written));
    rig.run();
    EXPECT_EQ(rig.port.lines(), sentFor({{1, 7}, {100, 100}, {101, 104}}));
    EXPECT_EQ(rig.record, written);
}

TEST(ReadProgramming, ReadsBackAFullPhoneBookWithItsForwardNumber) {
    SettingsRecord written = test::sampleRecord();
    for (PhoneTable& t : written.tables) {
        t.pop_back();  // the empty record, added again below
    }
    for (int i = 0;
         written.tables[0].size() + written.tables[1].size() + written.tables[2].size() < 99; ++i) {
        written.tables[i % 3].push_back({"+7" + std::to_string(9000000 + i), ""});
    }
    for (PhoneTable& t : written.tables) {
        t.push_back({});
    }

    Rig rig;
    rig.device.apply(encode(written));
    rig.run();
    EXPECT_EQ(rig.port.lines(), sentFor({{1, 104}}));
    EXPECT_EQ(rig.record, written);
}

// Write programming over a device that holds more than the new record (an earlier, longer
// programming): every slot the record does not use is erased, so the device holds exactly the
// record, and read programming into a fresh window brings back the record and nothing else.
TEST(ReadProgramming, WriteOverAFullerDeviceLeavesExactlyTheRecordAndReadsBackAsIt) {
    Rig rig;
    for (int i = 1; i <= 6; ++i) {
        rig.device.fill(i, "8900000000" + std::to_string(i), "W8900000000" + std::to_string(i));
    }
    rig.device.fill(100, "+79990000000", "+79990000000");
    for (int i = 101; i <= 104; ++i) {
        rig.device.fill(i, std::to_string(i), std::to_string(i));
    }
    rig.device.fill(140, "140", "140");

    SettingsRecord small;
    small.tables[kCallBackTable] = test::table({"8900", ""});
    small.tables[kForbiddenTable] = test::table({"5678", ""});
    small.tables[kSpeedDialTable] = test::table({"111", ""});
    rig.port.setResponder([&](const std::string& line) { return rig.device.respond(line); });
    writeProgramming(rig.ctx, small);

    std::map<int, std::string> expected = {
        {1, "1,\"8900\",129,\"W8900\""},
        {2, "2,\"5678\",129,\"B5678\""},
        {101, "101,\"111\",129,\"111\""},
    };
    EXPECT_EQ(rig.device.slots, expected);
    // The erases are sent, not listed: "1.txt" is the record's command list.
    EXPECT_EQ(rig.file(), readFile([&] {
                  const std::string path = rig.dir.path("small.cfg");
                  SaveData(path, small);
                  return path;
              }()));

    SettingsRecord fresh;
    fresh.forwardNumber = "+70000000000";
    rig.port.written.clear();
    readProgramming(rig.ctx, fresh);
    EXPECT_EQ(fresh, small);
}

// ---- Time left and stops -------------------------------------------------------------------

// The scan ends at the first empty slot, which nobody knows in advance: the time is told as
// the most it can take, shrinks with every slot read, and is exact once the scan is over.
TEST(TimeLeft, ReadProgrammingTellsAnUpperBoundThatTightensAsTheScanGoes) {
    Rig rig;
    for (int i : {1, 2, 3, 101, 102}) {
        rig.device.fill(i, "89" + std::to_string(i), "W89" + std::to_string(i));
    }
    SettingsRecord record;
    readProgramming(rig.ctx, record);
    const std::uint64_t end = rig.clock.elapsed();
    test::checkTimeLeft(rig.user, end, 14 + 1 + 7);

    const auto& reports = rig.user.timeLeft;
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_LE(reports[i].left, reports[i - 1].left);
    }
    // Bounds while the registers and the scan are read, then the exact closing.
    const auto firstExact =
        std::find_if(reports.begin(), reports.end(), [](const auto& r) { return !r.upperBound; });
    ASSERT_NE(firstExact, reports.end());
    EXPECT_TRUE(
        std::all_of(reports.begin(), firstExact, [](const auto& r) { return r.upperBound; }));
    EXPECT_EQ(firstExact->left, 1300u);  // "AT+CPAS" and its pause
    // At the start the bound holds all 150 slots.
    EXPECT_GT(reports.front().left, 200000u);
}

TEST(TimeLeft, ReadProgrammingOfAFullPhoneBookTakesExactlyItsBound) {
    Rig rig;
    for (int i = 1; i <= 150; ++i) {
        rig.device.fill(i, std::to_string(7000 + i), std::to_string(7000 + i));
    }
    SettingsRecord record;
    readProgramming(rig.ctx, record);
    const std::uint64_t end = rig.clock.elapsed();
    for (const auto& report : rig.user.timeLeft) {
        EXPECT_NEAR(static_cast<double>(report.left), static_cast<double>(end - report.at),
                    test::kTimeLeftSlack);
    }
}

// A register read and a slot read each end with the read of their reply; then "AT+CPAS" and
// its pause close the run. Neither the window's record nor "1.txt" changes.
TEST(Stop, ReadProgrammingLeavesTheRecordAndTheFileAsTheyWere) {
    for (const auto& [head, line] : {std::pair<std::string, std::string>{"ATR840", "ATR8401"},
                                     {"ATK", "ATK1"},
                                     {"AT+CPBR=", "AT+CPBR=2"}}) {
        SCOPED_TRACE(line);
        Rig rig;
        for (int i : {1, 2, 3}) {
            rig.device.fill(i, "89" + std::to_string(i), "W89" + std::to_string(i));
        }
        test::writeFile(rig.dir.path("1.txt"), "earlier\r\n");
        // The second slot read: the stop comes while its command is being sent.
        int slotReads = 0;
        rig.port.setWriteWatcher([&](const std::string& soFar) {
            if (soFar == head && (line != "AT+CPBR=2" || ++slotReads == 2)) {
                rig.stop.request();
            }
        });
        SettingsRecord record = test::shortRecord();
        const SettingsRecord before = record;
        try {
            readProgramming(rig.ctx, record);
            FAIL() << "not stopped";
        } catch (const Stopped& s) {
            EXPECT_EQ(s.text(), cp("Чтение программирования остановлено. Окно программы не "
                                   "изменено, файл 1.txt не записан."));
        }
        EXPECT_EQ(rig.lastTwoLines(), std::make_pair(line, std::string("AT+CPAS")));
        // The line's reply was read after its pause, as in any read.
        EXPECT_GE(rig.gapBeforeLastLine(), line == "ATK1" ? 600u : 610u);
        EXPECT_EQ(record, before);
        EXPECT_EQ(test::readFile(rig.dir.path("1.txt")), "earlier\r\n");
        EXPECT_FALSE(rig.user.shown);
        EXPECT_EQ(rig.user.caption, cp("Запись программирования"));
    }
}

// ---- The check against the device -------------------------------------------------------

// Everything sent is a read: the same lines as read programming sends for the device.
void expectReadsOnly(const FakePort& port) {
    for (const std::string& line : port.lines()) {
        EXPECT_TRUE(line.rfind("ATR", 0) == 0 || line.rfind("AT+CPBR=", 0) == 0 || line == "ATK1" ||
                    line == "AT+CPAS")
            << line;
    }
}

TEST(CompareWithDevice, ADeviceWrittenWithTheWindowsRecordAgrees) {
    Rig rig;
    const SettingsRecord window = test::sampleRecord();
    rig.device.apply(encode(window));
    test::writeFile(rig.dir.path("1.txt"), "earlier\r\n");

    const Differences d = compareWithDevice(rig.ctx, window);
    EXPECT_TRUE(d.none());
    expectReadsOnly(rig.port);

    // Every slot is read, not only those read programming's scan reaches.
    EXPECT_EQ(rig.port.lines(), sentFor({{1, 150}}));
    EXPECT_EQ(test::readFile(rig.dir.path("1.txt")), "earlier\r\n");

    EXPECT_FALSE(rig.user.shown);
    EXPECT_EQ(rig.user.caption, cp("Запись программирования"));
    EXPECT_EQ(rig.user.events.front(), "caption " + cp("Сверка с устройством"));
}

TEST(CompareWithDevice, ListsAChangedRegisterAnExtraSlotAndAMissingSpeedDialNumber) {
    Rig rig;
    const SettingsRecord window = test::sampleRecord();
    rig.device.apply(encode(window));
    rig.device.registers["8601"] = "40";                // the volume
    rig.device.fill(7, "89009998877", "W89009998877");  // after the window's six tagged numbers
    rig.device.slots.erase(103);                        // the last speed-dial number

    const Differences d = compareWithDevice(rig.ctx, window);
    ASSERT_EQ(d.settings.size(), 1u);
    EXPECT_EQ(d.settings[0].field, Field::Volume);
    EXPECT_EQ(d.settings[0].window, "55");
    EXPECT_EQ(d.settings[0].device, "40");
    const std::vector<NumberDifference> numbers = {
        {kCallBackTable, "89009998877", false},
        {kSpeedDialTable, "222", true},
    };
    EXPECT_EQ(d.numbers, numbers);
    EXPECT_FALSE(d.speedDialOrder);
    expectReadsOnly(rig.port);
}

// An entry after an empty slot is one read programming's scan never reaches: the check reads
// it, compares it, and says where it lies, so that it never agrees with such a device.
TEST(CompareWithDevice, SeesEveryEntryAfterAnEmptySlot) {
    const struct {
        const char* what;
        std::vector<int> filled;  // call-back numbers 8900 + slot, speed dial 7000 + slot
        std::vector<int> window;  // the window's slots of the same numbers
        std::vector<int> unread;
        std::vector<NumberDifference> numbers;
    } cases[] = {
        {"slot 3 after an empty slot 2, the window holding it", {1, 3}, {1, 3}, {3}, {}},
        {"slot 3 after an empty slot 2, the window without it",
         {1, 3},
         {1},
         {3},
         {{kCallBackTable, "8903", false}}},
        {"a speed-dial number after a gap", {1, 101, 103}, {1, 101, 103}, {103}, {}},
        {"the forward number after a gap is read", {1, 100}, {1, 100}, {}, {}},
        {"no gap", {1, 2, 101}, {1, 2, 101}, {}, {}},
    };
    auto numberOf = [](int slot) {
        return std::to_string(slot > kForwardIndex ? 7000 + slot : 8900 + slot);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        for (int slot : c.filled) {
            rig.device.fill(slot, numberOf(slot),
                            slot < kForwardIndex ? "W" + numberOf(slot) : numberOf(slot));
        }
        SettingsRecord window;
        for (int slot : c.window) {
            if (slot == kForwardIndex) {
                window.forwardNumber = numberOf(slot);
            } else {
                window.tables[slot > kForwardIndex ? kSpeedDialTable : kCallBackTable].push_back(
                    {numberOf(slot), ""});
            }
        }
        const Differences d = compareWithDevice(rig.ctx, window);
        EXPECT_EQ(d.unreadSlots, c.unread);
        EXPECT_EQ(d.numbers, c.numbers);
        EXPECT_EQ(d.none(), c.unread.empty() && c.numbers.empty());
        EXPECT_EQ(rig.port.lines(), sentFor({{1, 150}}));

        // Every slot is read whatever the device holds, so the time left is exact from the start,
        // to the millisecond.
        const std::uint64_t end = rig.clock.elapsed();
        ASSERT_GE(rig.user.timeLeft.size(), 14u + 1u + 150u);
        for (const auto& report : rig.user.timeLeft) {
            EXPECT_FALSE(report.upperBound) << "at " << report.at;
            EXPECT_EQ(report.left, end - report.at) << "at " << report.at;
        }
    }
}

TEST(CompareWithDevice, ARecordThatCannotBeWrittenIsRefusedBeforeAnythingIsSent) {
    Rig rig;
    SettingsRecord window;
    window.numberLength = "x";
    EXPECT_THROW(compareWithDevice(rig.ctx, window), Failure);
    EXPECT_TRUE(rig.port.written.empty());
}

TEST(CompareWithDevice, AStopLeavesNothingToCompare) {
    Rig rig;
    StopRequest stop;
    rig.ctx.stop = &stop;
    rig.port.setWriteWatcher([&](const std::string& soFar) {
        if (soFar == "ATR830") {
            stop.request();
        }
    });
    try {
        compareWithDevice(rig.ctx, test::sampleRecord());
        FAIL() << "not stopped";
    } catch (const Stopped& s) {
        EXPECT_EQ(s.text(), cp("Сверка с устройством остановлена. Окно программы не изменено."));
    }
    EXPECT_EQ(rig.port.lines().back(), "AT+CPAS");
    EXPECT_FALSE(rig.user.shown);
}

// The read-back "1.txt" holds exactly the lines the loader then reads: a zero byte in a reply
// (line noise, a break on the line) would end the text for the loader and drop every line
// after it without a word, so it is left out of the file.
TEST(ReadBackLines, AZeroByteInAReplyLosesNoLineAfterIt) {
    VirtualClock clock;
    test::FakePort port(clock);
    test::RecordingUser user(clock);
    test::TempDir dir;
    port.setResponder([](const std::string& line) -> test::FakePort::Answer {
        if (line == "ATR2301") {
            return {"\r01 "};
        }
        if (line.rfind("ATR", 0) == 0) {
            return {line == "ATR8101" ? std::string("\r0\0B ", 5) : "\r00 "};
        }
        if (line == "AT+CPBR=1") {
            return {std::string("\r\r\n+CPBR: 1,\"89") + '\0' + "0001\",129,\"W89" + '\0' +
                    "0001\"\r\n\r\nOK\r\n"};
        }
        if (line == "AT+CPBR=2") {
            return {"\r\r\n+CPBR: 2,\"8902\",129,\"W8902\"\r\n\r\nOK\r\n"};
        }
        if (line.rfind("AT+CPBR=", 0) == 0) {
            return {"\r\r\nOK\r\n"};
        }
        return {"\rOK "};
    });
    OperationContext ctx{port, clock, user, user, dir.dir()};
    SettingsRecord record;
    readProgramming(ctx, record);

    const std::string file = test::readFile(dir.path("1.txt"));
    EXPECT_EQ(file.find('\0'), std::string::npos);
    EXPECT_NE(file.find("ATW81010B\r\n"), std::string::npos);
    EXPECT_EQ(record.numberLength, "11");
    EXPECT_EQ(record.tables[kCallBackTable], (PhoneTable{{"890001", ""}, {"8902", ""}, {"", ""}}));
}

}  // namespace
}  // namespace orv
