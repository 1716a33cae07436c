#pragma once
// What orvelin9-cli tells of each port once its command has ended: the exit status, the result
// line (or its JSON object) with the message the window would have shown, and the status of a
// run over several ports.

#include <string>
#include <vector>

#include "base/text.h"
#include "records/run_outcome.h"

namespace orv::cli {

// The exit statuses, as --help, the manual page and the README list them: the core's, which
// the window's history records keep too.
using Status = ExitStatus;

// The status of a run over several ports: the first of 6, 3, 2, 5, 8, 4, 7, 0 that any port
// has (1 only when every port was refused so).
Status combinedStatus(const std::vector<Status>& statuses);

// One difference a check found: what (a setting's label, a table's caption...), the value of
// the file and the device's.
struct DifferenceRow {
    Text what;
    Text expected;
    Text device;
};

struct PortResult {
    std::string port;     // as given
    std::string command;  // as given
    Status status = Status::Done;
    Text message;  // the message the window would show; empty when it shows none
    double seconds = 0;
    int linesSent = 0;
    std::vector<DifferenceRow> differences;
    std::vector<Text> refused;      // broadcast: refused by the modem
    std::vector<Text> unconfirmed;  // broadcast: sent, no confirmation came
    std::vector<Text> notSent;      // broadcast: never sent
    std::string record;             // the history record's folder; empty when there is none
};

// PORT<TAB>COMMAND<TAB>STATUS<TAB>MESSAGE, then one PORT<TAB>-<TAB>WHAT<TAB>FILE<TAB>DEVICE
// line per difference; each line ends with LF, in UTF-8, line breaks of the message as blanks.
std::string resultLines(const PortResult& result);

// The same as one JSON object on one line (ended by LF): port, label, command, status,
// message, seconds, lines_sent, differences, refused, unconfirmed, not_sent and, when there is
// one, record.
std::string resultJson(const PortResult& result, const std::string& label);

// A text of code page 1251 as UTF-8 on one line: CR, LF and tabs become blanks, a CR LF one.
std::string oneLine(const Text& text);

// A string as a JSON string literal (UTF-8 in, UTF-8 out, quotes included).
std::string jsonString(const std::string& utf8);

}  // namespace orv::cli
