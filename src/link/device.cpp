#include "link/device.h"

#include "base/text.h"

namespace orv::device {

Presence judgePresence(bool readOk, const std::string& reply) {
    if (!readOk || reply.empty()) {
        return Presence::Absent;
    }
    return reply.compare(1, std::string::npos, kPresenceReply) == 0 ? Presence::Free
                                                                    : Presence::Busy;
}

std::string trimmedReply(const std::string& reply) {
    if (reply.size() < 3) {
        return std::string();
    }
    return reply.substr(1, reply.size() - 2);
}

bool isListedSlotReply(const std::string& trimmed) {
    return trimmed.size() > 8;
}

bool isEmptySlotReply(const std::string& trimmed) {
    return trimmed.size() >= 4 && trimmed.compare(2, 2, kEmptySlotReply) == 0;
}

std::optional<char> clirStatus(const std::string& reply) {
    // Received bytes 4 to 9 are characters 3 to 8 of the reply less its first byte.
    if (reply.size() < 9 || reply.compare(3, 6, kClirReplyHead) != 0) {
        return std::nullopt;
    }
    return reply.size() >= 13 ? reply[12] : '\0';
}

Text clirMessage(char status) {
    switch (status) {
        case '0':
            return cp1251::fromUtf8("CLIR - не предоставляется");
        case '1':
            return cp1251::fromUtf8("CLIR - предоставляется на постоянной основе");
        case '2':
            return cp1251::fromUtf8(
                "Не известно о предоставлении услуги CLIR. Уточните у оператора.");
        case '3':
            return cp1251::fromUtf8("CLIR - не временно не предоставляется");
        case '4':
            return cp1251::fromUtf8("CLIR - временно предоставляется");
        default:
            return Text();
    }
}

}  // namespace orv::device
