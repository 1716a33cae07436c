// Real-time exchanges against the device emulator, run as the program runs them: on the link
// thread, over the serial port. Write programming of a well-filled record, read programming of
// it back from the same device, and an SMS broadcast to three recipients on a fresh device;
// then write programming of an empty record (the erase of all 150 slots is most of it) and of
// a record that fills the phone book (99 tagged numbers, the forward number, 50 speed-dial
// numbers: nothing left to erase). For each it prints the wall time, the least time the
// exchange allows, their ratio, and the processor time of the whole process and its share of
// the wall time.
//
// The least time is what the exchange itself waits for: 100 ms before every byte sent, 500 ms
// for every pause, and the 10 ms read interval that every read of a reply waits out after the
// last byte it got. The device's own reply delays are not counted.
//
//   exchange_bench [path of orvelin9-emulator] [exchange ...]
//
// The exchanges to run may be named: write, read, sms, write-empty, write-full (all of them
// when none is named; read needs write before it).

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>

#include "bench_support.h"
#include "emulator_folder.h"
#include "link/link.h"
#include "operations/programming.h"
#include "sms/broadcast.h"

namespace {

using namespace orv;
using namespace orv::bench;

// A device emulator on its own pseudo-terminal, reached through a link in a scratch folder.
using Emulator = EmulatorFolder;

struct Figures {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    long bytes = 0;
    long pauses = 0;
    long reads = 0;

    double minimum() const {
        return bytes * kByteInterval / 1000.0 + pauses * kPauseLength / 1000.0 +
               reads * kReadInterval / 1000.0;
    }
};

using Operation = std::function<void(OperationContext&)>;

// Runs one operation as a job on the link with the emulator's port open, and measures it.
Figures measure(const Emulator& emulator, const char* name, const Operation& operation) {
    Link link(std::make_unique<SystemClock>());
    Figures f;
    QEventLoop loop;
    link.post(
        [&](LinkContext& ctx) {
            ctx.openPort(emulator.portName());
            CountingPort port(ctx.port());
            CountingClock clock(ctx.clock());
            ConsoleUser user;
            OperationContext op{port, clock, ctx, user, emulator.folderName()};
            const double cpuStart = cpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            operation(op);
            f.wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            f.cpu = cpuSeconds() - cpuStart;
            f.bytes = port.bytes;
            f.pauses = clock.pauses;
            f.reads = port.reads;
        },
        [&](std::exception_ptr error) {
            f.ok = !error;
            if (error) {
                try {
                    std::rethrow_exception(error);
                } catch (const Failure& e) {
                    std::fprintf(stderr, "%s failed: %s\n", name, cp1251::toUtf8(e.text()).c_str());
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "%s failed: %s\n", name, e.what());
                } catch (...) {
                    std::fprintf(stderr, "%s failed\n", name);
                }
            }
            loop.quit();
        });
    loop.exec();
    return f;
}

void printRow(const char* name, const Figures& f) {
    if (!f.ok) {
        std::printf("%-26s  failed (see the messages above)\n", name);
        return;
    }
    const double minimum = f.minimum();
    std::printf("%-26s %8.3f %8.3f %7.4f %+7.2f%% %7.3f %6.2f%%\n", name, f.wall, minimum,
                f.wall / minimum, (f.wall / minimum - 1) * 100, f.cpu, f.cpu / f.wall * 100);
}

void printCounts(const char* name, const Figures& f) {
    if (f.ok) {
        std::printf("  %-24s %ld bytes, %ld pauses, %ld reply reads\n", name, f.bytes, f.pauses,
                    f.reads);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString emulatorPath =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QCoreApplication::applicationDirPath() + "/orvelin9-emulator";

    QStringList wanted;
    for (int i = 2; i < argc; ++i) {
        wanted << QString::fromLocal8Bit(argv[i]);
    }
    auto runs = [&](const char* name) { return wanted.isEmpty() || wanted.contains(name); };

    Figures write, read, sms, writeEmpty, writeFull;
    bool readBackSame = false;
    if (runs("write") || runs("read")) {
        Emulator device(emulatorPath);
        if (!device.ready()) {
            std::fprintf(stderr, "the emulator did not start: %s\n", qPrintable(emulatorPath));
            return 2;
        }
        const SettingsRecord record = test::sampleRecord();
        write = measure(device, "write programming",
                        [&](OperationContext& op) { writeProgramming(op, record); });
        if (runs("read")) {
            SettingsRecord readBack;
            read = measure(device, "read programming",
                           [&](OperationContext& op) { readProgramming(op, readBack); });
            readBackSame = sameNumbers(record, readBack);
        }
    }
    for (const bool full : {false, true}) {
        if (!runs(full ? "write-full" : "write-empty")) {
            continue;
        }
        Emulator device(emulatorPath);
        if (!device.ready()) {
            std::fprintf(stderr, "the emulator did not start: %s\n", qPrintable(emulatorPath));
            return 2;
        }
        SettingsRecord record = full ? fullPhoneBookRecord() : SettingsRecord();
        (full ? writeFull : writeEmpty) =
            measure(device, full ? "write programming, full" : "write programming, empty",
                    [&](OperationContext& op) { writeProgramming(op, record); });
    }
    if (runs("sms")) {
        Emulator device(emulatorPath);
        if (!device.ready()) {
            std::fprintf(stderr, "the emulator did not start: %s\n", qPrintable(emulatorPath));
            return 2;
        }
        const std::vector<Text> text = smsText();
        const RecipientList recipients = smsRecipients();
        sms = measure(device, "SMS broadcast", [&](OperationContext& op) {
            const std::size_t notReached =
                orv::notReached(broadcastSms(op, text, recipients)).size();
            if (notReached > 0) {
                std::fprintf(stderr, "SMS broadcast: %zu recipients not confirmed\n", notReached);
            }
        });
    }

    std::printf("%-26s %8s %8s %7s %8s %7s %7s\n", "Exchange with the emulator", "wall s",
                "least s", "ratio", "over", "CPU s", "CPU");
    const struct {
        const char* run;
        const char* row;
        const char* counts;
        const Figures& figures;
    } rows[] = {
        {"write", "write programming", "write programming:", write},
        {"read", "read programming", "read programming:", read},
        {"sms", "SMS broadcast, 3 numbers", "SMS broadcast:", sms},
        {"write-empty", "write, empty record", "write, empty record:", writeEmpty},
        {"write-full", "write, full phone book", "write, full phone book:", writeFull},
    };
    bool ok = true;
    for (const auto& r : rows) {
        if (runs(r.run)) {
            printRow(r.row, r.figures);
            ok = ok && r.figures.ok;
        }
    }
    std::printf("least = bytes x %u ms + pauses x %u ms + reply reads x %d ms (read interval)\n",
                unsigned(kByteInterval), unsigned(kPauseLength), kReadInterval);
    for (const auto& r : rows) {
        if (runs(r.run)) {
            printCounts(r.counts, r.figures);
        }
    }
    if (read.ok && !readBackSame) {
        std::printf("  note: the read-back differs from the record written\n");
    }
    return ok ? 0 : 1;
}
