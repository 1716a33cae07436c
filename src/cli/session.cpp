#include "cli/session.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>

#include "base/platform.h"
#include "cli/commands.h"
#include "cli/file_commands.h"
#include "cli/progress.h"
#include "link/link.h"
#include "link/port_settings.h"
#include "link/serial_port.h"
#include "records/transcript.h"
#include "settings/config_file.h"
#include "sms/broadcast.h"

namespace orv::cli {
namespace {

Text ru(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}

void writeOut(std::FILE* out, const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fflush(out);
}

void complain(const Text& text) {
    writeOut(stderr, "orvelin9-cli: " + cp1251::toUtf8(text) + "\n");
}

// SIGINT and SIGTERM as bytes in a socket pair, read by the event loop. Caught only once the
// ports run: before, nothing has been sent, and the signal ends the program as it always does.
int signalEnds[2] = {-1, -1};

void caught(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalEnds[1], &byte, 1);
    errno = saved;
}

bool catchSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalEnds) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = caught;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return true;
}

// The ports of the run: those given, or the one of "Dalvorn Terminal.ini" in the data folder
// (a name without a folder taken there); never a guess.
std::vector<std::string> resolvePorts(const Invocation& inv, const QString& dataFolder) {
    if (!inv.ports.empty()) {
        return inv.ports;
    }
    const QString file = QDir(dataFolder).filePath(QString::fromLatin1(kPortSettingsFile));
    const std::optional<Text> name = readPortName(file.toUtf8().toStdString());
    if (!name || name->empty()) {
        throw UsageError(ru("Порт не указан: нет параметра --port и нет файла \"" +
                            std::string(kPortSettingsFile) + "\" с именем порта в папке " +
                            dataFolder.toStdString()));
    }
    const QString port = QString::fromStdString(cp1251::toUtf8(*name));
    return {QDir(dataFolder).absoluteFilePath(port).toUtf8().toStdString()};
}

int listPorts(const Invocation& inv) {
    for (const PortEntry& entry : systemPortList().ports()) {
        const std::string name = cp1251::toUtf8(entry.name);
        const std::string device = cp1251::toUtf8(entry.device);
        const std::string description = cp1251::toUtf8(entry.description);
        writeOut(stdout, inv.json ? "{\"name\":" + jsonString(name) +
                                        ",\"device\":" + jsonString(device) +
                                        ",\"description\":" + jsonString(description) + "}\n"
                                  : name + "\t" + device + "\t" + description + "\n");
    }
    return 0;
}

// A command on files alone: no port, no progress; its result as a port's, without a port.
int runOnFiles(const Invocation& inv, const CommandRow& row) {
    checkInvocation(inv, row);
    const PortResult result = runFileCommand(inv);
    writeOut(stdout, inv.json ? resultJson(result, inv.label) : resultLines(result));
    return static_cast<int>(result.status);
}

// The history's records, newest first; a record with a refused file is told on standard error
// and listed as far as it reads.
int listHistoryRecords(const Invocation& inv, const CommandRow& row) {
    checkInvocation(inv, row);
    const std::vector<HistoryEntry> entries = historyOf(inv);
    for (const HistoryEntry& entry : entries) {
        if (!entry.problem.empty() && !inv.json) {
            writeOut(stderr, "orvelin9-cli: " + entry.name + ": " + entry.problem + "\n");
        }
    }
    writeOut(stdout, historyLines(entries, inv.json));
    return 0;
}

// The broadcast's question on the terminal, unless --yes; without a terminal it is refused.
void confirmBroadcast(const Invocation& inv, const Prepared& prepared) {
    const BroadcastPlan plan = planBroadcast(prepared.recipients);
    if (plan.numbers.empty()) {
        throw UsageError(noRecipientsMessage(plan));
    }
    if (inv.yes) {
        return;
    }
    if (!::isatty(STDIN_FILENO)) {
        throw UsageError(
            ru("Рассылка не начата: нет терминала для вопроса. Подтвердите её "
               "параметром --yes"));
    }
    writeOut(stderr, cp1251::toUtf8(broadcastQuestion(prepared.smsLines, plan)) + " [да/нет] ");
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "да" && answer != "д" && answer != "y" && answer != "yes") {
        throw UsageError(ru("Рассылка отменена"));
    }
}

