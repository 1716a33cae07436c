// The one reader of the files the program takes in: a regular file (a link to one counts) up to
// its bound, and at once a message for a link to a device that never ends, a named pipe nobody
// writes to, a folder, a socket, a file larger than any real one. (The readers built on it are
// tried with each of these in the window tests.) And whatever the configuration loader takes
// can be saved again.

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

#include "link/port_settings.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "settings/regular_file.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

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

enum class Hostile { kDevZero, kNamedPipe, kFolder };

const char* name(Hostile h) {
    switch (h) {
        case Hostile::kDevZero:
            return "a link to /dev/zero";
        case Hostile::kNamedPipe:
            return "a named pipe";
        case Hostile::kFolder:
            return "a folder";
    }
    return "";
}

void make(Hostile h, const std::string& path) {
    switch (h) {
#ifndef _WIN32
        case Hostile::kDevZero:
            ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
            break;
        case Hostile::kNamedPipe:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
#endif
        case Hostile::kFolder:
            ASSERT_TRUE(std::filesystem::create_directory(path));
            break;
        default:
            FAIL() << "no " << name(h) << " on this system";
    }
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
        make(hostile, path);
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

// ---- What loads can be saved again ----

std::string header(const std::string& numberLength = "0B") {
    return "ATW80015A\r\nATW8101" + numberLength +
           "\r\nATW82010A\r\nATW830100\r\nATW840107\r\nATW860182\r\nATW900100\r\nATK1\r\n";
}

std::string tagged(int count, char tag) {
    std::string lines;
    for (int i = 1; i <= count; ++i) {
        const std::string number = "+7900" + std::to_string(1000000 + i);
        lines +=
            "AT+CPBW=" + std::to_string(i) + ",\"" + number + "\",129,\"" + tag + number + "\"\r\n";
    }
    return lines;
}

std::string speedDial(int count) {
    std::string lines;
    for (int i = 1; i <= count; ++i) {
        const std::string number = std::to_string(500 + i);
        lines +=
            "AT+CPBW=" + std::to_string(100 + i) + ",\"" + number + "\",129,\"" + number + "\"\r\n";
    }
    return lines;
}

// The load's message, or "loaded" after checking that the record saves again.
Text load(const std::string& text) {
    SettingsRecord record;
    try {
        loadFromText(text, record, kWorkingStateShownName);
    } catch (const Failure& failure) {
        return failure.text();
    }
    EXPECT_NO_THROW(encode(record));
    return "loaded";
}

TEST(SaveableLoad, NoMoreNumbersThanThePhoneBookHasIndicesFor) {
    const Text refused = cp("Файл Config.bak имеет не правильный формат");
    // 99 tagged numbers over the three tables fill indices 1 to 99.
    EXPECT_EQ(load(header() + tagged(33, 'W') + tagged(33, 'R') + tagged(33, 'S')), "loaded");
    EXPECT_EQ(load(header() + tagged(34, 'W') + tagged(33, 'N') + tagged(33, 'B')), refused);
    EXPECT_EQ(load(header() + tagged(100, 'W')), refused);
    // An empty number takes no index and is not counted; a number its table cannot hold is
    // refused whatever the count.
    EXPECT_EQ(load(header() + tagged(99, 'W') + "AT+CPBW=1,\"\",129,\"W\"\r\n"), "loaded");
    EXPECT_EQ(load(header() + "AT+CPBW=1,\"12 34\",129,\"W12 34\"\r\n"), refused);
    // The speed-dial numbers have indices 101 to 150.
    EXPECT_EQ(load(header() + speedDial(50)), "loaded");
    EXPECT_EQ(load(header() + speedDial(51)), refused);
    // The forward number has an index of its own.
    EXPECT_EQ(load(header() + tagged(99, 'W') +
                   "AT+CPBW=100,\"+79001112233\",129,\"+79001112233\"\r\n" + speedDial(50)),
              "loaded");
}

TEST(SaveableLoad, TwoDigitFieldsAndPasswordDigits) {
    const Text refused = cp("Файл Config.bak имеет не правильный формат");
    EXPECT_EQ(load(header("63")), "loaded");  // 99
    EXPECT_EQ(load(header("64")), refused);   // 100
    EXPECT_EQ(load(header("FF")), refused);
    for (const char* line : {"ATW820164", "ATW8301FF"}) {
        std::string text = header();
        const std::string prefix(line, 7);
        text.replace(text.find(prefix), 9, line);
        EXPECT_EQ(load(text), refused) << line;
    }
    std::string withPassword = header();
    withPassword.replace(withPassword.find("ATW900100"), 9, "ATW900102");
    withPassword.replace(withPassword.find("ATK1"), 4, "ATW910107\r\nATW920109\r\nATK1");
    EXPECT_EQ(load(withPassword), "loaded");
    withPassword.replace(withPassword.find("ATW920109"), 9, "ATW92010A");
    EXPECT_EQ(load(withPassword), refused);
}

TEST(SaveableLoad, HundredThousandNumbersAreRefusedAtTheHundredthAndTheRecordStaysSaveable) {
    std::string text = header();
    for (int i = 0; i < 1000; ++i) {
        text += tagged(100, 'W');
    }
    SettingsRecord record;
    EXPECT_THROW(loadFromText(text, record, kWorkingStateShownName), Failure);
    EXPECT_NO_THROW(encode(record));
}

}  // namespace
}  // namespace orv
