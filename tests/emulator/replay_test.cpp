// Replay of a byte transcript: the answers at their delays, a differing line, masked digits, and
// a read programming recorded in virtual time, played back, reading the same record.

#include "replay.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "device_rig.h"
#include "operations/programming.h"
#include "records/transcript.h"

namespace orv::emulator {
namespace {

Transcript transcriptOf(const std::string& text) {
    Transcript t;
    std::string error;
    std::istringstream in(text);
    EXPECT_TRUE(parseTranscript(in, t, error)) << error;
    return t;
}

void send(ReplayModel& model, const std::string& bytes, Millis at) {
    for (const char c : bytes) {
        model.receive(static_cast<std::uint8_t>(c), at);
    }
}

const char kExchange[] =
    "orvelin9 transcript 1\n"
    "0 open /dev/ttyUSB0\n"
    "100 > A\n200 > T\n300 > \\r\n300 purge-input\n"
    "810 < \\r\\nOK\n900 < \\r\\n\n"
    "1000 > B\n1100 > \\r\n"
    "1200 < B*1\n";

TEST(ReplayModel, AnswersEachRecordedLineAtItsDelays) {
    ReplayModel model(transcriptOf(kExchange));
    EXPECT_EQ(model.linesRecorded(), 2u);
    send(model, "AT\r", 5000);
    EXPECT_FALSE(model.diverged());
    // Each batch a little before the read that took it ended, after the purge that followed
    // the line and the read before it.
    EXPECT_EQ(model.nextOutputTime(), Millis{5000 + 510 - ReplayModel::kLeadMs});
    EXPECT_EQ(model.takeOutput(5459), "");
    EXPECT_EQ(model.takeOutput(5460), "\r\nOK");
    EXPECT_EQ(model.takeOutput(5549), "");
    EXPECT_EQ(model.takeOutput(5550), "\r\n");
    send(model, "B\r", 9000);
    EXPECT_EQ(model.takeOutput(9100), "B*1");
    EXPECT_EQ(model.linesMatched(), 2u);
    EXPECT_FALSE(model.nextOutputTime());
    // A line past the record's end is a divergence too.
    send(model, "C\r", 9200);
    EXPECT_TRUE(model.diverged());
    EXPECT_NE(model.divergence().find("received: C\\r"), std::string::npos);
}

TEST(ReplayModel, ADifferingLineEndsTheReplayWithBothTexts) {
    ReplayModel model(transcriptOf(kExchange));
    send(model, "AX\r", 0);
    ASSERT_TRUE(model.diverged());
    EXPECT_EQ(model.divergence(),
              "line 1 (transcript line 3) differs:\n  recorded: AT\\r\n  received: AX\\r");
    EXPECT_FALSE(model.nextOutputTime());  // nothing is answered
    send(model, "B\r", 10);
    EXPECT_EQ(model.linesMatched(), 0u);

    // A line that outgrows the recorded one is told at once, without its end.
    ReplayModel longer(transcriptOf(kExchange));
    send(longer, "ATT", 0);
    EXPECT_EQ(longer.divergence(),
              "line 1 (transcript line 3) differs:\n  recorded: AT\\r\n  received: ATT");
}

TEST(ReplayModel, AMaskedDigitMatchesAnyDigitAndIsAnsweredAsZero) {
    const std::string masked = std::regex_replace(
        std::string(kExchange), std::regex("transcript 1\n"), "transcript 1 masked\n");
    const std::string withStar = std::regex_replace(masked, std::regex("200 > T"), "200 > *");
    const struct {
        const char* line;
        bool matches;
    } cases[] = {{"A7\r", true}, {"A0\r", true}, {"AT\r", false}, {"AB\r", false}};
    for (const auto& c : cases) {
        ReplayModel model(transcriptOf(withStar));
        send(model, c.line, 0);
        EXPECT_EQ(model.diverged(), !c.matches) << c.line;
    }
    ReplayModel model(transcriptOf(masked));
    send(model, "AT\rB\r", 0);
    EXPECT_EQ(model.takeOutput(10'000), "\r\nOK\r\nB01");
}

// The device's side played back through the test's serial line, in virtual time.
class ReplayPort : public test::FakePort {
  public:
    ReplayPort(VirtualClock& clock, ReplayModel& model)
        : FakePort(clock), clock_(clock), model_(model) {}
    void writeByte(std::uint8_t byte) override {
        FakePort::writeByte(byte);
        model_.receive(byte, clock_.elapsed());
        while (const auto due = model_.nextOutputTime()) {
            arrive(model_.takeOutput(*due), *due, 0);  // a terminal takes them at once
        }
    }

  private:
    VirtualClock& clock_;
    ReplayModel& model_;
};

struct Recorded {
    SettingsRecord record;
    std::string commandFile;
    std::string transcript;
};

Recorded recordReadProgramming() {
    test::DeviceRig rig;
    rig.device.registers["8001"] = "3C";
    rig.device.registers["9101"] = "01";
    rig.device.fill(1, "8900", "W8900");
    rig.device.fill(2, "+7495", "N+7495");
    rig.device.fill(101, "111", "111");
    TranscriptPort port(rig.port, rig.clock, rig.dir.path("t.txt"), "/dev/ttyUSB0");
    OperationContext ctx{port, rig.clock, rig.user, rig.user, rig.dir.dir()};
    Recorded r;
    readProgramming(ctx, r.record);
    r.commandFile = rig.file("1.txt");
    r.transcript = rig.file("t.txt");
    return r;
}

// Read programming against the replayed transcript.
struct Replayed {
    explicit Replayed(const std::string& transcript) : model(transcriptOf(transcript)) {}
    void run() {
        OperationContext ctx{port, clock, user, user, dir.dir()};
        try {
            readProgramming(ctx, record);
        } catch (const Failure&) {
            failed = true;
        }
    }
    ReplayModel model;
    VirtualClock clock{77};
    ReplayPort port{clock, model};
    test::RecordingUser user{clock};
    test::TempDir dir;
    SettingsRecord record;
    bool failed = false;
};

TEST(Replay, AReadProgrammingPlayedBackReadsTheSameRecord) {
    const Recorded recorded = recordReadProgramming();
    ASSERT_FALSE(recorded.record == SettingsRecord{});
    Replayed replay(recorded.transcript);
    replay.run();
    EXPECT_FALSE(replay.model.diverged()) << replay.model.divergence();
    EXPECT_FALSE(replay.failed);
    EXPECT_EQ(replay.model.linesMatched(), replay.model.linesRecorded());
    EXPECT_EQ(replay.record, recorded.record);
    EXPECT_EQ(test::readFile(replay.dir.path("1.txt")), recorded.commandFile);
}

TEST(Replay, ALineChangedInTheTranscriptIsReportedAndAnswersNothing) {
    const Recorded recorded = recordReadProgramming();
    // The first "2" the program sent (in "ATR2301") becomes a "9".
    const std::string changed = std::regex_replace(
        recorded.transcript, std::regex("> 2\n"), "> 9\n", std::regex_constants::format_first_only);
    ASSERT_NE(changed, recorded.transcript);
    Replayed replay(changed);
    replay.run();
    ASSERT_TRUE(replay.model.diverged());
    EXPECT_NE(replay.model.divergence().find("recorded: ATR9301\\r\n  received: ATR2301\\r"),
              std::string::npos)
        << replay.model.divergence();
    EXPECT_TRUE(replay.failed);
    EXPECT_EQ(replay.record, SettingsRecord{});
}

}  // namespace
}  // namespace orv::emulator
