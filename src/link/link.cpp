#include "link/link.h"

#include "link/queued_call.h"
#include "link/thread_handover.h"

#include <QEventLoop>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "link/line_guard.h"
#include "link/serial_port.h"

namespace orv {
namespace {

// Stands in while no port is open: reads fail at once, writes are lost.
class NoPort : public Port {
  public:
    bool isOpen() const override { return false; }
    void writeByte(std::uint8_t) override {}
    bool read(std::size_t, std::string&) override { return false; }
    std::size_t available() override { return 0; }
    void purgeInput() override {}
    void purgeAll() override {}
    void setDtr() override {}
    void setRts() override {}
    void close() override {}
};

}  // namespace

class Link::Worker : public QObject, public LinkContext {
  public:
    Worker(Link& link, std::unique_ptr<Clock> clock) : link_(link), clock_(std::move(clock)) {}
    ~Worker() override { closePort(); }

    // The port in use behind the guard that refuses new lines once the program has closed.
    Port& port() override { return guard_; }
    void refuseLines() { guard_.refuseLines(); }
    Summa& reader() override { return reader_; }
    Clock& clock() override { return *clock_; }

    Port& terminalPort() override { return terminal_ ? *terminal_ : guard_; }

    void setTerminalPort(std::unique_ptr<Port> port) override {
        terminal_ = std::move(port);
        if (port_) {
            setHandlers();
        }
    }

    void openPort(const Text& name) override {
        closePort();
        port_ = OpenPort(name, kBaudRate);
        setHandlers();
        terminalPort().purgeAll();
        terminalPort().setDtr();
    }

    void closePort() override {
        if (port_) {
            port_->setHandlers({}, {});
            terminalPort().close();
            port_.reset();
        }
    }

    bool portOpen() const override { return port_ && port_->isOpen(); }

    // Runs one job; afterwards the reader shows what the job left unread, if it runs.
    void runJob(const Job& job) {
        guard_.beginJob();
        reader_.beginJob();
        try {
            job(*this);
        } catch (...) {
            reader_.endJob();
            throw;
        }
        reader_.endJob();
    }

  private:
    Port& current() { return port_ ? *port_ : noPort_; }
    // The open port tells the reader of arrived bytes and the window of a lost line, through
    // the terminal's port, which notes the loss.
    void setHandlers() {
        terminalPort().setHandlers([this] { reader_.readArrived(); },
                                   [this] { emit link_.portLost(); });
    }

    Link& link_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<Port> port_;
    NoPort noPort_;
    LineGuard guard_{[this]() -> Port& { return current(); }};
    // The terminal's port, put in front of the guard for the terminal's session.
    std::unique_ptr<Port> terminal_;
    // What the reader takes goes to the terminal through the backlog, which the window takes in
    // batches.
    Summa reader_{[this] { return port_ ? &terminalPort() : nullptr; },
                  [this](std::string_view bytes) {
                      if (link_.backlog_.add(bytes)) {
                          callQueued(&link_, [link = &link_] { link->deliver(); });
                      }
                  }};
};

Link::Link(std::unique_ptr<Clock> clock, QObject* parent)
    : QObject(parent), worker_(new Worker(*this, std::move(clock))) {
    deliveryTimer_.setSingleShot(true);
    connect(&deliveryTimer_, &QTimer::timeout, this, &Link::deliver);
    thread_.setObjectName("link");
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

Link::~Link() {
    thread_.quit();
    thread_.wait();
}

void Link::type(std::uint8_t byte) {
    post([byte](LinkContext& link) { link.reader().type(byte, link.terminalPort()); });
}

void Link::refuseLines() {
    worker_->refuseLines();
}

void Link::deliver() {
    if (sinceDelivery_.isValid() && sinceDelivery_.elapsed() < kDeliveryIntervalMs) {
        deliveryTimer_.start(static_cast<int>(kDeliveryIntervalMs - sinceDelivery_.elapsed()));
        return;
    }
    const std::string bytes = backlog_.take().bytes;
    if (!bytes.empty()) {
        emit received(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    sinceDelivery_.start();
}

void Link::post(Job job, Done done) {
    callQueued(worker_, [this, job = std::move(job), done = std::move(done)]() mutable {
        std::exception_ptr error;
        try {
            worker_->runJob(job);
        } catch (...) {
            error = std::current_exception();
        }
        if (done) {
            // Moved, not copied: the exception's last owner is the thread that runs `done`.
            callQueued(this, [done = std::move(done), error = std::move(error)]() mutable {
                done(std::move(error));
            });
        }
    });
}

std::exception_ptr Link::await(Job job, WhileWaiting meanwhile, int boundMs) {
    // Shared with the job, which the link thread may free last, after this thread has taken the
    // error out: that hand-over is marked too, since ThreadSanitizer does not always see this
    // thread's share released while Qt's event dispatch is under way.
    struct Outcome {
        Outcome() = default;
        Outcome(const Outcome&) = delete;
        Outcome& operator=(const Outcome&) = delete;
        ~Outcome() { ORV_TAKEN_OVER(this); }
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::exception_ptr error;
    };
    auto outcome = std::make_shared<Outcome>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    post(
        [job = std::move(job), outcome](LinkContext& link) {
            std::exception_ptr error;
            try {
                job(link);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(outcome->mutex);
                outcome->done = true;
                outcome->error = std::move(error);
            }
            outcome->ended.notify_all();
        },
        [waiting](std::exception_ptr) {
            if (waiting) {
                waiting->quit();
            }
        });
    if (meanwhile == WhileWaiting::HandleEvents) {
        if (boundMs >= 0) {
            QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
        }
        loop.exec();
    }
    std::unique_lock<std::mutex> lock(outcome->mutex);
    if (meanwhile == WhileWaiting::HandleEvents) {
        // The loop ended once the job had, or at the bound.
    } else if (boundMs < 0) {
        outcome->ended.wait(lock, [&] { return outcome->done; });
    } else {
        outcome->ended.wait_for(lock, std::chrono::milliseconds(boundMs),
                                [&] { return outcome->done; });
    }
    // Taken out under the lock, so that the link thread holds no share of it.
    std::exception_ptr error = outcome->done ? std::move(outcome->error) : std::exception_ptr();
    ORV_HANDED_OVER(outcome.get());
    return error;
}

}  // namespace orv
