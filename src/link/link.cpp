#include "link/link.h"

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

    // The port in use behind the guard that ends jobs at a line boundary when told to.
    Port& port() override { return guard_; }
    void stopAtLineEnd() { guard_.stop(); }
    TypedLine& typedLine() override { return typedLine_; }
    Clock& clock() override { return *clock_; }

    void openPort(const Text& name) override {
        closePort();
        port_ = OpenPort(name, kBaudRate);
        port_->setHandlers([this] { readArrived(); }, [this] { emit link_.portLost(); });
        port_->purgeAll();
        port_->setDtr();
    }

    void closePort() override {
        if (port_) {
            port_->setHandlers({}, {});
            port_->close();
            port_.reset();
        }
    }

    bool portOpen() const override { return port_ && port_->isOpen(); }

    void stopReader() override { readerStop_ = 1; }

    void startReader() override {
        readerStop_ = 0;
        current().purgeInput();
        current().setDtr();
    }

    bool readerStopped() const override { return readerStop_ != 0; }

    void resumeReader() override {
        readerStop_ = 0;
        current().setDtr();
    }

    // The reader: whatever arrived while the flag is clear goes to the terminal, through the
    // backlog, which the window takes in batches. It runs from the link thread's event loop,
    // and the port also reports arrivals from inside a job's own read; while a job runs it
    // takes nothing, so the job's replies stay the job's.
    void readArrived() {
        if (readerStop_ || inJob_ || !port_) {
            return;
        }
        std::string bytes;
        while (port_->isOpen() && port_->available() > 0) {
            if (!port_->read(port_->available(), bytes)) {
                break;
            }
        }
        if (link_.backlog_.add(bytes)) {
            QMetaObject::invokeMethod(
                &link_, [link = &link_] { link->deliver(); }, Qt::QueuedConnection);
        }
    }

    // Runs one job; afterwards the reader shows what the job left unread, if it runs.
    void runJob(const Job& job) {
        guard_.beginJob();
        inJob_ = true;
        try {
            job(*this);
        } catch (...) {
            inJob_ = false;
            readArrived();
            throw;
        }
        inJob_ = false;
        readArrived();
    }

  private:
    Port& current() { return port_ ? *port_ : noPort_; }

    Link& link_;
    bool inJob_ = false;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<Port> port_;
    NoPort noPort_;
    LineGuard guard_{[this]() -> Port& { return current(); }};
    TypedLine typedLine_;
    unsigned char readerStop_ = 0;  // the reader-stop flag
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

void Link::stopAtLineEnd() {
    worker_->stopAtLineEnd();
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
    QMetaObject::invokeMethod(
        worker_,
        [this, job = std::move(job), done = std::move(done)] {
            std::exception_ptr error;
            try {
                worker_->runJob(job);
            } catch (...) {
                error = std::current_exception();
            }
            if (done) {
                QMetaObject::invokeMethod(
                    this, [done, error] { done(error); }, Qt::QueuedConnection);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace orv
