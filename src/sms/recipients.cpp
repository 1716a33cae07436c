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
    return line.substr(0, kRecipientNumberLength);
}

}  // namespace orv
