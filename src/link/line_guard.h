#pragma once
// The port as the link's jobs see it. It hands everything on to the port in use; once told to
// stop, it lets the line being sent run out to its CR and refuses the first byte of any new
// line, so that a running operation ends at its next line boundary and no later job writes to
// the device at all. The device's line buffer never keeps half a command. This is the program's
// end; the user's stop of one operation is the operation's own StopRequest, which it takes
// between lines and answers in good order (operations/operation.h).

#include <functional>

#include "link/port.h"
#include "link/stop_request.h"

namespace orv {

class LineGuard : public Port {
  public:
    // `target` gives the port in use at each call (the open port, or one that is not open).
    explicit LineGuard(std::function<Port&()> target) : target_(std::move(target)) {}

    // From any thread. For good: the program is closing.
    void stop() { stop_.request(); }
    bool stopped() const { return stop_.requested(); }

    // A job starts at a line boundary: what an earlier job left unfinished is not its line.
    void beginJob() { atLineStart_ = true; }

    bool isOpen() const override { return target_().isOpen(); }
    // Throws SilentAbort for the first byte of a line once stopped.
    void writeByte(std::uint8_t byte) override;
    bool read(std::size_t max, std::string& out) override { return target_().read(max, out); }
    std::size_t available() override { return target_().available(); }
    void purgeInput() override { target_().purgeInput(); }
    void purgeAll() override { target_().purgeAll(); }
    void setDtr() override { target_().setDtr(); }
    void setRts() override { target_().setRts(); }
    void close() override { target_().close(); }

  private:
    std::function<Port&()> target_;
    StopRequest stop_;
    bool atLineStart_ = true;  // touched by the link thread only
};

}  // namespace orv
