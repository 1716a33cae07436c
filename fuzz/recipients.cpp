// The recipient file reader over any file content. The input is written to a temporary file,
// since the reader takes a path. Every line read is a recipient; its number is the leading "+"
// and digits of the line, whole, or nothing.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "settings/errors.h"
#include "sms/recipients.h"

namespace {

// The folder of the scratch file: memory-backed when the system has one, since rewriting a
// file on disk for every input slows the run a hundredfold.
std::string scratchFolder() {
    if (::access("/dev/shm", W_OK | X_OK) == 0) {
        return "/dev/shm";
    }
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

// One file per process, rewritten for each input and removed at exit.
const std::string& scratchPath() {
    static const std::string path = [] {
        std::string pattern = scratchFolder() + "/orv-recipients-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        FUZZ_CHECK(fd >= 0);
        ::close(fd);
        return pattern;
    }();
    return path;
}

void removeScratch() {
    std::remove(scratchPath().c_str());
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number is the line's whole leading run of "+" and digits, at most 20 characters; a line
// without one, or with a longer one, has none.
void checkNumber(const orv::Text& line, const orv::Text& number) {
    const std::size_t from = !line.empty() && line[0] == '+' ? 1 : 0;
    std::size_t run = from;
    while (run < line.size() && isDigit(line[run])) {
        ++run;
    }
    if (run == from || run > orv::kRecipientNumberMax) {
        FUZZ_CHECK(number.empty());
    } else {
        FUZZ_CHECK(number == line.substr(0, run));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratchPath();
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);

    orv::RecipientList recipients;
    try {
        recipients = orv::readRecipients(scratchPath());
    } catch (const orv::Failure&) {
        return 0;
    } catch (const std::logic_error&) {
        // The reader is not there yet: nothing to judge.
        return 0;
    }
    std::size_t total = 0;
    for (const orv::Text& line : recipients) {
        FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        checkNumber(line, orv::recipientNumber(line));
        total += line.size();
    }
    FUZZ_CHECK(total <= size);
    return 0;
}
