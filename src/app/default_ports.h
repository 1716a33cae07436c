#pragma once
// The port list the windows use unless told otherwise: the system's, or the one set here (the
// window tests set one of their own, so that no test touches the machine's ports).

#include "link/port_list.h"

namespace orv::ui {

PortList& defaultPortList();
void setDefaultPortList(PortList* ports);  // nullptr: the system's again

}  // namespace orv::ui
