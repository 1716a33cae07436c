#pragma once
// The SMS text in the modem's UCS2 character set, as hexadecimal digits.

#include "base/text.h"

namespace orv {

// Each character of code page 1251 as four upper-case hexadecimal digits of its UCS-2 code.
// The one byte the code page leaves undefined (0x98) gives the replacement character FFFD.
std::string ISCII_UNICODE(const Text& text);

}  // namespace orv
