#include "link/serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <vector>

#include "base/errors.h"
#include "link/port_problems.h"

namespace orv {
namespace {

QString toQt(const Text& text) {
    return QString::fromStdString(cp1251::toUtf8(text));
}

Text toText(const QString& text) {
    return cp1251::fromUtf8(text.toStdString());
}

class SerialPort : public Port {
  public:
    explicit SerialPort(std::unique_ptr<QSerialPort> port) : port_(std::move(port)) {
        QObject::connect(port_.get(), &QSerialPort::readyRead, [this] {
            if (arrived_)
                arrived_();
        });
        QObject::connect(port_.get(), &QSerialPort::errorOccurred,
                         [this](QSerialPort::SerialPortError e) {
                             if (isLineFault(e) && port_->isOpen()) {
                                 // Closed from the event loop, not inside the port's own call.
                                 QMetaObject::invokeMethod(
                                     port_.get(),
                                     [this, e] {
                                         if (lineGone(e)) {
                                             lineLost();
                                         }
                                     },
                                     Qt::QueuedConnection);
                             }
                         });
    }

    void setHandlers(std::function<void()> arrived, std::function<void()> lost) override {
        arrived_ = std::move(arrived);
        lost_ = std::move(lost);
    }
    ~SerialPort() override { close(); }

    bool isOpen() const override { return port_ && port_->isOpen(); }

    void writeByte(std::uint8_t byte) override {
        if (!isOpen()) {
            return;
        }
        const char c = static_cast<char>(byte);
        port_->write(&c, 1);
        // A byte is given 20 ms; one that is still not out then is dropped.
        if (!port_->waitForBytesWritten(20) && port_->bytesToWrite() > 0) {
            port_->clear(QSerialPort::Output);
        }
        checkLine();
    }

    bool read(std::size_t max, std::string& out) override {
        if (!isOpen()) {
            return false;
        }
        QElapsedTimer sinceStart;
        sinceStart.start();
        QElapsedTimer sinceByte;
        const qint64 total = kReadTotalConstant + static_cast<qint64>(max) * kReadTotalPerByte;
        std::size_t got = 0;
        for (;;) {
            if (port_->bytesAvailable() > 0) {
                const QByteArray bytes = port_->read(static_cast<qint64>(max - got));
                out.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
                got += static_cast<std::size_t>(bytes.size());
                sinceByte.start();
                if (got >= max) {
                    return true;
                }
            }
            qint64 left = total - sinceStart.elapsed();
            if (got > 0) {
                left = std::min<qint64>(left, kReadInterval - sinceByte.elapsed());
            }
            if (left <= 0) {
                return true;
            }
            if (!port_->waitForReadyRead(static_cast<int>(left))) {
                if (!checkLine()) {
                    return got > 0;
                }
            }
        }
    }

    // What the module has read ahead and what still waits in the driver: the reader shows the
    // echo of a key typed a moment before even when the next key's job comes before its turn.
    std::size_t available() override {
        if (!isOpen()) {
            return 0;
        }
        int waiting = 0;
        if (::ioctl(static_cast<int>(port_->handle()), FIONREAD, &waiting) != 0 || waiting < 0) {
            waiting = 0;
        }
        return static_cast<std::size_t>(port_->bytesAvailable()) +
               static_cast<std::size_t>(waiting);
    }

    void purgeInput() override {
        if (isOpen()) {
            port_->clear(QSerialPort::Input);
        }
    }

    void purgeAll() override {
        if (isOpen()) {
            port_->clear(QSerialPort::AllDirections);
        }
    }

    void setDtr() override {
        if (isOpen()) {
            port_->setDataTerminalReady(true);
            checkLine();
        }
    }

    void setRts() override {
        if (isOpen()) {
            port_->setRequestToSend(true);
            checkLine();
        }
    }

    void close() override {
        if (port_ && port_->isOpen()) {
            port_->close();
        }
    }

    QSerialPort* qt() { return port_.get(); }

  private:
    // A line without modem lines (a pseudo-terminal) refuses DTR and RTS: that is no fault of
    // the line. A line whose device went away is closed, so nobody reads it again in a loop.
    static bool isLineFault(QSerialPort::SerialPortError e) {
        return e != QSerialPort::NoError && e != QSerialPort::TimeoutError &&
               e != QSerialPort::UnsupportedOperationError;
    }

    bool checkLine() {
        const QSerialPort::SerialPortError error = port_->error();
        port_->clearError();
        if (isLineFault(error) && lineGone(error)) {
            lineLost();
            return false;
        }
        return true;
    }

