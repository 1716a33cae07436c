#pragma once
// What the terminal makes of the bytes the device sends, without the widget: each byte as the
// character the terminal shows, and the bytes on their way from the link thread to the window,
// held in a bounded backlog that the window takes in batches. A device that floods the line
// thus costs the program a bounded amount of memory, and the window a bounded amount of work
// per batch.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The terminal keeps its last kTerminalLines lines; the oldest are dropped. A line holds at
// most kTerminalLineLength characters: the character that would make it longer goes on in a
// new line at the end of the text, as after a CR.
constexpr std::size_t kTerminalLines = 1000;
constexpr std::size_t kTerminalLineLength = 1000;

// A line feed is one character of the terminal's text that shows nothing, so that CR LF gives
// one line break and a lone LF leaves the line as it is.
constexpr char16_t kShownLineFeed = 0x200B;

// One step of showing received bytes: a CR, which puts a line break at the end of the text and
// the caret after it, or a run of characters for the caret, each byte one character.
struct TerminalPiece {
    bool lineBreak = false;
    std::u16string text;  // empty for a line break
    bool operator==(const TerminalPiece& o) const {
        return lineBreak == o.lineBreak && text == o.text;
    }
};

// The character a received byte (not a CR) shows as: its code page 1251 character, LF as
// kShownLineFeed, the one byte the code page leaves undefined (0x98) as U+FFFD.
char16_t terminalCharacter(std::uint8_t byte);

// Received bytes as the terminal applies them: every CR a line break, the bytes between two
// CRs one run.
std::vector<TerminalPiece> terminalPieces(std::string_view bytes);

// How the terminal shows what it receives, as the user chose in its menu.
struct TerminalView {
    bool hex = false;     // each byte as two hexadecimal digits and a space; a CR as "0D" and
                          // a line break after it
    bool stamps = false;  // each batch begins with "[<ms>] ", the milliseconds since the
                          // terminal's session began
};

// The bytes the terminal shows for one batch received `sinceStart` ms into its session: the
// batch as it came in the plain view, or as the view says.
std::string terminalBatch(std::string_view bytes, TerminalView view, std::uint64_t sinceStart);

// The bytes that the link's reader took and the window has not shown yet. The reader adds, the
// window takes all at once; both may do so from their own threads. Only what the terminal
// would still show after them is kept: of more than `lines` CRs, the bytes from the last
// `lines` CRs on (everything before them would be pushed out of the terminal by them), and of
// those at most the last `bytes` bytes.
class TerminalBacklog {
  public:
    explicit TerminalBacklog(std::size_t lines = kTerminalLines,
                             std::size_t bytes = kTerminalLines * kTerminalLineLength);

    // Adds what was read. True when the window is to be told: nothing was waiting for it yet
    // (the backlog was taken, or never added to, since the last true).
    bool add(std::string_view bytes);

    struct Taken {
        std::string bytes;
        // Bytes dropped since the last take: before the kept CRs, and past the byte bound.
        std::uint64_t droppedBeforeLines = 0;
        std::uint64_t droppedPastBound = 0;
    };
    // Everything waiting, in the order it came.
    Taken take();

  private:
    void trim();

    std::mutex mutex_;
    const std::size_t maxLines_;
    const std::size_t maxBytes_;
    std::string bytes_;  // from bytes_[start_] on
    std::size_t start_ = 0;
    std::size_t lineBreaks_ = 0;  // CRs from start_ on
    bool told_ = false;
    std::uint64_t droppedBeforeLines_ = 0;
    std::uint64_t droppedPastBound_ = 0;
};

}  // namespace orv
