#pragma once
// Reading the files the program takes in: its own ("config.bak", "1.txt", the port settings
// file) and the user's (configuration files, recipient files). Only a regular file is read, a
// symbolic link to one included; a folder, a named pipe, a device or a socket is refused before
// it is opened, so that nothing waits for a writer or streams without end. A file is read up to
// a bound that no real file of its kind reaches; a longer one is refused whole.

#include <cstddef>
#include <string>

#include "base/errors.h"

namespace orv {

// The most a kind of file may hold, and how the message names that kind (UTF-8).
struct FileBound {
    std::size_t bytes;
    const char* kind;
};

// Configuration files, "config.bak" and the read-back "1.txt". A saved configuration of the
// largest record (99 tagged numbers, the forward number, 50 speed-dial numbers, all of 15
// digits) is under 8 KB; a read-back of all 150 slots, each reply a full 100 bytes of line
// breaks, under 32 KB.
constexpr FileBound kConfigFileBound{std::size_t{1} << 20, "файл настроек"};
// Recipient files: 4 MB is some 100 000 lines with a name beside each number, a broadcast of
// more than two weeks at 13.5 s per recipient.
constexpr FileBound kRecipientFileBound{std::size_t{4} << 20, "список абонентов"};
// The port settings file: one line, the port name, which is at most a path (4096 bytes).
constexpr FileBound kPortSettingsFileBound{std::size_t{4} << 10, "файл настроек порта"};

// Why a file was not read. The message says it to the user (error icon).
class FileRefused : public Failure {
  public:
    enum class Reason {
        CannotOpen,  // missing, not permitted: the runtime's "Cannot open file ..."
        NotRegular,  // a folder, named pipe, device or socket
        TooLarge,    // past the bound of its kind
        ReadFailed,  // opened, but a read failed: "Cannot open file ..." with the reason
    };
    FileRefused(Reason reason, int error, const Text& text)
        : Failure(MessageKind::Error, text), reason_(reason), error_(error) {}
    Reason reason() const { return reason_; }
    // The system's error number, for CannotOpen and ReadFailed; 0 otherwise.
    int error() const { return error_; }

  private:
    Reason reason_;
    int error_;
};

// The whole content of the named file when it is a regular file of at most `bound.bytes`
// bytes. Never blocks on the file itself and never reads past the bound. Throws FileRefused.
std::string readRegularFile(const std::string& path, const FileBound& bound);

// The last `maxBytes` bytes of a regular file, all of it when it is shorter, without reading
// what comes before them (a transcript of 50 MB is shown by its end). Refused as
// readRegularFile refuses, but never for its size.
std::string readRegularFileTail(const std::string& path, std::size_t maxBytes);

// True when the path names something that exists but is not a regular file (a link is
// followed): the start-up reads such a "config.bak" only to tell the user why it is not taken.
bool isOtherThanRegularFile(const std::string& path);

}  // namespace orv
