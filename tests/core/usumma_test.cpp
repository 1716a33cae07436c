// The port reader Summa: what it takes for the terminal and when, the reader-stop flag, and the
// terminal's typing into the device.

#include <gtest/gtest.h>

#include "base/errors.h"
#include "fake_port.h"
#include "link/line_guard.h"
#include "link/usumma.h"

namespace orv {
namespace {

using test::FakePort;

struct ReaderRig {
    VirtualClock clock;
    FakePort port{clock};
    bool portOpen = true;  // false: no port at all
    std::string shown;
    int handOvers = 0;
    Summa reader{[this] { return portOpen ? static_cast<Port*>(&port) : nullptr; },
                 [this](std::string_view bytes) {
                     shown += bytes;
                     ++handOvers;
                 }};

    // The device sends `bytes`, which have arrived by now.
    void deviceSends(const std::string& bytes) {
        port.arrive(bytes, clock.elapsed(), 0);
        clock.advance(1);
    }
};

TEST(Summa, TakesWhatArrivesOnlyWhileItRunsAndNoJobDoes) {
    ReaderRig rig;
    rig.deviceSends("OK\r");
    rig.reader.readArrived();
    EXPECT_EQ(rig.shown, "OK\r");

    // A job's replies stay the job's; what it leaves unread is shown once it ends.
    rig.reader.beginJob();
    rig.deviceSends("01 ");
    rig.reader.readArrived();
    EXPECT_EQ(rig.shown, "OK\r");
    rig.reader.endJob();
    EXPECT_EQ(rig.shown, "OK\r01 ");

    // Stopped: nothing is taken, not even at a job's end.
    rig.reader.stopReader();
    EXPECT_TRUE(rig.reader.readerStopped());
    rig.deviceSends("x");
    rig.reader.readArrived();
    rig.reader.beginJob();
    rig.reader.endJob();
    EXPECT_EQ(rig.shown, "OK\r01 ");
    EXPECT_EQ(rig.port.available(), 1u);
}

TEST(Summa, StartingDiscardsWhatCameMeanwhileAndResumingKeepsIt) {
    ReaderRig rig;
    rig.reader.stopReader();
    rig.deviceSends("old");
    rig.reader.startReader();
    EXPECT_FALSE(rig.reader.readerStopped());
    EXPECT_EQ(rig.port.available(), 0u);
    EXPECT_EQ(rig.port.dtrRaised, 1);

    rig.reader.stopReader();
    rig.deviceSends("answer");
    rig.reader.resumeReader();
    EXPECT_FALSE(rig.reader.readerStopped());
    EXPECT_EQ(rig.port.dtrRaised, 2);
    rig.reader.readArrived();
    EXPECT_EQ(rig.shown, "answer");
}

TEST(Summa, WithoutAPortNothingIsTouchedOrHandedOver) {
    ReaderRig rig;
    rig.portOpen = false;
    rig.reader.stopReader();
    rig.reader.startReader();
    rig.reader.resumeReader();
    rig.reader.readArrived();
    EXPECT_FALSE(rig.reader.readerStopped());
    EXPECT_EQ(rig.port.purges, 0);
    EXPECT_EQ(rig.port.dtrRaised, 0);
    EXPECT_EQ(rig.handOvers, 0);
}

// A typed character goes out at once, alone; what the device sent while the reader ran is shown
// before it (the echo of a key typed just before), what came while the reader was stopped is
// discarded, the device's echo after it is shown, and the line it opens is remembered.
TEST(Summa, TypingWritesOneByteAtOnceBetweenPurgeAndResume) {
    ReaderRig rig;
    // The device echoes each character the moment it has it.
    rig.port.setWriteWatcher([&rig](const std::string& lineSoFar) {
        if (!lineSoFar.empty()) {
            rig.port.arrive(lineSoFar.substr(lineSoFar.size() - 1), rig.clock.elapsed(), 0);
        }
    });
    rig.deviceSends("noise");
    const std::uint64_t before = rig.clock.elapsed();
    rig.reader.type('a', rig.port);
    ASSERT_EQ(rig.port.written.size(), 1u);
    EXPECT_EQ(rig.port.written[0].byte, 'a');
    EXPECT_EQ(rig.port.written[0].at, before);
    EXPECT_FALSE(rig.reader.readerStopped());
    EXPECT_TRUE(rig.reader.typedLine().open());
    rig.reader.readArrived();
    EXPECT_EQ(rig.shown, "noisea");

    rig.reader.type('\r', rig.port);
    EXPECT_FALSE(rig.reader.typedLine().open());

    // Two keys in quick succession: the first's echo has not been read when the second goes.
    rig.reader.type('t', rig.port);
    rig.reader.type('x', rig.port);
    rig.reader.readArrived();
    EXPECT_EQ(rig.shown, "noiseatx");

    // An abandoned operation left the reader stopped: its leftovers are not the terminal's.
    rig.reader.stopReader();
    rig.deviceSends("left over");
    rig.reader.type('y', rig.port);
    rig.reader.readArrived();
    EXPECT_EQ(rig.shown, "noiseatxy");
    rig.reader.type('\r', rig.port);

    // No port takes the byte: it is lost and opens no line.
    rig.port.setOpen(false);
    rig.reader.type('b', rig.port);
    EXPECT_FALSE(rig.reader.typedLine().open());
    EXPECT_FALSE(rig.reader.readerStopped());
}

// At the program's end the guard refuses the typed byte as the first of a new line: it never
// reaches the device, and the reader stays stopped as an abandoned exchange leaves it.
TEST(Summa, TypingAfterTheProgramsEndIsRefused) {
    ReaderRig rig;
    LineGuard guard([&rig]() -> Port& { return rig.port; });
    guard.refuseLines();
    EXPECT_THROW(rig.reader.type('a', guard), SilentAbort);
    EXPECT_TRUE(rig.port.written.empty());
    EXPECT_TRUE(rig.reader.readerStopped());
}

}  // namespace
}  // namespace orv
