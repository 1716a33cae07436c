#pragma once
// Masking the device's password in what a history record holds, for a support bundle that
// leaves the customer's premises. The password travels as the values of the password-digit
// registers (9101 to 9701): in a configuration file and "1.txt" as the lines "ATW9p01" and the
// value, on the wire as the same line sent byte by byte, echoed by the device, and as the
// device's answer to it or to the read "ATR9p01". Every digit of such a value is written as
// "*", found by that structure (the register lines and the replies to them), never by looking
// for the digits elsewhere: a phone number that happens to hold them stays as it is.

#include <string>

namespace orv {

// A configuration file or a command list ("1.txt"): every digit of a password-digit register
// line's value (after "ATW9p01") as "*". The line ends and every other byte are kept.
std::string maskCommandListPasswords(const std::string& text);

// Whether the text is a byte transcript (it starts with the transcript's first line).
bool isTranscriptText(const std::string& text);

// A byte transcript (transcript.h), masked in both directions and marked so on its first line
// ("orvelin9 transcript 1 masked"), which the emulator's replay takes: a masked digit the
// program sent matches any digit, one the device sent is answered as "0". Masked are the
// value of a password-digit register line the program sends, its echo by the device and the
// device's answer to a write or read of such a register; a line that does not parse is left
// out, with a remark in its place, rather than copied unmasked.
std::string maskTranscriptPasswords(const std::string& transcript);

}  // namespace orv
