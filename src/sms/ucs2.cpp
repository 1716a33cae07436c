#include "sms/ucs2.h"

#include <cstdio>

namespace orv {

std::string ISCII_UNICODE(const Text& text) {
    // The code page's own converter gives UTF-8, whose sequences are decoded here: every
    // character of code page 1251 lies in the Basic Multilingual Plane, two or three bytes long
    // at most, so each one is a single UCS-2 code.
    const std::string utf8 = cp1251::toUtf8(text);
    std::string result;
    result.reserve(text.size() * 4);
    char digits[8];
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = lead;
        std::size_t length = 1;
        if (lead >= 0xE0) {
            code = lead & 0x0Fu;
            length = 3;
        } else if (lead >= 0xC0) {
            code = lead & 0x1Fu;
            length = 2;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        std::snprintf(digits, sizeof digits, "%04X", code & 0xFFFFu);
        result += digits;
    }
    return result;
}

}  // namespace orv
