#pragma once
// One device operation in virtual time: the scripted device behind the fake port, the user that
// records what the operation did, a folder for its files ("1.txt") and a stop the test may ask
// for, tied together by the operation's context. And what the tests read off a run: the lines
// as the device received them, the gaps between them, the time left the operation told.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fake_port.h"
#include "operations/operation.h"
#include "recording_user.h"
#include "scripted_device.h"
#include "test_support.h"

namespace orv::test {

// One line as the device received it: its text and the times of its first byte and its CR.
struct Sent {
    std::string text;
    std::uint64_t first;
    std::uint64_t cr;
};

inline std::vector<Sent> sentLines(const FakePort& port) {
    std::vector<Sent> result;
    bool open = false;
    for (const FakePort::Written& w : port.written) {
        if (!open) {
            result.push_back({"", w.at, 0});
            open = true;
        }
        if (w.byte == '\r') {
            result.back().cr = w.at;
            open = false;
        } else {
            result.back().text += static_cast<char>(w.byte);
        }
    }
    return result;
}

inline std::vector<std::string> textOf(const std::vector<Sent>& lines) {
    std::vector<std::string> t;
    for (const Sent& s : lines) {
        t.push_back(s.text);
    }
    return t;
}

// Milliseconds of silence between the CR of each line and the first byte of the next, less
// the 100 ms every byte waits: 0 for lines sent back to back, 500 for one pause.
inline std::vector<std::uint64_t> gapsAfter(const std::vector<Sent>& lines, std::size_t from) {
    std::vector<std::uint64_t> gaps;
    for (std::size_t i = from; i + 1 < lines.size(); ++i) {
        gaps.push_back(lines[i + 1].first - lines[i].cr - 100);
    }
    return gaps;
}

// How far a told time may lie from the rest of the run. The schedule takes a reply read as
// 10 ms; a reply still arriving when the read begins costs a few tens more.
constexpr std::int64_t kTimeLeftSlack = 100;

// Every time the operation told equals the rest of its run to within kTimeLeftSlack; an upper
// bound is never below it. Returns the largest deviation of an exact figure.
inline std::int64_t checkTimeLeft(const RecordingUser& user, std::uint64_t end,
                                  std::size_t atLeast) {
    EXPECT_GE(user.timeLeft.size(), atLeast);
    std::int64_t worst = 0;
    for (const auto& report : user.timeLeft) {
        const auto rest = static_cast<std::int64_t>(end - report.at);
        const auto told = static_cast<std::int64_t>(report.left);
        if (report.upperBound) {
            EXPECT_GE(told + kTimeLeftSlack, rest) << "at " << report.at;
        } else {
            EXPECT_NEAR(told, rest, kTimeLeftSlack) << "at " << report.at;
            worst = std::max(worst, std::abs(told - rest));
        }
    }
    if (!user.timeLeft.empty()) {
        EXPECT_EQ(user.timeLeft.back().left, 0u);
    }
    return worst;
}

// The scripted device keeps what it is sent and answers as it does.
struct DeviceRig {
    explicit DeviceRig(std::uint64_t start = 1000) : clock(start) {
        port.setResponder([this](const std::string& line) { return device.respond(line); });
    }

    // Asks for the stop while the line that begins with `head` is being sent, `head` being
    // shorter than the line: the stop comes in the middle of it.
    void stopDuring(const std::string& head) {
        port.setWriteWatcher([this, head](const std::string& soFar) {
            if (soFar == head) {
                stop.request();
            }
        });
    }

    // The line sent right before the last one, and the last one.
    std::pair<std::string, std::string> lastTwoLines() const {
        const std::vector<std::string> lines = port.lines();
        return {lines.at(lines.size() - 2), lines.back()};
    }

    // Milliseconds from the CR of the line before the last to the last line's first byte.
    std::uint64_t gapBeforeLastLine() const {
        std::uint64_t lastCr = 0;
        std::uint64_t previousCr = 0;
        for (const FakePort::Written& w : port.written) {
            if (w.byte == '\r') {
                previousCr = lastCr;
                lastCr = w.at;
            }
        }
        for (const FakePort::Written& w : port.written) {
            if (w.at > previousCr) {
                return w.at - previousCr;
            }
        }
        return 0;
    }

    std::string file(const std::string& name) const { return readFile(dir.path(name)); }

    VirtualClock clock;
    FakePort port{clock};
    RecordingUser user{clock};
    TempDir dir;
    ScriptedDevice device;
    StopRequest stop;
    OperationContext ctx{port, clock, user, user, dir.dir(), &stop};
};

// The device as a bare responder: the presence check answered as `state` says and, once free,
// the CLIR query with `clirReply` after `clirDelay` ms, an echo of the query arriving while it
// is being sent; every other line is met with silence.
enum class DeviceState { Free, Busy, Absent };

class Operations : public ::testing::Test {
  protected:
    Operations() { useDevice(DeviceState::Free); }

    void useDevice(DeviceState state, std::string clirReply = "", std::uint64_t clirDelay = 1500) {
        port.setResponder([this, state, clirReply, clirDelay](const std::string& line) {
            if (line == "ATR2301") {
                switch (state) {
                    case DeviceState::Free:
                        return FakePort::Answer{"\r01 ", 20};
                    case DeviceState::Busy:
                        return FakePort::Answer{"\r01 \r\n", 20};
                    case DeviceState::Absent:
                        return FakePort::Answer{};
                }
            }
            if (line == "AT+CLIR?") {
                port.arrive("AT+CLIR?", clock.elapsed() - 50, 1);
                return FakePort::Answer{clirReply, clirDelay};
            }
            return FakePort::Answer{};
        });
    }

    bool commandFileExists() const { return std::filesystem::exists(dir.path("1.txt")); }

    VirtualClock clock{5000};
    FakePort port{clock};
    RecordingUser user{clock};
    TempDir dir;
    OperationContext ctx{port, clock, user, user, dir.dir()};
};

}  // namespace orv::test
