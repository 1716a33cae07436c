// orvelin9-emulator: answers on a pseudo-terminal as "GSM-Тарк Орвелин-9" does, so that the
// program can be tried, and tested end to end, without the device.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "device_model.h"
#include "pty_line.h"
#include "replay.h"
#include "state_file.h"
#include "text_codec.h"
#include "transcript_reader.h"

namespace orv::emulator {
namespace {

const char kUsage[] =
    "Usage: orvelin9-emulator [options]\n"
    "Answers on a pseudo-terminal as the GSM-Тарк Орвелин-9 device does. The first line on\n"
    "standard output is the terminal's path; point the program's port at it.\n"
    "\n"
    "  --link PATH        also make PATH a symbolic link to the terminal (replaced if it\n"
    "                     exists, removed at exit)\n"
    "  --state FILE       starting registers and SIM phone-book slots\n"
    "  --dump FILE        write registers and slots to FILE at exit and on SIGUSR1, in the\n"
    "                     form --state reads\n"
    "  --mode MODE        normal (default), absent (answers nothing) or busy (the presence\n"
    "                     check reads \"00 \")\n"
    "  --clir N           the CLIR provisioning status reported by AT+CLIR? (0..9, default 1)\n"
    "  --log FILE         each line received, with its time in ms since start\n"
    "  --sms-record FILE  each SMS sent: number, a tab, the text (UTF-8), one per line\n"
    "  --reject NUMBER    the network refuses SMS to NUMBER (repeatable)\n"
    "  --refuse NUMBER:CODE  the modem answers a send to NUMBER with \"+CMS ERROR: CODE\"\n"
    "                     (repeatable)\n"
    "  --sms-delay MS     how long the network takes to answer each SMS sent (default 1000)\n"
    "  --late NUMBER:MS   the answer to a send to NUMBER comes MS after it (repeatable); the\n"
    "                     answers keep the order of the sends\n"
    "  --no-prompt        AT+CMGW answers ERROR instead of the text prompt\n"
    "  --mute-modem       the GSM modem echoes nothing and answers no SMS command\n"
    "  --echo-delay MS    how long after a byte its echo has arrived (default 40)\n"
    "  --fault FAULT      every reply but the presence check's: garbage (noise instead),\n"
    "                     half (cut after half its bytes) or late (2.4 s later); or the\n"
    "                     line's: echo-twice (every echo twice) or flood (random bytes\n"
    "                     all the time besides the replies, at --flood-rate)\n"
    "  --flood-rate N     bytes per second of the flood (default 1000000, as a USB modem\n"
    "                     that ignores the line speed sends them)\n"
    "  --vanish-after N   exit, closing the terminal, as soon as N lines have come in, as a\n"
    "                     device pulled out in the middle of a run\n"
    "  --replay TRANSCRIPT  play the device's side of a transcript the program wrote: each\n"
    "                     line the program sends as recorded is answered as recorded; a line\n"
    "                     that differs is told on standard error and ends the emulator with\n"
    "                     status 1 (the other options but --link do not apply)\n"
    "  --help             this text\n"
    "\n"
    "State file lines: 'register 8001 5A', 'slot 5 \"8900\" 129 \"W8900\"'; '#' starts a\n"
    "comment. Phone book, CLIR and AT+CPAS are taken after ATK1, as by the device.\n"
    "SIGINT, SIGTERM and SIGHUP end the emulator.\n";

// The echo of a byte comes back this long after it went out unless --echo-delay says otherwise:
// about what a USB serial adapter adds to the line's own two byte-times, and enough that the
// program's purge right after a command's CR comes before the echo of that CR also on a busy
// machine.
constexpr Micros kDefaultEchoDelayUs = 40'000;

struct Config {
    Config() { options.echoDelayUs = kDefaultEchoDelayUs; }
    Options options;
    std::string link;
    std::string stateFile;
    std::string dumpFile;
    std::string logFile;
    std::string smsFile;
    std::string replayFile;
    std::size_t vanishAfter = 0;  // 0: never
    bool flood = false;
    long floodRate = 1'000'000;  // bytes per second of the flood's noise
};

[[noreturn]] void usageError(const std::string& message) {
    std::cerr << "orvelin9-emulator: " << message << "\n"
              << "Try 'orvelin9-emulator --help'.\n";
    std::exit(2);
}

bool parseNumber(const std::string& s, long low, long high, long& value) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stol(s);
    return value >= low && value <= high;
}

Config parseArguments(int argc, char** argv) {
    Config c;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (arg == "--no-prompt") {
            c.options.noPrompt = true;
            continue;
        }
        if (arg == "--mute-modem") {
            c.options.muteModem = true;
            continue;
        }
        if (i + 1 >= argc)
            usageError(arg.rfind("--", 0) == 0 ? "option " + arg + " needs a value or is unknown"
                                               : "unexpected argument '" + arg + "'");
        const std::string value = argv[++i];
        long n = 0;
        if (arg == "--link") {
            c.link = value;
        } else if (arg == "--state") {
            c.stateFile = value;
        } else if (arg == "--dump") {
            c.dumpFile = value;
        } else if (arg == "--replay") {
            c.replayFile = value;
        } else if (arg == "--log") {
            c.logFile = value;
        } else if (arg == "--sms-record") {
            c.smsFile = value;
        } else if (arg == "--reject") {
            c.options.rejectedNumbers.insert(value);
        } else if (arg == "--refuse" || arg == "--late") {
            // NUMBER:VALUE, split at the last colon.
            const std::size_t colon = value.rfind(':');
            const bool refuse = arg == "--refuse";
            if (colon == std::string::npos || colon == 0 ||
                !parseNumber(value.substr(colon + 1), 0, refuse ? 999 : 600000, n))
                usageError(arg +
                           (refuse ? " takes NUMBER:CODE with a code 0..999"
                                   : " takes NUMBER:MS with 0..600000 ms") +
                           ", not '" + value + "'");
            if (refuse)
                c.options.refusedNumbers[value.substr(0, colon)] = static_cast<int>(n);
            else
                c.options.lateNumbers[value.substr(0, colon)] = static_cast<Micros>(n) * 1000;
        } else if (arg == "--mode") {
            if (value == "normal")
                c.options.presence = Presence::kNormal;
            else if (value == "absent")
                c.options.presence = Presence::kAbsent;
            else if (value == "busy")
                c.options.presence = Presence::kBusy;
            else
                usageError("--mode takes normal, absent or busy, not '" + value + "'");
        } else if (arg == "--fault") {
            if (value == "garbage")
                c.options.replyFault = ReplyFault::kGarbage;
            else if (value == "half")
                c.options.replyFault = ReplyFault::kHalf;
            else if (value == "late")
                c.options.replyFault = ReplyFault::kLate;
            else if (value == "echo-twice")
                c.options.echoTwice = true;
            else if (value == "flood")
                c.flood = true;
            else
                usageError("--fault takes garbage, half, late, echo-twice or flood, not '" + value +
                           "'");
        } else if (arg == "--flood-rate") {
            if (!parseNumber(value, 1, 100'000'000, n))
                usageError("--flood-rate takes 1..100000000 bytes per second, not '" + value + "'");
            c.floodRate = n;
        } else if (arg == "--vanish-after") {
            if (!parseNumber(value, 1, 999999, n))
                usageError("--vanish-after takes a number of lines from 1, not '" + value + "'");
            c.vanishAfter = static_cast<std::size_t>(n);
        } else if (arg == "--clir") {
            if (!parseNumber(value, 0, 9, n))
                usageError("--clir takes a digit 0..9, not '" + value + "'");
            c.options.clirStatus = static_cast<int>(n);
        } else if (arg == "--sms-delay") {
            if (!parseNumber(value, 0, 60000, n))
                usageError("--sms-delay takes 0..60000 ms, not '" + value + "'");
            c.options.smsDelayUs = static_cast<Micros>(n) * 1000;
        } else if (arg == "--echo-delay") {
            if (!parseNumber(value, 5, 1000, n))
                usageError("--echo-delay takes 5..1000 ms, not '" + value + "'");
            c.options.echoDelayUs = static_cast<Micros>(n) * 1000;
        } else {
            usageError("unknown option " + arg);
        }
    }
    return c;
}

