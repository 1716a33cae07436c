#pragma once
// The presence check that opens every device operation but the SMS broadcast.

#include "link/clock.h"
#include "link/port.h"

namespace orv {

// Asks the device for register 2301 and returns only when it answers as a free device does.
// Otherwise throws the Failure "не подключен" (no reply) or "в активном состоянии" (any
// other reply); the calling operation ends with it.
void Connect(Port& port, Clock& clock);

}  // namespace orv
