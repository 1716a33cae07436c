#pragma once
// Text as the device, the configuration files and the core keep it: 8-bit code page 1251.
// The windows work in Unicode; these routines are the only bridge between the two.

#include <string>

namespace orv {

using Text = std::string;  // bytes in code page 1251

namespace cp1251 {

// One byte's character as a UTF-16 code unit (every character of the code page lies in the
// Basic Multilingual Plane); U+FFFD for 0x98, the one byte the code page leaves undefined.
char16_t character(unsigned char byte);

// Code page 1251 bytes to UTF-8.
std::string toUtf8(const Text& text);

// UTF-8 to code page 1251; a character the code page lacks becomes '?', as the platform's
// own conversion does.
Text fromUtf8(const std::string& utf8);

}  // namespace cp1251
}  // namespace orv