// One port's run on its own link thread.
struct PortRun {
    std::string port;
    std::unique_ptr<Link> link;
    std::unique_ptr<QTemporaryDir> ownDir;  // "1.txt" of a port among several, without a record
    HistoryRecord record;
    std::string stableName;
    StopRequest stop;
    std::unique_ptr<BoardUser> user;
    PortResult result;
};

class StopOnSignal {
  public:
    StopOnSignal(std::vector<std::unique_ptr<PortRun>>& runs, ProgressBoard& board) {
        if (signalEnds[0] < 0) {
            return;
        }
        notifier_ = std::make_unique<QSocketNotifier>(signalEnds[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, &runs, &board] {
            char bytes[16];
            while (::read(signalEnds[0], bytes, sizeof bytes) > 0) {
            }
            if (!stopped) {
                board.note("orvelin9-cli: " +
                           cp1251::toUtf8(ru("Остановка: каждая операция будет остановлена после "
                                             "передачи текущей строки")));
            }
            stopped = true;
            for (auto& run : runs) {
                run->stop.request();
            }
        });
    }
    bool stopped = false;

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

// How the run ended, as its record keeps it.
HistoryOutcome outcomeOf(const PortResult& result) {
    RunSummary summary;
    summary.status = result.status;
    summary.message = result.message;
    summary.seconds = result.seconds;
    summary.linesSent = result.linesSent;
    summary.differences = result.differences.size();
    summary.refused = result.refused;
    summary.unconfirmed = result.unconfirmed;
    summary.notSent = result.notSent;
    return historyOutcome(summary);
}

// Whether the runs go without their byte transcript: ORVELIN9_NO_TRANSCRIPT set to anything
// but empty or "0". Only the benchmark of the transcript's cost sets it
// (bench/transcript_bench.sh); the record is kept all the same, less its transcript.
bool withoutTranscript() {
    const char* value = std::getenv("ORVELIN9_NO_TRANSCRIPT");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

// One port's run on its link thread: the port opened behind its transcript, the operation, and
// what its record keeps.
void runPort(PortRun* run, const CommandRow& row, const PortJob& job, const std::string& dir,
             LinkContext& link) {
    run->result.port = run->port;
    run->result.command = row.name;
    run->result.record = run->record.folder();
    run->record.setPort(run->port, run->stableName);
    if (row.name == std::string("write") || row.name == std::string("check")) {
        run->record.saveConfiguration(job.prepared.record);
    }
    try {
        link.openPort(cp1251::fromUtf8(run->port));
    } catch (...) {
        run->result.status =
            statusOfFailure(std::current_exception(), link.port(), run->result.message);
        if (run->result.status != Status::Stopped) {
            run->result.status = Status::PortUnavailable;
        }
        run->record.finish(outcomeOf(run->result));
        return;
    }
    {
        std::optional<TranscriptPort> transcript;
        if (run->record.ok() && !withoutTranscript()) {
            transcript.emplace(link.port(), link.clock(), run->record.transcriptPath(), run->port);
        }
        Port& port = transcript ? static_cast<Port&>(*transcript) : link.port();
        OperationContext ctx{port, link.clock(), link, *run->user, dir, &run->stop};
        run->result = runOnPort(row, job, ctx);
        run->result.record = run->record.folder();
    }
    link.closePort();
    if (row.name == std::string("write") || row.name == std::string("read")) {
        // Into the record; one the run wrote there itself is written again as the user's alone.
        const std::string list = dir + "/" + kCommandListFile;
        platform::FileStatus status;
        if (dir != run->record.folder() || platform::fileStatus(list, status) == 0) {
            run->record.copyCommandList(list);
        }
    }
    run->record.finish(outcomeOf(run->result));
}

int runOnPorts(const Invocation& inv, const CommandRow& row, const Prepared& prepared,
               const std::vector<std::string>& ports, const QString& dataFolder) {
    std::vector<std::string> names;
    for (const std::string& port : ports) {
        names.push_back(port);
    }
    const ProgressBoard::Mode mode = inv.quiet                 ? ProgressBoard::Mode::Quiet
                                     : ::isatty(STDERR_FILENO) ? ProgressBoard::Mode::Terminal
                                                               : ProgressBoard::Mode::Lines;
    ProgressBoard board(stderr, mode, names);
    History history(
        dataFolder.toUtf8().toStdString(), [] { return std::time(nullptr); }, ORV_VERSION);
    std::vector<std::unique_ptr<PortRun>> runs;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        auto run = std::make_unique<PortRun>();
        run->port = ports[i];
        run->link = std::make_unique<Link>(std::make_unique<SystemClock>());
        run->user = std::make_unique<BoardUser>(board, i);
        run->record = history.begin(row.name, inv.label);
        run->stableName =
            cp1251::toUtf8(stableNameOf(systemPortList().ports(), cp1251::fromUtf8(run->port)));
        if (ports.size() > 1 && !run->record.ok()) {
            run->ownDir = std::make_unique<QTemporaryDir>();
        }
        runs.push_back(std::move(run));
    }
    catchSignals();
    StopOnSignal onSignal(runs, board);
    QEventLoop loop;
    QTimer countdown;
    QObject::connect(&countdown, &QTimer::timeout, [&board] { board.tick(); });
    countdown.start(1000);
    std::size_t left = runs.size();
    const std::string outPattern = row.operand == Operand::OutputFile ? inv.operands.at(0)
                                   : row.name == std::string("sms")   ? inv.report
                                                                      : std::string();
    for (auto& owned : runs) {
        PortRun* run = owned.get();
        // With several ports, each port's "1.txt" goes into its own record.
        const std::string dir = run->ownDir        ? run->ownDir->path().toUtf8().toStdString()
                                : ports.size() > 1 ? run->record.folder()
                                                   : dataFolder.toUtf8().toStdString();
        const PortJob job{inv, prepared, run->port, outputName(outPattern, run->port),
                          &run->record};
        run->link->post(
            [run, &row, job, dir](LinkContext& link) { runPort(run, row, job, dir, link); },
            [&left, &loop](std::exception_ptr) {
                if (--left == 0) {
                    loop.quit();
                }
            });
    }
    loop.exec();
    if (const std::string problem = history.takeProblem(); !problem.empty()) {
        board.note("orvelin9-cli: " + problem);
    }
    std::vector<Status> statuses;
    for (auto& run : runs) {
        writeOut(stdout, inv.json ? resultJson(run->result, inv.label) : resultLines(run->result));
        statuses.push_back(run->result.status);
    }
    if (onSignal.stopped) {
        return static_cast<int>(Status::Stopped);
    }
    return static_cast<int>(combinedStatus(statuses));
}

}  // namespace

