#pragma once
// The system's serial ports as the port settings window lists them, behind a small interface so
// that the windows can be tried with any set of ports.

#include <string>
#include <vector>

#include "base/text.h"

namespace orv {

// One entry of the port list.
struct PortEntry {
    Text name;         // what OpenPort takes and the port settings file keeps
    Text device;       // the kernel's device the name leads to (the name itself for a device)
    Text description;  // the adapter's own description, empty where the system has none
};

// A serial port as the system reports it.
struct SystemPort {
    Text device;                    // the kernel's name, such as /dev/ttyUSB0
    Text description;               // the adapter's description, may be empty
    bool usb = false;               // a USB adapter
    std::vector<Text> stableNames;  // links to it that keep their name across plugging, such as
                                    // /dev/serial/by-id/usb-...-port0
};

// The list as it is shown: USB adapters first, then the other ports, each group in the natural
// order of the names (ttyS2 before ttyS10); every device followed by its stable names.
std::vector<PortEntry> arrangePorts(std::vector<SystemPort> ports);

// The stable name under /dev/serial/by-id of the port named `port` in the list `ports` (the
// same device), when the system lists one; empty when there is none or `port` is that name.
Text stableNameOf(const std::vector<PortEntry>& ports, const Text& port);

class PortList {
  public:
    virtual ~PortList() = default;
    // The system's serial ports now.
    virtual std::vector<PortEntry> ports() = 0;
    // Whether a port of this name is there now: a device node, or a link that leads to one.
    // A name without a folder is looked for in the current folder, as OpenPort does.
    virtual bool present(const Text& name) = 0;
};

}  // namespace orv
