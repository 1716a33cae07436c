#pragma once
// Time as the link sees it: a 32-bit millisecond count that wraps, and a way to let time pass.
// Every pause and every paced byte goes through a Clock, so long operations can run in
// virtual time in tests while the real clock sleeps instead of burning a core.

#include <cstdint>

namespace orv {

using Millis = std::uint32_t;

class Clock {
  public:
    virtual ~Clock() = default;
    // The millisecond count; it wraps past 2^32.
    virtual Millis now() = 0;
    // Lets at least `ms` milliseconds pass on the calling thread.
    virtual void sleep(Millis ms) = 0;
};

// Waits until `ms` have passed since `start`, the elapsed time taken modulo 2^32, so a wait
// lasts its full length across the clock's wrap.
void waitSince(Clock& clock, Millis start, Millis ms);

// Waits `ms` from now.
inline void waitFor(Clock& clock, Millis ms) {
    waitSince(clock, clock.now(), ms);
}

// The system's monotonic clock, in milliseconds.
class SystemClock : public Clock {
  public:
    Millis now() override;
    void sleep(Millis ms) override;
};

// A clock that only moves when told to, or when someone sleeps on it.
class VirtualClock : public Clock {
  public:
    explicit VirtualClock(std::uint64_t start = 0) : t_(start) {}
    Millis now() override { return static_cast<Millis>(t_); }
    void sleep(Millis ms) override { t_ += ms == 0 ? 1 : ms; }
    void advance(std::uint64_t ms) { t_ += ms; }
    // Milliseconds since the clock was made, without the wrap.
    std::uint64_t elapsed() const { return t_; }

  private:
    std::uint64_t t_;
};

}  // namespace orv
