#pragma once
// How the core reports to the user. A Failure carries a message that the caller shows in a
// message box of the given kind; after it the current command ends with nothing more said.
// SilentAbort ends the current command after a message has already been shown.
//
// Besides its message, a Failure says what came of the command as an Outcome, for callers that
// act on how it ended rather than show it (the command line's exit status).

#include <stdexcept>
#include <string>

#include "base/text.h"

namespace orv {

enum class MessageKind {
    Plain,        // a plain message box with OK
    Warning,      // warning icon
    Error,        // error icon, OK
    Information,  // information icon, OK
    Confirmation  // question icon
};

// What came of a command, whatever its message says.
enum class Outcome {
    Done,               // ended as it should
    Failed,             // did not end as it should; nothing more particular is known
    DeviceTrouble,      // the device absent, busy, or answering what cannot be understood
    LineLost,           // the serial line went away while the command was sending
    HoldsUnrecordable,  // the device holds values the record cannot hold
    NotSaved,           // done, but a file could not be saved
    PortUnavailable,    // the port cannot be opened: missing, no access, held by another
    Stopped,            // stopped at the user's request, in good order
    Refused,            // input that cannot be read or sent: nothing was sent
};

class Failure : public std::runtime_error {
  public:
    Failure(MessageKind kind, const Text& text, Outcome outcome = Outcome::Failed)
        : std::runtime_error(text), kind_(kind), outcome_(outcome) {}
    MessageKind kind() const { return kind_; }
    Text text() const { return what(); }
    Outcome outcome() const { return outcome_; }

  private:
    MessageKind kind_;
    Outcome outcome_;
};

// The runtime's own errors (conversion, list index, files) are shown with the error icon.
inline Failure runtimeError(const Text& text) {
    return Failure(MessageKind::Error, text);
}

// "'%s' is not a valid integer value"
Failure conversionError(const Text& rejected);
// "List index out of bounds (%d)"
Failure listIndexError(long index);

struct SilentAbort {};

}  // namespace orv
