#pragma once
// The schedule of an operation and the stops between its lines.
//
// Every line costs 100 ms a byte with its CR, every pause 500 ms, and a reply read that finds
// its answer waiting ends 10 ms after it began. An operation knows before it starts which lines
// and pauses it will send: it is a list of steps (operations/step.h), each knowing its own time
// (read programming knows the most its scan can take), so the time it still takes is counted
// from that list, not guessed, and told to the user after every line.
//
// A stop the user asked for is taken at a line boundary only: the operation looks at the
// request right before and right after each line it sends, never inside one.

#include "link/com_create.h"
#include "link/port.h"
#include "operations/operation.h"

namespace orv {

// The time one line takes on the wire: 100 ms for each byte and for its CR.
inline Millis lineTime(const Text& line) {
    return static_cast<Millis>(line.size() + 1) * kByteInterval;
}

// A reply read that finds the whole answer waiting ends this long after it began.
constexpr Millis kReplyReadTime = kReadInterval;

// What is left of an operation's schedule; each change is told to the user.
class TimeLeft {
  public:
    explicit TimeLeft(OperationUser& user) : user_(user) {}

    // The rest of the schedule from now; `upperBound` when it is the most the rest can take.
    void set(Millis left, bool upperBound = false) {
        left_ = left;
        upperBound_ = upperBound;
        user_.setTimeLeft(left_, upperBound_);
    }
    // A step of the schedule is done: what is left shrinks by the step's planned time.
    void done(Millis planned) {
        left_ = planned < left_ ? left_ - planned : 0;
        user_.setTimeLeft(left_, upperBound_);
    }
    Millis left() const { return left_; }

  private:
    OperationUser& user_;
    Millis left_ = 0;
    bool upperBound_ = false;
};

// How the progress bar says it: "осталось 3 мин 20 с", "осталось не более 45 с" (code page
// 1251). Whole seconds, rounded up, so that the figure reaches 0 only when the run ends.
Text timeLeftText(Millis left, bool upperBound);

// Thrown at a line boundary once a stop was asked for. The operation catches it, sends the
// line that closes its run, and ends with Stopped.
struct StopPoint {};

// A line boundary: ends the run here when a stop was asked for.
inline void lineBoundary(const OperationContext& ctx) {
    if (ctx.stopRequested()) {
        throw StopPoint();
    }
}

}  // namespace orv
