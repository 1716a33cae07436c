#pragma once
// The one owner of the serial port. Everything that touches the port (the operations, the
// presence check, the port reader, the terminal's key presses, opening and closing) runs as a
// job on the link thread, one after the other, so the user-interface thread never blocks on
// the port and no reader ever takes bytes that an operation reads for itself. The port reader
// (Summa, link/usumma.h) runs on this thread too, between the jobs.

#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>

#include "base/text.h"
#include "link/clock.h"
#include "link/com_create.h"
#include "link/port.h"
#include "link/port_settings.h"
#include "link/terminal_text.h"
#include "link/typed_line.h"
#include "link/usumma.h"

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

    // The port the terminal reads and types through: port() itself, or the port put in front
    // of it for the terminal's session.
    virtual Port& terminalPort() = 0;
    // Puts `port`, which passes everything on to port(), between the terminal and the line from
    // now on: what the reader takes, the bytes typed, the opening's purge and DTR, the closing
    // and the loss of the line all go through it. Null takes it away.
    virtual void setTerminalPort(std::unique_ptr<Port> port) = 0;

    // The port reader with its reader-stop flag. While the flag is set, nothing that arrives
    // is shown; starting the reader clears the flag, discards what has arrived meanwhile and
    // raises DTR.
    virtual Summa& reader() = 0;
    void stopReader() override { reader().stopReader(); }
    void startReader() override { reader().startReader(); }
    bool readerStopped() { return reader().readerStopped(); }
    void resumeReader() { reader().resumeReader(); }

    // What the terminal typed into the device's line buffer since its last CR.
    TypedLine& typedLine() { return reader().typedLine(); }
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

    // The one way to wait for a job: posts `job` and returns once it has ended, with the
    // exception it ended with. Meanwhile the calling thread either handles its events (its
    // windows are drawn) or blocks. With `boundMs` given it returns after that long at the
    // latest, with nothing, when the job has not ended by then; the job runs on.
    enum class WhileWaiting { HandleEvents, Block };
    std::exception_ptr await(Job job, WhileWaiting meanwhile, int boundMs = -1);

    // The terminal's key press: `byte` goes to the device at once, with the reader stopped
    // around the write (Summa::type), as a job after those posted before it.
    void type(std::uint8_t byte);

    // For the program's end, once its windows have closed (a running operation was stopped by
    // its own StopRequest and has ended before): from the thread that owns this object, no job
    // writes a new line to the device any more; one that tries ends with SilentAbort before its
    // first byte.
    void refuseLines();
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
