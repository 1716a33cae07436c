#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/platform.h"

namespace orv::platform {
namespace {

FileStatus statusOf(const struct stat& st) {
    FileStatus status;
    if (S_ISREG(st.st_mode)) {
        status.kind = FileKind::Regular;
    } else if (S_ISDIR(st.st_mode)) {
        status.kind = FileKind::Directory;
    } else if (S_ISFIFO(st.st_mode)) {
        status.kind = FileKind::NamedPipe;
    } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        status.kind = FileKind::Device;
    } else if (S_ISSOCK(st.st_mode)) {
        status.kind = FileKind::Socket;
    }
    status.size = st.st_size < 0 ? UINT64_MAX : static_cast<std::uint64_t>(st.st_size);
    status.writeProtected = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return status;
}

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int fileStatus(const std::string& path, FileStatus& status) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno;
    }
    status = statusOf(st);
    return 0;
}

InputFile::InputFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {
    error_ = fd_ < 0 ? errno : 0;
}

InputFile::~InputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

int InputFile::status(FileStatus& status) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        return errno;
    }
    status = statusOf(st);
    return 0;
}

long long InputFile::read(char* buffer, std::size_t size, int& error) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) {
            return n;
        }
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

int InputFile::seek(std::uint64_t offset) {
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
}

bool mayWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool opensForReadWrite(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

std::string saveTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string link(4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
            return current;
        }
        link.resize(static_cast<std::size_t>(n));
        if (link.front() == '/') {
            current = link;
        } else {
            const std::size_t slash = current.rfind('/');
            current = slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
        }
    }
    return current;
}

int replaceFile(const std::string& target, const std::string& data, FileAccess access) {
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return errno;
    }
    // Keep the permissions an existing file had; a new file gets the usual ones.
    struct stat st {};
    mode_t mode = 0666;
    if (access == FileAccess::OwnerOnly) {
        mode = 0600;
    } else if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    if (!writeAll(fd, data) || ::fsync(fd) != 0) {
        int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return error;
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return error;
    }
    return 0;
}

std::FILE* openForWriting(const std::string& path, bool append, FileAccess access) {
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), mode);
    if (fd < 0) {
        return nullptr;
    }
    if (access == FileAccess::OwnerOnly) {
        ::fchmod(fd, 0600);
    }
    std::FILE* file = ::fdopen(fd, append ? "ab" : "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

bool isSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int makePrivateDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
}

int listDirectory(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return errno;
    }
    while (const struct dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return 0;
}

int removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int removeDirectory(const std::string& path) {
    return ::rmdir(path.c_str()) == 0 ? 0 : errno;
}

FileLock::FileLock(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600)) {
    if (fd_ >= 0) {
        int result = 0;
        do {
            result = ::flock(fd_, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        locked_ = result == 0;
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

}  // namespace orv::platform