// Signals reach the loop through a pipe, so poll() wakes for them.
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t dumpRequested = 0;

void onSignal(int sig) {
    const int saved = errno;
    if (sig == SIGUSR1)
        dumpRequested = 1;
    else
        stopRequested = 1;
    const char b = 0;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &b, 1);
    errno = saved;
}

void installSignals() {
    if (::pipe(signalPipe) != 0) {
        std::perror("orvelin9-emulator: pipe");
        std::exit(1);
    }
    for (int fd : signalPipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

// Written beside the target and renamed over it, so a reader never sees half a dump.
bool writeDump(const std::string& path, const DeviceModel& model) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << formatState(model.state());
        if (!out.flush()) {
            std::cerr << "orvelin9-emulator: cannot write " << temp << "\n";
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::cerr << "orvelin9-emulator: cannot write " << path << ": " << std::strerror(errno)
                  << "\n";
        return false;
    }
    return true;
}

std::ofstream openOutput(const std::string& path) {
    std::ofstream out;
    if (!path.empty()) {
        out.open(path, std::ios::binary | std::ios::trunc);
        if (!out) {
            std::cerr << "orvelin9-emulator: cannot write " << path << "\n";
            std::exit(1);
        }
    }
    return out;
}

// The noise of a device that floods the line: random bytes at a steady rate besides whatever it
// answers. What the line does not take at once is dropped, as by a device that does not wait.
class Flood {
  public:
    explicit Flood(long rate) : rate_(static_cast<std::uint64_t>(rate)) {}

    // Sends what is due `elapsedUs` after the start.
    void pump(PtyLine& line, std::uint64_t elapsedUs) {
        const std::uint64_t due = elapsedUs * rate_ / 1'000'000;
        // After a stall the backlog is not made up in one burst beyond a chunk.
        if (due > sent_ + kChunk)
            sent_ = due - kChunk;
        if (due <= sent_)
            return;
        std::string bytes(static_cast<std::size_t>(due - sent_), '\0');
        for (char& b : bytes) {
            state_ ^= state_ << 13;
            state_ ^= state_ >> 17;
            state_ ^= state_ << 5;
            b = static_cast<char>(state_ >> 24);
        }
        line.write(bytes);
        sent_ = due;
    }

    // How long the loop may sleep before more is due.
    static constexpr int kPeriodMs = 5;

  private:
    static constexpr std::uint64_t kChunk = 1 << 16;
    std::uint64_t rate_;
    std::uint64_t sent_ = 0;
    std::uint32_t state_ = 0x9E3779B9u;
};

bool loadTranscript(const std::string& path, Transcript& transcript) {
    std::ifstream in(path, std::ios::binary);
    std::string error;
    if (!in) {
        error = "cannot read it";
    } else if (in.seekg(0, std::ios::end); in.tellg() > std::streamoff(kMaxTranscriptBytes)) {
        error = "longer than " + std::to_string(kMaxTranscriptBytes) + " bytes";
    } else if (in.seekg(0); parseTranscript(in, transcript, error)) {
        return true;
    }
    std::cerr << "orvelin9-emulator: " << path << ": " << error << "\n";
    return false;
}

// --replay: the transcript's device answers the program until a line differs or a signal comes.
// One turn of the line: what the master sent goes to the model, and what the model has to say
// by now goes back. After a hang-up (or a failed read) the master is left alone for 50 ms.
template <class Line, class Model, class Now>
void exchange(Line& line, Model& model, short revents, const Now& now, Millis& quietUntil) {
    if (revents & POLLIN) {
        std::uint8_t buffer[256];
        const long n = line.read(buffer, sizeof buffer);
        const Millis t = now();
        for (long k = 0; k < n; ++k)
            model.receive(buffer[k], t);
        if (n < 0)
            quietUntil = t + 50;
    } else if (revents & (POLLHUP | POLLERR)) {
        quietUntil = now() + 50;
    }
    const std::string out = model.takeOutput(now());
    if (!out.empty())
        line.write(out);
}

int runReplay(const Config& config) {
    Transcript transcript;
    if (!loadTranscript(config.replayFile, transcript))
        return 2;
    ReplayModel model(transcript);
    installSignals();
    PtyLine line;
    SlaveLink link;
    std::string error;
    if (!line.open(error) ||
        (!config.link.empty() && !link.create(config.link, line.slavePath(), error))) {
        std::cerr << "orvelin9-emulator: " << error << "\n";
        return 1;
    }
    std::cout << line.slavePath() << std::endl;
    const auto start = std::chrono::steady_clock::now();
    const auto now = [&start]() -> Millis {
        return static_cast<Millis>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count());
    };
    Millis quietUntil = 0;
    while (!stopRequested && !model.diverged()) {
        int timeout = -1;
        if (const auto next = model.nextOutputTime())
            timeout = *next > now() ? static_cast<int>(std::min<Millis>(*next - now(), 60'000)) : 0;
        const bool watchLine = now() >= quietUntil;
        if (!watchLine)
            timeout = timeout < 0 ? 50 : std::min(timeout, 50);
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {watchLine ? line.fd() : -1, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            std::perror("orvelin9-emulator: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            char drain[16];
            while (::read(signalPipe[0], drain, sizeof drain) > 0) {
            }
        }
        exchange(line, model, fds[1].revents, now, quietUntil);
    }
    if (model.diverged()) {
        std::cerr << "orvelin9-emulator: the replay of " << config.replayFile << " ends at "
                  << model.divergence() << "\n";
        return 1;
    }
    return 0;
}

int run(const Config& config) {
    if (!config.replayFile.empty())
        return runReplay(config);
    DeviceModel model(config.options);
    if (!config.stateFile.empty()) {
        std::ifstream in(config.stateFile, std::ios::binary);
        if (!in) {
            std::cerr << "orvelin9-emulator: cannot read " << config.stateFile << "\n";
            return 2;
        }
        StoredState state;
        std::string error;
        if (!parseState(in, state, error)) {
            std::cerr << "orvelin9-emulator: " << config.stateFile << ": " << error << "\n";
            return 2;
        }
        model.load(state);
    }
    std::ofstream log = openOutput(config.logFile);
    std::ofstream sms = openOutput(config.smsFile);

    installSignals();
    PtyLine line;
    std::string error;
    if (!line.open(error)) {
        std::cerr << "orvelin9-emulator: " << error << "\n";
        return 1;
    }
    SlaveLink link;
    if (!config.link.empty() && !link.create(config.link, line.slavePath(), error)) {
        std::cerr << "orvelin9-emulator: " << error << "\n";
        return 1;
    }
    std::cout << line.slavePath() << std::endl;

    const auto start = std::chrono::steady_clock::now();
    const auto now = [&start]() -> Millis {
        return static_cast<Millis>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count());
    };
    std::size_t linesLogged = 0;
    std::size_t messagesRecorded = 0;
    Millis quietUntil = 0;  // after a hang-up, the master is left alone for a moment
    std::optional<Flood> flood;
    if (config.flood)
        flood.emplace(config.floodRate);

    while (!stopRequested) {
        int timeout = -1;
        if (const auto next = model.nextOutputTime()) {
            const Millis t = now();
            timeout = *next > t ? static_cast<int>(std::min<Millis>(*next - t, 60'000)) : 0;
        }
        if (flood)
            timeout = timeout < 0 ? Flood::kPeriodMs : std::min(timeout, Flood::kPeriodMs);
        const bool watchLine = now() >= quietUntil;
        if (!watchLine)
            timeout = timeout < 0 ? 50 : std::min(timeout, 50);
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {watchLine ? line.fd() : -1, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            std::perror("orvelin9-emulator: poll");
            break;
        }
        if (fds[0].revents & POLLIN) {
            char drain[16];
            while (::read(signalPipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (dumpRequested) {
            dumpRequested = 0;
            if (!config.dumpFile.empty())
                writeDump(config.dumpFile, model);
        }
        exchange(line, model, fds[1].revents, now, quietUntil);
        if (flood)
            flood->pump(line, static_cast<std::uint64_t>(
                                  std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count()));

        const auto& lines = model.receivedLines();
        for (; linesLogged < lines.size(); ++linesLogged)
            if (log.is_open())
                log << lines[linesLogged].at << ' ' << escapeText(lines[linesLogged].bytes, false)
                    << std::endl;
        const auto& sent = model.sentMessages();
        for (; messagesRecorded < sent.size(); ++messagesRecorded)
            if (sms.is_open())
                sms << escapeText(sent[messagesRecorded].number, false) << '\t'
                    << escapeText(sent[messagesRecorded].text, false) << std::endl;
        if (config.vanishAfter > 0 && lines.size() >= config.vanishAfter)
            break;  // the terminal closes with the emulator, unanswered
    }

    if (!config.dumpFile.empty() && !writeDump(config.dumpFile, model))
        return 1;
    return 0;
}

}  // namespace
}  // namespace orv::emulator

int main(int argc, char** argv) {
    using namespace orv::emulator;
    return run(parseArguments(argc, argv));
}
