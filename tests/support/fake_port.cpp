#include "fake_port.h"

#include <algorithm>

namespace orv::test {

void FakePort::arrive(const std::string& bytes, std::uint64_t at, std::uint64_t spacing) {
    for (char c : bytes) {
        incoming_.push_back({c, at});
        at += spacing;
    }
    std::stable_sort(incoming_.begin(), incoming_.end(),
                     [](const Incoming& a, const Incoming& b) { return a.at < b.at; });
}

void FakePort::writeByte(std::uint8_t byte) {
    if (!open_) {
        return;
    }
    written.push_back({byte, clock_.elapsed()});
    if (byte != '\r') {
        currentLine_ += static_cast<char>(byte);
        if (watcher_) {
            watcher_(currentLine_);
        }
        return;
    }
    std::string line;
    line.swap(currentLine_);
    if (responder_) {
        Answer a = responder_(line);
        arrive(a.bytes, clock_.elapsed() + a.delay);
    }
    if (watcher_) {
        watcher_(currentLine_);
    }
}

bool FakePort::read(std::size_t max, std::string& out) {
    if (!open_) {
        return false;
    }
    const std::uint64_t start = clock_.elapsed();
    const std::uint64_t deadline = start + kReadTotalConstant + max * kReadTotalPerByte;
    std::size_t got = 0;
    std::uint64_t lastByte = 0;
    for (;;) {
        while (got < max && !incoming_.empty() && incoming_.front().at <= clock_.elapsed()) {
            out += incoming_.front().byte;
            lastByte = std::max(incoming_.front().at, start);
            incoming_.pop_front();
            ++got;
        }
        if (got == max) {
            return true;
        }
        std::uint64_t limit = deadline;
        if (got > 0) {
            limit = std::min(limit, lastByte + kReadInterval);
        }
        if (!incoming_.empty() && incoming_.front().at <= limit) {
            clock_.advance(incoming_.front().at - clock_.elapsed());
            continue;
        }
        if (limit > clock_.elapsed()) {
            clock_.advance(limit - clock_.elapsed());
        }
        return true;
    }
}

std::size_t FakePort::available() {
    std::size_t n = 0;
    for (const Incoming& i : incoming_) {
        if (i.at > clock_.elapsed())
            break;
        ++n;
    }
    return open_ ? n : 0;
}

void FakePort::purgeInput() {
    ++purges;
    while (!incoming_.empty() && incoming_.front().at <= clock_.elapsed()) {
        incoming_.pop_front();
    }
}

std::vector<std::string> FakePort::lines() const {
    std::vector<std::string> result(1);
    for (const Written& w : written) {
        if (w.byte == '\r') {
            result.emplace_back();
        } else {
            result.back() += static_cast<char>(w.byte);
        }
    }
    result.pop_back();
    return result;
}

std::string FakePort::bytes() const {
    std::string s;
    for (const Written& w : written)
        s += static_cast<char>(w.byte);
    return s;
}

}  // namespace orv::test
