#include "emulator_state.h"

#include <sstream>

#include "state_file.h"

namespace orv::e2e {

bool parseDeviceState(const std::string& text, DeviceState& state, std::string& error) {
    emulator::StoredState stored;
    std::istringstream in(text);
    const bool ok = emulator::parseState(in, stored, error);
    state.registers = stored.registers;
    state.phoneBook.clear();
    for (const auto& [index, entry] : stored.slots) {
        state.phoneBook[index] = {entry.number, entry.text};
    }
    return ok;
}

}  // namespace orv::e2e
