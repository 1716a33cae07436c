#pragma once
// Text conversions the emulator needs: the modem's UCS2 hexadecimal text, and the escaped form
// in which the emulator's own files show bytes that are not plain printable text.

#include <optional>
#include <string>
#include <string_view>

namespace orv::emulator {

// Four hexadecimal digits per UTF-16 code unit (either case) to UTF-8. A surrogate pair gives
// one character, a lone surrogate U+FFFD. Nothing when the length is not a multiple of four or
// a character is not a hexadecimal digit.
std::optional<std::string> ucs2HexToUtf8(std::string_view hex);

// Backslash, double quote (unless `quotes` is false) and every byte below 0x20 or equal to 0x7F
// as an escape ("\\", "\"", "\t", "\n", "\r", otherwise "\xHH"); everything else, UTF-8
// included, unchanged.
std::string escapeText(std::string_view bytes, bool quotes = true);

// Undoes escapeText. Nothing when an escape is malformed.
std::optional<std::string> unescapeText(std::string_view text);

}  // namespace orv::emulator
