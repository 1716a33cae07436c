// The port settings file "Dalvorn Terminal.ini". The first input byte chooses what the file is
// (bits 0-1: a regular file holding the rest of the input, a named pipe nobody writes to, a
// folder, or a link to /dev/zero; bits 2-4: the rest repeated 2^n times, so that files past the
// bound are tried too). Properties checked:
//   1. The reader never blocks and never reads without end: a pipe, a folder and a device
//      count as no file (libFuzzer's time-out catches a reader that waits).
//   2. A regular file within the bound gives its first line, up to the first CR or LF; one
//      past the bound counts as no file.
//   3. A name written is read back as it was (names are one line: CR and LF are left out).

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/regular_file.h"
#include "fuzz_check.h"
#include "link/port_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int kind = data[0] & 3;
    const int repeat = 1 << ((data[0] >> 2) & 7);
    std::string content;
    for (int i = 0; i < repeat; ++i) {
        content.append(reinterpret_cast<const char*>(data + 1), size - 1);
    }
    const std::string path = orv::fuzz::scratchFolder() + "/Dalvorn Terminal.ini";
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    switch (kind) {
        case 0:
            orv::fuzz::writeScratchFile(path, content);
            break;
        case 1:
            FUZZ_CHECK(::mkfifo(path.c_str(), 0600) == 0);
            break;
        case 2:
            FUZZ_CHECK(::mkdir(path.c_str(), 0700) == 0);
            break;
        default:
            FUZZ_CHECK(::symlink("/dev/zero", path.c_str()) == 0);
            break;
    }

    const std::optional<orv::Text> name = orv::readPortName(path);
    if (kind != 0 || content.size() > orv::kPortSettingsFileBound.bytes) {
        FUZZ_CHECK(!name);
    } else {
        FUZZ_CHECK(name);
        FUZZ_CHECK(*name == content.substr(0, content.find_first_of("\r\n")));
    }

    std::string oneLine;
    for (char c : content.substr(0, orv::kPortSettingsFileBound.bytes - 2)) {
        if (c != '\r' && c != '\n') {
            oneLine += c;
        }
    }
    std::filesystem::remove_all(path, ignored);
    orv::writePortName(path, oneLine);
    FUZZ_CHECK(orv::readPortName(path) == std::optional<orv::Text>(oneLine));
    return 0;
}
