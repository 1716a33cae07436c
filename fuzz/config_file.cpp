// The configuration file reader over any text: saved configuration files, the working-state
// file and the read-back "1.txt" all pass through it. A rejected file (the format message, a
// missing line, a conversion error) is an expected outcome; crashes, undefined behaviour and
// leaks are findings, and so is a record that breaks the reader's own rules.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "settings/config_file.h"
#include "settings/errors.h"
#include "settings/settings_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    orv::SettingsRecord record;
    try {
        orv::loadFromText(bytes, record, "fuzz.cfg");
    } catch (const orv::Failure&) {
    } catch (const orv::SilentAbort&) {
    }
    // Whatever the load did, the password holds at most seven characters, and every table
    // still ends with the template's empty record, after the numbers that the load added.
    FUZZ_CHECK(record.password.size() <= 7);
    for (const orv::PhoneTable& table : record.tables) {
        FUZZ_CHECK(!table.empty());
        FUZZ_CHECK(table.back().number.empty());
        FUZZ_CHECK(table.back().name.empty());
    }
    return 0;
}
