#include "link/typed_line.h"

#include "link/com_create.h"

namespace orv {

void TypedLine::typed(std::uint8_t byte, bool sent) {
    if (sent) {
        open_ = byte != '\r';
    }
}

void TypedLine::end(Port& port, Clock& clock) {
    if (!open_) {
        return;
    }
    SendCommand(Text(), port, clock);
    open_ = false;
    Pause(clock);
    port.purgeInput();
}

}  // namespace orv
