// The emulator's reader of the program's byte transcript: what it takes and, for what it
// refuses, the line it names.

#include "transcript_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orv::emulator {
namespace {

bool parse(const std::string& text, Transcript& t, std::string& error) {
    std::istringstream in(text);
    return parseTranscript(in, t, error);
}

TEST(TranscriptReader, ReadsEveryKindOfEvent) {
    Transcript t;
    std::string error;
    ASSERT_TRUE(
        parse("orvelin9 transcript 1\n0 open /dev/ttyUSB0\n0 dtr\n# a remark\n"
              "100 > A\n200 > \\r\n200 purge-input\n700 < \\r01\\x20\n714 < a\\\\b c\n"
              "800 lost\n800 close\n",
              t, error))
        << error;
    EXPECT_FALSE(t.masked);
    ASSERT_EQ(t.events.size(), 9u);
    EXPECT_EQ(t.events[2].kind, TranscriptEvent::Kind::kSent);
    EXPECT_EQ(t.events[3].bytes, "\r");
    EXPECT_EQ(t.events[3].lineNo, 6u);
    EXPECT_EQ(t.events[4].kind, TranscriptEvent::Kind::kPurge);
    EXPECT_EQ(t.events[5].kind, TranscriptEvent::Kind::kReceived);
    EXPECT_EQ(t.events[5].bytes, "\r01 ");
    EXPECT_EQ(t.events[5].at, 700u);
    EXPECT_EQ(t.events[6].bytes, "a\\b c");
    EXPECT_EQ(t.events[8].bytes, "close");
    ASSERT_TRUE(parse("orvelin9 transcript 1 masked\n", t, error));
    EXPECT_TRUE(t.masked);
}

TEST(TranscriptReader, RefusesWhatDoesNotParseNamingTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "line 0: "},
        {"orvelin9 transcript 2\n", "line 1: "},
        {"orvelin9 transcript 1\n0 open x\nten > A\n", "line 3: "},
        {"orvelin9 transcript 1\n100 > A\n99 > B\n", "line 3: the time goes back"},
        {"orvelin9 transcript 1\n100 > AB\n", "line 2: "},
        {"orvelin9 transcript 1\n100 >\n", "line 2: "},
        {"orvelin9 transcript 1\n100 < \\x4\n", "line 2: "},
        {"orvelin9 transcript 1\n100 < \\q\n", "line 2: "},
        {"orvelin9 transcript 1\n100 < ok\r\n", "line 2: "},  // a line end changed to CR LF
        {"orvelin9 transcript 1\n100 reset\n", "line 2: unknown event 'reset'"},
        {"orvelin9 transcript 1\n100\n", "line 2: "},
    };
    for (const auto& c : cases) {
        Transcript t;
        std::string error;
        EXPECT_FALSE(parse(c.text, t, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
    }
}

}  // namespace
}  // namespace orv::emulator
