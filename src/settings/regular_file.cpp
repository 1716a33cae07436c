#include "settings/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orv {
namespace {

Text quotedPath(const std::string& path) {
    return "\"" + cp1251::fromUtf8(path) + "\"";
}

FileRefused cannotOpen(const std::string& path, FileRefused::Reason reason, int error) {
    return FileRefused(
        reason, error,
        "Cannot open file " + quotedPath(path) + ". " + cp1251::fromUtf8(std::strerror(error)));
}

const char* whatItIs(mode_t mode) {
    if (S_ISDIR(mode))
        return "это папка";
    if (S_ISFIFO(mode))
        return "это именованный канал";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "это устройство";
    if (S_ISSOCK(mode))
        return "это сокет";
    return "это не файл с данными";
}

FileRefused notRegular(const std::string& path, mode_t mode) {
    return FileRefused(FileRefused::Reason::NotRegular, 0,
                       cp1251::fromUtf8("Файл ") + quotedPath(path) +
                           cp1251::fromUtf8(std::string(" не прочитан: ") + whatItIs(mode) +
                                            ", а не обычный файл."));
}

std::string sizeText(std::size_t bytes) {
    if (bytes % (std::size_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " МБ";
    if (bytes % (std::size_t{1} << 10) == 0)
        return std::to_string(bytes >> 10) + " КБ";
    return std::to_string(bytes) + " байт";
}

FileRefused tooLarge(const std::string& path, const FileBound& bound) {
    return FileRefused(FileRefused::Reason::TooLarge, 0,
                       cp1251::fromUtf8("Файл ") + quotedPath(path) +
                           cp1251::fromUtf8(" не прочитан: он больше " + sizeText(bound.bytes) +
                                            ", а " + bound.kind + " не бывает таким большим."));
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::string readRegularFile(const std::string& path, const FileBound& bound) {
    // Judged before it is opened: opening a device can act on it, opening a named pipe can wait
    // for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw cannotOpen(path, FileRefused::Reason::CannotOpen, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw notRegular(path, st.st_mode);
    }
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > bound.bytes) {
        throw tooLarge(path, bound);
    }
    // The name may have been given to something else meanwhile: what was opened is judged
    // again, and the opening itself does not wait.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw cannotOpen(path, FileRefused::Reason::CannotOpen, errno);
    }
    if (::fstat(fd.get(), &st) != 0) {
        throw cannotOpen(path, FileRefused::Reason::ReadFailed, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw notRegular(path, st.st_mode);
    }
    // A file that grows while it is read, or whose size the system does not tell (such as the
    // files of /proc), is still read no further than one byte past the bound.
    std::string content;
    char buffer[16384];
    while (content.size() <= bound.bytes) {
        const std::size_t want = std::min(sizeof buffer, bound.bytes + 1 - content.size());
        const ssize_t n = ::read(fd.get(), buffer, want);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw cannotOpen(path, FileRefused::Reason::ReadFailed, errno);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    if (content.size() > bound.bytes) {
        throw tooLarge(path, bound);
    }
    return content;
}

bool isOtherThanRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace orv
