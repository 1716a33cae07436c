// The terminal's bytes without the widget: each byte's character, the pieces a batch is shown in,
// and the bounded backlog between the link's reader and the window.

#include "link/terminal_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace orv {
namespace {

TerminalPiece run(const std::u16string& text) {
    return TerminalPiece{false, text};
}
const TerminalPiece kBreak{true, {}};

TEST(TerminalText, EveryCrBreaksAndTheBytesBetweenAreOneRun) {
    EXPECT_EQ(terminalPieces("OK\r\nATR\r\r01 "),
              (std::vector<TerminalPiece>{run(u"OK"), kBreak, run(u"\u200BATR"), kBreak, kBreak,
                                          run(u"01 ")}));
    EXPECT_TRUE(terminalPieces("").empty());
    EXPECT_EQ(terminalPieces("\r"), std::vector<TerminalPiece>{kBreak});
}

TEST(TerminalText, BytesAreCodePage1251Characters) {
    EXPECT_EQ(terminalPieces("\xCF\xF0\xE8\xE2\xE5\xF2"),
              std::vector<TerminalPiece>{run(u"Привет")});
    EXPECT_EQ(terminalCharacter('\n'), kShownLineFeed);
    EXPECT_EQ(terminalCharacter(0x98), u'\uFFFD');  // undefined in the code page
    EXPECT_EQ(terminalCharacter(0xB9), u'№');
    EXPECT_EQ(terminalCharacter(0x88), u'€');
    EXPECT_EQ(terminalCharacter(0x00), u'\0');
    EXPECT_EQ(terminalCharacter('A'), u'A');
    EXPECT_EQ(terminalPieces(std::string("a\0b", 3)),
              std::vector<TerminalPiece>{run(std::u16string(u"a\0b", 3))});
}

// A batch as each view shows it, received at a time of the session: the stamp leads the batch
// whatever it holds, hexadecimal pairs keep the device's lines.
TEST(TerminalText, ABatchAsEachViewShowsIt) {
    const struct {
        std::string bytes;
        TerminalView view;
        std::uint64_t at;
        std::string shown;
    } cases[] = {
        {"OK\r\n", {false, false}, 12345, "OK\r\n"},
        {"OK\r\n", {false, true}, 12345, "[12345] OK\r\n"},
        {"OK\r\n", {true, false}, 12345, "4F 4B 0D\r0A "},
        {"OK\r\n", {true, true}, 0, "[0] 4F 4B 0D\r0A "},
        {"\r\r", {true, false}, 7, "0D\r0D\r"},
        {std::string("\x00\xFF\xCF ", 4), {true, false}, 7, "00 FF CF 20 "},
        {"01 ", {false, true}, 4294967296ull, "[4294967296] 01 "},  // past the 32-bit clock
        {"", {true, true}, 99, ""},                                 // no batch, no stamp
    };
    for (const auto& c : cases) {
        EXPECT_EQ(terminalBatch(c.bytes, c.view, c.at), c.shown)
            << c.shown << " hex " << c.view.hex << " stamps " << c.view.stamps;
    }
}

TEST(TerminalBacklog, TellsTheWindowOnceUntilItTakes) {
    TerminalBacklog backlog;
    EXPECT_FALSE(backlog.add(""));
    EXPECT_TRUE(backlog.add("AT"));
    EXPECT_FALSE(backlog.add("R\r"));
    EXPECT_FALSE(backlog.add("01 "));
    const TerminalBacklog::Taken taken = backlog.take();
    EXPECT_EQ(taken.bytes, "ATR\r01 ");
    EXPECT_EQ(taken.droppedBeforeLines, 0u);
    EXPECT_EQ(taken.droppedPastBound, 0u);
    EXPECT_EQ(backlog.take().bytes, "");
    EXPECT_TRUE(backlog.add("x"));
}

TEST(TerminalBacklog, KeepsWhatTheTerminalWouldStillShow) {
    // Of more CRs than the terminal's lines, the bytes from the first of the last ones on.
    TerminalBacklog backlog(3, 1000);
    backlog.add("a\rb\rc");
    backlog.add("\rd\re\rtail");
    TerminalBacklog::Taken taken = backlog.take();
    EXPECT_EQ(taken.bytes, "\rd\re\rtail");
    EXPECT_EQ(taken.droppedBeforeLines, 5u);
    // Exactly as many CRs as lines: nothing is dropped.
    backlog.add("x\ry\rz\r");
    EXPECT_EQ(backlog.take().bytes, "x\ry\rz\r");

    // A line with no end is cut to its last bytes.
    TerminalBacklog small(3, 8);
    small.add("0123456789");
    small.add("ab");
    taken = small.take();
    EXPECT_EQ(taken.bytes, "456789ab");
    EXPECT_EQ(taken.droppedPastBound, 4u);
    // The byte bound counts the CRs it drops, so the line bound stays right.
    small.add("\r\r\r1234567");  // "\r1234567"
    small.add("\r\r");           // "234567\r\r"
    small.add("\r\r");           // four CRs: from the second on
    taken = small.take();
    EXPECT_EQ(taken.bytes, "\r\r\r");
    EXPECT_EQ(taken.droppedPastBound, 4u);
    EXPECT_EQ(taken.droppedBeforeLines, 7u);
}

TEST(TerminalBacklog, AFloodStaysWithinTheBoundsAndEndsAsItCame) {
    TerminalBacklog backlog;
    std::string all;
    std::uint32_t noise = 1;
    for (int chunk = 0; chunk < 500; ++chunk) {
        std::string bytes(4096, '\0');
        for (char& b : bytes) {
            noise = noise * 1664525u + 1013904223u;
            b = static_cast<char>(noise >> 24);
        }
        all += bytes;
        backlog.add(bytes);
    }
    const TerminalBacklog::Taken taken = backlog.take();
    EXPECT_LE(taken.bytes.size(), kTerminalLines * kTerminalLineLength);
    EXPECT_LE(std::count(taken.bytes.begin(), taken.bytes.end(), '\r'),
              static_cast<long>(kTerminalLines));
    EXPECT_EQ(all.compare(all.size() - taken.bytes.size(), taken.bytes.size(), taken.bytes), 0);
    EXPECT_EQ(taken.droppedBeforeLines + taken.droppedPastBound + taken.bytes.size(), all.size());
}

}  // namespace
}  // namespace orv
