#include "link/com_create.h"

namespace orv {

void sendPaced(const std::string& bytes, Port& port, Clock& clock) {
    for (unsigned char c : bytes) {
        waitFor(clock, kByteInterval);
        port.writeByte(c);
    }
}

void SendCommand(const Text& line, Port& port, Clock& clock) {
    sendPaced(line + '\r', port, clock);
}

void Pause(Clock& clock) {
    waitFor(clock, kPauseLength);
}

}  // namespace orv
