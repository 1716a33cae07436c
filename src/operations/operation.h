#pragma once
// What a device operation works with: the port and the clock of the link, the port reader it
// stops and restarts, and the user, who watches the progress window and reads the messages.
// Every operation is plain code over these, so that a test runs it whole against a scripted
// device in virtual time, and the program runs it on the link thread against the real port.
//
// How an operation ends: normally; with a Failure, whose message the caller shows in a box of
// its kind (after which the command ends with nothing more said); or with SilentAbort, when the
// message was shown already. Nothing is undone: lines sent stay sent, a progress window shown
// stays shown, a stopped reader stays stopped. An operation that was asked to stop ends in good
// order instead, with Stopped (see StopRequest).

#include <string>

#include "base/errors.h"
#include "link/clock.h"
#include "link/port.h"
#include "link/stop_request.h"
#include "link/usumma.h"

namespace orv {

// The buttons of a message told to the user.
enum class MessageButtons { Ok, Yes };

// The user's side of an operation: the progress window (TForm4) and modal messages. Called on
// the thread that runs the operation; the program hands each call over to the windows.
class OperationUser {
  public:
    virtual ~OperationUser() = default;
    virtual void setCaption(const Text& caption) = 0;
    // Shows the progress window without blocking; the operation goes on at once.
    virtual void showProgress() = 0;
    // Hides the progress window; it can be shown again.
    virtual void closeProgress() = 0;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;
    // Shows a modal message and returns once the user has closed it.
    virtual void tell(MessageKind kind, const Text& text,
                      MessageButtons buttons = MessageButtons::Ok) = 0;
    // The time the operation still takes by its own schedule, in ms from now. `upperBound`
    // when the rest is not known in advance and this is the most it can take. Reported after
    // every line; a user that shows no time left ignores it.
    virtual void setTimeLeft(Millis left, bool upperBound) {
        (void)left;
        (void)upperBound;
    }
};

// How a stopped operation ends: an information message saying what was done and what not.
class Stopped : public Failure {
  public:
    explicit Stopped(const Text& text)
        : Failure(MessageKind::Information, text, Outcome::Stopped) {}
};

struct OperationContext {
    Port& port;
    Clock& clock;
    ReaderControl& reader;
    OperationUser& user;
    // The folder of the program's fixed files ("1.txt"): the process's current directory at
    // start. Empty means the current directory.
    std::string workDir;
    // The stop of this run (Escape in the progress window, or the program told to close by a
    // signal); none when null. The operation looks at it only between lines, never inside one:
    // it ends the line it is sending, sends the line that closes its run ("AT+CPAS" where it
    // has one), starts the port reader again, and ends with Stopped, whose message says what
    // state the device and the window are in.
    const StopRequest* stop = nullptr;

    bool stopRequested() const { return stop && stop->requested(); }

    // The path of one of the program's fixed files.
    std::string file(const char* name) const {
        return workDir.empty() ? std::string(name) : workDir + "/" + name;
    }
};

// The message of an operation whose serial line went away while it was sending (the device
// pulled out, its adapter unplugged): what was sent after that never reached the device.
inline Text lineLostMessage() {
    return cp1251::fromUtf8(
        "Связь с GSM-Тарк Орвелин-9 потеряна. Проверьте подключение и повторите операцию");
}

// Ends the operation with that message when the line has gone away. Operations that read no
// reply call it after each line they send, so that a run whose lines reached nobody is never
// reported, or recorded in "1.txt", as done.
inline void requireLine(const OperationContext& ctx) {
    if (!ctx.port.isOpen()) {
        throw Failure(MessageKind::Error, lineLostMessage(), Outcome::LineLost);
    }
}

}  // namespace orv
