// Masking the password digits in a record's files (see password_mask.h).

#include "records/password_mask.h"

#include <cstddef>
#include <string_view>

#include "records/transcript.h"
#include "settings/device_vocabulary.h"

namespace orv {
namespace {

constexpr char kMask = '*';
constexpr std::string_view kMaskedMark = " masked";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `head` (seven bytes, as the device reads them: case does not matter) writes or reads
// a password-digit register.
bool isPasswordHead(std::string_view head, bool readToo) {
    if (head.size() != device::kRegisterCodeLength + 3) {
        return false;
    }
    for (std::size_t p = 1; p <= device::kPasswordDigitRegisterCount; ++p) {
        const device::Register& reg = device::passwordDigitRegister(p);
        for (const Text& command : {device::writeCommand(reg), device::readCommand(reg)}) {
            if (!readToo && command.compare(0, 3, device::kRegisterRead) == 0) {
                continue;
            }
            bool same = true;
            for (std::size_t i = 0; i < head.size() && same; ++i) {
                same = upper(head[i]) == command[i];
            }
            if (same) {
                return true;
            }
        }
    }
    return false;
}

bool endsLine(char c) {
    return c == '\r' || c == '\n' || c == 0x1A || c == 0x1B;
}

// The program's side of a transcript, one sent byte at a time: the line it is sending, whose
// value is masked once the line's head names a password-digit register.
class SentLines {
  public:
    char take(char byte) {
        if (endsLine(byte)) {
            lastWasPassword_ = password_;
            line_.clear();
            password_ = false;
            unsure_ = false;
            return byte;
        }
        // Only the head is kept, and judged once: what follows it is the value.
        const bool secret = unsure_ || password_;
        if (line_.size() < kHead) {
            line_ += byte;
            password_ = line_.size() == kHead && isPasswordHead(line_, true);
        }
        return secret && isDigit(byte) ? kMask : byte;
    }
    // Where the transcript's older part was dropped: the line in progress is not known, so its
    // digits are masked up to its end.
    void unsure() {
        line_.clear();
        password_ = false;
        unsure_ = true;
        lastWasPassword_ = true;
    }
    // The program's last whole line wrote or read a password digit.
    bool lastWasPassword() const { return lastWasPassword_; }

  private:
    static constexpr std::size_t kHead = device::kRegisterCodeLength + 3;
    std::string line_;
    bool password_ = false;  // the line in progress writes or reads a password digit
    bool unsure_ = false;
    bool lastWasPassword_ = false;
};

// The device's side: the echo of the program's line ("ATW9101" and the value, then CR) and the
// device's answer to a register line (the value, then a blank). After a purge the echo may be
// gone: the first answer then belongs to the program's last line.
class ReceivedBytes {
  public:
    explicit ReceivedBytes(const SentLines& sent) : sent_(sent) {}

    char take(char byte) {
        switch (mode_) {
            case Mode::EchoValue:
                if (byte == '\r' || byte == '\n') {
                    mode_ = Mode::Token;
                    token_.clear();
                    replyNext_ = true;
                    return byte;
                }
                return isDigit(byte) ? kMask : byte;
            case Mode::Reply:
                return reply(byte);
            case Mode::Token:
                break;
        }
        if (byte == '\r' || byte == '\n' || byte == ' ') {
            token_.clear();
            return byte;
        }
        if (token_.empty() && byte != 'A' && byte != 'a' &&
            (replyNext_ || (afterPurge_ && sent_.lastWasPassword()))) {
            mode_ = Mode::Reply;
            replyStarted_ = false;
            // After a purge the echo's tail may still come first: only the blank ends it.
            unaligned_ = !replyNext_;
            return reply(byte);
        }
        replyNext_ = false;
        afterPurge_ = false;
        // Only the head is kept: a token longer than it names no register.
        if (token_.size() <= kHead) {
            token_ += byte;
        }
        if (token_.size() == kHead && isPasswordHead(token_, true)) {
            mode_ = Mode::EchoValue;
        }
        return byte;
    }

    void purge() {
        mode_ = Mode::Token;
        token_.clear();
        replyNext_ = false;
        afterPurge_ = true;
    }
    void unsure() {
        mode_ = Mode::Reply;
        replyStarted_ = true;
        unaligned_ = false;
        token_.clear();
    }
    // The program ended a line: an answer after a purge that never ended is over.
    void programLineEnded() {
        if (mode_ == Mode::Reply && unaligned_) {
            mode_ = Mode::Token;
            token_.clear();
        }
    }

