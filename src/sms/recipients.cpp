#include "sms/recipients.h"

#include "settings/config_file.h"
#include "settings/errors.h"
#include "settings/regular_file.h"

namespace orv {

RecipientList readRecipients(const std::string& path) {
    // The same line rules as the configuration files: CR LF, CR or LF, a NUL ends the text.
    return splitLines(readRegularFile(path, kRecipientFileBound));
}

Text recipientNumber(const Text& line) {
    const std::size_t digitsFrom = !line.empty() && line[0] == '+' ? 1 : 0;
    const std::size_t end = line.find_first_not_of("0123456789", digitsFrom);
    const std::size_t length = end == Text::npos ? line.size() : end;
    if (length == digitsFrom || length > kRecipientNumberMax) {
        return Text();
    }
    return line.substr(0, length);
}

}  // namespace orv
