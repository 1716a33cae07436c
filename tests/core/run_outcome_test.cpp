// How a run ended as both front ends keep it: the broadcast's recipients not reached, the
// differences counted, and the outcome a record holds. (The exit status of each outcome and
// failure is tried with the command line's results, tests/cli/commands_test.cpp.)

#include "records/run_outcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

// A report of five recipients, one line without a number, each given its outcome.
BroadcastReport reportOf(BroadcastEnding ending, const std::vector<SendOutcome>& outcomes) {
    BroadcastReport report =
        newBroadcastReport({"+79001111111", "+79002222222", "Ivan", "+79003333333", "+79004444"});
    for (std::size_t i = 0, n = 0; i < report.rows.size(); ++i) {
        if (!report.rows[i].number.empty()) {
            report.rows[i].outcome = outcomes.at(n++);
        }
    }
    report.ending = ending;
    return report;
}

TEST(RunOutcome, ABroadcastKeepsWhomItDidNotReach) {
    using O = SendOutcome;
    const struct {
        BroadcastEnding ending;
        std::vector<SendOutcome> outcomes;
        ExitStatus status;
        std::vector<Text> refused, unconfirmed, notSent;
    } cases[] = {
        {BroadcastEnding::Finished,
         {O::Confirmed, O::Confirmed, O::Confirmed, O::Confirmed},
         ExitStatus::Done,
         {},
         {},
         {}},
        {BroadcastEnding::Finished,
         {O::Confirmed, O::Unconfirmed, O::Refused, O::Unconfirmed},
         ExitStatus::Unconfirmed,
         {"+79003333333"},
         {"+79002222222", "+79004444"},
         {}},
        // A stopped run keeps its status (the stop's); the lists still say who was not reached.
        {BroadcastEnding::Stopped,
         {O::Confirmed, O::NotSent, O::NotSent, O::NotSent},
         ExitStatus::Done,
         {},
         {},
         {"+79002222222", "+79003333333", "+79004444"}},
    };
    for (const auto& c : cases) {
        RunSummary summary;
        tallyBroadcast(reportOf(c.ending, c.outcomes), summary);
        EXPECT_EQ(summary.status, c.status);
        EXPECT_EQ(summary.refused, c.refused);
        EXPECT_EQ(summary.unconfirmed, c.unconfirmed);
        EXPECT_EQ(summary.notSent, c.notSent);
    }
}

TEST(RunOutcome, EachKindOfDifferenceCountsOnce) {
    Differences d;
    EXPECT_EQ(differenceCount(d), 0u);
    d.settings.resize(2);
    d.numbers.resize(3);
    EXPECT_EQ(differenceCount(d), 5u);
    d.speedDialOrder = true;
    d.refused.resize(1);
    d.unreadSlots = {120, 121};
    EXPECT_EQ(differenceCount(d), 9u);
}

TEST(RunOutcome, TheRecordKeepsTheStatusNumberTheFiguresAndTheUnconfirmed) {
    RunSummary summary;
    summary.status = ExitStatus::Unconfirmed;
    summary.message = cp1251::fromUtf8("Не подтверждено: 1");
    summary.seconds = 12.3456;
    summary.linesSent = 42;
    summary.differences = 3;
    summary.refused = {"+7900"};
    summary.unconfirmed = {"+7901", "+7902"};
    const HistoryOutcome outcome = historyOutcome(summary);
    EXPECT_EQ(outcome.status, "7");
    EXPECT_EQ(outcome.message, "Не подтверждено: 1");
    EXPECT_EQ(outcome.figures, (std::vector<std::pair<std::string, std::string>>{
                                   {"seconds", "12.346"},
                                   {"lines_sent", "42"},
                                   {"differences", "3"},
                                   {"refused", "1"},
                                   {"not_sent", "0"},
                               }));
    EXPECT_EQ(outcome.unconfirmed, (std::vector<std::string>{"+7901", "+7902"}));
    EXPECT_EQ(historyOutcome(RunSummary()).status, "0");
}

}  // namespace
}  // namespace orv
