// The result of each port as scripts read it: the tab-separated lines, the JSON object with
// every field, and the exit status of a run over several ports.

#include <gtest/gtest.h>

#include "cli/results.h"
#include "test_support.h"

namespace orv::cli {
namespace {

TEST(Results, SeveralPortsEndWithTheFirstStatusOfTheOrder) {
    using S = Status;
    const struct {
        std::vector<Status> ports;
        Status combined;
    } cases[] = {
        {{S::Done, S::Done}, S::Done},
        {{S::Unconfirmed, S::Done}, S::Unconfirmed},
        {{S::Unconfirmed, S::Differs}, S::Differs},
        {{S::Differs, S::NotSaved}, S::NotSaved},
        {{S::NotSaved, S::Stopped}, S::Stopped},
        {{S::Stopped, S::PortUnavailable}, S::PortUnavailable},
        {{S::PortUnavailable, S::DeviceTrouble}, S::DeviceTrouble},
        {{S::DeviceTrouble, S::LineLost, S::Done}, S::LineLost},
        {{S::Refused, S::Done}, S::Refused},
        {{}, S::Done},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(combinedStatus(c.ports), c.combined);
    }
}

TEST(Results, OneLinePerPortThenOneLinePerDifference) {
    PortResult result;
    result.port = "/dev/ttyUSB0";
    result.command = "check";
    result.status = Status::Differs;
    result.message = test::cp("Различается:\r\nУровень громкости: 82 / 70\nэхо\tподавление");
    result.differences = {{test::cp("Уровень громкости"), test::cp("82"), test::cp("70")},
                          {test::cp("Номера ускоренного набора"), Text(), test::cp("+7900")}};
    EXPECT_EQ(resultLines(result),
              "/dev/ttyUSB0\tcheck\t4\tРазличается: Уровень громкости: 82 / 70 эхо подавление\n"
              "/dev/ttyUSB0\t-\tУровень громкости\t82\t70\n"
              "/dev/ttyUSB0\t-\tНомера ускоренного набора\t\t+7900\n");
}

TEST(Results, TheJsonObjectHoldsEveryFieldOnOneLine) {
    PortResult result;
    result.port = "/dev/serial/by-id/usb-\"x\"";
    result.command = "sms";
    result.status = Status::Unconfirmed;
    result.message = test::cp("Не подтверждено:\n+7900");
    result.seconds = 12.5;
    result.linesSent = 7;
    result.differences = {{test::cp("Пароль"), test::cp("***"), test::cp("не совпадает")}};
    result.refused = {"+7901"};
    result.unconfirmed = {"+7900", "+7902"};
    result.notSent = {};
    std::string json = resultJson(result, "Склад\\3");
    EXPECT_EQ(json,
              "{\"port\":\"/dev/serial/by-id/usb-\\\"x\\\"\",\"label\":\"Склад\\\\3\","
              "\"command\":\"sms\",\"status\":7,\"message\":\"Не подтверждено:\\n+7900\","
              "\"seconds\":12.500,\"lines_sent\":7,\"differences\":[{\"what\":\"Пароль\","
              "\"expected\":\"***\",\"device\":\"не совпадает\"}],\"refused\":[\"+7901\"],"
              "\"unconfirmed\":[\"+7900\",\"+7902\"],\"not_sent\":[]}\n");
    result.record = "/srv/o9/history/1";
    json = resultJson(result, "");
    EXPECT_NE(json.find(",\"record\":\"/srv/o9/history/1\"}"), std::string::npos);
}

TEST(Results, ControlCharactersAreEscapedInJson) {
    EXPECT_EQ(jsonString(std::string("a\x01\x1b"
                                     "b\r",
                                     5)),
              "\"a\\u0001\\u001bb\\r\"");
}

}  // namespace
}  // namespace orv::cli
