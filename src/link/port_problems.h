#pragma once
// Why a serial port could not be opened, and what the user is told about it. The system says
// why an opening failed; the user reads what to do about it.

#include <string>

#include "base/errors.h"
#include "base/text.h"

namespace orv {

enum class PortProblem {
    Busy,         // held by another program, or refused for a reason the system does not name
    Missing,      // no port of that name (nothing plugged in under it)
    NoAccess,     // the user may not open it
    Unsupported,  // opened, but not a line with the settings the device needs
};

// The failure of a port opening, shown in a plain message box like every message of OpenPort.
class PortFailure : public Failure {
  public:
    PortFailure(PortProblem problem, const Text& text)
        : Failure(MessageKind::Plain, text, Outcome::PortUnavailable), problem_(problem) {}
    PortProblem problem() const { return problem_; }

  private:
    PortProblem problem_;
};

// The name followed by " занят другим приложением. Попробуйте подключить к другому порту".
Text portBusyMessage(const Text& name);

// The port is not there; with an empty name, no port was chosen.
Text portMissingMessage(const Text& name);

// The user may not open the port. `group` is the group whose members may ("dialout"), empty
// when no group gives access; `user` the user's login name. Both in the system's UTF-8.
Text portNoAccessMessage(const Text& name, const std::string& group, const std::string& user);

// No serial port at all, and none chosen: plug in the adapter and choose its port.
Text noPortsMessage();

// The problem an errno of the system's check of a port stands for: a missing node, a refusal,
// or anything else (taken as a port in use).
PortProblem problemOfErrno(int error);

}  // namespace orv
