#pragma once
// What the fuzz targets share: a check that stops the run with a message, so that a broken
// rule shows as a finding just like a crash or a sanitizer report; and a scratch folder for
// targets that read files, since the readers take paths.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace orv::fuzz {

// A folder of its own for this process, removed at exit: under $TMPDIR when it is set (the
// fuzzing script points it at a memory-backed folder of its own, which it removes after a
// finding too), else memory-backed when the system has it (rewriting files on disk for every
// input slows a run a hundredfold).
inline const std::string& scratchFolder() {
    // Never destroyed, so that it is still there for the removal at exit.
    static const std::string* const path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string base = dir && *dir ? dir : "/dev/shm";
        if (::access(base.c_str(), W_OK | X_OK) != 0) {
            base = "/tmp";
        }
        std::string pattern = base + "/orv-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return new std::string(pattern);
    }();
    return *path;
}

// Writes `bytes` as the file `path`, replacing whatever had that name.
inline void writeScratchFile(const std::string& path, const std::string& bytes) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

// The whole file, or nothing when there is none.
inline std::string readScratchFile(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            bytes.append(buffer, n);
        }
        std::fclose(file);
    }
    return bytes;
}

}  // namespace orv::fuzz
