#pragma once
// The progress of every port on standard error: on a terminal one line per port, updated in
// place with the operation, the percentage and the time left (the progress bar's own figures);
// otherwise a line for a port each time it passes a tenth. Nothing with --quiet.

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

    // From any thread: the port's state now.
    void update(std::size_t port, const Text& caption, int percent, const Text& timeLeft);

  private:
    void draw();  // under the lock

    std::FILE* out_;
    Mode mode_;
    std::vector<std::string> ports_;
    std::vector<std::string> lines_;
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
    Text caption_;
    Text timeLeft_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

}  // namespace orv::cli
