#pragma once
// The SMS broadcast through the device's GSM modem: the text is written once into the modem's
// memory with a placeholder destination, then sent from there to each recipient in turn.

#include <vector>

#include "operations/operation.h"
#include "sms/recipients.h"

namespace orv {

// A line of the recipient list that begins with no number: nothing is sent for it, and the
// report names it.
struct SkippedLine {
    std::size_t line = 0;  // its place in the file, from 1
    Text text;
};

// Whom a recipient list reaches: the numbers, in list order, and the lines without a number.
struct BroadcastPlan {
    std::vector<Text> numbers;
    std::vector<SkippedLine> skipped;
};
BroadcastPlan planBroadcast(const RecipientList& recipients);

// The question asked before anything is sent: how many recipients get which text (the lines
// of the text box joined as they are sent), and how many lines are left out.
Text broadcastQuestion(const std::vector<Text>& lines, const BroadcastPlan& plan);

// The warning of a broadcast asked for before any recipient file was loaded.
Text noRecipientFileMessage();
// The warning of a broadcast whose list holds no number; it names the lines left out.
Text noRecipientsMessage(const BroadcastPlan& plan);

// What a broadcast that ran to its end found: the recipients whose send the modem did not
// confirm with "+CMSS:", by their numbers, in list order, and the lines left out.
struct BroadcastResult {
    std::size_t recipients = 0;  // the numbers sent to
    std::vector<Text> unconfirmed;
    std::vector<SkippedLine> skipped;
};

// The text of the information message at the end of a broadcast: the unconfirmed recipients
// and the lines left out; empty when every send was confirmed and no line was left out.
Text broadcastReport(const BroadcastResult& result);

// Button2Click once the user agreed: `lines` are the lines of the SMS text box as it shows
// them. A list without any number ends at once with the warning of noRecipientsMessage, before
// anything is sent. A run that reaches its end tells the user broadcastReport in one
// information message, when there is anything to report, and returns what it found. Throws
// the Failure of error № 1 to № 5 (the progress window stays, the reader stays stopped).
//
// The modem's answer to a send counts until the next line goes out: it is read seven seconds
// after the send, and whatever comes later, up to the CR of the next line, still answers that
// send. After the last send the broadcast waits up to seven seconds more for an answer that
// has not come.
BroadcastResult broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                             const RecipientList& recipients);

}  // namespace orv
