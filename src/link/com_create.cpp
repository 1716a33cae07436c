#include "link/com_create.h"

namespace orv {

// Each byte starts 100 ms after the previous one started (the first 100 ms after the call), so
// the time a write itself takes does not add up over a line.
void sendPaced(const std::string& bytes, Port& port, Clock& clock) {
    Millis last = clock.now();
    for (unsigned char c : bytes) {
        waitSince(clock, last, kByteInterval);
        last = clock.now();
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
