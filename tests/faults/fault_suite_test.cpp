// Every device operation, run whole over a real pseudo-terminal against the emulator program
// while the device misbehaves: absent, busy, answering noise, answering half a reply, answering
// late, pulled out in the middle of the run, on a line that echoes every byte twice, or
// flooding the line with random bytes. Each case checks that the operation ends within its
// time, with the message the user must see, within bounded memory, without touching the
// settings it was given before their load or the program's files, and that the next presence
// check succeeds once a working device is back on the same port.
//
// Write programming and SIM clearing read nothing after the presence check, so noise, half and
// late replies cannot reach them; they run only against the faults that stop them early.

#include <time.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "emulator_process.h"
#include "link/clock.h"
#include "link/presence.h"
#include "link/serial_port.h"
#include "operations/line_services.h"
#include "operations/programming.h"
#include "settings/settings_record.h"
#include "sms/broadcast.h"

namespace orv {
namespace {

const char kOriginalCommandList[] = "ATW8001 from an earlier run\r\n";
const char kOriginalWorkingState[] = "the working state of an earlier run\r\n";

// ---- The texts the user must see ----

Text text(const char* utf8) {
    return cp1251::fromUtf8(utf8);
}
const char kNotConnected[] =
    "GSM-Тарк Орвелин-9 не подключен. Проверте правильность выбраного порта";
const char kBusy[] = "GSM-Тарк Орвелин-9 в активном состоянии. Программирование не возможно";
const char kReadError[] = "Ошибка считывания данных";
const char kLineLost[] =
    "Связь с GSM-Тарк Орвелин-9 потеряна. Проверьте подключение и повторите операцию";
const char kClirFallback[] =
    "Возникла непредвиденная ошибка. Повторите попытку через несколько минут";
const char kClirNoStatus[] =
    "Ответ сети на запрос услуги CLIR не удалось разобрать: состояние услуги в нём отсутствует. "
    "Повторите попытку через несколько минут";
const char kDataMode[] =
    "Переход в режим передачи данных выполнен. Для выхода из режима перезапустите питание "
    "устройства";
const char kBadFormat[] = "Файл 1.txt имеет не правильный формат";
const char kNoiseInTheVolume[] =
    "GSM-Тарк Орвелин-9 хранит значения, которые окно программы не может принять:\n"
    "«Уровень громкости» (регистр 8601): «:\x7F» — это не десятичное число\n"
    "Считанные данные записаны в файл 1.txt. Окно программы не изменено.";

std::string smsError(const char* number) {
    return std::string("Ошибка выполения № ") + number +
           ". Проверте правильность подключения. При повторении ошибки обратитесь за "
           "консультацией в сервисный центр.";
}

// ---- The user, watched from the test thread while the operation runs on its own ----

class SharedUser : public OperationUser, public ReaderControl {
  public:
    void setCaption(const Text&) override {}
    void showProgress() override { set(shown_, true); }
    void closeProgress() override { set(shown_, false); }
    void setRange(int, int) override {}
    void setPosition(int) override {}
    void tell(MessageKind, const Text& t, MessageButtons) override {
        std::lock_guard<std::mutex> lock(mutex_);
        told_.push_back(cp1251::toUtf8(t));
    }
    void stopReader() override { set(readerStopped_, true); }
    void startReader() override { set(readerStopped_, false); }

    std::vector<std::string> told() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return told_;
    }

  private:
    void set(bool& flag, bool value) {
        std::lock_guard<std::mutex> lock(mutex_);
        flag = value;
    }
    mutable std::mutex mutex_;
    std::vector<std::string> told_;
    bool shown_ = false;
    bool readerStopped_ = false;
};

// ---- The emulator program ----

// The emulator on `link`. The CR's echo lands 40 ms after the CR rather than 9 ms, so that a
// loaded machine, running the cases side by side, does not let it in before the program's purge.
class Emulator : public test::EmulatorProcess {
  public:
    Emulator(const QString& link, const QStringList& extra)
        : EmulatorProcess(QStringLiteral(ORV_EMULATOR_BINARY)) {
        started_ = start(link, QStringList{"--echo-delay", "40"} + extra);
    }

