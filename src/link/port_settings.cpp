#include "link/port_settings.h"

#include <cstring>

#include "base/errors.h"
#include "base/regular_file.h"
#include "settings/config_file.h"

namespace orv {

std::optional<Text> readPortName(const std::string& path) {
    std::string content;
    try {
        content = readRegularFile(path, kPortSettingsFileBound);
    } catch (const FileRefused& refused) {
        // Missing, not a regular file, or longer than any port name: as if there were none.
        if (refused.reason() != FileRefused::Reason::ReadFailed) {
            return std::nullopt;
        }
        throw runtimeError("I/O error " + std::to_string(refused.error()) + ": " +
                           cp1251::fromUtf8(std::strerror(refused.error())));
    }
    return content.substr(0, content.find_first_of("\r\n"));
}

void writePortName(const std::string& path, const Text& name) {
    saveLines(path, {name});
}

void activatePort(PortFlags& flags, PortOpening& link, const std::optional<Text>& name) {
    if (!(flags.firstActivation && !flags.portChanged)) {
        if (flags.firstActivation && flags.portChanged) {
            if (flags.portOpen) {
                link.closePort();
                flags.portOpen = 0;
            }
            link.pause();
            link.pause();
            link.pause();
        }
        flags.portOpen = 0;
        link.openPort(name.value_or(Text()));
        flags.portOpen = 1;
    }
    flags.firstActivation = 1;
    flags.portChanged = 0;
}

}  // namespace orv
