// The command table and one port's run in virtual time over the scripted device: what each way
// an operation ends gives as status and message, the refusals before anything is sent, the
// output names of several ports.

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/commands.h"
#include "cli/file_commands.h"
#include "cli/recipient_source.h"
#include "device_rig.h"
#include "link/port_problems.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "test_support.h"

namespace orv::cli {
namespace {

using test::beginsWith;
using test::holds;
using test::utf8;

// One port's run of a command against the scripted device of the rig.
class PortRun : public ::testing::Test {
  protected:
    PortResult run(const std::string& command, const std::string& outPath = "") {
        return run(command, outPath, rig);
    }
    PortResult run(const std::string& command, const std::string& outPath, test::DeviceRig& on) {
        const CommandRow* row = findCommand(command);
        EXPECT_NE(row, nullptr);
        inv.command = command;
        const PortJob job{inv, prepared, "/dev/ttyUSB0", outPath};
        return runOnPort(*row, job, on.ctx);
    }

    test::DeviceRig rig;
    Invocation inv;
    Prepared prepared;
};

TEST_F(PortRun, ClirTellsTheAnswerAndCountsTheLines) {
    rig.device.other["AT+CLIR?"] = "\r\r\n+CLIR: 0,1\r\n\r\nOK\r\n";
    const PortResult result = run("clir");
    EXPECT_EQ(result.status, Status::Done);
    EXPECT_EQ(utf8(result.message), "CLIR - предоставляется на постоянной основе");
    EXPECT_EQ(result.port, "/dev/ttyUSB0");
    EXPECT_EQ(result.command, "clir");
    EXPECT_EQ(result.linesSent, static_cast<int>(rig.port.lines().size()));
    EXPECT_EQ(result.linesSent, 4);
    EXPECT_GT(result.seconds, 1.0);
}

TEST_F(PortRun, TheDevicesTroubleIsStatusThree) {
    const struct {
        const char* name;
        const char* presence;  // the reply to the presence check
        const char* clir;
        const char* message;
    } cases[] = {
        {"absent", "", "", "GSM-Тарк Орвелин-9 не подключен"},
        {"busy", "\r00 ", "", "GSM-Тарк Орвелин-9 в активном состоянии"},
        {"unreadable CLIR reply", "\r01 ", "\r\r\n+CLIR: 0\r\n\r\nOK\r\n",
         "Ответ сети на запрос услуги CLIR не удалось разобрать"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::DeviceRig fresh;
        fresh.device.other["ATR2301"] = c.presence;
        fresh.device.other["AT+CLIR?"] = c.clir;
        const PortResult result = run("clir", "", fresh);
        EXPECT_EQ(result.status, Status::DeviceTrouble);
        EXPECT_PRED2(beginsWith, utf8(result.message), c.message);
    }
}

TEST_F(PortRun, ALineLostDuringTheOperationIsStatusSix) {
    rig.port.setWriteWatcher([this](const std::string& soFar) {
        if (soFar == "AT+CPBW=3") {
            rig.port.setOpen(false);
        }
    });
    const PortResult result = run("clear-sim");
    EXPECT_EQ(result.status, Status::LineLost);
    EXPECT_PRED2(holds, utf8(result.message), "потеряна");
}

TEST_F(PortRun, AStopEndsAtTheLineBoundaryWithStatusFive) {
    rig.stopDuring("AT+CPBW=");
    const PortResult result = run("clear-sim");
    EXPECT_EQ(result.status, Status::Stopped);
    EXPECT_PRED2(beginsWith, utf8(result.message), "Стирание Sim-карты остановлено");
    // The line being sent when the stop came was sent whole; the status line closed the run.
    const std::vector<std::string> lines = rig.port.lines();
    EXPECT_EQ(lines.back(), "AT+CPAS");
    EXPECT_EQ(lines.at(lines.size() - 2), "AT+CPBW=1");
}

TEST_F(PortRun, ReadSavesTheConfigurationOrSaysItCouldNot) {
    const std::string out = rig.dir.path("site.cfg");
    PortResult result = run("read", out);
    EXPECT_EQ(result.status, Status::Done);
    SettingsRecord saved;
    LoadFromFile(out, saved);
    EXPECT_TRUE(std::filesystem::exists(rig.dir.path("1.txt")));

    std::filesystem::create_directory(rig.dir.path("folder.cfg"));
    result = run("read", rig.dir.path("folder.cfg"));
    EXPECT_EQ(result.status, Status::NotSaved);
    EXPECT_FALSE(result.message.empty());
}

TEST_F(PortRun, AReadOfValuesTheRecordCannotHoldIsStatusFour) {
    rig.device.registers["8101"] = "FF";
    const PortResult result = run("read", rig.dir.path("x.cfg"));
    EXPECT_EQ(result.status, Status::Differs);
    EXPECT_PRED2(holds, utf8(result.message), "Значность набираемых номеров");
    EXPECT_FALSE(std::filesystem::exists(rig.dir.path("x.cfg")));
}

TEST_F(PortRun, TheCheckListsEachDifferenceOnARowOfItsOwn) {
    prepared.record = test::sampleRecord();
    PortResult result = run("check");
    EXPECT_EQ(result.status, Status::Differs);
    ASSERT_FALSE(result.differences.empty());
    EXPECT_PRED2(beginsWith, utf8(result.message),
                 "Программирование в окне и в GSM-Тарк Орвелин-9 различается");
    // Write it, then the check with --verify finds nothing.
    inv.verify = true;
    result = run("write");
    EXPECT_EQ(result.status, Status::Done) << utf8(result.message);
    EXPECT_TRUE(result.differences.empty());
    EXPECT_EQ(utf8(result.message), "Программирование в окне и в GSM-Тарк Орвелин-9 совпадает.");
}

TEST_F(PortRun, AWriteWhoseCommandListCannotBeSavedIsStatusEight) {
    prepared.record = test::shortRecord();
    std::filesystem::create_directory(rig.dir.path("1.txt"));
    const PortResult result = run("write");
    EXPECT_EQ(result.status, Status::NotSaved);
    EXPECT_PRED2(holds, utf8(result.message), "Файл 1.txt не сохранен");
}

TEST_F(PortRun, ABroadcastNotAllConfirmedIsStatusSevenWithItsLists) {
    prepared.recipients = {"+79001111111 Анна", "+79002222222", "без номера"};
    prepared.smsLines = {test::cp("Привет")};
    inv.report = "r.csv";
    rig.device.beginning["AT+CMSS=1,\"002B0037003900300030003200320032"] = "";
    const std::string report = rig.dir.path("report.csv");
    const PortResult result = run("sms", report);
    EXPECT_EQ(result.status, Status::Unconfirmed) << utf8(result.message);
    EXPECT_EQ(result.unconfirmed, (std::vector<Text>{"+79002222222"}));
    EXPECT_TRUE(result.refused.empty());
    EXPECT_TRUE(result.notSent.empty());
    // The report saved comes back as the recipients not reached.
    EXPECT_EQ(readRecipientSource(report, true), (RecipientList{"+79002222222"}));
}

TEST(PortFailures, EachWayOfEndingHasItsStatus) {
    VirtualClock clock;
    test::FakePort port(clock);
    const auto error = [](Outcome outcome, MessageKind kind = MessageKind::Error,
                          const Text& text = "x") {
        return std::make_exception_ptr(Failure(kind, text, outcome));
    };
    const struct {
        std::exception_ptr error;
        bool open;
        Status status;
    } cases[] = {
        {std::make_exception_ptr(PortFailure(PortProblem::Busy, "x")), true,
         Status::PortUnavailable},
        {std::make_exception_ptr(UsageError("x")), true, Status::Refused},
        {std::make_exception_ptr(Stopped("x")), false, Status::Stopped},
        {error(Outcome::Failed), true, Status::DeviceTrouble},
        {error(Outcome::Failed), false, Status::LineLost},
        {error(Outcome::DeviceTrouble), false, Status::LineLost},
        {error(Outcome::LineLost), true, Status::LineLost},
        // The outcome is told, never read from the message.
        {error(Outcome::Failed, MessageKind::Error, lineLostMessage()), true,
         Status::DeviceTrouble},
        {error(Outcome::NotSaved, MessageKind::Warning), true, Status::NotSaved},
        {error(Outcome::HoldsUnrecordable), true, Status::Differs},
        {error(Outcome::Refused, MessageKind::Warning), false, Status::Refused},
        {std::make_exception_ptr(SilentAbort()), true, Status::Stopped},
        {std::make_exception_ptr(42), true, Status::DeviceTrouble},
    };
    for (const auto& c : cases) {
        port.setOpen(c.open);
        Text message;
        EXPECT_EQ(statusOfFailure(c.error, port, message), c.status);
    }
}

TEST(Outcomes, EachHasItsExitStatus) {
    const struct {
        Outcome outcome;
        int status;
    } cases[] = {
        {Outcome::Done, 0},    {Outcome::Refused, 1},       {Outcome::PortUnavailable, 2},
        {Outcome::Failed, 3},  {Outcome::DeviceTrouble, 3}, {Outcome::HoldsUnrecordable, 4},
        {Outcome::Stopped, 5}, {Outcome::LineLost, 6},      {Outcome::NotSaved, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(statusOf(c.outcome)), c.status) << static_cast<int>(c.outcome);
    }
}

TEST(CommandTable, EveryCommandHasItsRowAndTheNumberListsNeedNoPort) {
    for (const char* name : {"ports", "write", "read", "check", "clear-sim", "clir", "data-mode",
                             "sms", "csv-export", "csv-import", "diff"}) {
        ASSERT_NE(findCommand(name), nullptr) << name;
    }
    EXPECT_EQ(findCommand("format"), nullptr);
    for (const char* name : {"csv-export", "csv-import", "diff"}) {
        EXPECT_FALSE(findCommand(name)->usesPort) << name;
        EXPECT_TRUE(isFileCommand(name)) << name;
    }
    EXPECT_FALSE(isFileCommand("ports"));
    EXPECT_FALSE(isFileCommand("check"));
    EXPECT_EQ(utf8(notAvailableMessage("diff")),
              "Команда diff пока недоступна в этой версии программы");
}

TEST(CommandTable, InvocationsThatCannotRunAreRefusedBeforeAnything) {
    const struct {
        std::vector<std::string> args;
        const char* message;  // null: accepted
    } cases[] = {
        {{"clir"}, nullptr},
        {{"clir", "extra"}, "Команда clir не принимает аргументов"},
        {{"read"}, "Команде read нужен один аргумент"},
        {{"write", "a.cfg", "b.cfg"}, "Команде write нужен один аргумент"},
        {{"read", "a.cfg", "--verify"}, "Параметр --verify относится только к команде write"},
        {{"clir", "--yes"}, "Параметры --to, --yes, --report и --only-unreached"},
        {{"sms", "text"}, "Команде sms нужен параметр --to"},
        {{"sms", "--to", "l", "--port", "a", "--port", "b", "t"},
         "Команда sms выполняется только на одном порту"},
        {{"--port", "a", "--port", "b", "read", "out.cfg"},
         "С несколькими портами имя выходного файла должно содержать {port}"},
        {{"--port", "a", "--port", "b", "read", "site-{port}.cfg"}, nullptr},
        {{"--port", "a", "--port", "b", "write", "in.cfg"}, nullptr},
        {{"--port", "a", "read", "out.cfg"}, nullptr},
        {{"csv-export", "a.cfg"}, "Команде csv-export нужны аргументы: ФАЙЛ.cfg ВЫХОД.csv"},
        {{"csv-import", "a.cfg", "in.csv"},
         "Команде csv-import нужны аргументы: ФАЙЛ.cfg ВХОД.csv ВЫХОД.cfg"},
        {{"diff", "a.cfg", "b.cfg", "c.cfg"}, "Команде diff нужны аргументы: A.cfg B.cfg"},
        {{"diff", "a.cfg", "b.cfg", "--skip-bad-rows"},
         "Параметр --skip-bad-rows относится только к команде csv-import"},
        {{"csv-import", "a.cfg", "in.csv", "out.cfg", "--skip-bad-rows"}, nullptr},
        {{"csv-export", "a.cfg", "out.csv"}, nullptr},
    };
    for (const auto& c : cases) {
        const Invocation inv = parseArguments(c.args);
        SCOPED_TRACE(inv.command);
        try {
            checkInvocation(inv, *findCommand(inv.command));
            EXPECT_EQ(c.message, nullptr);
        } catch (const UsageError& e) {
            ASSERT_NE(c.message, nullptr) << utf8(e.text());
            EXPECT_PRED2(beginsWith, utf8(e.text()), c.message);
        }
    }
}

TEST(CommandTable, OutputNamesTakeThePortsFileName) {
    const struct {
        const char* pattern;
        const char* port;
        const char* name;
    } cases[] = {
        {"site-{port}.cfg", "/dev/ttyUSB0", "site-ttyUSB0.cfg"},
        {"{port}/{port}.cfg", "/dev/serial/by-id/usb-FTDI-if00-port0",
         "usb-FTDI-if00-port0/usb-FTDI-if00-port0.cfg"},
        {"out.cfg", "/dev/ttyUSB3", "out.cfg"},
        {"{port}.cfg", "emulator-port", "emulator-port.cfg"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outputName(c.pattern, c.port), c.name);
    }
}

}  // namespace
}  // namespace orv::cli
