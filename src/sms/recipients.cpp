#include "sms/recipients.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "settings/config_file.h"
#include "settings/errors.h"

namespace orv {
namespace {

// The runtime's file error, worded as the configuration file reader words it.
Failure cannotOpen(const std::string& path, int error) {
    return runtimeError("Cannot open file \"" + cp1251::fromUtf8(path) + "\". " +
                        cp1251::fromUtf8(std::strerror(error)));
}

}  // namespace

RecipientList readRecipients(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        throw cannotOpen(path, errno);
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            ::close(fd);
            throw cannotOpen(path, error);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    // The same line rules as the configuration files: CR LF, CR or LF, a NUL ends the text.
    return splitLines(content);
}

Text recipientNumber(const Text& line) {
    return line.substr(0, kRecipientNumberLength);
}

}  // namespace orv
