#pragma once
// The emulator's registers and SIM phone book as its state file gives them, for the
// end-to-end tests. Kept apart from the window code: the emulator's model uses names that the
// windowing toolkit's keywords take.

#include <map>
#include <string>

namespace orv::e2e {

struct DeviceState {
    std::map<std::string, std::string> registers;  // code -> value
    // index -> number and text
    std::map<int, std::pair<std::string, std::string>> phoneBook;
};

// Parses state-file text; false with `error` set at the first bad line.
bool parseDeviceState(const std::string& text, DeviceState& state, std::string& error);

}  // namespace orv::e2e
