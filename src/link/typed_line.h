#pragma once
// What the terminal typed into the device's line buffer. Characters typed without Enter stay in
// that buffer and would run into the next command ("abcATR2301"), so the next operation first
// ends the line the terminal left open.

#include <cstdint>

#include "link/clock.h"
#include "link/port.h"

namespace orv {

class TypedLine {
  public:
    // One byte the terminal wrote to the device; `sent` is false when no port took it.
    void typed(std::uint8_t byte, bool sent);
    // True while characters were sent since the last CR.
    bool open() const { return open_; }
    // When a line is open: sends CR (after the usual 100 ms), waits the pause for the device's
    // answer and discards it, so that the device's line buffer is clean. Otherwise nothing.
    void end(Port& port, Clock& clock);

  private:
    bool open_ = false;
};

}  // namespace orv
