#pragma once
// A serial line with a scripted device behind it, in virtual time. Every byte the program
// writes is logged with its time; on each CR the responder may answer with bytes that arrive
// after a delay, one byte-time apart. Reads follow the port's time-outs on the virtual clock.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/port.h"

namespace orv::test {

class FakePort : public Port {
  public:
    struct Written {
        std::uint8_t byte;
        std::uint64_t at;  // virtual ms
    };
    // Answer to a line (without its CR): the bytes and how long after the CR they begin.
    struct Answer {
        std::string bytes;
        std::uint64_t delay = 20;
    };
    using Responder = std::function<Answer(const std::string& line)>;

    explicit FakePort(VirtualClock& clock) : clock_(clock) {}

    void setResponder(Responder r) { responder_ = std::move(r); }
    // Called after each byte written, with the line so far (empty right after a CR): a test
    // acts in the middle of a line with it.
    void setWriteWatcher(std::function<void(const std::string& lineSoFar)> w) {
        watcher_ = std::move(w);
    }
    // Bytes that arrive at the given virtual time, as a device sending on its own.
    void arrive(const std::string& bytes, std::uint64_t at, std::uint64_t spacing = 4);

    bool isOpen() const override { return open_; }
    void writeByte(std::uint8_t byte) override;
    bool read(std::size_t max, std::string& out) override;
    std::size_t available() override;
    void purgeInput() override;
    void purgeAll() override { purgeInput(); }
    void setDtr() override { ++dtrRaised; }
    void setRts() override { ++rtsRaised; }
    void close() override { open_ = false; }

    void setOpen(bool open) { open_ = open; }

    // Lines written so far, each without its CR.
    std::vector<std::string> lines() const;
    // Everything written, as bytes.
    std::string bytes() const;

    std::vector<Written> written;
    int dtrRaised = 0;
    int rtsRaised = 0;
    int purges = 0;

  private:
    struct Incoming {
        char byte;
        std::uint64_t at;
    };
    VirtualClock& clock_;
    Responder responder_;
    std::function<void(const std::string&)> watcher_;
    std::string currentLine_;
    std::deque<Incoming> incoming_;
    bool open_ = true;
};

}  // namespace orv::test
