// A history record's outcome.txt, as the history list reads it back, and a configuration's
// password masking. Properties checked:
//   1. The parser never crashes and refuses exactly when it names a problem, which names the
//      file and a line of it (at most one past the last).
//   2. A taken file has its operation, version and start; it is unfinished exactly when it has
//      no end, and then holds no status, message, figure or unconfirmed number.
//   3. Masking a command list changes nothing but digits, each into "*", and masking twice
//      gives what masking once gave.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "records/history_list.h"
#include "records/password_mask.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    orv::HistoryEntry entry;
    const bool taken = orv::parseHistoryOutcome(text, entry);
    FUZZ_CHECK(taken == entry.problem.empty());
    if (!taken) {
        const std::string head = "outcome.txt, строка ";
        FUZZ_CHECK(entry.problem.compare(0, head.size(), head) == 0);
        std::size_t lines = 1;
        for (char c : text) {
            lines += c == '\n';
        }
        FUZZ_CHECK(std::stoul(entry.problem.substr(head.size())) <= lines);
    } else {
        FUZZ_CHECK(!entry.operation.empty() && !entry.version.empty() && !entry.start.empty());
        FUZZ_CHECK(entry.unfinished() == entry.end.empty());
        if (entry.unfinished()) {
            FUZZ_CHECK(entry.status.empty() && entry.message.empty() && entry.figures.empty() &&
                       entry.unconfirmed.empty());
        }
    }

    const std::string masked = orv::maskCommandListPasswords(text);
    FUZZ_CHECK(masked.size() == text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        FUZZ_CHECK(masked[i] == text[i] || (masked[i] == '*' && text[i] >= '0' && text[i] <= '9'));
    }
    FUZZ_CHECK(orv::maskCommandListPasswords(masked) == masked);
    return 0;
}
