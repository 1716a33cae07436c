// The program against a device that floods its line: the windows built as the program's entry
// point builds them, the port opened on the device emulator's pseudo-terminal, which sends
// random bytes at 1 MB/s (--fault flood), and the terminal tab revealed and shown. For the
// given time it reports the process's peak memory, its processor time, the bytes that reached
// the terminal, and how long the window took to answer a click: every 100 ms a thread of its
// own posts a mouse press to the terminal, and the time until the window's event loop hands it
// to the terminal is measured (the press is then swallowed, so the caret stays at the end).
//
//   flood_bench [seconds] [path of orvelin9-emulator]   (defaults: 60, next to this program)

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "bench_support.h"
#include "emulator_folder.h"
#include "link/link.h"

namespace {

using Clock = std::chrono::steady_clock;

long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    long value = 0;
    while (status >> word) {
        if (word == key) {
            status >> value;
            return value;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

// True once the process holds `path` open.
bool holdsOpen(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System)) {
        if (fd.symLinkTarget() == target) {
            return true;
        }
    }
    return false;
}

// Times the presses posted to a widget, from their posting to their delivery.
class Clicks : public QObject {
  public:
    explicit Clicks(QWidget* target) : target_(target) { target_->installEventFilter(this); }

    void post() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            posted_.push_back(Clock::now());
        }
        const QPointF at(10, 10);
        QCoreApplication::postEvent(
            target_, new QMouseEvent(QEvent::MouseButtonPress, at, at, Qt::LeftButton,
                                     Qt::LeftButton, Qt::NoModifier));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_ && event->type() == QEvent::MouseButtonPress) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!posted_.empty()) {
                waits_.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - posted_.front())
                        .count());
                posted_.pop_front();
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

    std::vector<double> waits() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }

  private:
    QWidget* target_;
    std::mutex mutex_;
    std::deque<Clock::time_point> posted_;
    std::vector<double> waits_;
};

// Runs the event loop for `ms`, as the program's own loop runs: waiting, not polling.
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    const orv::bench::EmulatorFolder folder(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString(),
                                            {"--fault", "flood"});
    if (!folder.ready()) {
        std::fprintf(stderr, "the emulator did not start: %s\n", qPrintable(folder.program()));
        return 2;
    }
    const QString port = folder.port();
    QDir::setCurrent(folder.path());

    orv::ui::setUpApplication();
    orv::ui::ProgramWindows windows;
    TForm1& form = windows.form1;
    std::size_t shown = 0;
    QObject::connect(&form.link(), &orv::Link::received,
                     [&](const QByteArray& bytes) { shown += std::size_t(bytes.size()); });
    form.show();
    QElapsedTimer opening;
    opening.start();
    while (!holdsOpen(port) && opening.elapsed() < 10'000) {
        runEventLoop(20);
    }
    if (!holdsOpen(port)) {
        std::fprintf(stderr, "the program did not open the emulator's port\n");
        return 1;
    }
    // The activation ends on the first tab; the terminal is shown after it.
    runEventLoop(300);
    form.revealTerminal();
    auto* tabs = form.findChild<QTabWidget*>("PageControl1");
    auto* terminal = form.findChild<QPlainTextEdit*>("Memo1");
    tabs->setCurrentWidget(form.findChild<QWidget*>("TabSheet3"));

    Clicks clicks(terminal->viewport());
    const double cpuBefore = orv::bench::cpuSeconds();
    const long residentBefore = statusKiB("VmRSS:");
    const std::size_t shownBefore = shown;
    std::atomic<bool> done{false};
    std::thread clicker([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            clicks.post();
        }
    });
    QElapsedTimer run;
    run.start();
    runEventLoop(seconds * 1000);
    done = true;
    clicker.join();
    QApplication::processEvents();
    const double cpu = orv::bench::cpuSeconds() - cpuBefore;
    const double wall = double(run.elapsed()) / 1000.0;
    std::vector<double> waits = clicks.waits();
    std::sort(waits.begin(), waits.end());
    const auto at = [&](double q) {
        return waits.empty() ? 0.0 : waits[std::size_t(q * double(waits.size() - 1))];
    };

    std::printf("%-34s %6.1f s at 1 MB/s on a pseudo-terminal, terminal shown (%s)\n", "flood",
                wall, qPrintable(QGuiApplication::platformName()));
    std::printf("%-34s %6.1f MB in %.1f s (%.2f MB/s)\n", "  bytes that reached the terminal",
                double(shown - shownBefore) / 1e6, wall, double(shown - shownBefore) / 1e6 / wall);
    std::printf("%-34s %6.1f %% of one core (%.1f s of CPU, both threads)\n", "  CPU",
                100 * cpu / wall, cpu);
    std::printf("%-34s %6.1f MiB (VmHWM; resident %.1f MiB before the flood, %.1f after)\n",
                "  peak memory", double(statusKiB("VmHWM:")) / 1024, double(residentBefore) / 1024,
                double(statusKiB("VmRSS:")) / 1024);
    std::printf("%-34s %6.1f ms longest of %zu clicks (median %.1f, 99th percentile %.1f)\n",
                "  window's answer to a click", waits.empty() ? 0.0 : waits.back(), waits.size(),
                at(0.5), at(0.99));
    std::printf("%-34s %6d lines, the longest %d characters\n", "  terminal text",
                terminal->document()->blockCount(), [&] {
                    int longest = 0;
                    for (QTextBlock b = terminal->document()->begin(); b.isValid(); b = b.next())
                        longest = std::max(longest, b.length() - 1);
                    return longest;
                }());
    return 0;
}