  private:
    enum class Mode { Token, EchoValue, Reply };
    static constexpr std::size_t kHead = device::kRegisterCodeLength + 3;

    // The answer: its digits masked up to the blank that ends it (or a line end after it).
    char reply(char byte) {
        const bool lineEnd = byte == '\r' || byte == '\n';
        if (byte == ' ' || (lineEnd && replyStarted_ && !unaligned_)) {
            mode_ = Mode::Token;
            token_.clear();
            replyNext_ = false;
            afterPurge_ = false;
            return byte;
        }
        replyStarted_ = replyStarted_ || !lineEnd;
        return isDigit(byte) ? kMask : byte;
    }

    const SentLines& sent_;
    Mode mode_ = Mode::Token;
    std::string token_;
    bool replyNext_ = false;
    bool afterPurge_ = false;
    bool replyStarted_ = false;
    bool unaligned_ = false;
};

// One event line, "<ms> <word>[ <bytes>]", masked; false when it does not parse.
bool maskEvent(std::string_view line, SentLines& sent, ReceivedBytes& received, std::string& out) {
    const std::size_t space = line.find(' ');
    if (space == 0 || space == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < space; ++i) {
        if (!isDigit(line[i])) {
            return false;
        }
    }
    const std::size_t wordEnd = line.find(' ', space + 1);
    const std::string_view word = line.substr(space + 1, wordEnd - (space + 1));
    if (word != ">" && word != "<") {
        if (word == "purge-input" || word == "purge-all") {
            received.purge();
        }
        out.append(line);
        return true;
    }
    std::string bytes;
    if (wordEnd == std::string_view::npos ||
        !unescapeTranscriptBytes(line.substr(wordEnd + 1), bytes)) {
        return false;
    }
    for (char& byte : bytes) {
        if (word == "<") {
            byte = received.take(byte);
        } else if ((byte = sent.take(byte)) != kMask && endsLine(byte)) {
            received.programLineEnded();
        }
    }
    out.append(line.substr(0, wordEnd + 1));
    out += escapeTranscriptBytes(bytes);
    return true;
}

}  // namespace

std::string maskCommandListPasswords(const std::string& text) {
    constexpr std::size_t kHead = device::kRegisterCodeLength + 3;
    std::string out = text;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = out.size();
        }
        if (end - start >= kHead &&
            isPasswordHead(std::string_view(out).substr(start, kHead), false)) {
            for (std::size_t i = start + kHead; i < end; ++i) {
                if (isDigit(out[i])) {
                    out[i] = kMask;
                }
            }
        }
        start = end + 1;
    }
    return out;
}

bool isTranscriptText(const std::string& text) {
    return text.compare(0, kTranscriptHeader.size(), kTranscriptHeader) == 0 &&
           (text.size() == kTranscriptHeader.size() || text[kTranscriptHeader.size()] == '\n' ||
            text[kTranscriptHeader.size()] == ' ');
}

std::string maskTranscriptPasswords(const std::string& transcript) {
    SentLines sent;
    ReceivedBytes received(sent);
    std::string out;
    out.reserve(transcript.size() + kMaskedMark.size());
    std::size_t start = 0;
    std::size_t lineNo = 0;
    while (start < transcript.size()) {
        std::size_t end = transcript.find('\n', start);
        const bool ended = end != std::string::npos;
        if (!ended) {
            end = transcript.size();
        }
        const std::string_view line = std::string_view(transcript).substr(start, end - start);
        ++lineNo;
        if (lineNo == 1) {
            out.append(kTranscriptHeader);
            out.append(kMaskedMark);
        } else if (line.empty() || line[0] == '#') {
            out.append(line);
            if (line.rfind("# dropped", 0) == 0) {
                sent.unsure();
                received.unsure();
            }
        } else if (!maskEvent(line, sent, received, out)) {
            out += "# line " + std::to_string(lineNo) + " does not read: left out";
        }
        if (ended) {
            out += '\n';
        }
        start = end + 1;
    }
    return out;
}

}  // namespace orv
