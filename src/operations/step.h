#pragma once
// One step of an operation: a line sent at 100 ms a byte with its CR, the pauses before it, and
// what follows it (pauses, reply reads, the port's signals raised, its input purged), together
// with the time all of that is planned to take. An operation is its list of steps: the time it
// tells at its start is the sum of the list, and what is left after each step shrinks by that
// step's own planned time, so both come from one place.
//
// A step sends its line in one call (send) and does what follows in another (complete), so
// that the operation may look at the line and take a stop between the two. A reply read is done
// by the operation (it knows what the reply means and how a missing one fails); the step calls
// it at its place and plans kReplyReadTime for it.

#include <functional>
#include <string>
#include <vector>

#include "operations/operation.h"
#include "operations/schedule.h"

namespace orv {

class Step {
  public:
    // What follows the line, in order.
    enum class Then { Pause, ReadReply, PurgeInput, RaiseDtr, RaiseRts };
    // Called for each ReadReply of the step.
    using ReadReply = std::function<void()>;

    // A step that sends `line`.
    explicit Step(Text line) : line_(std::move(line)), hasLine_(true) {}
    // A step of `count` pauses and no line.
    static Step pauses(int count);

    // Builders: a pause before the line; something after it.
    Step& pauseFirst();
    Step& then(Then action, int times = 1);
    // The line's last byte is followed by a read of what the device said so far, taken just
    // before its CR (see sendReadingBeforeCr); send returns it.
    Step& readingBeforeCr();

    // The pauses before the line and the line itself; what was read before its CR, if asked.
    // `atLine` runs after the pauses, right before the line's first byte (where the operation
    // takes a stop, say).
    std::string send(OperationContext& ctx, const std::function<void()>& atLine = {}) const;
    // What follows the line.
    void complete(OperationContext& ctx, const ReadReply& read = {}) const;
    // Both.
    std::string run(OperationContext& ctx, const ReadReply& read = {}) const;

    const Text& line() const { return line_; }
    // The time the step takes by its schedule: 100 ms a byte of the line and its CR, 500 ms a
    // pause, kReplyReadTime a reply read.
    Millis planned() const;

  private:
    Step() = default;

    Text line_;
    bool hasLine_ = false;
    bool readBeforeCr_ = false;
    int pausesFirst_ = 0;
    std::vector<Then> after_;
};

using Steps = std::vector<Step>;

// The time a list of steps takes.
Millis plannedTime(const Steps& steps);

// Sends a line as SendCommand does and returns what the device said since the last read, taken
// just before the line's CR: the device takes a command only at its CR, so what it said before
// still answers the command before.
std::string sendReadingBeforeCr(const Text& line, Port& port, Clock& clock);

}  // namespace orv
