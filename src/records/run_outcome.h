#pragma once
// How an operation's run ended, in the words both front ends keep it in: the exit status the
// command line ends with (and the history record's outcome holds, window or command line), the
// message, and the figures of the run (its time, the lines sent, the differences a check found,
// what became of a broadcast's recipients).

#include <cstddef>
#include <exception>
#include <vector>

#include "base/errors.h"
#include "base/text.h"
#include "records/history.h"
#include "settings/comparison.h"
#include "sms/broadcast_report.h"

namespace orv {

class Port;

// The exit statuses, as orvelin9-cli's --help, its manual page and the README list them.
enum class ExitStatus : int {
    Done = 0,
    Refused = 1,          // usage error, input that cannot be read or sent, the answer No
    PortUnavailable = 2,  // missing, no access, held by another program
    DeviceTrouble = 3,    // absent, busy, or answering what cannot be understood
    Differs = 4,          // the check found differences, or values the record cannot hold
    Stopped = 5,          // SIGINT or SIGTERM, or the stop asked in the window
    LineLost = 6,         // the serial line went away during the operation
    Unconfirmed = 7,      // SMS sent but not all confirmed
    NotSaved = 8,         // done, but a file (OUT, "1.txt") could not be saved
};

// The exit status of each outcome of an operation: the one table every status comes from.
ExitStatus statusOf(Outcome outcome);

// The status a failure of an operation stands for, by its outcome, with its message; a failure
// that tells nothing more particular, on a port no longer open, is the line lost.
ExitStatus statusOfFailure(std::exception_ptr error, const Port& port, Text& message);

// How many differences a check found: one for each setting, each number on one side only, the
// speed-dial order, each value the window cannot hold and each slot read programming skips.
std::size_t differenceCount(const Differences& differences);

// A run as its record keeps it.
struct RunSummary {
    ExitStatus status = ExitStatus::Done;
    Text message;  // the message the window shows; empty when it shows none
    double seconds = 0;
    int linesSent = 0;
    std::size_t differences = 0;
    std::vector<Text> refused;      // broadcast: refused by the modem
    std::vector<Text> unconfirmed;  // broadcast: sent, no confirmation came
    std::vector<Text> notSent;      // broadcast: never sent
};

// What became of each recipient of a broadcast that had begun sending; a run that finished with
// any recipient not confirmed ends Unconfirmed.
void tallyBroadcast(const BroadcastReport& report, RunSummary& summary);

// The outcome the history record keeps: the status as its number, the message and the figures
// (seconds, lines_sent, differences, refused, not_sent), the unconfirmed numbers, in UTF-8.
HistoryOutcome historyOutcome(const RunSummary& summary);

}  // namespace orv
