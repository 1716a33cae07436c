#pragma once
// The SMS broadcast through the device's GSM modem: the text is written once into the modem's
// memory with a placeholder destination, then sent from there to each recipient in turn.

#include <functional>
#include <string>
#include <vector>

#include "operations/operation.h"
#include "sms/broadcast_report.h"
#include "sms/recipients.h"

namespace orv {

// Whom a recipient list reaches: the numbers, in list order, and the lines without a number.
struct BroadcastPlan {
    std::vector<Text> numbers;
    std::vector<SkippedLine> skipped;
};
BroadcastPlan planBroadcast(const RecipientList& recipients);

// The question asked before anything is sent: how many recipients get which text (the lines
// of the text box joined as they are sent), the first five numbers as they will be sent, and
// how many lines are left out.
Text broadcastQuestion(const std::vector<Text>& lines, const BroadcastPlan& plan);

// The warning of a broadcast asked for before any recipient file was loaded.
Text noRecipientFileMessage();
// The warning of a broadcast whose list holds no number; it names the lines left out.
Text noRecipientsMessage(const BroadcastPlan& plan);

// The local time as the report keeps it (ISO 8601: "2026-12-09T18:05:25").
using LocalTime = std::function<std::string()>;
std::string localTimeNow();

// Button2Click once the user agreed: `lines` are the lines of the SMS text box as it shows
// them. `report` is made anew from `recipients` and filled in as the run goes. A list without
// any number ends at once with the warning of noRecipientsMessage, before anything is sent.
// A run that reaches its end returns with report.ending Finished; the caller tells the user
// broadcastReportText. Throws the Failure of error № 1 to № 5 (the progress window stays, the
// reader stays stopped); Stopped, with the report's text, for a stop; and the line-lost
// Failure, with the report's text, when the serial line goes away during the sends.
//
// The modem gives each send exactly one final result ("+CMSS: ...", "+CMS ERROR: ...",
// "ERROR"), in order, however late: the results are paired with the sends first in, first out.
// Each send is followed by its seven seconds; after the last one the broadcast waits up to 30
// seconds more for the results still owed. A send without one is unconfirmed.
//
// A stop is taken at each line boundary; while the modem waits at its text prompt a stop
// cancels the text with ESC instead of ending it with Ctrl-Z, so that nothing is stored or sent.
void broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                  const RecipientList& recipients, BroadcastReport& report,
                  const LocalTime& localTime = localTimeNow);
// The same, returning the report.
BroadcastReport broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                             const RecipientList& recipients);

}  // namespace orv
