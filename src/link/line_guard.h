#pragma once
// The port as the link's jobs see it. It hands everything on to the port in use. Once the
// program has closed (its windows gone, the running operation stopped in good order by its own
// StopRequest before), it refuses lines for good: a line on its way still runs out to its CR,
// the first byte of any new line is refused, so that no job still queued writes to the device
// and the device's line buffer never keeps half a command. This is no stop of an operation:
// nothing is answered in good order here, the door is only shut.

#include <atomic>
#include <functional>

#include "link/port.h"

namespace orv {

class LineGuard : public Port {
  public:
    // `target` gives the port in use at each call (the open port, or one that is not open).
    explicit LineGuard(std::function<Port&()> target) : target_(std::move(target)) {}

    // From any thread. For good: the program has closed.
    void refuseLines() { refusing_.store(true, std::memory_order_relaxed); }
    bool refusing() const { return refusing_.load(std::memory_order_relaxed); }

    // A job starts at a line boundary: what an earlier job left unfinished is not its line.
    void beginJob() { atLineStart_ = true; }

    bool isOpen() const override { return target_().isOpen(); }
    // Throws SilentAbort for the first byte of a line once lines are refused.
    void writeByte(std::uint8_t byte) override;
    bool read(std::size_t max, std::string& out) override { return target_().read(max, out); }
    std::size_t available() override { return target_().available(); }
    void purgeInput() override { target_().purgeInput(); }
    void purgeAll() override { target_().purgeAll(); }
    void setDtr() override { target_().setDtr(); }
    void setRts() override { target_().setRts(); }
    void close() override { target_().close(); }
    void setHandlers(std::function<void()> arrived, std::function<void()> lost) override {
        target_().setHandlers(std::move(arrived), std::move(lost));
    }

  private:
    std::function<Port&()> target_;
    std::atomic<bool> refusing_{false};
    bool atLineStart_ = true;  // touched by the link thread only
};

}  // namespace orv