int runCommandLine(const QStringList& arguments) {
    std::vector<std::string> args;
    for (const QString& argument : arguments) {
        args.push_back(argument.toUtf8().toStdString());
    }
    try {
        const Invocation inv = parseArguments(args);
        if (inv.help) {
            writeOut(stdout, cp1251::toUtf8(helpText()));
            return 0;
        }
        if (inv.version) {
            writeOut(stdout, "orvelin9-cli " ORV_VERSION "\n");
            return 0;
        }
        if (inv.command.empty()) {
            throw UsageError(ru("Не указана команда. Справка: orvelin9-cli --help"));
        }
        const CommandRow* row = findCommand(inv.command);
        if (!row) {
            throw UsageError(
                ru("Неизвестная команда " + inv.command + ". Справка: orvelin9-cli --help"));
        }
        if (!row->usesPort) {
            if (row->name == std::string("history")) {
                return listHistoryRecords(inv, *row);
            }
            return isFileCommand(inv.command) ? runOnFiles(inv, *row) : listPorts(inv);
        }
        if (!row->run) {
            throw UsageError(notAvailableMessage(inv.command));
        }
        checkInvocation(inv, *row);
        const QString dataFolder =
            QDir(inv.dataFolder.empty() ? QDir::currentPath()
                                        : QString::fromUtf8(inv.dataFolder.c_str()))
                .absolutePath();
        if (!QDir(dataFolder).exists()) {
            throw UsageError(ru("Папка данных не найдена: " + dataFolder.toStdString()));
        }
        const std::vector<std::string> ports = resolvePorts(inv, dataFolder);
        Prepared prepared;
        if (row->prepare) {
            row->prepare(inv, prepared);
        }
        if (row->name == std::string("sms")) {
            confirmBroadcast(inv, prepared);
        }
        return runOnPorts(inv, *row, prepared, ports, dataFolder);
    } catch (const Failure& failure) {
        // The command line, an input file or the answer No: nothing was sent.
        complain(failure.text());
        return static_cast<int>(Status::Refused);
    }
}

}  // namespace orv::cli
