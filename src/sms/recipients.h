#pragma once
// The recipient list of the SMS broadcast: one recipient per line of a text file in code page
// 1251, each line beginning with the number as people write it ("+7 900 123-45-67",
// "8 (900) 123-45-67"); a name or anything else may follow it.

#include <string>
#include <vector>

#include "base/text.h"

namespace orv {

// The longest number a recipient line may give, its "+" included.
constexpr std::size_t kRecipientNumberMax = 20;
// The fewest digits a number has.
constexpr std::size_t kRecipientDigitsMin = 3;

using RecipientList = std::vector<Text>;  // whole lines, as read

// Reads the recipient file: lines ended by CR LF, CR or LF, the last without an ending counts,
// a final ending adds no empty line, empty lines stay as empty recipients, a NUL ends the text.
// Throws the runtime's file error ("Cannot open file ...") when it cannot be read, and a
// message of its own for anything but a regular file and for a file past the recipient files'
// bound (readRegularFile).
RecipientList readRecipients(const std::string& path);

// The number a recipient line begins with, as it is sent: a leading "+" and the digits, the
// blanks, dashes, dots and parentheses between them left out; it ends at any other character
// (a separator, a tab, a name) or at such marks that no digit follows. Empty when the line
// does not begin with "+" or a digit, when it has fewer than 3 digits, or when the number is
// longer than 20 characters: such a line is nobody's number, and a cut one could be somebody
// else's.
Text recipientNumber(const Text& line);

// What follows the number on its line (the name), without the separators and blanks before
// it; the whole line when it begins with no number.
Text recipientName(const Text& line);

}  // namespace orv
