// The progress on standard error: a line a tenth when it is no terminal, the lines of every
// port redrawn in place on a terminal, nothing with --quiet.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cli/progress.h"

namespace orv::cli {
namespace {

// What the board wrote, read back once it is done with.
class Written {
  public:
    Written() : file_(open_memstream(&buffer_, &size_)) {}
    ~Written() {
        if (file_) {
            std::fclose(file_);
        }
        std::free(buffer_);
    }
    std::FILE* file() { return file_; }
    std::string text() {
        std::fflush(file_);
        return std::string(buffer_, size_);
    }

  private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

void runTo(BoardUser& user, int last) {
    user.setCaption(cp1251::fromUtf8("Стирание Sim-карты"));
    user.setRange(0, 150);
    for (int position = 0; position <= last; ++position) {
        user.setPosition(position);
    }
}

TEST(Progress, WithoutATerminalALineForEachTenth) {
    Written out;
    ProgressBoard board(out.file(), ProgressBoard::Mode::Lines, {"/dev/ttyUSB0"});
    BoardUser user(board, 0);
    runTo(user, 150);
    const std::string text = out.text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);  // 0 % to 100 %
    EXPECT_NE(text.find("/dev/ttyUSB0: Стирание Sim-карты 50%\n"), std::string::npos);
    EXPECT_NE(text.find("/dev/ttyUSB0: Стирание Sim-карты 100%\n"), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

TEST(Progress, WriteProgrammingKeepsTheProgressWindowsCaption) {
    Written out;
    ProgressBoard board(out.file(), ProgressBoard::Mode::Lines, {"unit1"});
    BoardUser user(board, 0);
    user.setRange(0, 10);
    user.setPosition(5);
    EXPECT_EQ(out.text(), "unit1: Запись программирования 50%\n");
}

TEST(Progress, OnATerminalEveryPortsLineIsRedrawnInPlaceWithTheTimeLeft) {
    Written out;
    ProgressBoard board(out.file(), ProgressBoard::Mode::Terminal, {"unit1", "unit2"});
    BoardUser second(board, 1);
    second.setCaption(cp1251::fromUtf8("Чтение программирования"));
    second.setRange(0, 4);
    second.setPosition(1);
    second.setTimeLeft(200000, false);
    const std::string text = out.text();
    // The first drawing takes two fresh lines, each later one goes back up over them.
    EXPECT_EQ(text.rfind("\r\x1b[Kunit1\n\r\x1b[Kunit2: Чтение программирования 0%\n", 0), 0u);
    EXPECT_NE(text.find("\x1b[2A\r\x1b[Kunit1\n\r\x1b[Kunit2: Чтение программирования 25%, "
                        "осталось 3 мин 20 с\n"),
              std::string::npos)
        << text;
}

TEST(Progress, QuietSaysNothing) {
    Written out;
    ProgressBoard board(out.file(), ProgressBoard::Mode::Quiet, {"unit1"});
    BoardUser user(board, 0);
    runTo(user, 150);
    board.tick();
    EXPECT_EQ(out.text(), "");
}

}  // namespace
}  // namespace orv::cli
