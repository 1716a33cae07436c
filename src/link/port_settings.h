#pragma once
// The port settings: the port name kept in "Dalvorn Terminal.ini", and the steps by which the
// main window opens the port at its first activation and reopens it after the name changed.

#include <optional>
#include <string>

#include "base/text.h"

namespace orv {

constexpr const char* kPortSettingsFile = "Dalvorn Terminal.ini";

// The first line of the port settings file, or nothing when it cannot be opened, is not a
// regular file or is longer than any port name (readRegularFile): the first start's behaviour.
// A failure while reading an opened file throws the runtime's input/output error.
std::optional<Text> readPortName(const std::string& path);

// Rewrites the file whole with one line, the name as given, ended by CR LF. Throws the
// runtime's file error when it cannot.
void writePortName(const std::string& path, const Text& name);

// The three process-wide flags of the port, each a byte holding 0 or 1.
struct PortFlags {
    unsigned char firstActivation = 0;  // set once an activation went through
    unsigned char portChanged = 0;      // the name changed since the last opening
    unsigned char portOpen = 0;         // a port is open and its handle stored
};

// What the activation needs of the link.
class PortOpening {
  public:
    virtual ~PortOpening() = default;
    virtual void closePort() = 0;
    virtual void pause() = 0;  // 500 ms
    // Opens and prepares the port (purge all, raise DTR); throws the OpenPort Failure.
    virtual void openPort(const Text& name) = 0;
};

// Steps 1 to 7 of the main window's activation. `name` is the first line of the port settings
// file, read just before, or nothing when it could not be opened (the port is then opened
// with an empty name). Throws the OpenPort Failure with the flags left as they were before
// the opening; returns when the activation went through, with the first-activation flag set
// and the port-changed flag clear.
void activatePort(PortFlags& flags, PortOpening& link, const std::optional<Text>& name);

}  // namespace orv
