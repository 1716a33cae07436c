#include "app/default_ports.h"

#include "link/serial_port.h"

namespace orv::ui {
namespace {

PortList* chosenDefault = nullptr;

}  // namespace

PortList& defaultPortList() {
    return chosenDefault ? *chosenDefault : systemPortList();
}

void setDefaultPortList(PortList* ports) {
    chosenDefault = ports;
}

}  // namespace orv::ui
