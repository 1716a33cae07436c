#include "sms/recipients.h"

#include <cstring>

#include "base/errors.h"
#include "base/regular_file.h"
#include "settings/config_file.h"

namespace orv {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Marks people put between the digits of a number.
bool isNumberMark(char c) {
    return c == ' ' || c == '-' || c == '.' || c == '(' || c == ')';
}

// The number's digits (and its "+") and where on the line the number ends.
struct Scanned {
    Text number;
    std::size_t end = 0;
    std::size_t digits = 0;
};

Scanned scanNumber(const Text& line) {
    Scanned s;
    std::size_t i = 0;
    if (!line.empty() && line[0] == '+') {
        s.number = "+";
        i = 1;
    }
    // Marks right after the "+" are let through as those between digits are: "+7" may be
    // written "+ 7" or "+(7)".
    while (i < line.size()) {
        if (isDigit(line[i])) {
            s.number += line[i++];
            ++s.digits;
            s.end = i;
            continue;
        }
        std::size_t j = i;
        while (j < line.size() && isNumberMark(line[j])) {
            ++j;
        }
        if (j == i || j == line.size() || !isDigit(line[j]) || (s.digits == 0 && i == 0)) {
            break;
        }
        i = j;
    }
    return s;
}

}  // namespace

RecipientList readRecipients(const std::string& path) {
    // The same line rules as the configuration files: CR LF, CR or LF, a NUL ends the text.
    return splitLines(readRegularFile(path, kRecipientFileBound));
}

Text recipientNumber(const Text& line) {
    const Scanned s = scanNumber(line);
    if (s.digits < kRecipientDigitsMin || s.number.size() > kRecipientNumberMax) {
        return Text();
    }
    return s.number;
}

Text recipientName(const Text& line) {
    const Scanned s = scanNumber(line);
    std::size_t from = s.digits == 0 ? 0 : s.end;
    if (from == 0) {
        return line;
    }
    // A closing parenthesis belongs to the number: "8 (900)" has no name ")".
    while (from < line.size() && std::strchr(" \t;,:-.)", line[from]) != nullptr) {
        ++from;
    }
    return line.substr(from);
}

}  // namespace orv
