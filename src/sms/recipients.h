#pragma once
// The recipient list of the SMS broadcast: one recipient per line of a text file in code page
// 1251, the first 13 characters of each line being the number.

#include <string>
#include <vector>

#include "settings/text.h"

namespace orv {

constexpr std::size_t kRecipientNumberLength = 13;

using RecipientList = std::vector<Text>;  // whole lines, as read

// Reads the recipient file: lines ended by CR LF, CR or LF, the last without an ending counts,
// a final ending adds no empty line, empty lines stay as empty recipients, a NUL ends the text.
// Throws the runtime's file error ("Cannot open file ...") when it cannot be read, and a
// message of its own for anything but a regular file and for a file past the recipient files'
// bound (readRegularFile).
RecipientList readRecipients(const std::string& path);

// The number of a recipient line: its first 13 characters.
Text recipientNumber(const Text& line);

}  // namespace orv
