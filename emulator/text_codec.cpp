#include "text_codec.h"

#include <cstdint>

namespace orv::emulator {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(std::uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::optional<std::string> ucs2HexToUtf8(std::string_view hex) {
    if (hex.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    std::uint32_t pendingHigh = 0;
    for (std::size_t i = 0; i < hex.size(); i += 4) {
        std::uint32_t unit = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int v = hexValue(hex[i + k]);
            if (v < 0)
                return std::nullopt;
            unit = unit * 16 + static_cast<std::uint32_t>(v);
        }
        if (pendingHigh != 0) {
            if (isLowSurrogate(unit)) {
                appendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
                pendingHigh = 0;
                continue;
            }
            appendUtf8(out, 0xFFFD);
            pendingHigh = 0;
        }
        if (isHighSurrogate(unit))
            pendingHigh = unit;
        else if (isLowSurrogate(unit))
            appendUtf8(out, 0xFFFD);
        else
            appendUtf8(out, unit);
    }
    if (pendingHigh != 0)
        appendUtf8(out, 0xFFFD);
    return out;
}

std::string escapeText(std::string_view bytes, bool quotes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += quotes ? "\\\"" : "\"";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += kDigits[c >> 4];
                    out += kDigits[c & 0xF];
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

std::optional<std::string> unescapeText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                if (i + 2 >= text.size())
                    return std::nullopt;
                const int hi = hexValue(text[i + 1]);
                const int lo = hexValue(text[i + 2]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace orv::emulator
