#include "sms/broadcast.h"

#include <stdexcept>

namespace orv {

Text unconfirmedReport(const BroadcastResult&) {
    return Text();
}

BroadcastResult broadcastSms(OperationContext&, const std::vector<Text>&, const RecipientList&) {
    throw std::logic_error("SMS broadcast: not built yet");
}

}  // namespace orv
