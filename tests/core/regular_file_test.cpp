// The one reader of the files the program takes in: a regular file (a link to one counts) up to
// its bound, and at once a message for a link to a device that never ends, a named pipe nobody
// writes to, a folder, a socket, a file larger than any real one. (The readers built on it are
// tried with each of these in the window tests.)

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "base/regular_file.h"
#include "hostile_file.h"
#include "link/port_settings.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;
using test::Hostile;

// Runs `read` and fails the test when it has not returned within a second; a reader that
// blocks for good ends the test program rather than hang it.
void withinASecond(const std::function<void()>& read) {
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
        std::fprintf(stderr, "FAIL: the reader did not return within a second\n");
        std::_Exit(3);
    }
    done.get();
}

TEST(RegularFile, ReadsARegularFileAndOneReachedByALink) {
    test::TempDir dir;
    const std::string path = dir.path("a.cfg");
    test::writeFile(path, std::string("one\r\ntwo\0three", 14));
    EXPECT_EQ(readRegularFile(path, kConfigFileBound), std::string("one\r\ntwo\0three", 14));
#ifndef _WIN32  // symbolic links need privileges on Windows
    ASSERT_EQ(::symlink(path.c_str(), dir.path("link.cfg").c_str()), 0);
    EXPECT_EQ(readRegularFile(dir.path("link.cfg"), kConfigFileBound).size(), 14u);
#endif

    // A port name as long as a path can be is within its file's bound.
    const Text longest = "/dev/" + std::string(4000, 'x');
    writePortName(dir.path(kPortSettingsFile), longest);
    EXPECT_EQ(readPortName(dir.path(kPortSettingsFile)), longest);

    // Exactly the bound is read; one byte more is refused.
    const FileBound small{16, "файл настроек"};
    test::writeFile(path, std::string(16, 'x'));
    EXPECT_EQ(readRegularFile(path, small), std::string(16, 'x'));
    test::writeFile(path, std::string(17, 'x'));
    try {
        readRegularFile(path, small);
        FAIL() << "read past the bound";
    } catch (const FileRefused& refused) {
        EXPECT_EQ(refused.reason(), FileRefused::Reason::TooLarge);
        EXPECT_EQ(refused.kind(), MessageKind::Error);
        EXPECT_EQ(refused.text(), cp("Файл \"" + path +
                                     "\" не прочитан: он больше 16 байт, а файл настроек не "
                                     "бывает таким большим."));
    }
}

TEST(RegularFile, RefusesWhatIsNotARegularFileAtOnceAndSaysWhatItIs) {
    test::TempDir dir;
    // Windows has no /dev/zero and no named pipes in its file system: a folder only.
    const std::pair<Hostile, const char*> cases[] = {
#ifndef _WIN32
        {Hostile::kDevZero, "это устройство"},
        {Hostile::kNamedPipe, "это именованный канал"},
#endif
        {Hostile::kFolder, "это папка"},
    };
    for (const auto& [hostile, what] : cases) {
        SCOPED_TRACE(name(hostile));
        const std::string path = dir.path(std::string("x") + std::to_string(int(hostile)));
        test::makeHostile(hostile, path);
        withinASecond([&, what = what] {
            try {
                readRegularFile(path, kConfigFileBound);
                ADD_FAILURE() << "read";
            } catch (const FileRefused& refused) {
                EXPECT_EQ(refused.reason(), FileRefused::Reason::NotRegular);
                EXPECT_EQ(refused.text(), cp("Файл \"" + path + "\" не прочитан: " + what +
                                             ", а не обычный файл."));
            }
        });
        EXPECT_TRUE(isOtherThanRegularFile(path));
    }

    // A socket, too (not on Windows); a missing file is the runtime's file error, as before.
#ifndef _WIN32
    const std::string socketPath = dir.path("s");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    try {
        readRegularFile(socketPath, kConfigFileBound);
        ADD_FAILURE() << "read";
    } catch (const FileRefused& refused) {
        EXPECT_EQ(refused.reason(), FileRefused::Reason::NotRegular);
    }
    ::close(fd);
#endif
    try {
        readRegularFile(dir.path("missing"), kConfigFileBound);
        ADD_FAILURE() << "read";
    } catch (const FileRefused& refused) {
        EXPECT_EQ(refused.reason(), FileRefused::Reason::CannotOpen);
        EXPECT_EQ(refused.text().rfind("Cannot open file \"" + dir.path("missing") + "\"", 0), 0u);
    }
    EXPECT_FALSE(isOtherThanRegularFile(dir.path("missing")));
    test::writeFile(dir.path("plain"), "x");
    EXPECT_FALSE(isOtherThanRegularFile(dir.path("plain")));
}

}  // namespace
}  // namespace orv
