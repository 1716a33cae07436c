#include "sms/ucs2.h"

#include <cstdio>

namespace orv {

std::string ISCII_UNICODE(const Text& text) {
    std::string result;
    result.reserve(text.size() * 4);
    char digits[8];
    for (unsigned char c : text) {
        unsigned code;
        if (c <= 0x7F) {
            code = c;
        } else if (c == 0xA8) {
            code = 0x0401;  // Ё
        } else if (c == 0xB8) {
            code = 0x0451;  // ё
        } else if (c >= 0xC0) {
            code = 0x0410 + (c - 0xC0u);  // А .. я
        } else {
            continue;  // other characters of the code page are dropped
        }
        std::snprintf(digits, sizeof digits, "%04X", code);
        result += digits;
    }
    return result;
}

}  // namespace orv
