// Start-up time of the program to its first shown window. Each run starts a new process of this
// bench that builds the windows exactly as the program's entry point does and notes the moment
// the main window is first painted; the time counts from just before the process is created, so
// loading the program and its libraries is included. The port file of the scratch folder names
// a device emulator, so the first activation opens a port as it does on a desk.
//
//   startup_bench [runs] [path of orvelin9-emulator]   (defaults: 5, next to this program)

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/program.h"
#include "emulator_folder.h"

namespace {

long long monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

// Writes the time of the first paint of the watched window to a descriptor and ends the process
// there, before anything of the shutdown runs (the working-state file stays unwritten).
class FirstPaint : public QObject {
  public:
    explicit FirstPaint(int fd) : fd_(fd) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const long long now = monotonicNs();
            if (write(fd_, &now, sizeof now) != sizeof now) {
                _exit(3);
            }
            _exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    int fd_;
};

// The program's entry point, with the first paint of the main window watched.
int child(int argc, char** argv, int fd) {
    QApplication app(argc, argv);
    orv::ui::setUpApplication();
    orv::ui::ProgramWindows windows;
    TForm1& form1 = windows.form1;
    FirstPaint watch(fd);
    form1.installEventFilter(&watch);
    form1.show();
    return app.exec();
}

// One start: milliseconds from the creation of the process to the first paint, or -1.
double startOnce(const char* self, const QString& folder) {
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    const long long start = monotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (chdir(QFile::encodeName(folder).constData()) != 0) {
            _exit(4);
        }
        const std::string fd = std::to_string(fds[1]);
        execl(self, self, "--child", fd.c_str(), static_cast<char*>(nullptr));
        _exit(5);
    }
    close(fds[1]);
    long long painted = 0;
    ssize_t got = 0;
    // A process that shows nothing within 30 s is given up.
    pollfd wait{fds[0], POLLIN, 0};
    if (poll(&wait, 1, 30'000) == 1) {
        got = read(fds[0], &painted, sizeof painted);
    }
    close(fds[0]);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return got == sizeof painted ? double(painted - start) / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        return child(argc, argv, std::atoi(argv[2]));
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    const orv::bench::EmulatorFolder folder(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (!folder.ready()) {
        std::fprintf(stderr, "the emulator did not start: %s\n", qPrintable(folder.program()));
        return 2;
    }

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = startOnce("/proc/self/exe", folder.path());
        if (ms < 0) {
            std::fprintf(stderr, "run %d: the main window was not painted\n", i + 1);
            continue;
        }
        times.push_back(ms);
    }
    if (times.empty()) {
        std::printf("%-34s failed\n", "start-up to the first paint");
        return 1;
    }
    const double first = times.front();
    std::sort(times.begin(), times.end());
    std::printf("%-34s %6.0f ms (median of %zu; least %.0f, most %.0f, first %.0f)\n",
                "start-up to the first paint", times[times.size() / 2], times.size(), times.front(),
                times.back(), first);
    return 0;
}
