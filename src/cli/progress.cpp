#include "cli/progress.h"

#include "operations/schedule.h"

namespace orv::cli {

ProgressBoard::ProgressBoard(std::FILE* out, Mode mode, std::vector<std::string> ports)
    : out_(out),
      mode_(mode),
      ports_(std::move(ports)),
      states_(ports_.size()),
      tenths_(ports_.size(), -1) {}

std::string ProgressBoard::line(std::size_t port, Moment now) const {
    const State& state = states_[port];
    if (!state.any) {
        return ports_[port];
    }
    std::string text = ports_[port] + ": ";
    if (!state.caption.empty()) {
        text += cp1251::toUtf8(state.caption) + " ";
    }
    text += std::to_string(state.percent) + "%";
    if (state.known) {
        const auto passed =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - state.at).count();
        const Millis left = passed >= static_cast<long long>(state.left)
                                ? 0
                                : state.left - static_cast<Millis>(passed);
        text += ", " + cp1251::toUtf8(timeLeftText(left, state.upperBound));
    }
    return text;
}

void ProgressBoard::update(std::size_t port, const Text& caption, int percent, Millis left,
                           bool upperBound, bool known) {
    if (mode_ == Mode::Quiet || port >= ports_.size()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const Moment now = std::chrono::steady_clock::now();
    states_[port] = {caption, percent, left, upperBound, known, now, true};
    if (mode_ == Mode::Lines) {
        const int tenth = percent / 10;
        if (tenth != tenths_[port]) {
            tenths_[port] = tenth;
            const std::string text = line(port, now) + "\n";
            std::fwrite(text.data(), 1, text.size(), out_);
            std::fflush(out_);
        }
        return;
    }
    draw();
}

void ProgressBoard::tick() {
    if (mode_ != Mode::Terminal) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    draw();
}

void ProgressBoard::note(const std::string& utf8) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string text = utf8 + "\n";
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
    drawn_ = false;
}

void ProgressBoard::draw() {
    const Moment now = std::chrono::steady_clock::now();
    std::string text;
    if (drawn_) {
        text += "\x1b[" + std::to_string(ports_.size()) + "A";
    }
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        text += "\r\x1b[K" + line(i, now) + "\n";
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
    left_ = left;
    upperBound_ = upperBound;
    known_ = true;
    report();
}

void BoardUser::report() {
    const int span = maximum_ - minimum_;
    const int percent = span > 0 ? (position_ - minimum_) * 100 / span : 0;
    board_.update(port_, caption_,
                  percent < 0     ? 0
                  : percent > 100 ? 100
                                  : percent,
                  left_, upperBound_, known_);
}

}  // namespace orv::cli