    // Whether the line behind a fault has gone. The module reports its device gone as such. Any
    // other fault is asked of the system, for a read that found nothing is one too: the event
    // loop saw the device's bytes arrive (the echo of a key typed a moment before), but a job
    // ran before the reader's turn and read or purged them, so the reader's read came back
    // empty. The line is still there; only a hung-up or failed terminal is a lost one.
    bool lineGone(QSerialPort::SerialPortError error) const {
        if (error == QSerialPort::ResourceError) {
            return true;
        }
        pollfd line{static_cast<int>(port_->handle()), 0, 0};
        return ::poll(&line, 1, 0) < 0 || (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    void lineLost() {
        if (port_->isOpen()) {
            close();
            if (lost_)
                lost_();
        }
    }

    std::unique_ptr<QSerialPort> port_;
    std::function<void()> arrived_;
    std::function<void()> lost_;
};

// Group and user names are looked up with buffers that grow until the entry fits.
template <typename Entry, typename Lookup>
bool lookUp(Lookup lookup, Entry& entry, std::vector<char>& buffer) {
    buffer.resize(1024);
    for (;;) {
        Entry* found = nullptr;
        const int error = lookup(&entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && found != nullptr;
    }
}

class SystemPortAccess : public PortAccess {
  public:
    int check(const std::string& path) const override {
        struct stat node {};
        if (::stat(path.c_str(), &node) != 0) {
            return errno;
        }
        if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
            return errno;
        }
        return 0;
    }

    std::string group(const std::string& path) const override {
        struct stat node {};
        if (::stat(path.c_str(), &node) != 0 || node.st_gid == 0 ||
            (node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
            return {};
        }
        struct group entry {};
        std::vector<char> buffer;
        const bool found =
            lookUp([gid = node.st_gid](struct group* e, char* b, std::size_t n,
                                       struct group** r) { return ::getgrgid_r(gid, e, b, n, r); },
                   entry, buffer);
        return found && entry.gr_name ? std::string(entry.gr_name) : std::string();
    }

    std::string user() const override {
        struct passwd entry {};
        std::vector<char> buffer;
        const bool found =
            lookUp([uid = ::geteuid()](struct passwd* e, char* b, std::size_t n,
                                       struct passwd** r) { return ::getpwuid_r(uid, e, b, n, r); },
                   entry, buffer);
        if (found && entry.pw_name) {
            return entry.pw_name;
        }
        const char* name = std::getenv("USER");
        return name ? name : "$USER";
    }
};

class SystemPortList : public PortList {
  public:
    std::vector<PortEntry> ports() override {
        // The stable names of USB adapters: links under /dev/serial/by-id to the kernel's device.
        std::map<QString, std::vector<Text>> stable;
        const QDir byId(QStringLiteral("/dev/serial/by-id"));
        for (const QString& link :
             byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            const QFileInfo info(byId.filePath(link));
            const QString device = info.canonicalFilePath();
            if (!device.isEmpty()) {
                stable[device].push_back(toText(info.absoluteFilePath()));
            }
        }
        std::vector<SystemPort> found;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            SystemPort port;
            port.device = toText(info.systemLocation());
            port.description = toText(info.description());
            port.usb = info.hasVendorIdentifier();
            const QString device = QFileInfo(info.systemLocation()).canonicalFilePath();
            if (auto it = stable.find(device); it != stable.end()) {
                port.stableNames = it->second;
                port.usb = true;
            }
            found.push_back(std::move(port));
        }
        return arrangePorts(std::move(found));
    }

    bool present(const Text& name) override {
        return !name.empty() && QFileInfo::exists(toQt(name));
    }
};

}  // namespace

const PortAccess& systemPortAccess() {
    static const SystemPortAccess access;
    return access;
}

PortList& systemPortList() {
    static SystemPortList list;
    return list;
}

std::unique_ptr<Port> OpenPort(const Text& name, int baudRate, const PortAccess& access) {
    const QString qname = toQt(name);
    if (qname.isEmpty()) {
        throw PortFailure(PortProblem::Missing, portMissingMessage(name));
    }
    // An absolute path is taken as it is; anything else is relative to the current folder.
    const QString path = QFileInfo(qname).absoluteFilePath();
    const std::string native = QFile::encodeName(path).toStdString();
    // The system's own reason for a refusal, before the serial port module, which reports a port
    // the user may not open and one that another program holds alike.
    if (const int error = access.check(native); error != 0) {
        switch (problemOfErrno(error)) {
            case PortProblem::Missing:
                throw PortFailure(PortProblem::Missing, portMissingMessage(name));
            case PortProblem::NoAccess:
                throw PortFailure(PortProblem::NoAccess,
                                  portNoAccessMessage(name, access.group(native), access.user()));
            default:
                throw PortFailure(PortProblem::Busy, portBusyMessage(name));
        }
    }
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    if (!port->open(QIODevice::ReadWrite)) {
        switch (port->error()) {
            case QSerialPort::UnsupportedOperationError:
                // Opened, but its line parameters could not be read: not a serial line at all.
                throw PortFailure(PortProblem::Unsupported,
                                  cp1251::fromUtf8("COM порт не поддерживает необходимые "
                                                   "настройки. Выбирете другой порт"));
            case QSerialPort::DeviceNotFoundError:
                throw PortFailure(PortProblem::Missing, portMissingMessage(name));
            default:
                // Locked or held exclusively by another program.
                throw PortFailure(PortProblem::Busy, portBusyMessage(name));
        }
    }
    // One port, one program: the lock is taken on the device itself, so a second opening by
    // another name of the same device (its /dev/serial/by-id link, any symbolic link) meets it
    // too, and it holds for root, whom the terminal's own exclusive mode lets through. It goes
    // with the last descriptor of this opening.
    if (::flock(static_cast<int>(port->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port->close();
        throw PortFailure(PortProblem::Busy, portBusyMessage(name));
    }
    const bool set = port->setBaudRate(baudRate) && port->setDataBits(QSerialPort::Data8) &&
                     port->setParity(QSerialPort::NoParity) &&
                     port->setStopBits(QSerialPort::OneStop) &&
                     port->setFlowControl(QSerialPort::NoFlowControl);
    if (!set) {
        port->close();
        throw PortFailure(PortProblem::Unsupported,
                          cp1251::fromUtf8("COM порт не поддерживает текущие установки. "
                                           "Переключите устройство на другой COM-порт."));
    }
    // DTR and RTS stay low until raised; a line without them ignores this.
    port->setDataTerminalReady(false);
    port->setRequestToSend(false);
    port->clearError();
    // What arrives while nobody reads is kept up to this much, then the driver holds it.
    port->setReadBufferSize(1 << 16);
    return std::make_unique<SerialPort>(std::move(port));
}

}  // namespace orv
