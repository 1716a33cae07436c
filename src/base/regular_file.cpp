#include "base/regular_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/platform.h"

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

const char* whatItIs(platform::FileKind kind) {
    switch (kind) {
        case platform::FileKind::Directory:
            return "это папка";
        case platform::FileKind::NamedPipe:
            return "это именованный канал";
        case platform::FileKind::Device:
            return "это устройство";
        case platform::FileKind::Socket:
            return "это сокет";
        default:
            return "это не файл с данными";
    }
}

FileRefused notRegular(const std::string& path, platform::FileKind kind) {
    return FileRefused(FileRefused::Reason::NotRegular, 0,
                       cp1251::fromUtf8("Файл ") + quotedPath(path) +
                           cp1251::fromUtf8(std::string(" не прочитан: ") + whatItIs(kind) +
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

// Judged before it is opened: opening a device can act on it, opening a named pipe can wait
// for a writer. Returns the size the system tells.
std::uint64_t checkRegular(const std::string& path) {
    platform::FileStatus st;
    if (const int error = platform::fileStatus(path, st)) {
        throw cannotOpen(path, FileRefused::Reason::CannotOpen, error);
    }
    if (st.kind != platform::FileKind::Regular) {
        throw notRegular(path, st.kind);
    }
    return st.size;
}

// The name may have been given to something else meanwhile: what was opened is judged again,
// and the opening itself does not wait. Returns the size of what was opened.
std::uint64_t checkOpened(const std::string& path, const platform::InputFile& file) {
    if (file.openError() != 0) {
        throw cannotOpen(path, FileRefused::Reason::CannotOpen, file.openError());
    }
    platform::FileStatus st;
    if (const int error = file.status(st)) {
        throw cannotOpen(path, FileRefused::Reason::ReadFailed, error);
    }
    if (st.kind != platform::FileKind::Regular) {
        throw notRegular(path, st.kind);
    }
    return st.size;
}

// Reads on until the end or until `most` bytes are in `content`.
void readUpTo(const std::string& path, platform::InputFile& file, std::size_t most,
              std::string& content) {
    char buffer[16384];
    while (content.size() < most) {
        const std::size_t want = std::min(sizeof buffer, most - content.size());
        int error = 0;
        const long long n = file.read(buffer, want, error);
        if (n < 0) {
            throw cannotOpen(path, FileRefused::Reason::ReadFailed, error);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string readRegularFile(const std::string& path, const FileBound& bound) {
    if (checkRegular(path) > bound.bytes) {
        throw tooLarge(path, bound);
    }
    platform::InputFile file(path);
    checkOpened(path, file);
    // A file that grows while it is read, or whose size the system does not tell (such as the
    // files of /proc), is still read no further than one byte past the bound.
    std::string content;
    readUpTo(path, file, bound.bytes + 1, content);
    if (content.size() > bound.bytes) {
        throw tooLarge(path, bound);
    }
    return content;
}

std::string readRegularFileTail(const std::string& path, std::size_t maxBytes) {
    checkRegular(path);
    platform::InputFile file(path);
    const std::uint64_t size = checkOpened(path, file);
    if (size > maxBytes) {
        if (const int error = file.seek(size - maxBytes)) {
            throw cannotOpen(path, FileRefused::Reason::ReadFailed, error);
        }
    }
    std::string content;
    readUpTo(path, file, maxBytes, content);
    return content;
}

bool isOtherThanRegularFile(const std::string& path) {
    platform::FileStatus st;
    return platform::fileStatus(path, st) == 0 && st.kind != platform::FileKind::Regular;
}

}  // namespace orv
