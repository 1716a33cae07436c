// Read programming against a device whose replies come from the input, in virtual time: the
// presence check, the fourteen register reads, both phone-book passes with their ends, the
// making of "1.txt" from the replies and its load. The input is the replies, one for each
// command line in turn, separated by 0xFF bytes (each reply as the program's read finds it, the
// echo of the command's CR first); once they run out, the device answers as an empty one
// does. Properties checked:
//   1. The lines written to "1.txt" load as the loader reads them: the file holds no byte that
//      ends the text for the loader, and the loader's lines are exactly the lines written.
//   2. Whatever the load leaves in the record can be saved.
//   3. The operation ends normally or with a message (a Failure), nothing else; when it ends
//      before "1.txt" is written, the record and the file are as they were.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"
#include "exchange.h"
#include "fake_port.h"
#include "fuzz_check.h"
#include "operations/programming.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "settings/settings_record.h"

namespace {

// The lines as written: each ended by CR LF.
std::vector<std::string> writtenLines(const std::string& file) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < file.size()) {
        const std::size_t end = file.find("\r\n", start);
        FUZZ_CHECK(end != std::string::npos);  // every line, the last too, is ended
        lines.push_back(file.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

const char kUntouched[] = "untouched\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> given =
        orv::fuzz::fields(std::string(reinterpret_cast<const char*>(data), size));
    orv::VirtualClock clock;
    orv::test::FakePort port(clock);
    std::size_t next = 0;
    port.setResponder([&](const std::string& line) -> orv::test::FakePort::Answer {
        if (next < given.size()) {
            return {given[next++], 20};
        }
        if (line.rfind("AT+CPBR=", 0) == 0) {
            return {"\r\r\nOK\r\n", 20};
        }
        return {line.rfind("ATR", 0) == 0 ? "\r00 " : "\rOK ", 20};
    });
    const std::string folder = orv::fuzz::scratchFolder();
    const std::string file = folder + "/1.txt";
    orv::fuzz::writeScratchFile(file, kUntouched);

    orv::fuzz::QuietUser user;
    orv::OperationContext ctx{port, clock, user, user, folder};
    const orv::SettingsRecord before;
    orv::SettingsRecord record;
    try {
        orv::readProgramming(ctx, record);
    } catch (const orv::Failure&) {
    }
    const std::string written = orv::fuzz::readScratchFile(file);
    if (written == kUntouched) {
        FUZZ_CHECK(record == before);
        return 0;
    }
    FUZZ_CHECK(written.find('\0') == std::string::npos);
    FUZZ_CHECK(orv::splitLines(written) == writtenLines(written));
    try {
        orv::encode(record);
    } catch (const orv::Failure& f) {
        std::fprintf(stderr, "the save refused the read-back: %s\n", f.text().c_str());
        FUZZ_CHECK(!"what loads can be saved");
    }
    return 0;
}
