// ReplayModel: the device's side of a byte transcript, played back.

#include "replay.h"

#include <algorithm>

namespace orv::emulator {
namespace {

bool endsLine(char c) {
    return c == '\r' || c == '\x1A' || c == '\x1B';
}

// Bytes as a person reads them on standard error.
std::string shown(const std::string& bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r') {
            out += "\\r";
        } else if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += ch;
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            out +=
                c == '\\' ? std::string("\\\\") : std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

// The events become exchanges: a line the program sent and what it read before its next line
// ended. Bytes the program read before its first line are answered at once.
ReplayModel::ReplayModel(const Transcript& transcript) : masked_(transcript.masked) {
    Exchange opening{"", 0, {}};
    std::string pending;
    std::size_t pendingLineNo = 0;
    Millis end = 0;
    Millis purge = 0;         // the last purge after the line's end, relative to it
    Millis previousRead = 0;  // just after the end of the last read after the line's end
    bool anyLine = false;
    for (const TranscriptEvent& e : transcript.events) {
        Exchange& current = anyLine ? exchanges_.back() : opening;
        if (e.kind == TranscriptEvent::Kind::kSent) {
            if (pending.empty())
                pendingLineNo = e.lineNo;
            pending += e.bytes;
            if (endsLine(e.bytes[0])) {
                exchanges_.push_back({pending, pendingLineNo, {}});
                anyLine = true;
                pending.clear();
                end = e.at;
                purge = 0;
                previousRead = 0;
            }
        } else if (e.kind == TranscriptEvent::Kind::kPurge && anyLine) {
            purge = e.at - end + kAfterPurgeMs;
        } else if (e.kind == TranscriptEvent::Kind::kReceived) {
            // The batch must not reach the read before the one that took it.
            const Millis read = anyLine ? e.at - end : 0;
            Millis delay = std::max(read > kLeadMs ? read - kLeadMs : 0, purge);
            delay = std::max(delay, previousRead);
            previousRead = read + 1;
            std::string bytes = e.bytes;
            if (masked_)
                std::replace(bytes.begin(), bytes.end(), '*', '0');
            current.answer.push_back({delay, bytes});
        }
    }
    for (const Batch& b : opening.answer)
        out_.emplace_back(b.delay, b.bytes);
}

bool ReplayModel::matches(const std::string& expected, const std::string& got) const {
    if (expected.size() != got.size())
        return false;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const bool digit = got[i] >= '0' && got[i] <= '9';
        if (expected[i] != got[i] && !(masked_ && expected[i] == '*' && digit))
            return false;
    }
    return true;
}

void ReplayModel::receive(std::uint8_t byte, Millis now) {
    if (diverged())
        return;
    line_ += static_cast<char>(byte);
    // A line longer than the recorded one differs already: it is not waited for (nor kept
    // growing). Past the record's end a line is awaited whole, up to a bound.
    constexpr std::size_t kLongestUnrecorded = 4096;
    const std::size_t longest =
        next_ < exchanges_.size() ? exchanges_[next_].line.size() : kLongestUnrecorded;
    if (!endsLine(static_cast<char>(byte)) && line_.size() < longest)
        return;
    std::string got;
    got.swap(line_);
    if (next_ >= exchanges_.size()) {
        divergence_ =
            "line " + std::to_string(next_ + 1) +
            " after the transcript's end:\n  recorded: (nothing more)\n  received: " + shown(got);
        return;
    }
    const Exchange& expected = exchanges_[next_];
    if (!matches(expected.line, got)) {
        divergence_ = "line " + std::to_string(next_ + 1) + " (transcript line " +
                      std::to_string(expected.lineNo) +
                      ") differs:\n  recorded: " + shown(expected.line) +
                      "\n  received: " + shown(got);
        return;
    }
    ++next_;
    for (const Batch& b : expected.answer) {
        const Millis due = now + b.delay;
        out_.emplace_back(out_.empty() ? due : std::max(due, out_.back().first), b.bytes);
    }
}

std::string ReplayModel::takeOutput(Millis now) {
    std::string bytes;
    while (!out_.empty() && out_.front().first <= now) {
        bytes += out_.front().second;
        out_.pop_front();
    }
    return bytes;
}

std::optional<Millis> ReplayModel::nextOutputTime() const {
    if (out_.empty())
        return std::nullopt;
    return out_.front().first;
}

}  // namespace orv::emulator
