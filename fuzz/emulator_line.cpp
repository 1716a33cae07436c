// The device emulator's side of the line: its model takes any bytes the program (or noise)
// sends, at any times, under any of its options. The input chooses the options, then a sequence
// of bytes, each after a pause, with reads of the output between. Properties checked:
//   1. Every line is logged: one log entry per CR, holding the bytes since the previous CR
//      (up to the log's 4096 bytes), with the time of its CR.
//   2. Output leaves the model in time order and never before its time: after a read at time
//      t, the next output is due later than t; nothing is ever due before the last read.
//   3. The device's stored state survives its state file: formatting what the registers and
//      the phone book hold and reading it back gives the same state, and a fresh model loaded
//      with it holds it too.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "device_model.h"
#include "fuzz_check.h"
#include "state_file.h"

namespace em = orv::emulator;

namespace {

bool sameState(const em::StoredState& a, const em::StoredState& b) {
    return a.registers == b.registers && a.slots == b.slots;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    em::Options options;
    options.presence =
        in.PickValueInArray({em::Presence::kNormal, em::Presence::kAbsent, em::Presence::kBusy});
    options.replyFault = in.PickValueInArray({em::ReplyFault::kNone, em::ReplyFault::kGarbage,
                                              em::ReplyFault::kHalf, em::ReplyFault::kLate});
    options.echoTwice = in.ConsumeBool();
    options.noPrompt = in.ConsumeBool();
    options.muteModem = in.ConsumeBool();
    options.clirStatus = in.ConsumeIntegralInRange(0, 9);
    options.echoDelayUs = in.ConsumeIntegralInRange<em::Micros>(0, 100'000);
    em::DeviceModel model(options);

    em::Millis now = 0;
    std::vector<std::string> expectedLines;
    std::string line;
    std::vector<em::Millis> crAt;
    while (in.remaining_bytes() > 0) {
        const int step = in.ConsumeIntegralInRange(0, 7);
        if (step == 0) {
            now += in.ConsumeIntegralInRange<em::Millis>(0, 3000);
            model.takeOutput(now);
            if (const auto next = model.nextOutputTime()) {
                FUZZ_CHECK(*next > now);
            }
            continue;
        }
        now += in.ConsumeIntegralInRange<em::Millis>(0, 120);
        // Command-like text more often than noise, so that the commands are reached.
        std::string bytes =
            step < 4 ? in.ConsumeRandomLengthString(24)
                     : std::string(1, static_cast<char>(in.ConsumeIntegral<std::uint8_t>()));
        if (step < 4 && in.ConsumeBool()) {
            bytes += '\r';
        }
        for (char b : bytes) {
            model.receive(static_cast<std::uint8_t>(b), now);
            if (b == '\r') {
                expectedLines.push_back(line);
                crAt.push_back(now);
                line.clear();
            } else if (line.size() < 4096) {
                line += b;
            }
        }
    }
    const std::vector<em::ReceivedLine>& logged = model.receivedLines();
    FUZZ_CHECK(logged.size() == expectedLines.size());
    for (std::size_t i = 0; i < logged.size(); ++i) {
        FUZZ_CHECK(logged[i].bytes == expectedLines[i]);
        FUZZ_CHECK(logged[i].at == crAt[i]);
    }

    const em::StoredState state = model.state();
    std::istringstream file(em::formatState(state));
    em::StoredState parsed;
    std::string error;
    FUZZ_CHECK(em::parseState(file, parsed, error));
    FUZZ_CHECK(sameState(parsed, state));
    em::DeviceModel fresh;
    fresh.load(parsed);
    FUZZ_CHECK(sameState(fresh.state(), state));
    return 0;
}
