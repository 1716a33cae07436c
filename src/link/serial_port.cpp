#include "link/serial_port.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include "settings/errors.h"

namespace orv {
namespace {

QString toQt(const Text& text) {
    return QString::fromStdString(cp1251::toUtf8(text));
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
                                     port_.get(), [this] { lineLost(); }, Qt::QueuedConnection);
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

    std::size_t available() override {
        return isOpen() ? static_cast<std::size_t>(port_->bytesAvailable()) : 0;
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
        const bool fault = isLineFault(port_->error());
        port_->clearError();
        if (fault) {
            lineLost();
        }
        return !fault;
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

}  // namespace

std::unique_ptr<Port> OpenPort(const Text& name, int baudRate) {
    const QString qname = toQt(name);
    auto port = std::make_unique<QSerialPort>();
    // An absolute path is taken as it is; anything else is relative to the current folder.
    port->setPortName(qname.isEmpty() ? QString() : QFileInfo(qname).absoluteFilePath());
    if (!qname.isEmpty() && !port->open(QIODevice::ReadWrite) &&
        port->error() == QSerialPort::UnsupportedOperationError) {
        // Opened, but its line parameters could not be read: not a serial line at all.
        throw Failure(MessageKind::Plain,
                      cp1251::fromUtf8("COM порт не поддерживает необходимые настройки. "
                                       "Выбирете другой порт"));
    }
    if (!port->isOpen()) {
        throw Failure(MessageKind::Plain,
                      name + cp1251::fromUtf8(" занят другим приложением. Попробуйте подключить "
                                              "к другому порту"));
    }
    const bool set = port->setBaudRate(baudRate) && port->setDataBits(QSerialPort::Data8) &&
                     port->setParity(QSerialPort::NoParity) &&
                     port->setStopBits(QSerialPort::OneStop) &&
                     port->setFlowControl(QSerialPort::NoFlowControl);
    if (!set) {
        port->close();
        throw Failure(MessageKind::Plain,
                      cp1251::fromUtf8("COM порт не поддерживает текущие установки. Переключите "
                                       "устройство на другой COM-порт."));
    }
    // DTR and RTS stay low until raised; a line without them ignores this.
    port->setDataTerminalReady(false);
    port->setRequestToSend(false);
    port->clearError();
    // What arrives while nobody reads is kept up to this much, then the driver holds it.
    port->setReadBufferSize(1 << 16);
    return std::make_unique<SerialPort>(std::move(port));
}

std::vector<Text> availablePorts() {
    std::vector<Text> names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        names.push_back(cp1251::fromUtf8(info.systemLocation().toStdString()));
    }
    return names;
}

}  // namespace orv
