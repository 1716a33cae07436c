// Text in code page 1251 and back to UTF-8: the program's own table, the same on every system,
// checked byte for byte against a witness nobody here wrote: the system's charmap (the C library's
// locale data, package "locales", which scripts/setup.sh installs), or on Windows the system's own
// conversion of code page 1251.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/text.h"
#include "sms/ucs2.h"

namespace orv {
namespace {

// Every byte's Unicode code point as the witness has it; none for a byte it leaves undefined.
using Witness = std::array<std::optional<unsigned>, 256>;

#ifdef _WIN32
std::string witnessName() {
    return "the system's conversion of code page 1251";
}

bool readWitness(Witness& out, std::string& why) {
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        wchar_t wide = 0;
        // The system gives a byte the code page leaves undefined as the C1 control of the same
        // number, or refuses it.
        if (MultiByteToWideChar(1251, MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1) == 1 &&
            !(b >= 0x80 && b < 0xA0 && static_cast<unsigned>(wide) == static_cast<unsigned>(b))) {
            out[static_cast<std::size_t>(b)] = static_cast<unsigned>(wide);
        }
    }
    why.clear();
    return true;
}
#else
constexpr const char kCharmap[] = "/usr/share/i18n/charmaps/CP1251.gz";

std::string witnessName() {
    return kCharmap;
}

// The charmap's lines "<U0402>     /x80  ...": a code point and the byte it has.
bool readWitness(Witness& out, std::string& why) {
    if (std::FILE* probe = std::fopen(kCharmap, "rb")) {
        std::fclose(probe);
    } else {
        why = std::string(kCharmap) +
              " is missing: install the package \"locales\" (scripts/setup.sh does)";
        return false;
    }
    std::FILE* pipe = popen((std::string("gzip -dc ") + kCharmap).c_str(), "r");
    if (!pipe) {
        why = "gzip could not be started to read " + std::string(kCharmap);
        return false;
    }
    std::string text;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        text.append(chunk, n);
    }
    const int status = pclose(pipe);
    std::istringstream lines(text);
    int mapped = 0;
    for (std::string line; std::getline(lines, line);) {
        unsigned code = 0;
        unsigned byte = 0;
        if (std::sscanf(line.c_str(), "<U%x> /x%x", &code, &byte) == 2 && byte < 256) {
            out[byte] = code;
            ++mapped;
        }
    }
    if (status != 0 || mapped == 0) {
        why = std::string(kCharmap) + " could not be read as a charmap";
        return false;
    }
    return true;
}
#endif

std::string utf8Of(unsigned code) {
    if (code < 0x80) {
        return std::string(1, static_cast<char>(code));
    }
    if (code < 0x800) {
        return {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
    }
    return {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
            static_cast<char>(0x80 | (code & 0x3F))};
}

std::string ucs2Of(unsigned code) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", code);
    return digits;
}

// Each of the 256 bytes: its character, its UTF-8, its UCS-2 body in an SMS, and the way back
// from the witness's character to the byte. A byte the witness leaves undefined (0x98) is the
// replacement character U+FFFD and its UCS-2 body FFFD.
TEST(CodePage, EveryByteIsTheWitnessCharacter) {
    Witness witness;
    std::string why;
    ASSERT_TRUE(readWitness(witness, why)) << why;
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE("byte " + std::to_string(b) + " against " + witnessName());
        const Text byte(1, static_cast<char>(b));
        const auto& expected = witness[static_cast<std::size_t>(b)];
        const unsigned code = expected.value_or(0xFFFDu);
        EXPECT_EQ(static_cast<unsigned>(cp1251::character(static_cast<unsigned char>(b))), code);
        EXPECT_EQ(cp1251::toUtf8(byte), utf8Of(code));
        EXPECT_EQ(ISCII_UNICODE(byte), ucs2Of(code));
        if (expected) {
            EXPECT_EQ(cp1251::fromUtf8(utf8Of(code)), byte);
        }
    }
    // The code page leaves exactly one byte undefined.
    EXPECT_FALSE(witness[0x98].has_value());
}

TEST(CodePage, EveryDefinedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) {
            continue;
        }
        const Text byte(1, static_cast<char>(b));
        EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(byte)), byte) << "byte " << b;
    }
    EXPECT_EQ(cp1251::toUtf8("\x88\xB9\xA8\xFF\x80\xA0"), "€№ЁяЂ\xC2\xA0");
    EXPECT_EQ(cp1251::fromUtf8("а№"), "\xE0\xB9");
    const std::string phrase = "Входящие вызовы Ёё №";
    EXPECT_EQ(cp1251::toUtf8(cp1251::fromUtf8(phrase)), phrase);
    // The one byte the code page leaves undefined.
    EXPECT_EQ(cp1251::toUtf8("a\x98z"), "a\xEF\xBF\xBDz");
}
// A character the code page lacks, and bytes that are no UTF-8, become one '?' each; the
// length the first byte announces is passed over.
TEST(CodePage, WhatItLacksOrWhatIsNoUtf8BecomesAQuestionMark) {
    const std::pair<std::string, Text> cases[] = {
        {"a\xE4\xB8\xADz", "a?z"},     // a character outside the code page
        {"\xF0\x9F\x98\x80z", "?z"},   // outside the basic plane
        {"\xC3\x41z", "?z"},           // a sequence cut short: both bytes go
        {"\xC0\x80x", "?x"},           // an overlong form
        {"\xE0\x80\x80x", "?x"},       // an overlong form
        {"\xED\xA0\x80x", "?x"},       // a surrogate
        {"\xF4\x90\x80\x80x", "?x"},   // past U+10FFFF
        {"\x80x", "?x"},               // a continuation byte alone
        {"\xD0", "?"},                 // cut at the end
        {"\xE2\x82", "?"},             // cut at the end
        {"a\xF3\xA0\x80\x81z", "az"},  // a tag character carries no text
    };
    for (const auto& [utf8, expected] : cases) {
        EXPECT_EQ(cp1251::fromUtf8(utf8), expected) << utf8;
    }
}

}  // namespace
}  // namespace orv
