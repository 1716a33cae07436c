#pragma once
// The real serial line: a named port opened with the line parameters and time-outs the device
// needs. Qt's serial port module does the platform work, so the same code serves Linux device
// paths (/dev/ttyUSB0, a pseudo-terminal) and Windows COM ports.

#include <memory>
#include <string>

#include "base/text.h"
#include "link/port.h"
#include "link/port_list.h"

namespace orv {

// What OpenPort asks the system before it opens a port, so that a refusal says why. Tests put a
// system that refuses in its place.
class PortAccess {
  public:
    virtual ~PortAccess() = default;
    // 0 when this process may open the device node at `path` for reading and writing, else the
    // errno of the refusal (ENOENT when it is not there, EACCES when the user may not).
    virtual int check(const std::string& path) const = 0;
    // The group whose members may read and write the node ("dialout"); empty when no group
    // other than the system's own gives that.
    virtual std::string group(const std::string& path) const = 0;
    // The login name of the user the program runs as.
    virtual std::string user() const = 0;
};

const PortAccess& systemPortAccess();

// Opens and sets up the named port: 8 data bits, no parity, 1 stop bit, no flow control, DTR
// and RTS low until raised. The name is used as given (a name without a folder is looked for
// in the current folder, never under another prefix). On failure it throws a PortFailure, in a
// plain message box: the port is missing, the user may not open it (with the group that gives
// access), it is held by another program (the name followed by " занят другим приложением.
// Попробуйте подключить к другому порту"), or one of the two set-up messages; a port that was
// opened but could not be set up is closed first, so the next try can succeed.
// Must be called on the thread that will use the port.
std::unique_ptr<Port> OpenPort(const Text& name, int baudRate,
                               const PortAccess& access = systemPortAccess());

// The system's serial ports: the kernel's devices with the adapters' descriptions, and the
// stable names under /dev/serial/by-id.
PortList& systemPortList();

}  // namespace orv
