// What the byte transcript costs a write programming in processor time: the write of a record
// run over and over in virtual time against a scripted device, by turns straight on the port and
// through TranscriptPort (which writes every byte with its time to a file, a line flushed at a
// time, as a record of the history holds it). Prints the median processor time of one write
// each way, their difference, the transcript's size, and the write's planned time: the sum of
// its steps, which the operation tells as its time left when it starts (the least time a write
// of the record takes on the line; bench/transcript_bench.sh sets the real-time runs against it).
//
//   transcript_bench [repetitions] [record.cfg]   (defaults: 200, the tests' sample record)

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "fake_port.h"
#include "operations/programming.h"
#include "records/transcript.h"
#include "sample_record.h"
#include "scripted_device.h"
#include "settings/config_file.h"
#include "settings/encoding.h"

namespace {

using namespace orv;
using namespace orv::bench;
using test::FakePort;
using test::ScriptedDevice;

// The user of the runs: quiet, and it keeps the first time left told (the whole plan).
class PlanUser : public ConsoleUser {
  public:
    void setTimeLeft(Millis left, bool) override {
        if (!planned) {
            planned = left;
        }
    }
    std::optional<Millis> planned;
};

// Processor time of this thread, in seconds: the runs are single-threaded.
double threadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Run {
    double cpu = 0;
    Millis planned = 0;
    std::uint64_t virtualMs = 0;
    bool ok = true;
};

// One write of `record` against the device, through a transcript at `transcript` when given.
Run writeOnce(const ScriptedDevice& device, const SettingsRecord& record, const std::string& dir,
              const std::string& transcript) {
    VirtualClock clock;
    FakePort port(clock);
    port.setResponder([&](const std::string& line) { return device.answer(line); });
    PlanUser user;
    user.quiet = true;
    Run run;
    const double start = threadCpu();
    {
        std::optional<TranscriptPort> recorded;
        if (!transcript.empty()) {
            recorded.emplace(port, clock, transcript, "/dev/ttyUSB0");
        }
        Port& used = recorded ? static_cast<Port&>(*recorded) : port;
        OperationContext ctx{used, clock, user, user, dir};
        try {
            writeProgramming(ctx, record);
        } catch (...) {
            run.ok = false;
        }
        run.ok = run.ok && user.messages == 0 && (!recorded || recorded->writer().ok());
    }
    run.cpu = threadCpu() - start;
    run.planned = user.planned.value_or(0);
    run.virtualMs = clock.elapsed();
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long linesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = std::max(1, argc > 1 ? std::atoi(argv[1]) : 200);
    SettingsRecord record = test::sampleRecord();
    if (argc > 2) {
        try {
            LoadFromFile(argv[2], record);
        } catch (const Failure& e) {
            std::fprintf(stderr, "%s: %s\n", argv[2], cp1251::toUtf8(e.text()).c_str());
            return 2;
        }
    }
    char scratch[] = "/tmp/orv-transcript-bench-XXXXXX";
    if (!mkdtemp(scratch)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string dir = scratch;
    const std::string transcript = dir + "/transcript";
    ScriptedDevice device;
    device.apply(encode(record));

    // By turns, so that whatever else the machine does falls on both alike.
    std::vector<double> plain, recorded;
    Run last{};
    bool ok = true;
    for (int i = 0; i < repetitions; ++i) {
        const Run without = writeOnce(device, record, dir, "");
        last = writeOnce(device, record, dir, transcript);
        plain.push_back(without.cpu);
        recorded.push_back(last.cpu);
        ok = ok && without.ok && last.ok && without.virtualMs == last.virtualMs;
    }
    const std::uintmax_t bytes = std::filesystem::file_size(transcript);
    const long lines = linesOf(transcript);
    std::filesystem::remove_all(dir);

    const double a = median(plain) * 1000, b = median(recorded) * 1000;
    std::printf("Transcript in virtual time: write programming, %d runs each way\n", repetitions);
    std::printf("%-26s %10s\n", "", "CPU ms");
    std::printf("%-26s %10.3f\n", "without the transcript", a);
    std::printf("%-26s %10.3f\n", "with the transcript", b);
    std::printf("%-26s %+10.3f (%+.1f %%)\n", "difference", b - a, (b - a) / a * 100);
    std::printf("transcript: %ju bytes, %ld lines; write: %.1f s in virtual time\n", bytes, lines,
                double(last.virtualMs) / 1000);
    std::printf("planned: %.3f s\n", double(last.planned) / 1000);
    if (!ok) {
        std::printf("(some runs failed or the two ways differed in virtual time)\n");
    }
    return ok ? 0 : 1;
}
