#include "base/text.h"

#include <cstdint>

namespace orv::cp1251 {
namespace {

// The code page's upper half, 0x80 to 0xFF, as Unicode code points. 0x98 is the one byte the
// code page leaves undefined (0 here).
constexpr std::uint16_t kUpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  //
};

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code page's byte for a code point, or -1 when it has none.
int byteFor(std::uint32_t cp) {
    if (cp < 0x80) {
        return static_cast<int>(cp);
    }
    if (cp >= 0x0410 && cp <= 0x044F) {
        return static_cast<int>(cp - 0x0410 + 0xC0);
    }
    for (int i = 0; i < 0x40; ++i) {
        if (kUpperHalf[i] == cp && cp != 0) {
            return 0x80 + i;
        }
    }
    return -1;
}

// Length of the UTF-8 sequence that starts with `lead`, at least 1: how far an input sequence
// the code page lacks (or a malformed one) is passed over.
std::size_t utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Decodes the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing
// past U+10FFFF); its length, or 0 when the bytes are not one.
std::size_t decodeUtf8(const unsigned char* at, std::size_t left, std::uint32_t& cp) {
    const unsigned char lead = at[0];
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = at[k];
        if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) {
            return 0;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    return length;
}

}  // namespace

char16_t character(unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    const std::uint16_t cp = kUpperHalf[byte - 0x80];
    return cp ? cp : u'\uFFFD';
}

std::string toUtf8(const Text& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        appendUtf8(out, character(static_cast<unsigned char>(c)));
    }
    return out;
}

Text fromUtf8(const std::string& utf8) {
    Text out;
    out.reserve(utf8.size());
    const auto* at = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t left = utf8.size();
    while (left > 0) {
        if (*at < 0x80) {
            out += static_cast<char>(*at);
            ++at;
            --left;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = decodeUtf8(at, left, cp);
        const int byte = length > 0 ? byteFor(cp) : -1;
        std::size_t skip = length;
        if (length > 0 && cp >= 0xE0000 && cp <= 0xE007F) {
            // Tag characters carry no text of their own: dropped.
        } else if (byte >= 0) {
            out += static_cast<char>(byte);
        } else {
            // A character the code page lacks, or bytes that are no character: one '?'.
            out += '?';
            skip = utf8SequenceLength(*at);
            if (skip > left) {
                skip = left;
            }
        }
        at += skip;
        left -= skip;
    }
    return out;
}

}  // namespace orv::cp1251
