#pragma once
// The few calls on the operating system that the core makes: what a path names, reading a
// file without waiting on it, and replacing a file in one step. One implementation per system
// (platform_posix.cpp, platform_windows.cpp, chosen by the build); the rest of the core is
// plain C++. Paths are UTF-8; errors are the C library's error numbers, which std::strerror
// tells.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orv::platform {

enum class FileKind { Regular, Directory, NamedPipe, Device, Socket, Other };

struct FileStatus {
    FileKind kind = FileKind::Other;
    std::uint64_t size = 0;
    // Nobody may write it: no write permission at all (POSIX), the read-only attribute
    // (Windows).
    bool writeProtected = false;
};

// What the path names, a symbolic link followed: 0, or the error number.
int fileStatus(const std::string& path, FileStatus& status);

// A file opened for reading. The opening does not wait (for the writer of a named pipe) and
// does not make a terminal the controlling one.
class InputFile {
  public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // 0 when the file is open, else the error number.
    int openError() const { return error_; }
    // What was opened: 0, or the error number.
    int status(FileStatus& status) const;
    // Reads up to `size` bytes: how many, 0 at the end, or -1 with the error number in `error`.
    long long read(char* buffer, std::size_t size, int& error);
    // Moves to `offset` bytes from the start: 0, or the error number.
    int seek(std::uint64_t offset);

  private:
    int fd_ = -1;  // the C runtime's descriptor, on either system
    int error_ = 0;
};

// Whether this process may write the existing file.
bool mayWrite(const std::string& path);

// Whether the existing file opens for reading and writing.
bool opensForReadWrite(const std::string& path);

// The file that a save to `path` replaces: the target of a symbolic link, followed as far as
// it goes, so that the link stays a link. `path` itself where it is no link.
std::string saveTarget(const std::string& path);

// Who may read a file the program writes: anyone the usual permissions let, or its owner alone
// (0600 on POSIX; Windows keeps its usual rights, the user's profile being private already).
enum class FileAccess { Usual, OwnerOnly };

// Writes `data` into a new file beside `target` and puts it in the target's place in one step,
// so that a crash or a full disk during the write leaves the old file whole. With Usual an
// existing target's permissions are kept and a new file gets the usual ones; OwnerOnly makes it
// the owner's alone whatever it was. 0, or the error number; a failed replacement leaves no new
// file behind.
int replaceFile(const std::string& target, const std::string& data,
                FileAccess access = FileAccess::Usual);

// Opens a file for writing as std::fopen does with "wb" (or "ab" when `append`), created with
// the given access when missing (OwnerOnly also narrows an existing file). Null with errno set
// on failure.
std::FILE* openForWriting(const std::string& path, bool append, FileAccess access);

// Whether the path itself is a symbolic link (never on Windows).
bool isSymbolicLink(const std::string& path);

// Makes a folder only its owner may enter (0700 on POSIX). 0, or the error number: EEXIST when
// the name is taken, which makes the call a test-and-set between programs.
int makePrivateDirectory(const std::string& path);

// The names in a folder, "." and ".." left out, in no order. 0, or the error number.
int listDirectory(const std::string& path, std::vector<std::string>& names);

// Removes a file, or an empty folder. 0, or the error number.
int removeFile(const std::string& path);
int removeDirectory(const std::string& path);

// An exclusive lock on a file, created when missing, held until the object goes (flock on
// POSIX, LockFileEx on Windows). Waits for another holder. locked() tells whether it was taken.
class FileLock {
  public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return locked_; }

  private:
    void* handle_ = nullptr;  // Windows
    int fd_ = -1;             // POSIX
    bool locked_ = false;
};

}  // namespace orv::platform
