#include "link/line_guard.h"

#include "base/errors.h"

namespace orv {

void LineGuard::writeByte(std::uint8_t byte) {
    if (atLineStart_ && refusing()) {
        throw SilentAbort();
    }
    target_().writeByte(byte);
    atLineStart_ = byte == '\r';
}

}  // namespace orv
