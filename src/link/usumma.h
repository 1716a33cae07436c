#pragma once
// Usumma: the port reader Summa, the reader-stop flag by which an operation takes the port from
// it, and the terminal's typing into the device.
//
// Summa is no thread of its own. The link thread alone owns the serial port (link/link.h), and
// Summa is the reader that runs on it: between jobs, whenever the port reports arrived bytes,
// it reads them and hands them on to the terminal. While a job runs it takes nothing, so that
// the job's replies stay the job's; while the reader-stop flag is set it takes nothing either.
// The flag has one writer and one reader, both on the link thread.

#include <cstdint>
#include <functional>
#include <string_view>

#include "link/port.h"
#include "link/typed_line.h"

namespace orv {

// The reader-stop protocol as an operation uses it. stopReader sets the reader-stop flag: from
// then on no byte reaches the terminal. startReader clears it, discards what arrived meanwhile
// and raises DTR, so that the terminal shows the device again.
class ReaderControl {
  public:
    virtual ~ReaderControl() = default;
    virtual void stopReader() = 0;
    virtual void startReader() = 0;
};

class Summa : public ReaderControl {
  public:
    // `port` gives the open port at each call, or null while none is open; `take` is handed each
    // run of bytes the reader read, on the link thread, possibly empty.
    Summa(std::function<Port*()> port, std::function<void(std::string_view)> take)
        : port_(std::move(port)), take_(std::move(take)) {}

    // Sets the reader-stop flag: the reader takes nothing from now on.
    void stopReader() override { readerStop_ = 1; }
    // Clears the flag, discards what has arrived meanwhile and raises DTR.
    void startReader() override;
    // Clears the flag and raises DTR without discarding what has arrived: for a job that
    // discarded the backlog itself before it wrote, so that a quick answer is not lost.
    void resumeReader();
    bool readerStopped() const { return readerStop_ != 0; }

    // The reader's body, run whenever the port reports arrived bytes: unless the flag is set, a
    // job runs or no port is open, everything received is read and handed on.
    void readArrived();

    // A job runs from beginJob to endJob; the port reports arrivals from inside a job's own
    // reads too, and the reader leaves them to the job. endJob shows what the job left unread,
    // if the reader runs.
    void beginJob() { inJob_ = true; }
    void endJob();

    // The terminal's key press, as a job on the link thread: what arrived while the reader ran
    // but before it had its turn shown (the echo of the key before, typed quickly), the reader
    // stopped, what came while it did not run discarded, the byte written through `port` at
    // once (no pause, no CR), the reader resumed. The purge comes before the write, not after
    // it: the device echoes the byte within milliseconds, and a purge after the write could
    // take the echo too, so that the typed character would never appear. A byte that no port
    // takes is lost silently.
    void type(std::uint8_t byte, Port& port);

    // What the terminal typed into the device's line buffer since its last CR.
    TypedLine& typedLine() { return typedLine_; }

  private:
    // Reads everything received and hands it on, unless the flag is set or no port is open.
    void takeArrived();

    std::function<Port*()> port_;
    std::function<void(std::string_view)> take_;
    bool inJob_ = false;
    TypedLine typedLine_;
    unsigned char readerStop_ = 0;  // the reader-stop flag
};

}  // namespace orv
