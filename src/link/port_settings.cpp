#include "link/port_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/config_file.h"
#include "settings/errors.h"

namespace orv {

std::optional<Text> readPortName(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return std::nullopt;
    }
    Text line;
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\r' && c != '\n') {
        line += static_cast<char>(c);
    }
    const bool failed = std::ferror(f) != 0;
    const int error = errno;
    std::fclose(f);
    if (failed) {
        throw runtimeError("I/O error " + std::to_string(error) + ": " +
                           cp1251::fromUtf8(std::strerror(error)));
    }
    return line;
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
