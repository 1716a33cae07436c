// Real-time write programming of a well-filled settings record against the device emulator, as
// the program runs it: on the link thread, over the serial port. Prints the wall time, the least
// time the line pacing and pauses allow (100 ms a byte and 500 ms a pause), their ratio, and the
// processor time the program used and its share of the wall time.
//
//   write_programming_bench [path of orvelin9-emulator]

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <exception>

#include "link/link.h"
#include "operations/programming.h"

namespace {

using orv::Text;

// Counts what goes out: every byte, and the line ends among them.
class CountingPort : public orv::Port {
  public:
    explicit CountingPort(orv::Port& port) : port_(port) {}
    bool isOpen() const override { return port_.isOpen(); }
    void writeByte(std::uint8_t byte) override {
        ++bytes;
        lines += byte == '\r';
        port_.writeByte(byte);
    }
    bool read(std::size_t max, std::string& out) override { return port_.read(max, out); }
    std::size_t available() override { return port_.available(); }
    void purgeInput() override { port_.purgeInput(); }
    void purgeAll() override { port_.purgeAll(); }
    void setDtr() override { port_.setDtr(); }
    void setRts() override { port_.setRts(); }
    void close() override { port_.close(); }

    long bytes = 0;
    long lines = 0;

  private:
    orv::Port& port_;
};

// No windows: the progress goes nowhere, a message is printed.
class ConsoleUser : public orv::OperationUser {
  public:
    void setCaption(const Text&) override {}
    void showProgress() override {}
    void closeProgress() override {}
    void setRange(int, int) override {}
    void setPosition(int) override {}
    void tell(orv::MessageKind, const Text& text, orv::MessageButtons) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

orv::SettingsRecord fullRecord() {
    orv::SettingsRecord record;
    record.password = "5274913";
    record.forwardNumber = "+79161234567";
    const char* numbers[4][3] = {{"89001234567", "89001234568", "89001234569"},
                                 {"8495", "+74951234567", "8812"},
                                 {"8800", "+79031234567", "8909"},
                                 {"112", "89051234567", "01"}};
    for (int t = 0; t < orv::kTableCount; ++t) {
        record.tables[t].clear();
        for (const char* number : numbers[t]) {
            record.tables[t].push_back({number, ""});
        }
    }
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString emulatorPath =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QCoreApplication::applicationDirPath() + "/orvelin9-emulator";
    QTemporaryDir dir;
    const QString port = dir.filePath("port");
    QProcess emulator;
    emulator.start(emulatorPath, {"--link", port});
    if (!emulator.waitForStarted(5000) || !emulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "the emulator did not start: %s\n", qPrintable(emulatorPath));
        return 2;
    }

    orv::Link link(std::make_unique<orv::SystemClock>());
    int status = 1;
    long bytes = 0;
    long lines = 0;
    double wall = 0;
    double cpu = 0;
    link.post(
        [&](orv::LinkContext& ctx) {
            ctx.openPort(port.toStdString());
            CountingPort counting(ctx.port());
            ConsoleUser user;
            orv::OperationContext op{counting, ctx.clock(), ctx, user,
                                     QFile::encodeName(dir.path()).toStdString()};
            const orv::SettingsRecord record = fullRecord();
            const double cpuStart = cpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            orv::writeProgramming(op, record);
            wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            cpu = cpuSeconds() - cpuStart;
            bytes = counting.bytes;
            lines = counting.lines;
        },
        [&](std::exception_ptr error) {
            status = error ? 1 : 0;
            if (error) {
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "write programming failed: %s\n", e.what());
                } catch (...) {
                    std::fprintf(stderr, "write programming failed\n");
                }
            }
            QCoreApplication::quit();
        });
    app.exec();
    emulator.terminate();
    emulator.waitForFinished(3000);
    if (status != 0) {
        return status;
    }

    // One pause follows the presence check, one stands before the first line, and one follows
    // every later line but the last: as many pauses as lines after the presence check.
    const long pauses = lines - 1;
    const double minimum = bytes * 0.1 + pauses * 0.5;
    std::printf("lines sent:         %ld (%ld bytes, %ld pauses)\n", lines, bytes, pauses);
    std::printf("wall time:          %.3f s\n", wall);
    std::printf("pacing and pauses:  %.3f s\n", minimum);
    std::printf("ratio:              %.4f (%.2f%% over)\n", wall / minimum,
                (wall / minimum - 1) * 100);
    std::printf("CPU time:           %.3f s (%.2f%% of one core)\n", cpu, cpu / wall * 100);
    return 0;
}
