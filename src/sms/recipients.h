#pragma once
// The recipient list of the SMS broadcast: one recipient per line of a text file in code page
// 1251, each line beginning with the number; a name or anything else may follow it.

#include <string>
#include <vector>

#include "settings/text.h"

namespace orv {

// The longest number a recipient line may begin with, its "+" included.
constexpr std::size_t kRecipientNumberMax = 20;

using RecipientList = std::vector<Text>;  // whole lines, as read

// Reads the recipient file: lines ended by CR LF, CR or LF, the last without an ending counts,
// a final ending adds no empty line, empty lines stay as empty recipients, a NUL ends the text.
// Throws the runtime's file error ("Cannot open file ...") when it cannot be read, and a
// message of its own for anything but a regular file and for a file past the recipient files'
// bound (readRegularFile).
RecipientList readRecipients(const std::string& path);

// The number a recipient line begins with: its leading "+" and digits, up to the first other
// character (a blank, a separator, a name). Empty when the line begins with neither a digit nor
// "+" and a digit, or when its number is longer than 20 characters: such a line is nobody's
// number, and a cut one could be somebody else's.
Text recipientNumber(const Text& line);

}  // namespace orv
