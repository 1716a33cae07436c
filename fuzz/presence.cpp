// The presence check's judgement of one read. The first input byte says whether the read
// succeeded (its low bit); the rest is what was read. Only exactly four bytes ending in
// "01 " may count as a free device.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "link/device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool readOk = (data[0] & 1) != 0;
    const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    const orv::device::Presence presence = orv::device::judgePresence(readOk, reply);

    const bool free = readOk && reply.size() == 4 && reply.compare(1, 3, "01 ") == 0;
    const bool absent = !readOk || reply.empty();
    FUZZ_CHECK((presence == orv::device::Presence::Free) == free);
    FUZZ_CHECK((presence == orv::device::Presence::Absent) == absent);
    return 0;
}
