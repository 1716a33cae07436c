#pragma once
// The device's side of a byte transcript played back (orvelin9-emulator --replay): each time the
// program has sent the line the transcript holds next, the device answers with the bytes the
// program read after that line, each batch at its recorded delay after the line's end. A line
// ends with CR, Ctrl-Z (the end of an SMS text) or ESC (its cancel). A line that differs from
// the recorded one ends the replay: divergence() says which, with both texts. In a masked
// transcript a "*" of a recorded line matches any digit, and a "*" the device sent goes out as
// "0".
//
// Pure logic like DeviceModel: bytes come in with their time, and what goes out is a queue of
// bytes with the time each is due.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "device_model.h"
#include "transcript_reader.h"

namespace orv::emulator {

class ReplayModel {
  public:
    explicit ReplayModel(const Transcript& transcript);

    void receive(std::uint8_t byte, Millis now);
    std::string takeOutput(Millis now);
    std::optional<Millis> nextOutputTime() const;

    // How many recorded lines came in as recorded.
    std::size_t linesMatched() const { return next_; }
    std::size_t linesRecorded() const { return exchanges_.size(); }
    // Set once a line differs from the record (or comes after the record's last line).
    bool diverged() const { return !divergence_.empty(); }
    const std::string& divergence() const { return divergence_; }

    // A batch of the device's bytes is put out this long before the read that took it ended
    // (the time the transcript holds), so that it has arrived when the program reads again;
    // never before the read before it ended, nor before a purge that came after the line, plus
    // kAfterPurgeMs.
    static constexpr Millis kLeadMs = 50;
    static constexpr Millis kAfterPurgeMs = 10;

  private:
    struct Batch {
        Millis delay;  // after the line's end
        std::string bytes;
    };
    struct Exchange {
        std::string line;  // with its terminator
        std::size_t lineNo;
        std::vector<Batch> answer;
    };
    bool matches(const std::string& expected, const std::string& got) const;

    bool masked_;
    std::vector<Exchange> exchanges_;
    std::size_t next_ = 0;
    std::string line_;
    std::deque<std::pair<Millis, std::string>> out_;  // due time, bytes; in order
    std::string divergence_;
};

}  // namespace orv::emulator
