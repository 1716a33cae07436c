#pragma once
// The line services: the CLIR service query and the switch into data-transfer mode.

#include "operations/operation.h"

namespace orv {

// Button1Click ("Проверить"): asks the network whether CLIR is provided and tells the answer;
// "AT+CPAS" follows once the message is closed.
void queryClir(OperationContext& ctx);

// N11Click: presence check, "ATK1", then the message with its single Yes button.
void switchToDataMode(OperationContext& ctx);

}  // namespace orv
