#pragma once
// TranscriptPort, the byte transcript of a serial exchange: a port in front of another that
// passes everything through and writes every byte in both directions, with its time, and the
// port's events to a text file as they happen. The emulator's replay plays the device's side of
// such a file back (orvelin9-emulator --replay).
//
// The file, one event per line, each line ended by LF:
//
//   orvelin9 transcript 1              first line (" masked" after it: password digits are "*")
//   0 open /dev/ttyUSB0                the port, by the name it was opened under
//   0 dtr / 0 rts                      a modem line raised
//   100 > A                            one byte the program sent
//   1810 purge-input / purge-all       what was received and not read is discarded
//   2330 < \r01                        bytes one read took from the device
//   2400 lost                          the line went away
//   2400 close                         the port was closed
//   # ...                              a remark; "# dropped ..." where the oldest part was cut
//
// The number is the milliseconds since the transcript began. Bytes from "!" to "~" stand as
// they are, a space too unless it ends the line; every other byte is escaped: "\r", "\n", "\\"
// and "\xHH" (two hexadecimal digits). Each line is flushed as it is written, so a crash or a
// pulled cable leaves the exchange up to that moment. Past the bound the older half of the file
// is dropped: what is kept starts again with the first line and a "# dropped" remark.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "link/clock.h"
#include "link/port.h"

namespace orv {

constexpr std::uint64_t kTranscriptBound = 50ull * 1024 * 1024;
constexpr std::string_view kTranscriptHeader = "orvelin9 transcript 1";

// The bytes as the transcript writes them (see above).
std::string escapeTranscriptBytes(std::string_view bytes);

// The bytes an escaped text stands for; false on a bad escape or on a byte that would have
// been escaped.
bool unescapeTranscriptBytes(std::string_view text, std::string& bytes);

// Saves a copy of the transcript at `from` as the file `to`, replacing it atomically. Throws the
// Failure of a file that cannot be read or saved.
void copyTranscript(const std::string& from, const std::string& to);

// Writes the transcript's lines to its file. A file that cannot be written is given up at once
// (ok() turns false); the exchange goes on without it.
class TranscriptWriter {
  public:
    TranscriptWriter(const std::string& path, Clock& clock, std::uint64_t bound = kTranscriptBound);
    ~TranscriptWriter();
    TranscriptWriter(const TranscriptWriter&) = delete;
    TranscriptWriter& operator=(const TranscriptWriter&) = delete;

    bool ok() const { return file_ != nullptr; }
    // The error number of the failure that ended the writing, 0 while it goes on.
    int error() const { return error_; }

    void sent(std::uint8_t byte) {
        line(">", escapeTranscriptBytes(std::string_view(reinterpret_cast<const char*>(&byte), 1)));
    }
    void received(std::string_view bytes) { line("<", escapeTranscriptBytes(bytes)); }
    void event(std::string_view word, std::string_view detail = {}) { line(word, detail); }

  private:
    void line(std::string_view word, std::string_view rest);
    std::uint64_t elapsed();
    void dropOldest();
    void fail();

    std::string path_;
    Clock& clock_;
    std::uint64_t bound_;
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t elapsed_ = 0;
    Millis last_ = 0;
    int error_ = 0;
};

// The port with its transcript. The inner port must outlive it.
class TranscriptPort : public Port {
  public:
    // `portName` goes into the "open" line, written now when the inner port is open, else at
    // the first byte written.
    TranscriptPort(Port& inner, Clock& clock, const std::string& path, const std::string& portName,
                   std::uint64_t bound = kTranscriptBound);

    const TranscriptWriter& writer() const { return writer_; }

    bool isOpen() const override { return inner_.isOpen(); }
    void writeByte(std::uint8_t byte) override;
    bool read(std::size_t max, std::string& out) override;
    std::size_t available() override { return inner_.available(); }
    void purgeInput() override;
    void purgeAll() override;
    void setDtr() override;
    void setRts() override;
    void close() override;
    void setHandlers(std::function<void()> arrived, std::function<void()> lost) override;

  private:
    void noteOpen();
    void noteLost();

    Port& inner_;
    TranscriptWriter writer_;
    std::string portName_;
    bool openNoted_ = false;
    bool lostNoted_ = false;
};

}  // namespace orv
