#pragma once
// How the core reports to the user. A Failure carries a message that the caller shows in a
// message box of the given kind; after it the current command ends with nothing more said.
// SilentAbort ends the current command after a message has already been shown.

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

class Failure : public std::runtime_error {
  public:
    Failure(MessageKind kind, const Text& text) : std::runtime_error(text), kind_(kind) {}
    MessageKind kind() const { return kind_; }
    Text text() const { return what(); }

  private:
    MessageKind kind_;
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
