#pragma once
// The serial line to the device as the program uses it. One implementation talks to a real
// serial port; the tests put a scripted device behind it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace orv {

// The read time-outs the port is set up with: a read of n bytes gives up `kReadTotalConstant +
// n * kReadTotalPerByte` ms after it began, and ends `kReadInterval` ms after a byte when no
// other follows. So a read of one byte waits about 2 ms, a read of 100 bytes at most 101 ms.
constexpr int kReadInterval = 10;
constexpr int kReadTotalPerByte = 1;
constexpr int kReadTotalConstant = 1;
constexpr int kBaudRate = 2400;

class Port {
  public:
    virtual ~Port() = default;

    virtual bool isOpen() const = 0;

    // Writes one byte at once. A byte that cannot be written is lost without a trace.
    virtual void writeByte(std::uint8_t byte) = 0;

    // One read of up to `max` bytes under the time-outs above, appended to `out`. False when
    // the read fails (no port, or the line broke); a read that simply times out is true with
    // nothing appended.
    virtual bool read(std::size_t max, std::string& out) = 0;

    // Bytes received and not read yet.
    virtual std::size_t available() = 0;

    // Discards what the driver holds of received bytes.
    virtual void purgeInput() = 0;
    // Aborts pending reads and writes and discards both buffers.
    virtual void purgeAll() = 0;

    // Raise the modem lines. A line without them (a pseudo-terminal) ignores this.
    virtual void setDtr() = 0;
    virtual void setRts() = 0;

    virtual void close() = 0;

    // For a reader that waits without polling: `handler` runs on the port's thread whenever
    // bytes have arrived, and `lost` once when the line has gone away (the port is closed by
    // then). A port that cannot tell leaves them unused.
    virtual void setHandlers(std::function<void()> arrived, std::function<void()> lost) {
        (void)arrived;
        (void)lost;
    }
};

}  // namespace orv
