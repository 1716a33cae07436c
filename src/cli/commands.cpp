#include "cli/commands.h"

#include <exception>
#include <utility>

#include "cli/file_commands.h"
#include "cli/recipient_source.h"
#include "cli/window_words.h"
#include "link/counting_port.h"
#include "operations/line_services.h"
#include "operations/programming.h"
#include "settings/config_file.h"
#include "sms/broadcast.h"

namespace orv::cli {
namespace {

Text ru(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}

// The user as the operation sees it: the progress goes on to the command line's user, and the
// last message told is kept as the run's message. Nothing waits for an answer: naming the
// command was the answer.
class KeepingUser : public OperationUser {
  public:
    explicit KeepingUser(OperationUser& user) : user_(user) {}

    void setCaption(const Text& caption) override { user_.setCaption(caption); }
    void showProgress() override { user_.showProgress(); }
    void closeProgress() override { user_.closeProgress(); }
    void setRange(int minimum, int maximum) override { user_.setRange(minimum, maximum); }
    void setPosition(int position) override { user_.setPosition(position); }
    void setTimeLeft(Millis left, bool upperBound) override { user_.setTimeLeft(left, upperBound); }
    void tell(MessageKind kind, const Text& text, MessageButtons buttons) override {
        user_.tell(kind, text, buttons);
        message = text;
    }

    Text message;

