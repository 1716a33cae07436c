// The reply to one phone-book slot read during read programming: trimmed of its first and
// last byte, then judged as a listed slot, an empty slot (the end of the pass), or neither.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "link/device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::string trimmed = orv::device::trimmedReply(reply);

    if (reply.size() < 3) {
        FUZZ_CHECK(trimmed.empty());
    } else {
        FUZZ_CHECK(trimmed.size() == reply.size() - 2);
        FUZZ_CHECK(reply.compare(1, trimmed.size(), trimmed) == 0);
    }
    const bool listed = orv::device::isListedSlotReply(trimmed);
    const bool emptySlot = orv::device::isEmptySlotReply(trimmed);
    FUZZ_CHECK(listed == (trimmed.size() > 8));
    FUZZ_CHECK(emptySlot == (trimmed.size() >= 4 && trimmed.compare(2, 2, "OK") == 0));
    return 0;
}
