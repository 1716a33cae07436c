#pragma once
// A request to stop, made from any thread and looked at by the link thread only at a line
// boundary, never inside a line. Two stops are built on it: the user's stop of a device
// operation (OperationContext::stop, operations/operation.h), which the operation takes between
// its lines and answers in good order, and the program's end (LineGuard, Link::stopAtLineEnd),
// which refuses the first byte of the next line so that nothing more reaches the device.

#include <atomic>

namespace orv {

class StopRequest {
  public:
    void request() { requested_.store(true, std::memory_order_relaxed); }
    bool requested() const { return requested_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> requested_{false};
};

}  // namespace orv