  private:
    OperationUser& user_;
};

void checkAgainstDevice(OperationContext& ctx, const SettingsRecord& record, PortResult& result) {
    const Differences differences = compareWithDevice(ctx, record);
    result.message = describeDifferences(differences, formWords());
    result.differences = differenceRows(differences);
    result.status = differences.none() ? Status::Done : Status::Differs;
}

void prepareConfiguration(const Invocation& inv, Prepared& prepared) {
    // The window's own refusals, naming the line, before anything is sent.
    LoadFromFile(inv.operands.at(0), prepared.record);
    checkEncodable(prepared.record);
}

// A file that could not be saved once the operation had done its work.
void notSaved(const Failure& failure, PortResult& result) {
    result.status = statusOf(Outcome::NotSaved);
    result.message = failure.text();
}

// An operation's failure ends the port's run with the status of its outcome (see runOnPort): a
// write whose "1.txt" was not saved, a read of values the record cannot hold.
void runWrite(OperationContext& ctx, const PortJob& job, PortResult& result) {
    writeProgramming(ctx, job.prepared.record);
    if (job.invocation.verify) {
        checkAgainstDevice(ctx, job.prepared.record, result);
    }
}

void runRead(OperationContext& ctx, const PortJob& job, PortResult& result) {
    SettingsRecord record;
    readProgramming(ctx, record);
    if (job.history) {
        job.history->saveConfiguration(record);
    }
    try {
        SaveData(job.outPath, record);
    } catch (const Failure& failure) {
        notSaved(failure, result);
    }
}

void runCheck(OperationContext& ctx, const PortJob& job, PortResult& result) {
    checkAgainstDevice(ctx, job.prepared.record, result);
}

void runClearSim(OperationContext& ctx, const PortJob&, PortResult&) {
    clearSim(ctx);
}

void runClir(OperationContext& ctx, const PortJob&, PortResult& result) {
    result.status = statusOf(queryClir(ctx));
}

void runDataMode(OperationContext& ctx, const PortJob&, PortResult&) {
    switchToDataMode(ctx);
}

void prepareSms(const Invocation& inv, Prepared& prepared) {
    prepared.recipients = readRecipientSource(inv.to, inv.onlyUnreached);
    const std::string text = inv.operands.at(0);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        prepared.smsLines.push_back(ru(text.substr(start, end - start)));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
}

// What became of each recipient, as the JSON lists them, and the status of a broadcast that
// went through: 7 when not every send was confirmed.
void takeReport(const BroadcastReport& report, PortResult& result) {
    RunSummary summary;
    summary.status = result.status;
    tallyBroadcast(report, summary);
    result.status = summary.status;
    result.refused = std::move(summary.refused);
    result.unconfirmed = std::move(summary.unconfirmed);
    result.notSent = std::move(summary.notSent);
}

void runSms(OperationContext& ctx, const PortJob& job, PortResult& result) {
    BroadcastReport report;
    std::exception_ptr ended;
    try {
        broadcastSms(ctx, job.prepared.smsLines, job.prepared.recipients, report);
        result.message = broadcastReportText(report);
    } catch (const Failure& failure) {
        if (report.ending == BroadcastEnding::None) {
            throw;
        }
        ended = std::current_exception();
    }
    takeReport(report, result);
    if (!job.invocation.report.empty()) {
        try {
            saveBroadcastReport(job.outPath, report);
        } catch (const Failure& failure) {
            if (!ended) {
                result.status = statusOf(Outcome::NotSaved);
                result.message += (result.message.empty() ? "" : "\n") + failure.text();
            }
        }
    }
    if (ended) {
        std::rethrow_exception(ended);
    }
}

}  // namespace

const std::vector<CommandRow>& commandTable() {
    static const std::vector<CommandRow> table = {
        {"ports", Operand::None, false, false, nullptr, nullptr},
        {"write", Operand::InputFile, false, true, prepareConfiguration, runWrite},
        {"read", Operand::OutputFile, false, true, nullptr, runRead},
        {"check", Operand::InputFile, false, true, prepareConfiguration, runCheck},
        {"clear-sim", Operand::None, false, true, nullptr, runClearSim},
        {"clir", Operand::None, false, true, nullptr, runClir},
        {"data-mode", Operand::None, false, true, nullptr, runDataMode},
        {"sms", Operand::Text, true, true, prepareSms, runSms},
        {"csv-export", Operand::TwoFiles, false, false, nullptr, nullptr},
        {"csv-import", Operand::ThreeFiles, false, false, nullptr, nullptr},
        {"diff", Operand::TwoFiles, false, false, nullptr, nullptr},
        {"history", Operand::None, false, false, nullptr, nullptr},
        {"bundle", Operand::TwoFiles, false, false, nullptr, nullptr},
    };
    return table;
}

const CommandRow* findCommand(const std::string& name) {
    for (const CommandRow& row : commandTable()) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}

Text notAvailableMessage(const std::string& command) {
    return ru("Команда " + command + " пока недоступна в этой версии программы");
}

std::string portFileName(const std::string& port) {
    const std::size_t slash = port.find_last_of('/');
    return slash == std::string::npos ? port : port.substr(slash + 1);
}

std::string outputName(const std::string& pattern, const std::string& port) {
    static const std::string kMark = "{port}";
    std::string name = pattern;
    const std::string file = portFileName(port);
    for (std::size_t at = name.find(kMark); at != std::string::npos;
         at = name.find(kMark, at + file.size())) {
        name.replace(at, kMark.size(), file);
    }
    return name;
}

void checkInvocation(const Invocation& inv, const CommandRow& row) {
    const std::string name = row.name;
    const std::size_t wanted = row.operand == Operand::None         ? 0
                               : row.operand == Operand::TwoFiles   ? 2
                               : row.operand == Operand::ThreeFiles ? 3
                                                                    : 1;
    if (inv.operands.size() != wanted) {
        throw UsageError(
            wanted == 0 ? ru("Команда " + name + " не принимает аргументов")
            : wanted > 1 ? fileOperandsUsage(name)
            : row.operand == Operand::Text
                ? ru("Команде " + name + " нужен один аргумент: текст сообщения (в кавычках)")
                : ru("Команде " + name + " нужен один аргумент: имя файла конфигурации"));
    }
    if (inv.verify && name != "write") {
        throw UsageError(ru("Параметр --verify относится только к команде write"));
    }
    const bool smsOptions = !inv.to.empty() || inv.yes || !inv.report.empty() || inv.onlyUnreached;
    if (smsOptions && name != "sms") {
        throw UsageError(
            ru("Параметры --to, --yes, --report и --only-unreached относятся "
               "только к команде sms"));
    }
    if (name == "sms" && inv.to.empty()) {
        throw UsageError(
            ru("Команде sms нужен параметр --to: файл получателей или отчёт "
               "рассылки"));
    }
    if (inv.skipBadRows && name != "csv-import") {
        throw UsageError(ru("Параметр --skip-bad-rows относится только к команде csv-import"));
    }
    if (inv.includePassword && name != "bundle") {
        throw UsageError(ru("Параметр --include-password относится только к команде bundle"));
    }
    if (row.onePortOnly && inv.ports.size() > 1) {
        throw UsageError(ru("Команда " + name + " выполняется только на одном порту"));
    }
    if (inv.ports.size() > 1) {
        const std::string output = row.operand == Operand::OutputFile ? inv.operands.at(0) : "";
        if (!output.empty() && output.find("{port}") == std::string::npos) {
            throw UsageError(
                ru("С несколькими портами имя выходного файла должно содержать "
                   "{port}: " +
                   output));
        }
    }
}

PortResult runOnPort(const CommandRow& row, const PortJob& job, OperationContext& outer) {
    PortResult result;
    result.port = job.port;
    result.command = row.name;
    CountingPort port(outer.port);
    KeepingUser user(outer.user);
    OperationContext ctx{port, outer.clock, outer.reader, user, outer.workDir, outer.stop};
    const Millis start = ctx.clock.now();
    try {
        row.run(ctx, job, result);
        if (result.message.empty()) {
            result.message = user.message;
        }
    } catch (...) {
        Text message;
        result.status = statusOfFailure(std::current_exception(), port, message);
        if (!message.empty() || result.message.empty()) {
            result.message = message;
        }
    }
    result.seconds = static_cast<double>(ctx.clock.now() - start) / 1000.0;
    result.linesSent = port.lines();
    return result;
}

}  // namespace orv::cli
