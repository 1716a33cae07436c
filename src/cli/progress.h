#pragma once
// The progress of every port on standard error: on a terminal one line per port, updated in
// place with the operation, the percentage and the time left (the progress bar's own figures);
// otherwise a line for a port each time it passes a tenth. Nothing with --quiet.

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "operations/operation.h"

namespace orv::cli {

class ProgressBoard {
  public:
    enum class Mode { Quiet, Terminal, Lines };
    ProgressBoard(std::FILE* out, Mode mode, std::vector<std::string> ports);

    // From any thread: the port's state now. `left` is the time the operation still takes by
    // its own schedule, told now; `known` false while it has told none.
    void update(std::size_t port, const Text& caption, int percent, Millis left, bool upperBound,
                bool known);
    // Once a second: on a terminal the time left counts down between two reports, as the
    // progress bar's does.
    void tick();
    // A line of its own (UTF-8) among the progress lines: on a terminal they are drawn anew
    // below it.
    void note(const std::string& utf8);

  private:
    using Moment = std::chrono::steady_clock::time_point;
    struct State {
        Text caption;
        int percent = 0;
        Millis left = 0;
        bool upperBound = false;
        bool known = false;
        Moment at;
        bool any = false;
    };
    std::string line(std::size_t port, Moment now) const;
    void draw();  // under the lock

    std::FILE* out_;
    Mode mode_;
    std::vector<std::string> ports_;
    std::vector<State> states_;
    std::vector<int> tenths_;
    bool drawn_ = false;
    std::mutex mutex_;
};

// The user of one port's operation: its progress goes to the board; its messages are the
// result line's (runOnPort keeps them), so nothing is shown here and nothing waits.
class BoardUser : public OperationUser {
  public:
    BoardUser(ProgressBoard& board, std::size_t port) : board_(board), port_(port) {}

    void setCaption(const Text& caption) override;
    void showProgress() override {}
    void closeProgress() override {}
    void setRange(int minimum, int maximum) override;
    void setPosition(int position) override;
    void setTimeLeft(Millis left, bool upperBound) override;
    void tell(MessageKind, const Text&, MessageButtons) override {}

  private:
    void report();

    ProgressBoard& board_;
    std::size_t port_;
    // The progress window's caption until an operation sets its own: write programming keeps it.
    Text caption_ = cp1251::fromUtf8("Запись программирования");
    Millis left_ = 0;
    bool upperBound_ = false;
    bool known_ = false;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

}  // namespace orv::cli
