// The built orvelin9-emulator on a real pseudo-terminal, driven the way the program drives its
// serial port.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path emulatorBinary() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    return fs::path(std::string(self, static_cast<std::size_t>(n))).parent_path() /
           "orvelin9-emulator";
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Reads what arrives until `silence` passes without a byte, at most `max` bytes.
std::string readUntilQuiet(int fd, std::size_t max, int silenceMs) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    while (got.size() < max && ::poll(&p, 1, silenceMs) > 0) {
        char buf[128];
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, max - got.size()));
        if (n <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

class EmulatorProcess {
  public:
    ~EmulatorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            ::close(out_);
    }

    // Starts the emulator with its standard output and error on a pipe.
    void start(const std::vector<std::string>& args) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::dup2(pipeFds[1], STDERR_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            const std::string binary = emulatorBinary().string();
            std::vector<char*> argv{const_cast<char*>(binary.c_str())};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }

    std::string firstLine() {
        std::string line;
        pollfd p{out_, POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, 5000) > 0 && ::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    std::string rest() { return readUntilQuiet(out_, 4096, 2000); }

    void signal(int sig) { ::kill(pid_, sig); }
    // The exit status, or -1 when it does not end within a few seconds.
    int wait() {
        for (int i = 0; i < 300; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

int openRaw(const fs::path& port) {
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// SendCommand: 100 ms before each byte, CR last.
void sendLine(int fd, const std::string& line) {
    for (char c : line + "\r") {
        std::this_thread::sleep_for(100ms);
        ASSERT_EQ(::write(fd, &c, 1), 1);
    }
}

// The presence check: send, purge right after the CR, pause 500 ms, read once. The echo is
// awaited before the purge: on a loaded machine the emulator may echo the last bytes only after
// the CR went out, and the purge would leave them in front of the answer.
std::string presenceCheck(int fd) {
    const std::string line = "ATR2301";
    sendLine(fd, line);
    EXPECT_EQ(readUntilQuiet(fd, line.size(), 2000), line);
    ::tcflush(fd, TCIFLUSH);
    std::this_thread::sleep_for(500ms);
    return readUntilQuiet(fd, 100, 30);
}

class EmulatorProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(emulatorBinary()))
            << emulatorBinary() << " is missing; build the orvelin9-emulator target";
        char pattern[] = "/tmp/orv-emulator-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(EmulatorProgram, AnswersOnAPtyAcrossReopeningAndDumpsItsState) {
    std::ofstream(dir_ / "state.txt")
        << "# start\nregister 8601 47\nslot 7 \"8900\" 129 \"W8900\"\n";
    const fs::path link = dir_ / "port";
    const fs::path dump = dir_ / "dump.txt";
    EmulatorProcess emulator;
    emulator.start({"--link", link.string(), "--state", (dir_ / "state.txt").string(), "--dump",
                    dump.string()});
    const std::string slave = emulator.firstLine();
    ASSERT_EQ(fs::read_symlink(link).string(), slave);

    int fd = openRaw(link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(presenceCheck(fd), "\r01 ");
    sendLine(fd, "ATW8001FF");
    std::this_thread::sleep_for(100ms);

    // The program closes its port and opens it again, as it does on a port change.
    ::close(fd);
    std::this_thread::sleep_for(200ms);
    fd = openRaw(link);
    ASSERT_GE(fd, 0);
    ::tcflush(fd, TCIOFLUSH);
    EXPECT_EQ(presenceCheck(fd), "\r01 ");
    ::close(fd);

    emulator.signal(SIGUSR1);
    for (int i = 0; i < 200 && !fs::exists(dump); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_NE(readFile(dump).find("register 8001 FF\n"), std::string::npos);
    fs::remove(dump);

    emulator.signal(SIGTERM);
    EXPECT_EQ(emulator.wait(), 0);
    const std::string state = readFile(dump);
    EXPECT_NE(state.find("register 8001 FF\n"), std::string::npos) << state;
    EXPECT_NE(state.find("register 8601 47\n"), std::string::npos) << state;
    EXPECT_NE(state.find("slot 7 \"8900\" 129 \"W8900\"\n"), std::string::npos) << state;
    EXPECT_FALSE(fs::is_symlink(link));
}

TEST_F(EmulatorProgram, AFloodingDeviceSendsNoiseAtItsRateAndStillTakesCommands) {
    const fs::path link = dir_ / "port";
    const fs::path log = dir_ / "log.txt";
    EmulatorProcess emulator;
    emulator.start({"--link", link.string(), "--fault", "flood", "--flood-rate", "200000", "--log",
                    log.string()});
    emulator.firstLine();
    const int fd = openRaw(link);
    ASSERT_GE(fd, 0);
    ::tcflush(fd, TCIFLUSH);
    const auto start = std::chrono::steady_clock::now();
    std::size_t got = 0;
    std::size_t lineBreaks = 0;
    pollfd p{fd, POLLIN, 0};
    while (std::chrono::steady_clock::now() - start < 1s && ::poll(&p, 1, 100) > 0) {
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            lineBreaks += static_cast<std::size_t>(std::count(buf, buf + n, '\r'));
        }
    }
    // About 200 000 random bytes in the second, CRs among them.
    EXPECT_GT(got, 120'000u);
    EXPECT_LT(got, 280'000u);
    EXPECT_GT(lineBreaks, 300u);
    // The device under the noise still takes its commands.
    sendLine(fd, "ATW8001FF");
    std::this_thread::sleep_for(200ms);
    ::close(fd);
    emulator.signal(SIGTERM);
    EXPECT_EQ(emulator.wait(), 0);
    EXPECT_NE(readFile(log).find(" ATW8001FF\n"), std::string::npos) << readFile(log);
}

TEST_F(EmulatorProgram, BadStateFileStopsItWithTheLineNamed) {
    std::ofstream(dir_ / "state.txt") << "register 8001 5A\nslot 300 \"1\" 129 \"x\"\n";
    EmulatorProcess emulator;
    emulator.start({"--state", (dir_ / "state.txt").string()});
    EXPECT_EQ(emulator.wait(), 2);
    EXPECT_NE(emulator.rest().find("state.txt: line 2: slot index '300'"), std::string::npos);
}

// The presence check as the program recorded it: the line, the purge, the answer.
const char kPresenceTranscript[] =
    "orvelin9 transcript 1\n0 open /dev/ttyUSB0\n"
    "100 > A\n200 > T\n300 > R\n400 > 2\n500 > 3\n600 > 0\n700 > 1\n800 > \\r\n"
    "800 purge-input\n1310 < \\r01\\x20\n1400 close\n";

TEST_F(EmulatorProgram, ReplaysATranscriptAndEndsAtALineThatDiffers) {
    std::ofstream(dir_ / "t.txt") << kPresenceTranscript;
    const fs::path link = dir_ / "port";
    EmulatorProcess emulator;
    emulator.start({"--replay", (dir_ / "t.txt").string(), "--link", link.string()});
    emulator.firstLine();
    const int fd = openRaw(link);
    ASSERT_GE(fd, 0);
    sendLine(fd, "ATR2301");
    ::tcflush(fd, TCIFLUSH);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(readUntilQuiet(fd, 100, 200), "\r01 ");
    sendLine(fd, "ATR8001");
    EXPECT_EQ(emulator.wait(), 1);
    ::close(fd);
    EXPECT_NE(emulator.rest().find("recorded: (nothing more)\n  received: ATR8001\\r"),
              std::string::npos);
}

TEST_F(EmulatorProgram, ATranscriptThatDoesNotParseIsRefusedWithTheLineNamed) {
    std::string broken = kPresenceTranscript;
    broken.replace(broken.find("300 > R"), 7, "300 > RR");
    std::ofstream(dir_ / "t.txt") << broken;
    EmulatorProcess emulator;
    emulator.start({"--replay", (dir_ / "t.txt").string()});
    EXPECT_EQ(emulator.wait(), 2);
    EXPECT_NE(emulator.rest().find("t.txt: line 5: "), std::string::npos);
}

}  // namespace
