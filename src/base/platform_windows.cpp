#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/platform.h"

namespace orv::platform {
namespace {

// Paths come in UTF-8; the system takes them in UTF-16.
std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// The C library's error number for a system error code.
int errorNumber(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        default:
            return EIO;
    }
}

FileStatus statusOf(const struct _stat64& st) {
    FileStatus status;
    if ((st.st_mode & _S_IFMT) == _S_IFREG) {
        status.kind = FileKind::Regular;
    } else if ((st.st_mode & _S_IFMT) == _S_IFDIR) {
        status.kind = FileKind::Directory;
    } else if ((st.st_mode & _S_IFMT) == _S_IFIFO) {
        status.kind = FileKind::NamedPipe;
    } else if ((st.st_mode & _S_IFMT) == _S_IFCHR) {
        status.kind = FileKind::Device;  // NUL, CON, COM1 and their kin
    }
    status.size = st.st_size < 0 ? UINT64_MAX : static_cast<std::uint64_t>(st.st_size);
    return status;
}

bool readOnlyAttribute(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

int fileStatus(const std::string& path, FileStatus& status) {
    const std::wstring name = wide(path);
    struct _stat64 st {};
    if (_wstat64(name.c_str(), &st) != 0) {
        return errno;
    }
    status = statusOf(st);
    status.writeProtected = readOnlyAttribute(name);
    return 0;
}

InputFile::InputFile(const std::string& path) {
    error_ =
        _wsopen_s(&fd_, wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
    if (error_ != 0) {
        fd_ = -1;
    }
}

InputFile::~InputFile() {
    if (fd_ >= 0)
        _close(fd_);
}

int InputFile::status(FileStatus& status) const {
    struct _stat64 st {};
    if (_fstat64(fd_, &st) != 0) {
        return errno;
    }
    status = statusOf(st);
    return 0;
}

long long InputFile::read(char* buffer, std::size_t size, int& error) {
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    const int n = _read(fd_, buffer, chunk);
    if (n < 0) {
        error = errno;
        return -1;
    }
    return n;
}

int InputFile::seek(std::uint64_t offset) {
    return _lseeki64(fd_, static_cast<__int64>(offset), SEEK_SET) < 0 ? errno : 0;
}

bool mayWrite(const std::string& path) {
    const std::wstring name = wide(path);
    return !readOnlyAttribute(name) && _waccess(name.c_str(), 2) == 0;
}

bool opensForReadWrite(const std::string& path) {
    int fd = -1;
    if (_wsopen_s(&fd, wide(path).c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0) !=
        0) {
        return false;
    }
    _close(fd);
    return true;
}

// A save through a link replaces the link itself: the system's own programs do the same.
std::string saveTarget(const std::string& path) {
    return path;
}

int replaceFile(const std::string& target, const std::string& data, FileAccess) {
    const std::wstring name = wide(target);
    std::wstring temp;
    int fd = -1;
    int error = EEXIST;
    for (unsigned attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temp = name + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
               std::to_wstring(GetTickCount() + attempt);
        error =
            _wsopen_s(&fd, temp.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                      _SH_DENYRW, _S_IREAD | _S_IWRITE);
    }
    if (error != 0) {
        return error;
    }
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0 && error == 0) {
        const unsigned chunk = left > (1u << 30) ? (1u << 30) : static_cast<unsigned>(left);
        const int n = _write(fd, p, chunk);
        if (n < 0) {
            error = errno;
        } else {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    if (error == 0 && _commit(fd) != 0) {
        error = errno;
    }
    if (_close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0) {
        // The attributes an existing file had (hidden, say) stay with the new content.
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            SetFileAttributesW(temp.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
        }
        if (!MoveFileExW(temp.c_str(), name.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = errorNumber(GetLastError());
        }
    }
    if (error != 0) {
        _wunlink(temp.c_str());
    }
    return error;
}

std::FILE* openForWriting(const std::string& path, bool append, FileAccess) {
    return _wfopen(wide(path).c_str(), append ? L"ab" : L"wb");
}

bool isSymbolicLink(const std::string&) {
    return false;
}

int makePrivateDirectory(const std::string& path) {
    // The user's profile folders are the user's alone already; the new folder inherits that.
    return CreateDirectoryW(wide(path).c_str(), nullptr) ? 0 : errorNumber(GetLastError());
}

int listDirectory(const std::string& path, std::vector<std::string>& names) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return errorNumber(GetLastError());
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            const int n =
                WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr,
                                    0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(n), '\0');
            WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), utf8.data(),
                                n, nullptr, nullptr);
            names.push_back(utf8);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 0;
}

int removeFile(const std::string& path) {
    return DeleteFileW(wide(path).c_str()) ? 0 : errorNumber(GetLastError());
}

int removeDirectory(const std::string& path) {
    return RemoveDirectoryW(wide(path).c_str()) ? 0 : errorNumber(GetLastError());
}

FileLock::FileLock(const std::string& path) {
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        handle_ = file;
        OVERLAPPED at{};
        locked_ = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
    }
}

FileLock::~FileLock() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_));  // releases the lock
    }
}

}  // namespace orv::platform
