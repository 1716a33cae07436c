#include "link/terminal_text.h"

#include <algorithm>
#include <array>
#include <string>

#include "base/text.h"
#include "link/thread_handover.h"

namespace orv {
namespace {

// Every byte's character as the terminal shows it, made once from the code page.
const std::array<char16_t, 256>& characters() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            t[static_cast<std::size_t>(b)] = cp1251::character(static_cast<unsigned char>(b));
        }
        t['\n'] = kShownLineFeed;
        return t;
    }();
    return table;
}

}  // namespace

char16_t terminalCharacter(std::uint8_t byte) {
    return characters()[byte];
}

std::vector<TerminalPiece> terminalPieces(std::string_view bytes) {
    const std::array<char16_t, 256>& table = characters();
    std::vector<TerminalPiece> pieces;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\r') {
            pieces.push_back(TerminalPiece{true, {}});
            ++i;
            continue;
        }
        const std::size_t end = std::min(bytes.find('\r', i), bytes.size());
        TerminalPiece run;
        run.text.resize(end - i);
        for (std::size_t k = i; k < end; ++k) {
            run.text[k - i] = table[static_cast<unsigned char>(bytes[k])];
        }
        pieces.push_back(std::move(run));
        i = end;
    }
    return pieces;
}

std::string terminalBatch(std::string_view bytes, TerminalView view, std::uint64_t sinceStart) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    if (bytes.empty()) {
        return shown;
    }
    if (view.stamps) {
        shown += '[' + std::to_string(sinceStart) + "] ";
    }
    if (!view.hex) {
        shown.append(bytes.data(), bytes.size());
        return shown;
    }
    shown.reserve(shown.size() + bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        shown += kHex[b >> 4];
        shown += kHex[b & 0xF];
        shown += b == '\r' ? '\r' : ' ';
    }
    return shown;
}

TerminalBacklog::TerminalBacklog(std::size_t lines, std::size_t bytes)
    : maxLines_(std::max<std::size_t>(lines, 1)), maxBytes_(std::max<std::size_t>(bytes, 1)) {}

bool TerminalBacklog::add(std::string_view bytes) {
    if (bytes.empty()) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // The window's thread takes under the same lock, but from inside Qt's event dispatch, where
    // ThreadSanitizer does not always record the lock: the hand-over is marked as well.
    ORV_TAKEN_OVER(this);
    bytes_.append(bytes.data(), bytes.size());
    lineBreaks_ += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
    trim();
    const bool tell = !told_;
    told_ = true;
    ORV_HANDED_OVER(this);
    return tell;
}

void TerminalBacklog::trim() {
    if (lineBreaks_ > maxLines_) {
        // Keep from the first of the last maxLines_ CRs.
        std::size_t skip = lineBreaks_ - maxLines_;
        std::size_t at = start_;
        for (;; ++at) {
            if (bytes_[at] == '\r' && skip-- == 0) {
                break;
            }
        }
        droppedBeforeLines_ += at - start_;
        start_ = at;
        lineBreaks_ = maxLines_;
    }
    const std::size_t size = bytes_.size() - start_;
    if (size > maxBytes_) {
        const std::size_t drop = size - maxBytes_;
        lineBreaks_ -= static_cast<std::size_t>(
            std::count(bytes_.begin() + static_cast<std::ptrdiff_t>(start_),
                       bytes_.begin() + static_cast<std::ptrdiff_t>(start_ + drop), '\r'));
        droppedPastBound_ += drop;
        start_ += drop;
    }
    // The dropped front is given back once it is the larger part.
    if (start_ > bytes_.size() / 2) {
        bytes_.erase(0, start_);
        start_ = 0;
    }
}

TerminalBacklog::Taken TerminalBacklog::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    ORV_TAKEN_OVER(this);
    Taken taken;
    taken.bytes = bytes_.substr(start_);
    taken.droppedBeforeLines = droppedBeforeLines_;
    taken.droppedPastBound = droppedPastBound_;
    bytes_.clear();
    start_ = 0;
    lineBreaks_ = 0;
    told_ = false;
    droppedBeforeLines_ = 0;
    droppedPastBound_ = 0;
    ORV_HANDED_OVER(this);
    return taken;
}

}  // namespace orv
