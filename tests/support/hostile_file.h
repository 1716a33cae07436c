#pragma once
// Files that are not what the program expects in their place: a link to a device that never
// ends, a named pipe nobody writes to, a folder, a file past the bound of what its reader takes.

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace orv::test {

enum class Hostile { kDevZero, kNamedPipe, kFolder, kPastBound };
constexpr Hostile kAllHostile[] = {Hostile::kDevZero, Hostile::kNamedPipe, Hostile::kFolder,
                                   Hostile::kPastBound};

inline const char* name(Hostile h) {
    switch (h) {
        case Hostile::kDevZero:
            return "a link to /dev/zero";
        case Hostile::kNamedPipe:
            return "a named pipe";
        case Hostile::kFolder:
            return "a folder";
        case Hostile::kPastBound:
            return "a file past its bound";
    }
    return "";
}

// Makes the file at `path` hostile; one past the bound holds `line` over and over until it is
// longer than `bound` bytes.
inline void makeHostile(Hostile h, const std::string& path, std::size_t bound = 0,
                        const std::string& line = "\r\n") {
    switch (h) {
#ifndef _WIN32
        case Hostile::kDevZero:
            ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
            break;
        case Hostile::kNamedPipe:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
#else
        case Hostile::kDevZero:
        case Hostile::kNamedPipe:
            FAIL() << "no " << name(h) << " on this system";
            break;
#endif
        case Hostile::kFolder:
            ASSERT_TRUE(std::filesystem::create_directory(path));
            break;
        case Hostile::kPastBound: {
            ASSERT_FALSE(line.empty());
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            ASSERT_TRUE(file.good());
            std::size_t written = 0;
            while (written <= bound) {
                file << line;
                written += line.size();
            }
            break;
        }
    }
}

}  // namespace orv::test
