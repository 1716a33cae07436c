// Recipient files of the SMS broadcast, over any file content. Properties checked:
//   1. A file within the bound is read whole; every line read is a recipient, and no
//      recipient holds a line break or a zero byte (a zero byte ends the text).
//   2. The recipients written back one per line, each ended by CR LF, read as the same list.
//   3. The lines together hold no more bytes than the file.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "fuzz_check.h"
#include "sms/recipients.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = orv::fuzz::scratchFolder() + "/recipients.txt";
    orv::fuzz::writeScratchFile(path, std::string(reinterpret_cast<const char*>(data), size));
    orv::RecipientList recipients;
    try {
        recipients = orv::readRecipients(path);
    } catch (const orv::Failure& f) {
        std::fprintf(stderr, "a small regular file was refused: %s\n", f.text().c_str());
        FUZZ_CHECK(!"a file within the bound is read");
    }
    std::size_t total = 0;
    std::string again;
    for (const orv::Text& line : recipients) {
        FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        total += line.size();
        again += line + "\r\n";
    }
    FUZZ_CHECK(total <= size);
    orv::fuzz::writeScratchFile(path, again);
    FUZZ_CHECK(orv::readRecipients(path) == recipients);
    return 0;
}
