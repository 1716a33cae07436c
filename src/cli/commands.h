#pragma once
// The commands of orvelin9-cli, one row each: what a command takes on its command line, what it
// reads before any port is opened, and the device operation it runs on each port. Adding a
// command is adding its row.

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/results.h"
#include "operations/operation.h"
#include "records/history.h"
#include "settings/settings_record.h"
#include "sms/recipients.h"

namespace orv::cli {

// What a command reads before anything is sent: a configuration that would be refused, or a
// recipient list that cannot be read, ends the run with status 1 and nothing sent.
struct Prepared {
    SettingsRecord record;       // write, check: the configuration file
    RecipientList recipients;    // sms
    std::vector<Text> smsLines;  // sms: the text, line by line
};

// One port's share of a command.
struct PortJob {
    const Invocation& invocation;
    const Prepared& prepared;
    std::string port;     // as given
    std::string outPath;  // the output file, {port} replaced; empty when the command has none
    HistoryRecord* history = nullptr;  // the run's record, which keeps what a read found
};

// Runs the operation; sets what the status and message cannot be told from how it ended.
using RunOnPort = void (*)(OperationContext& ctx, const PortJob& job, PortResult& result);
using Prepare = void (*)(const Invocation& invocation, Prepared& prepared);

// What follows the command: nothing, one file, the SMS text, or the files of a command that
// needs no port (csv-export FILE OUT, diff A B: two; csv-import FILE IN OUT: three).
enum class Operand { None, InputFile, OutputFile, Text, TwoFiles, ThreeFiles };

struct CommandRow {
    const char* name;
    Operand operand;
    bool onePortOnly;  // one port at most (the SMS broadcast: one list, one modem)
    bool usesPort;     // false: the command runs without a device (ports)
    Prepare prepare;   // null when there is nothing to read first
    RunOnPort run;     // null: the command is not available yet
};

const std::vector<CommandRow>& commandTable();
// The row of a command, or null.
const CommandRow* findCommand(const std::string& name);

// Judges the invocation against its command before anything is read or opened: the operands,
// the options that belong to other commands, one port where only one may be, and "{port}" in
// every output name when there are several ports. Throws UsageError.
void checkInvocation(const Invocation& invocation, const CommandRow& row);

// The port's file name: what follows its last "/".
std::string portFileName(const std::string& port);
// The output name for a port: every "{port}" replaced by the port's file name.
std::string outputName(const std::string& pattern, const std::string& port);

// The message of a command that is not available yet.
Text notAvailableMessage(const std::string& command);

// Runs the command's operation on one port, over the port, clock and user of `ctx`, and tells
// how it ended: the status, the message the window would show, the lines sent, the time.
PortResult runOnPort(const CommandRow& row, const PortJob& job, OperationContext& ctx);

// The exit status of an outcome and of a failure: the core's one table (records/run_outcome.h).
using orv::statusOf;
using orv::statusOfFailure;

}  // namespace orv::cli
