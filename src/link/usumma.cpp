#include "link/usumma.h"

#include <string>

namespace orv {

void Summa::startReader() {
    readerStop_ = 0;
    if (Port* port = port_()) {
        port->purgeInput();
        port->setDtr();
    }
}

void Summa::resumeReader() {
    readerStop_ = 0;
    if (Port* port = port_()) {
        port->setDtr();
    }
}

void Summa::readArrived() {
    if (inJob_) {
        return;
    }
    takeArrived();
}

void Summa::takeArrived() {
    Port* port = port_();
    if (readerStop_ || !port) {
        return;
    }
    std::string bytes;
    while (port->isOpen() && port->available() > 0) {
        if (!port->read(port->available(), bytes)) {
            break;
        }
    }
    take_(bytes);
}

void Summa::endJob() {
    inJob_ = false;
    readArrived();
}

void Summa::type(std::uint8_t byte, Port& port) {
    takeArrived();
    stopReader();
    port.purgeInput();
    const bool sent = port.isOpen();
    port.writeByte(byte);
    typedLine_.typed(byte, sent);
    resumeReader();
}

}  // namespace orv
