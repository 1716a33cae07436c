#pragma once
// The SMS text in the modem's UCS2 character set, as hexadecimal digits.

#include "settings/text.h"

namespace orv {

// Each kept character as four upper-case hexadecimal digits of its UCS-2 code: ASCII, "Ё",
// "ё" and "А".."я"; every other character of the code page is dropped.
std::string ISCII_UNICODE(const Text& text);

}  // namespace orv
