#include "cli/progress.h"

#include "operations/schedule.h"

namespace orv::cli {

ProgressBoard::ProgressBoard(std::FILE* out, Mode mode, std::vector<std::string> ports)
    : out_(out),
      mode_(mode),
      ports_(std::move(ports)),
      lines_(ports_.size()),
      tenths_(ports_.size(), -1) {}

void ProgressBoard::update(std::size_t port, const Text& caption, int percent,
                           const Text& timeLeft) {
    if (mode_ == Mode::Quiet || port >= ports_.size()) {
        return;
    }
    std::string line =
        ports_[port] + ": " + cp1251::toUtf8(caption) + " " + std::to_string(percent) + "%";
    if (!timeLeft.empty()) {
        line += ", " + cp1251::toUtf8(timeLeft);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (mode_ == Mode::Lines) {
        const int tenth = percent / 10;
        if (tenth != tenths_[port]) {
            tenths_[port] = tenth;
            std::fprintf(out_, "%s\n", line.c_str());
            std::fflush(out_);
        }
        return;
    }
    lines_[port] = line;
    draw();
}

void ProgressBoard::draw() {
    std::string text;
    if (drawn_) {
        text += "\x1b[" + std::to_string(lines_.size()) + "A";
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        text += "\r\x1b[K" + (lines_[i].empty() ? ports_[i] : lines_[i]) + "\n";
    }
    drawn_ = true;
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void BoardUser::setCaption(const Text& caption) {
    caption_ = caption;
    report();
}

void BoardUser::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
}

void BoardUser::setPosition(int position) {
    position_ = position;
    report();
}

void BoardUser::setTimeLeft(Millis left, bool upperBound) {
    timeLeft_ = timeLeftText(left, upperBound);
    report();
}

void BoardUser::report() {
    const int span = maximum_ - minimum_;
    const int percent = span > 0 ? (position_ - minimum_) * 100 / span : 0;
    board_.update(port_, caption_, percent < 0 ? 0 : percent > 100 ? 100 : percent, timeLeft_);
}

}  // namespace orv::cli