    bool started() const { return started_; }

  private:
    bool started_ = false;
};

// ---- Running one operation with a watchdog ----

enum class Op { kWrite, kRead, kClearSim, kClir, kDataMode, kSms };
enum class Fault { kAbsent, kBusy, kGarbage, kHalf, kLate, kVanish, kEchoTwice, kFlood };

const char* name(Op op) {
    switch (op) {
        case Op::kWrite:
            return "WriteProgramming";
        case Op::kRead:
            return "ReadProgramming";
        case Op::kClearSim:
            return "ClearSim";
        case Op::kClir:
            return "ClirQuery";
        case Op::kDataMode:
            return "DataMode";
        case Op::kSms:
            return "SmsBroadcast";
    }
    return "";
}
const char* name(Fault f) {
    switch (f) {
        case Fault::kAbsent:
            return "Absent";
        case Fault::kBusy:
            return "Busy";
        case Fault::kGarbage:
            return "Garbage";
        case Fault::kHalf:
            return "HalfReply";
        case Fault::kLate:
            return "LateReply";
        case Fault::kVanish:
            return "Vanishes";
        case Fault::kEchoTwice:
            return "EchoTwice";
        case Fault::kFlood:
            return "Flood";
    }
    return "";
}

struct Outcome {
    bool finished = false;
    std::optional<std::string> failure;  // the Failure's text, UTF-8
    bool silentAbort = false;
    std::string otherError;  // anything else thrown
    qint64 wallMs = 0;
    qint64 cpuMs = 0;
};

qint64 threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

// Opens the port and runs `body` on a thread of its own, the port's thread; ends the whole test
// program when it has not returned within `limitMs`, since a stuck operation cannot be stopped.
template <typename Body>
Outcome runWithWatchdog(const std::string& portName, int limitMs, Body body) {
    Outcome outcome;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        QElapsedTimer wall;
        wall.start();
        const qint64 cpu = threadCpuMs();
        try {
            std::unique_ptr<Port> port = OpenPort(portName, kBaudRate);
            SystemClock clock;
            body(*port, clock);
        } catch (const Failure& f) {
            outcome.failure = cp1251::toUtf8(f.text());
        } catch (const SilentAbort&) {
            outcome.silentAbort = true;
        } catch (const std::exception& e) {
            outcome.otherError = e.what();
        }
        outcome.wallMs = wall.elapsed();
        outcome.cpuMs = threadCpuMs() - cpu;
        outcome.finished = true;
    }));
    thread->start();
    if (!thread->wait(QDeadlineTimer(limitMs))) {
        std::fprintf(stderr, "FAIL: the operation did not end within %d ms\n", limitMs);
        std::fflush(stderr);
        std::_Exit(3);  // the emulators die with us
    }
    return outcome;
}

// ---- The cases ----

enum class Expect {
    kFailure,  // ends with a Failure of this text
    kTold,     // ends normally after telling the user this text
    kQuiet,    // ends normally and tells nothing
};

struct Case {
    Op op;
    Fault fault;
    Expect expect;
    std::string message;           // UTF-8
    bool commandListWritten;       // "1.txt" is legitimately rewritten
    bool recordMayChange = false;  // not compared (a read-back that fails to load changes nothing)
    int vanishAfter = 0;           // lines the emulator takes before it vanishes
    int limitMs = 0;               // 0: the operation's usual limit
    bool long_ = false;            // runs only with ORV_LONG_FAULTS=1
};

