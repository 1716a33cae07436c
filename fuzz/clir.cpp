// The CLIR query's reply: the header at its fixed place, the status character and the answer
// for it. A message exists exactly for the status characters "0" to "4"; any other status, or
// none, gets the warning that names it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "link/device.h"
#include "operations/line_services.h"
#include "settings/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const std::optional<char> status = orv::device::clirStatus(reply);

    const bool hasHeader = reply.size() >= 9 && reply.compare(3, 6, "+CLIR:") == 0;
    FUZZ_CHECK(status.has_value() == hasHeader);
    if (status) {
        FUZZ_CHECK(*status == (reply.size() >= 13 ? reply[12] : '\0'));
        const orv::Text message = orv::device::clirMessage(*status);
        FUZZ_CHECK(message.empty() == !(*status >= '0' && *status <= '4'));
        if (message.empty()) {
            FUZZ_CHECK(!orv::clirUnreadableMessage(reply).empty());
        }
    }
    return 0;
}
