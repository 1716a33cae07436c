#pragma once
// The command line of orvelin9-cli as given: the options, the command and its operands, taken
// apart without judging whether the command can run with them (checkInvocation does that).

#include <string>
#include <vector>

#include "base/errors.h"
#include "base/text.h"

namespace orv::cli {

struct Invocation {
    std::vector<std::string> ports;  // --port, in the order given
    std::string dataFolder;          // --data-folder; empty: the current folder
    std::string label;               // --label: a unit or site name kept with the record
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool version = false;

    std::string command;
    std::vector<std::string> operands;  // what follows the command: a file, the SMS text

    bool verify = false;           // write --verify
    std::string to;                // sms --to
    bool yes = false;              // sms --yes
    std::string report;            // sms --report
    bool onlyUnreached = false;    // sms --only-unreached
    bool skipBadRows = false;      // csv-import --skip-bad-rows
    bool includePassword = false;  // bundle --include-password
};

// A command line that cannot be run as it stands: nothing was sent, nothing written.
class UsageError : public Failure {
  public:
    explicit UsageError(const Text& text) : Failure(MessageKind::Error, text, Outcome::Refused) {}
};

// Takes the arguments after the program's name apart. Options may stand before or after the
// command, as "--name value" or "--name=value"; "--" ends the options. Throws UsageError for an
// unknown option or an option without its value.
Invocation parseArguments(const std::vector<std::string>& arguments);

// The text of --help (code page 1251): the options, the commands and the exit statuses.
Text helpText();

}  // namespace orv::cli
