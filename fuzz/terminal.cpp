// The terminal's handling of received bytes, without the widget. The input chooses small bounds
// for the backlog (lines, bytes) and for the terminal's line length, then a sequence of reads
// from the link (chunks of bytes) and takes by the window. Properties checked:
//   1. Each byte shows as its code page 1251 character (found again by the code page converter
//      from the character), LF as the invisible line feed, 0x98 as U+FFFD; every CR is one line
//      break, and the bytes between two CRs are one run.
//   2. The backlog never holds more than its bounds (bytes, CRs); what the window takes is the
//      end of what was read since the last take, in order, and what was dropped is counted.
//   3. The window is told once per take: the first read after a take says so, no other.
//   4. Dropping the bytes before the last CRs changes nothing the terminal shows: the last
//      lines of a terminal fed batch by batch from the backlog equal those of one fed every
//      byte, unless a line longer than the byte bound had to be cut.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "base/text.h"
#include "fuzz_check.h"
#include "link/terminal_text.h"

namespace {

std::string utf8(char16_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// The terminal's text as lines of bytes: a CR starts a new line at the end, any other byte goes
// at the end of the last line, which is full at `width` bytes; the last `lines` lines are kept.
class Screen {
  public:
    Screen(std::size_t lines, std::size_t width) : lines_(lines), width_(width) {}
    void show(const std::string& bytes) {
        for (char b : bytes) {
            if (b == '\r') {
                text_.emplace_back();
            } else {
                if (text_.back().size() == width_) {
                    text_.emplace_back();
                }
                text_.back() += b;
            }
            while (text_.size() > lines_) {
                text_.pop_front();
            }
        }
    }
    const std::deque<std::string>& text() const { return text_; }

  private:
    std::size_t lines_;
    std::size_t width_;
    std::deque<std::string> text_{std::string()};
};

void checkPieces(const std::string& bytes) {
    const std::vector<orv::TerminalPiece> pieces = orv::terminalPieces(bytes);
    std::size_t at = 0;
    bool lastWasRun = false;
    for (const orv::TerminalPiece& piece : pieces) {
        if (piece.lineBreak) {
            FUZZ_CHECK(piece.text.empty());
            FUZZ_CHECK(bytes[at] == '\r');
            ++at;
            lastWasRun = false;
            continue;
        }
        FUZZ_CHECK(!piece.text.empty());
        FUZZ_CHECK(!lastWasRun);
        for (char16_t c : piece.text) {
            const unsigned char b = static_cast<unsigned char>(bytes[at++]);
            FUZZ_CHECK(b != '\r');
            if (b == '\n') {
                FUZZ_CHECK(c == orv::kShownLineFeed);
            } else if (b == 0x98) {
                FUZZ_CHECK(c == 0xFFFD);
            } else {
                FUZZ_CHECK(orv::cp1251::fromUtf8(utf8(c)) == std::string(1, static_cast<char>(b)));
            }
        }
        lastWasRun = true;
    }
    FUZZ_CHECK(at == bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t maxLines = in.ConsumeIntegralInRange<std::size_t>(1, 8);
    const std::size_t maxBytes = in.ConsumeIntegralInRange<std::size_t>(1, 96);
    const std::size_t width = in.ConsumeIntegralInRange<std::size_t>(1, 12);
    orv::TerminalBacklog backlog(maxLines, maxBytes);
    Screen everything(maxLines, width);
    Screen shown(maxLines, width);
    std::string sinceTake;
    bool told = false;
    bool cut = false;
    auto take = [&] {
        const orv::TerminalBacklog::Taken taken = backlog.take();
        FUZZ_CHECK(taken.bytes.size() <= maxBytes);
        FUZZ_CHECK(static_cast<std::size_t>(
                       std::count(taken.bytes.begin(), taken.bytes.end(), '\r')) <= maxLines);
        FUZZ_CHECK(taken.bytes.size() <= sinceTake.size());
        FUZZ_CHECK(sinceTake.compare(sinceTake.size() - taken.bytes.size(), std::string::npos,
                                     taken.bytes) == 0);
        FUZZ_CHECK(taken.droppedBeforeLines + taken.droppedPastBound + taken.bytes.size() ==
                   sinceTake.size());
        cut = cut || taken.droppedPastBound > 0;
        checkPieces(taken.bytes);
        shown.show(taken.bytes);
        sinceTake.clear();
        told = false;
    };
    while (in.remaining_bytes() > 0) {
        if (in.ConsumeIntegralInRange(0, 3) == 0) {
            take();
            continue;
        }
        const std::string bytes = in.ConsumeRandomLengthString(64);
        const bool tell = backlog.add(bytes);
        FUZZ_CHECK(tell == (!bytes.empty() && !told));
        told = told || tell;
        sinceTake += bytes;
        everything.show(bytes);
    }
    take();
    if (!cut) {
        FUZZ_CHECK(shown.text() == everything.text());
    }
    return 0;
}
