// The core in virtual time: the same exchanges as the real-time runs (write programming of a
// well-filled record, read programming of it, an SMS broadcast to three recipients), each run
// over and over against a scripted device on a virtual clock, so that no pause or paced byte
// takes real time. Prints how many whole operations a second the core manages and how long one
// lasts in virtual time (which is also the least time the exchange allows with the scripted
// device's reply times).
//
//   core_bench [seconds per operation]   (default 2)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "bench_support.h"
#include "fake_port.h"
#include "operations/programming.h"
#include "sample_record.h"
#include "scripted_device.h"
#include "settings/encoding.h"
#include "sms/broadcast.h"

namespace {

using namespace orv;
using namespace orv::bench;
using test::FakePort;
using test::ScriptedDevice;

struct Result {
    long runs = 0;
    double wall = 0;
    double virtualSeconds = 0;  // of one run
    bool ok = true;
};

// Runs `operation` against a fresh port and clock until `seconds` of wall time have passed.
Result loop(const ScriptedDevice& device, const std::string& dir, double seconds,
            const std::function<void(OperationContext&)>& operation) {
    Result r;
    const auto start = std::chrono::steady_clock::now();
    do {
        VirtualClock clock;
        FakePort port(clock);
        port.setResponder([&](const std::string& line) { return device.answer(line); });
        ConsoleUser user;
        user.quiet = true;
        OperationContext ctx{port, clock, user, user, dir};
        try {
            operation(ctx);
        } catch (...) {
            r.ok = false;
        }
        r.ok = r.ok && user.messages == 0;
        r.virtualSeconds = double(clock.elapsed()) / 1000.0;
        ++r.runs;
        r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (r.wall < seconds || r.runs < 3);
    return r;
}

void printRow(const char* name, const Result& r) {
    std::printf("%-26s %10.0f %10.3f %12.0f%s\n", name, r.runs / r.wall, r.virtualSeconds,
                r.virtualSeconds * r.runs / r.wall, r.ok ? "" : "  (some runs failed)");
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    char scratch[] = "/tmp/orv-core-bench-XXXXXX";
    if (!mkdtemp(scratch)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string dir = scratch;

    // The device holds the lines of a write programming of the record.
    const SettingsRecord record = test::sampleRecord();
    ScriptedDevice device;
    device.apply(encode(record));
    const std::vector<Text> text = smsText();
    const RecipientList recipients = smsRecipients();

    const Result write =
        loop(device, dir, seconds, [&](OperationContext& op) { writeProgramming(op, record); });
    const Result read = loop(device, dir, seconds, [&](OperationContext& op) {
        SettingsRecord readBack;
        readProgramming(op, readBack);
        if (!sameNumbers(record, readBack)) {
            throw std::runtime_error("read-back differs");
        }
    });
    const Result sms = loop(device, dir, seconds, [&](OperationContext& op) {
        if (!notReached(broadcastSms(op, text, recipients)).empty()) {
            throw std::runtime_error("unconfirmed");
        }
    });
    std::filesystem::remove_all(dir);

    std::printf("%-26s %10s %10s %12s\n", "Core in virtual time", "ops/s", "virtual s", "speed-up");
    printRow("write programming", write);
    printRow("read programming", read);
    printRow("SMS broadcast, 3 numbers", sms);
    std::printf("(one thread, scripted device; speed-up = virtual seconds run per wall second)\n");
    return write.ok && read.ok && sms.ok ? 0 : 1;
}
