// The command line taken apart: options before and after the command, values given both ways,
// and the refusals of what cannot be understood.

#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "test_support.h"

namespace orv::cli {
namespace {

TEST(Arguments, OptionsStandAnywhereAndTakeTheirValuesBothWays) {
    const Invocation inv = parseArguments({"--port", "/dev/ttyUSB0", "read", "--json",
                                           "--port=/dev/ttyUSB1", "site-{port}.cfg", "--quiet",
                                           "--label", "Склад 3", "--data-folder=/srv/o9"});
    EXPECT_EQ(inv.ports, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(inv.command, "read");
    EXPECT_EQ(inv.operands, (std::vector<std::string>{"site-{port}.cfg"}));
    EXPECT_TRUE(inv.json);
    EXPECT_TRUE(inv.quiet);
    EXPECT_EQ(inv.label, "Склад 3");
    EXPECT_EQ(inv.dataFolder, "/srv/o9");
}

TEST(Arguments, TheBroadcastsOptionsAndATextAfterTheEndOfOptions) {
    const Invocation inv = parseArguments({"sms", "--to", "list.txt", "--yes", "--report", "r.csv",
                                           "--only-unreached", "--", "--not an option"});
    EXPECT_EQ(inv.to, "list.txt");
    EXPECT_TRUE(inv.yes);
    EXPECT_EQ(inv.report, "r.csv");
    EXPECT_TRUE(inv.onlyUnreached);
    EXPECT_EQ(inv.operands, (std::vector<std::string>{"--not an option"}));
    EXPECT_TRUE(parseArguments({"write", "a.cfg", "--verify"}).verify);
    EXPECT_TRUE(parseArguments({"-h"}).help);
    EXPECT_TRUE(parseArguments({"--version"}).version);
    // A lone "-" is an operand, as for a file read from standard input.
    EXPECT_EQ(parseArguments({"check", "-"}).operands, (std::vector<std::string>{"-"}));
}

TEST(Arguments, WhatCannotBeUnderstoodIsRefusedInRussian) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--colour", "clir"}, "Неизвестный параметр --colour"},
        {{"clir", "--port"}, "Параметру --port не указано значение"},
        {{"sms", "--to"}, "Параметру --to не указано значение"},
        {{"--json=yes", "clir"}, "Параметр --json не принимает значения"},
    };
    for (const auto& c : cases) {
        try {
            parseArguments(c.args);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const UsageError& e) {
            EXPECT_PRED2(test::beginsWith, test::utf8(e.text()), c.message);
        }
    }
}

TEST(Arguments, TheHelpListsEveryCommandAndEveryExitStatus) {
    const std::string help = test::utf8(helpText());
    for (const char* word : {"ports", "write", "read", "check", "clear-sim", "clir", "data-mode",
                             "sms", "--verify", "--only-unreached", "{port}", "--json", "--quiet",
                             "--label", "--data-folder", "Dalvorn Terminal.ini"}) {
        EXPECT_PRED2(test::holds, help, word);
    }
    for (int status = 0; status <= 8; ++status) {
        EXPECT_PRED2(test::holds, help, "\n  " + std::to_string(status) + "  ");
    }
}

}  // namespace
}  // namespace orv::cli
