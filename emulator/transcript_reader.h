#pragma once
// The emulator's own reader of a byte transcript, the file the program writes of each serial
// exchange: a first line "orvelin9 transcript 1" (with " masked" when the password digits are
// replaced by "*"), then one event a line, "<ms> <word> [<bytes>]": ">" a byte the program
// sent, "<" bytes it read from the device, and the port's events (open, dtr, rts, purge-input,
// purge-all, lost, close); "#" starts a remark. Bytes from "!" to "~" and spaces stand as they
// are; "\r", "\n", "\\" and "\xHH" stand for the others.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace orv::emulator {

struct TranscriptEvent {
    enum class Kind { kSent, kReceived, kPurge, kPort };
    Kind kind;
    std::uint64_t at;    // ms since the transcript began
    std::string bytes;   // sent or received, unescaped; the word for a port event
    std::size_t lineNo;  // in the file, from 1
};

struct Transcript {
    bool masked = false;
    std::vector<TranscriptEvent> events;
};

// The most a transcript the emulator replays may hold (the program keeps its own under 50 MB).
constexpr std::size_t kMaxTranscriptBytes = 64u << 20;

// False with `error` naming the line ("line 7: ...") when the text is no transcript: another
// first line, an unknown word, a time that is no number or goes back, a bad escape.
bool parseTranscript(std::istream& in, Transcript& transcript, std::string& error);

// Unescapes the bytes of one event; false on a bad escape.
bool unescapeTranscriptBytes(const std::string& text, std::string& bytes);

}  // namespace orv::emulator
