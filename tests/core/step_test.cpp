// The operation step: what it sends and does, in order, and that its planned time is the time it
// takes against a device whose reply is waiting when it is read.

#include <gtest/gtest.h>

#include "device_rig.h"
#include "operations/step.h"

namespace orv {
namespace {

using Then = Step::Then;

struct StepCase {
    const char* name;
    Step step;
    Millis planned;
    std::string bytes;  // what reaches the line
    int dtr, rts, purges, reads;
};

class StepRun : public ::testing::TestWithParam<StepCase> {};

TEST_P(StepRun, TakesItsPlannedTimeAndDoesWhatItSays) {
    const StepCase& c = GetParam();
    test::DeviceRig rig;
    int reads = 0;
    std::string reply;
    c.step.run(rig.ctx, [&] {
        ++reads;
        rig.port.read(100, reply);
    });
    EXPECT_EQ(c.step.planned(), c.planned);
    EXPECT_EQ(rig.clock.elapsed() - 1000, c.planned);
    EXPECT_EQ(rig.port.bytes(), c.bytes);
    EXPECT_EQ(rig.port.dtrRaised, c.dtr);
    EXPECT_EQ(rig.port.rtsRaised, c.rts);
    EXPECT_EQ(rig.port.purges, c.purges);
    EXPECT_EQ(reads, c.reads);
    if (c.reads > 0) {
        EXPECT_EQ(reply, "\r\nOK\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StepRun,
    ::testing::Values(
        StepCase{"LineAlone", Step("AT"), 300, "AT\r", 0, 0, 0, 0},
        StepCase{"PauseFirst", Step("AT").pauseFirst(), 800, "AT\r", 0, 0, 0, 0},
        StepCase{"PausesAfter", Step("AT").then(Then::Pause, 3), 1800, "AT\r", 0, 0, 0, 0},
        StepCase{"PausesAlone", Step::pauses(2), 1000, "", 0, 0, 0, 0},
        StepCase{"SignalsAndPurgeTakeNoTime",
                 Step("AT").then(Then::RaiseDtr).then(Then::RaiseRts).then(Then::PurgeInput), 300,
                 "AT\r", 1, 1, 1, 0},
        StepCase{"ReplyRead", Step("AT").then(Then::Pause).then(Then::ReadReply), 810, "AT\r", 0, 0,
                 0, 1},
        StepCase{"ReadingBeforeCr", Step("AT").readingBeforeCr(), 300, "AT\r", 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

TEST(Step, TheHookRunsAfterThePausesBeforeTheLineAndAStepListSumsItsSteps) {
    test::DeviceRig rig;
    std::uint64_t hookAt = 0;
    const Step step = Step("ATK1").pauseFirst().then(Then::Pause);
    step.send(rig.ctx, [&] { hookAt = rig.clock.elapsed(); });
    EXPECT_EQ(hookAt, 1500u);
    ASSERT_FALSE(rig.port.written.empty());
    EXPECT_EQ(rig.port.written.front().at, 1600u);
    EXPECT_EQ(rig.clock.elapsed(), 1000u + 500u + 500u);  // what follows the line waits
    step.complete(rig.ctx);
    EXPECT_EQ(rig.clock.elapsed(), 1000u + step.planned());
    EXPECT_EQ(plannedTime({step, Step::pauses(1), Step("AT")}), step.planned() + 500 + 300);
}

// What the device said before the line's CR is read then and handed back; the CR keeps its time.
TEST(Step, ReadingBeforeCrReturnsWhatCameBeforeTheLinesCr) {
    test::DeviceRig rig;
    rig.port.arrive("+CMSS: 3\r\n", 1050, 1);
    const std::string before = Step("AT").readingBeforeCr().send(rig.ctx);
    EXPECT_EQ(before, "+CMSS: 3\r\n");
    EXPECT_EQ(rig.port.written.back().at, 1300u);
}

}  // namespace
}  // namespace orv
