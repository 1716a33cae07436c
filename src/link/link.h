#pragma once
// The one owner of the serial port. Everything that touches the port (the operations, the
// presence check, the port reader, the terminal's key presses, opening and closing) runs as a
// job on the link thread, one after the other, so the user-interface thread never blocks on
// the port and no reader ever takes bytes that an operation reads for itself.

#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>

#include "link/clock.h"
#include "link/com_create.h"
#include "link/port.h"
#include "link/port_settings.h"
#include "link/terminal_text.h"
#include "link/typed_line.h"
#include "operations/operation.h"
#include "settings/text.h"

namespace orv {

// What a job works with, on the link thread.
class LinkContext : public ReaderControl {
  public:
    virtual ~LinkContext() = default;
    // The open port, or a closed one whose reads fail and whose writes are lost.
    virtual Port& port() = 0;
    virtual Clock& clock() = 0;

    // Opens the named port in place of the one open now and prepares it: both buffers
    // purged, DTR raised. Throws the Failure of OpenPort; no port is open then.
    virtual void openPort(const Text& name) = 0;
    virtual void closePort() = 0;
    virtual bool portOpen() const = 0;

    // The reader-stop protocol. While the flag is set, nothing that arrives is shown; starting
    // the reader clears the flag, discards what has arrived meanwhile and raises DTR.
    void stopReader() override = 0;
    void startReader() override = 0;
    virtual bool readerStopped() const = 0;
    // Clears the flag and raises DTR without discarding what has arrived: for a job that
    // discarded the backlog itself before it wrote, so that a quick answer is not lost.
    virtual void resumeReader() = 0;

    // What the terminal typed into the device's line buffer since its last CR.
    virtual TypedLine& typedLine() = 0;
};

// The main window's port opening as a job on the link thread: the closing, the three pauses
// and OpenPort all act on the link's port and clock.
class LinkPortOpening : public PortOpening {
  public:
    explicit LinkPortOpening(LinkContext& link) : link_(link) {}
    void closePort() override { link_.closePort(); }
    void pause() override { Pause(link_.clock()); }
    void openPort(const Text& name) override { link_.openPort(name); }

  private:
    LinkContext& link_;
};

class Link : public QObject {
    Q_OBJECT
  public:
    using Job = std::function<void(LinkContext&)>;
    using Done = std::function<void(std::exception_ptr)>;

    // Starts the link thread. The reader starts with the flag clear and waits for a port.
    explicit Link(std::unique_ptr<Clock> clock, QObject* parent = nullptr);
    // Closes the port and ends the thread after the job that runs now.
    ~Link() override;

    // Runs `job` on the link thread after the jobs posted before it. `done`, if given, runs
    // afterwards on the thread that owns this object, with the exception the job ended with.
    void post(Job job, Done done = {});

    // For the program's end, from the thread that owns this object: the job that runs now
    // finishes the line it is sending and ends (SilentAbort) before the first byte of its next
    // line; no job writes to the device afterwards.
    void stopAtLineEnd();
    // At most this often the window is handed what the reader took, counted from the end of
    // the last hand-over, so that the window has time for the user between two batches.
    static constexpr int kDeliveryIntervalMs = 50;

  signals:
    // Bytes the reader took from the port, in the order they came, in batches: what came within
    // one delivery interval comes at once. Of a flood, only what the terminal keeps comes
    // (TerminalBacklog).
    void received(const QByteArray& bytes);
    // The open port went away (its device vanished); it has been closed.
    void portLost();

  private:
    class Worker;
    // On this object's thread: hands what waits in the backlog to the window, or sets the timer
    // for when the delivery interval has passed.
    void deliver();

    TerminalBacklog backlog_;
    QElapsedTimer sinceDelivery_;
    QTimer deliveryTimer_;
    QThread thread_;
    Worker* worker_;
};

}  // namespace orv
