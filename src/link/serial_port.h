#pragma once
// The real serial line: a named port opened with the line parameters and time-outs the device
// needs. Qt's serial port module does the platform work, so the same code serves Linux device
// paths (/dev/ttyUSB0, a pseudo-terminal) and Windows COM ports.

#include <memory>
#include <vector>

#include "link/port.h"
#include "settings/text.h"

namespace orv {

// Opens and sets up the named port: 8 data bits, no parity, 1 stop bit, no flow control, DTR
// and RTS low until raised. The name is used as given (a name without a folder is looked for
// in the current folder, never under another prefix). On failure it throws the Failure of a
// plain message box: the name followed by " занят другим приложением. Попробуйте подключить к
// другому порту" when the port cannot be opened, or one of the two set-up messages; a port
// that was opened but could not be set up is closed first, so the next try can succeed.
// Must be called on the thread that will use the port.
std::unique_ptr<Port> OpenPort(const Text& name, int baudRate);

// The system's serial ports, as names OpenPort takes unchanged.
std::vector<Text> availablePorts();

}  // namespace orv
