#pragma once
// ComCreate, the transmit side of the link: command lines paced at one byte every 100 ms, and
// the fixed pause between lines. Its third routine, OpenPort, which opens and sets up a named
// port and yields the Port these write to, is declared with the real serial line in
// link/serial_port.h: it needs the platform's serial port, and this part stays plain C++.

#include "base/text.h"
#include "link/clock.h"
#include "link/port.h"

namespace orv {

constexpr Millis kByteInterval = 100;  // before every byte, the first included
constexpr Millis kPauseLength = 500;

// Sends the line followed by CR, waiting 100 ms before each byte. Nothing is read; echoes and
// replies stay in the input for whoever reads next. Write failures go unnoticed.
void SendCommand(const Text& line, Port& port, Clock& clock);

// Waits 500 ms.
void Pause(Clock& clock);

// Sends raw bytes at the same pace, without CR.
void sendPaced(const std::string& bytes, Port& port, Clock& clock);

}  // namespace orv
