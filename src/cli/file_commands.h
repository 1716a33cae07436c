#pragma once
// The commands of orvelin9-cli that work on files alone and need no port: the number lists of a
// configuration as CSV (csv-export, csv-import) and two configurations compared (diff), with
// the window's own readers, refusals, atomic saves and reports.

#include <string>

#include <vector>

#include "cli/arguments.h"
#include "cli/results.h"
#include "records/history_list.h"

namespace orv::cli {

// The command names no port: it runs on its files (csv-export, csv-import, diff, bundle).
bool isFileCommand(const std::string& command);

// What a file command takes, for the message when its operands are not so.
Text fileOperandsUsage(const std::string& command);

// Runs a file command of a checked invocation. A file that cannot be read, or holds what cannot
// be stored (a CSV with refused rows, unless --skip-bad-rows), throws a Failure: nothing is
// written. Otherwise tells how it ended as a port's result without a port ("-"): done, the
// differences of diff (status 4), or the output that could not be saved (status 8).
PortResult runFileCommand(const Invocation& invocation);

// The history's records, one line each (UTF-8): START<TAB>OPERATION<TAB>PORT<TAB>LABEL<TAB>
// STATUS<TAB>RECORD, "-" for a port or a status there is none of; with `json` one object a
// line: record, start, end, operation, port, by_id, label, status, message, problem.
std::string historyLines(const std::vector<HistoryEntry>& entries, bool json);

// The records of the invocation's data folder (the current folder without --data-folder).
std::vector<HistoryEntry> historyOf(const Invocation& invocation);

}  // namespace orv::cli
