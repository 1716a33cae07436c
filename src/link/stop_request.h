#pragma once
// The stop of one running device operation: Escape in the progress window answered Yes, or the
// program told to close by a signal. Made from any thread; each operation run has its own
// instance (OperationContext::stop, operations/operation.h). The operation looks at it only at
// a line boundary: after the CR of the line it sends and before the first byte of the next,
// never inside a line. There it sends the line that closes its run, starts the port reader
// again and ends with Stopped, whose message says what state the device and the window are in.

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