// The longest a run of the operation may legitimately take, with a margin: write programming
// of the record below takes about 31 s, read programming of an empty phone book about 22 s, the
// CLIR query about 8 s, the broadcast to one recipient about 34 s.
int limitMs(Op op) {
    switch (op) {
        case Op::kWrite:
            return 60'000;
        case Op::kRead:
            return 40'000;
        case Op::kClearSim:
            return 10'000;  // only runs that stop at the presence check
        case Op::kClir:
            return 15'000;
        case Op::kDataMode:
            return 8'000;
        case Op::kSms:
            return 50'000;
    }
    return 0;
}

// A figure of this process's memory from /proc/self/status, in KiB.
long memoryKiB(const std::string& key) {
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

std::string readAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const QString& path, const char* content) {
    std::ofstream(path.toStdString(), std::ios::binary) << content;
}

SettingsRecord givenRecord() {
    SettingsRecord r;
    r.password = "4321";
    r.forwardNumber = "+79001112233";
    r.tables[kCallBackTable] = {{"+79004445566", ""}};
    return r;
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << name(c.op) << " x " << name(c.fault);
}

class DeviceFault : public ::testing::TestWithParam<Case> {};

TEST_P(DeviceFault, EndsWithItsMessageKeepsTheFilesAndWorksOnceTheDeviceIsBack) {
    const Case& c = GetParam();
    if (c.long_ && qEnvironmentVariableIntValue("ORV_LONG_FAULTS") != 1)
        GTEST_SKIP()
            << "a run of minutes that another case already covers; ORV_LONG_FAULTS=1 runs it";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("ttyORV");
    const std::string workDir = dir.path().toStdString();
    writeFile(dir.filePath("1.txt"), kOriginalCommandList);
    writeFile(dir.filePath("config.bak"), kOriginalWorkingState);

    QStringList args;
    switch (c.fault) {
        case Fault::kAbsent:
            args = {"--mode", "absent"};
            break;
        case Fault::kBusy:
            args = {"--mode", "busy"};
            break;
        case Fault::kGarbage:
            args = {"--fault", "garbage"};
            break;
        case Fault::kHalf:
            args = {"--fault", "half"};
            break;
        case Fault::kLate:
            args = {"--fault", "late"};
            break;
        case Fault::kVanish:
            args = {"--vanish-after", QString::number(c.vanishAfter)};
            break;
        case Fault::kEchoTwice:
            args = {"--fault", "echo-twice"};
            break;
        case Fault::kFlood:
            args = {"--fault", "flood"};
            break;
    }
    const long residentBefore = memoryKiB("VmRSS:");
    auto faulty = std::make_unique<Emulator>(link, args);
    ASSERT_TRUE(faulty->started());

    SharedUser user;
    // Write programming takes the record as it is; the others get a copy to change.
    const SettingsRecord given = givenRecord();
    SettingsRecord record = given;
    const Outcome out =
        runWithWatchdog(cp1251::fromUtf8(link.toStdString()),
                        c.limitMs > 0 ? c.limitMs : limitMs(c.op), [&](Port& port, Clock& clock) {
                            OperationContext ctx{port, clock, user, user, workDir};
                            switch (c.op) {
                                case Op::kWrite:
                                    writeProgramming(ctx, record);
                                    break;
                                case Op::kRead:
                                    readProgramming(ctx, record);
                                    break;
                                case Op::kClearSim:
                                    clearSim(ctx);
                                    break;
                                case Op::kClir:
                                    queryClir(ctx);
                                    break;
                                case Op::kDataMode:
                                    switchToDataMode(ctx);
                                    break;
                                case Op::kSms:
                                    broadcastSms(ctx, {text("Проверка")}, {text("+79001234567")});
                                    break;
                            }
                        });
    const std::vector<std::string> told = user.told();
    std::printf(
        "[outcome] %s x %s: %s%s in %.1f s, CPU %lld ms\n", name(c.op), name(c.fault),
        out.failure ? "failure: " : "told: ",
        out.failure ? out.failure->c_str() : (told.empty() ? "(nothing)" : told.back().c_str()),
        out.wallMs / 1000.0, static_cast<long long>(out.cpuMs));

    ASSERT_TRUE(out.finished);
    EXPECT_TRUE(out.otherError.empty()) << out.otherError;
    EXPECT_FALSE(out.silentAbort);
    switch (c.expect) {
        case Expect::kFailure:
            EXPECT_EQ(out.failure.value_or("(none)"), c.message);
            EXPECT_TRUE(told.empty());
            break;
        case Expect::kTold:
            EXPECT_FALSE(out.failure) << *out.failure;
            EXPECT_EQ(told, std::vector<std::string>{c.message});
            break;
        case Expect::kQuiet:
            EXPECT_FALSE(out.failure) << *out.failure;
            EXPECT_TRUE(told.empty());
            break;
    }
    // Waiting is sleeping: a vanished line must not turn any wait into a busy loop.
    EXPECT_LT(out.cpuMs, out.wallMs / 5 + 200) << "CPU ms over " << out.wallMs << " ms";
    // Whatever the line brings, the program holds a bounded amount of it.
    EXPECT_LT(memoryKiB("VmHWM:") - residentBefore, 64 * 1024) << "KiB more at the peak";

    if (!c.recordMayChange) {
        EXPECT_TRUE(record == given) << "the settings were changed";
    }
    EXPECT_EQ(readAll(dir.filePath("config.bak")), kOriginalWorkingState);
    const std::string commandList = readAll(dir.filePath("1.txt"));
    if (c.commandListWritten) {
        EXPECT_EQ(commandList.rfind("ATW8001", 0), 0u) << commandList;
        EXPECT_NE(commandList, kOriginalCommandList);
    } else {
        EXPECT_EQ(commandList, kOriginalCommandList);
    }

    // The device is back: a working emulator on the same port passes the presence check.
    if (c.fault == Fault::kVanish) {
        EXPECT_TRUE(faulty->endsWithin(2000)) << "the emulator did not vanish";
    }
    faulty.reset();
    Emulator working(link, {});
    ASSERT_TRUE(working.started());
    const Outcome again = runWithWatchdog(cp1251::fromUtf8(link.toStdString()), 5000,
                                          [](Port& port, Clock& clock) { Connect(port, clock); });
    ASSERT_TRUE(again.finished);
    EXPECT_FALSE(again.failure) << *again.failure;
    EXPECT_TRUE(again.otherError.empty()) << again.otherError;
}

