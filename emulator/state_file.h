#pragma once
// The emulator's state file: the device's registers and the SIM card's phone book as text, read
// at start (--state) and written at exit or on request (--dump). One entry per line:
//
//   # comment; blank lines are ignored, and so is everything after a "#" outside quotes
//   register 8001 5A
//   register 8601 "5"
//   slot 5 "8900" 129 "W8900"
//
// "register CODE VALUE": one of the device's register codes and its value as the program writes
// it. "slot INDEX NUMBER TYPE TEXT": phone-book slot 1..250 with its number, number type
// (0..255) and text. Values may be bare words or double-quoted; inside quotes "\\", "\"", "\t",
// "\n", "\r" and "\xHH" stand for their bytes. A later line for the same register or slot wins.
// Registers and slots not named keep what the device has.

#include <istream>
#include <string>

#include "device_model.h"

namespace orv::emulator {

// Adds the entries of `in` to `state`. False with `error` set to "line N: what is wrong" at the
// first bad line; `state` then holds the entries before it.
bool parseState(std::istream& in, StoredState& state, std::string& error);

// Every register, then every filled slot, in the form parseState reads.
std::string formatState(const StoredState& state);

}  // namespace orv::emulator
