// The emulator's reader of the program's byte transcript.

#include "transcript_reader.h"

#include <cstdlib>

namespace orv::emulator {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool parseTime(const std::string& text, std::uint64_t& at) {
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    at = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool portWord(const std::string& word) {
    return word == "open" || word == "dtr" || word == "rts" || word == "lost" || word == "close";
}

}  // namespace

bool unescapeTranscriptBytes(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\') {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                return false;
            bytes += c;
            continue;
        }
        if (++i >= text.size())
            return false;
        if (text[i] == 'r') {
            bytes += '\r';
        } else if (text[i] == 'n') {
            bytes += '\n';
        } else if (text[i] == '\\') {
            bytes += '\\';
        } else if (text[i] == 'x' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

bool parseTranscript(std::istream& in, Transcript& transcript, std::string& error) {
    transcript = Transcript{};
    std::string line;
    std::size_t lineNo = 0;
    std::size_t total = 0;
    std::uint64_t last = 0;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        total += line.size() + 1;
        if (total > kMaxTranscriptBytes)
            return fail("the transcript is longer than its bound");
        if (lineNo == 1) {
            if (line == "orvelin9 transcript 1 masked")
                transcript.masked = true;
            else if (line != "orvelin9 transcript 1")
                return fail("no transcript: it begins with something else");
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find(' ');
        std::uint64_t at = 0;
        if (space == std::string::npos || !parseTime(line.substr(0, space), at))
            return fail("no time in milliseconds at the start");
        if (at < last)
            return fail("the time goes back");
        last = at;
        const std::size_t wordEnd = line.find(' ', space + 1);
        const std::string word = line.substr(space + 1, wordEnd - (space + 1));
        const std::string rest = wordEnd == std::string::npos ? "" : line.substr(wordEnd + 1);
        TranscriptEvent event{TranscriptEvent::Kind::kPort, at, word, lineNo};
        if (word == ">" || word == "<") {
            if (!unescapeTranscriptBytes(rest, event.bytes) || event.bytes.empty() ||
                (word == ">" && event.bytes.size() != 1))
                return fail("bytes that do not read: '" + rest + "'");
            event.kind =
                word == ">" ? TranscriptEvent::Kind::kSent : TranscriptEvent::Kind::kReceived;
        } else if (word == "purge-input" || word == "purge-all") {
            event.kind = TranscriptEvent::Kind::kPurge;
        } else if (!portWord(word)) {
            return fail("unknown event '" + word + "'");
        }
        transcript.events.push_back(std::move(event));
    }
    if (lineNo == 0)
        return fail("the transcript is empty");
    return true;
}

}  // namespace orv::emulator