// Read programming through both phone-book passes, 150 reads of about 1.9 s, with a margin.
constexpr int kFullScanMs = 360'000;

std::vector<Case> cases() {
    const std::string sms1 = smsError("1");
    return {
        // Write programming reads no reply after the presence check.
        {Op::kWrite, Fault::kAbsent, Expect::kFailure, kNotConnected, false},
        {Op::kWrite, Fault::kBusy, Expect::kFailure, kBusy, false},
        {Op::kWrite, Fault::kVanish, Expect::kFailure, kLineLost, false, false, 4},

        {Op::kRead, Fault::kAbsent, Expect::kFailure, kNotConnected, false},
        {Op::kRead, Fault::kBusy, Expect::kFailure, kBusy, false},
        // No reply ever ends a phone-book pass, so all 150 slots are read (about 5 minutes)
        // before the read-back is loaded and rejected. The late replies are all lost, so the
        // read-back holds bare lines. One of the three runs by default.
        // The noise in the volume's place is ":\x7F", which the window cannot hold: it is named.
        {Op::kRead, Fault::kGarbage, Expect::kFailure, kNoiseInTheVolume, true, true, 0,
         kFullScanMs},
        {Op::kRead, Fault::kHalf, Expect::kFailure, kBadFormat, true, true, 0, kFullScanMs, true},
        {Op::kRead, Fault::kLate, Expect::kFailure, kBadFormat, true, true, 0, kFullScanMs, true},
        {Op::kRead, Fault::kVanish, Expect::kFailure, kReadError, false, false, 3},

        // SIM clearing reads no reply after the presence check and runs 248 s once past it.
        {Op::kClearSim, Fault::kAbsent, Expect::kFailure, kNotConnected, false},
        {Op::kClearSim, Fault::kBusy, Expect::kFailure, kBusy, false},
        {Op::kClearSim, Fault::kVanish, Expect::kFailure, kNotConnected, false, false, 1},

        {Op::kClir, Fault::kAbsent, Expect::kFailure, kNotConnected, false},
        {Op::kClir, Fault::kBusy, Expect::kFailure, kBusy, false},
        {Op::kClir, Fault::kGarbage, Expect::kTold, kClirFallback, false},
        // The header is there, the status byte is not.
        {Op::kClir, Fault::kHalf, Expect::kTold, kClirNoStatus, false},
        {Op::kClir, Fault::kLate, Expect::kTold, kClirFallback, false},
        {Op::kClir, Fault::kVanish, Expect::kTold, kClirFallback, false, false, 2},

        {Op::kDataMode, Fault::kAbsent, Expect::kFailure, kNotConnected, false},
        {Op::kDataMode, Fault::kBusy, Expect::kFailure, kBusy, false},
        {Op::kDataMode, Fault::kGarbage, Expect::kTold, kDataMode, false},
        {Op::kDataMode, Fault::kHalf, Expect::kTold, kDataMode, false},
        {Op::kDataMode, Fault::kLate, Expect::kTold, kDataMode, false},
        {Op::kDataMode, Fault::kVanish, Expect::kFailure, kLineLost, false, false, 2},

        // The broadcast has no presence check.
        {Op::kSms, Fault::kAbsent, Expect::kFailure, sms1, false},
        {Op::kSms, Fault::kBusy, Expect::kQuiet, "", false},
        {Op::kSms, Fault::kGarbage, Expect::kFailure, smsError("4/1"), false},
        {Op::kSms, Fault::kHalf, Expect::kFailure, smsError("4/1"), false},
        {Op::kSms, Fault::kLate, Expect::kFailure, smsError("4/1"), false},
        {Op::kSms, Fault::kVanish, Expect::kFailure, smsError("2"), false, false, 2},

        // A line that echoes every byte twice: the presence check reads "\r\r01 ", not the
        // four bytes of a free device. The broadcast, which has no presence check and reads
        // the modem with its echo off, goes through, every send confirmed.
        {Op::kWrite, Fault::kEchoTwice, Expect::kFailure, kBusy, false},
        {Op::kRead, Fault::kEchoTwice, Expect::kFailure, kBusy, false},
        {Op::kClearSim, Fault::kEchoTwice, Expect::kFailure, kBusy, false},
        {Op::kClir, Fault::kEchoTwice, Expect::kFailure, kBusy, false},
        {Op::kDataMode, Fault::kEchoTwice, Expect::kFailure, kBusy, false},
        {Op::kSms, Fault::kEchoTwice, Expect::kQuiet, "", false},

        // Random bytes at 1 MB/s besides the replies: every read is full of noise.
        {Op::kWrite, Fault::kFlood, Expect::kFailure, kBusy, false},
        {Op::kRead, Fault::kFlood, Expect::kFailure, kBusy, false},
        {Op::kClearSim, Fault::kFlood, Expect::kFailure, kBusy, false},
        {Op::kClir, Fault::kFlood, Expect::kFailure, kBusy, false},
        {Op::kDataMode, Fault::kFlood, Expect::kFailure, kBusy, false},
        {Op::kSms, Fault::kFlood, Expect::kFailure, smsError("4/1"), false},
    };
}

INSTANTIATE_TEST_SUITE_P(Operations, DeviceFault, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(name(info.param.op)) + "_" + name(info.param.fault);
                         });

}  // namespace
}  // namespace orv

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
