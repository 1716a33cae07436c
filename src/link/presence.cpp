#include "link/presence.h"

#include "base/errors.h"
#include "link/com_create.h"
#include "link/device.h"
#include "settings/device_vocabulary.h"

namespace orv {

void Connect(Port& port, Clock& clock) {
    SendCommand(device::readCommand(device::kPresenceRegister), port, clock);
    port.setDtr();
    port.purgeInput();  // the echo of the command
    port.setDtr();
    Pause(clock);
    std::string reply;
    const bool ok = port.read(device::kReplyBuffer, reply);
    switch (device::judgePresence(ok, reply)) {
        case device::Presence::Absent:
            throw Failure(MessageKind::Error,
                          cp1251::fromUtf8("GSM-Тарк Орвелин-9 не подключен. Проверте "
                                           "правильность выбраного порта"),
                          Outcome::DeviceTrouble);
        case device::Presence::Busy:
            throw Failure(MessageKind::Error,
                          cp1251::fromUtf8("GSM-Тарк Орвелин-9 в активном состоянии. "
                                           "Программирование не возможно"),
                          Outcome::DeviceTrouble);
        case device::Presence::Free:
            return;
    }
}

}  // namespace orv
