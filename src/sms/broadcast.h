#pragma once
// The SMS broadcast through the device's GSM modem: the text is written once into the modem's
// memory with a placeholder destination, then sent from there to each recipient in turn.

#include <vector>

#include "operations/operation.h"
#include "sms/recipients.h"

namespace orv {

// What a broadcast that ran to its end found: the recipients whose send the modem did not
// confirm with "+CMSS:", by their numbers, in list order.
struct BroadcastResult {
    std::size_t recipients = 0;
    std::vector<Text> unconfirmed;
};

// The text of the information message for the unconfirmed recipients; empty when all were
// confirmed.
Text unconfirmedReport(const BroadcastResult& result);

// Button2Click once a list was loaded: `lines` are the lines of the SMS text box as it shows
// them. A run that reaches its end tells the user, in one information message, which
// recipients were not confirmed (nothing when all were) and returns what it found. Throws the
// Failure of error № 1 to № 5 (the progress window stays, the reader stays stopped).
BroadcastResult broadcastSms(OperationContext& ctx, const std::vector<Text>& lines,
                             const RecipientList& recipients);

}  // namespace orv
