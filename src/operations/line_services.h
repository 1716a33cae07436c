#pragma once
// The line services: the CLIR service query and the switch into data-transfer mode.

#include "operations/operation.h"

namespace orv {

// Button1Click ("Проверить"): asks the network whether CLIR is provided and tells the answer;
// "AT+CPAS" follows once the message is closed. Done when the answer could be told; the
// device's trouble when the reply could not be read (told as a warning or an error).
Outcome queryClir(OperationContext& ctx);

// The warning of a CLIR reply whose header is in place but whose status is none of 0 to 4 or
// missing: the status as received, or that there was none.
Text clirUnreadableMessage(const std::string& reply);

// N11Click: presence check, "ATK1", then the message with its single Yes button; the
// line-lost failure instead when the line went away with "ATK1".
void switchToDataMode(OperationContext& ctx);

}  // namespace orv
