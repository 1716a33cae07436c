// TranscriptPort and its writer: the byte transcript of a serial exchange (see transcript.h).

#include "records/transcript.h"

#include <cerrno>
#include <string>

#include "base/platform.h"
#include "base/regular_file.h"
#include "settings/config_file.h"

namespace orv {

std::string escapeTranscriptBytes(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool lastSpace = b == ' ' && i + 1 == bytes.size();
        if (b == '\\') {
            out += "\\\\";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b >= 0x20 && b <= 0x7E && !lastSpace) {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

namespace {

// What a transcript file may hold: its bound, and the lines written before the older half goes.
FileBound transcriptFileBound(std::uint64_t bound) {
    return FileBound{static_cast<std::size_t>(bound + bound / 2 + 1024), "transcript"};
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

bool unescapeTranscriptBytes(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != '\\') {
            if (c < 0x20 || c > 0x7E) {
                return false;
            }
            bytes += static_cast<char>(c);
            continue;
        }
        if (++i >= text.size()) {
            return false;
        }
        if (text[i] == 'r') {
            bytes += '\r';
        } else if (text[i] == 'n') {
            bytes += '\n';
        } else if (text[i] == '\\') {
            bytes += '\\';
        } else if (text[i] == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                   hexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

void copyTranscript(const std::string& from, const std::string& to) {
    saveBytes(to, readRegularFile(from, transcriptFileBound(kTranscriptBound)));
}

TranscriptWriter::TranscriptWriter(const std::string& path, Clock& clock, std::uint64_t bound)
    : path_(path), clock_(clock), bound_(bound), last_(clock.now()) {
    // The exchange holds the device's password: the file is the user's alone.
    file_ = platform::openForWriting(path, false, platform::FileAccess::OwnerOnly);
    if (!file_) {
        error_ = errno;
        return;
    }
    const std::string head = std::string(kTranscriptHeader) + "\n";
    if (std::fputs(head.c_str(), file_) < 0 || std::fflush(file_) != 0) {
        fail();
        return;
    }
    size_ = head.size();
}

TranscriptWriter::~TranscriptWriter() {
    if (file_) {
        std::fclose(file_);
    }
}

void TranscriptWriter::fail() {
    error_ = errno != 0 ? errno : EIO;
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

// The clock wraps every 2^32 ms; the transcript's times do not.
std::uint64_t TranscriptWriter::elapsed() {
    const Millis now = clock_.now();
    elapsed_ += static_cast<Millis>(now - last_);
    last_ = now;
    return elapsed_;
}

void TranscriptWriter::line(std::string_view word, std::string_view rest) {
    if (!file_) {
        return;
    }
    std::string text = std::to_string(elapsed()) + " ";
    text += word;
    if (!rest.empty()) {
        text += ' ';
        text += rest;
    }
    text += '\n';
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        fail();
        return;
    }
    size_ += text.size();
    if (size_ > bound_) {
        dropOldest();
    }
}

// Keeps the newer half of the file behind the first line and a mark, put in the file's place in
// one step so that a crash meanwhile leaves the whole file.
void TranscriptWriter::dropOldest() {
    std::fclose(file_);
    file_ = nullptr;
    std::string bytes;
    try {
        bytes = readRegularFile(path_, transcriptFileBound(bound_));
    } catch (const FileRefused& refused) {
        errno = refused.error() != 0 ? refused.error() : EIO;
        fail();
        return;
    }
    std::size_t cut = bytes.size() - static_cast<std::size_t>(bound_ / 2);
    cut = bytes.find('\n', cut);
    cut = cut == std::string::npos ? bytes.size() : cut + 1;
    const std::string kept = std::string(kTranscriptHeader) + "\n# dropped " + std::to_string(cut) +
                             " older bytes here\n" + bytes.substr(cut);
    const int error = platform::replaceFile(path_, kept, platform::FileAccess::OwnerOnly);
    file_ = error == 0 ? platform::openForWriting(path_, true, platform::FileAccess::OwnerOnly)
                       : nullptr;
    if (!file_) {
        errno = error != 0 ? error : errno;
        fail();
        return;
    }
    size_ = kept.size();
}

TranscriptPort::TranscriptPort(Port& inner, Clock& clock, const std::string& path,
                               const std::string& portName, std::uint64_t bound)
    : inner_(inner), writer_(path, clock, bound), portName_(portName) {
    if (inner_.isOpen()) {
        noteOpen();
    }
}

void TranscriptPort::noteOpen() {
    if (!openNoted_) {
        openNoted_ = true;
        writer_.event("open", escapeTranscriptBytes(portName_));
    }
}

void TranscriptPort::noteLost() {
    if (!lostNoted_) {
        lostNoted_ = true;
        writer_.event("lost");
    }
}

void TranscriptPort::writeByte(std::uint8_t byte) {
    noteOpen();
    writer_.sent(byte);
    inner_.writeByte(byte);
}

bool TranscriptPort::read(std::size_t max, std::string& out) {
    const std::size_t before = out.size();
    const bool ok = inner_.read(max, out);
    if (out.size() > before) {
        writer_.received(std::string_view(out).substr(before));
    }
    if (!ok) {
        noteLost();
    }
    return ok;
}

void TranscriptPort::purgeInput() {
    if (inner_.isOpen()) {
        noteOpen();
    }
    writer_.event("purge-input");
    inner_.purgeInput();
}

void TranscriptPort::purgeAll() {
    if (inner_.isOpen()) {
        noteOpen();
    }
    writer_.event("purge-all");
    inner_.purgeAll();
}

void TranscriptPort::setDtr() {
    noteOpen();
    writer_.event("dtr");
    inner_.setDtr();
}

void TranscriptPort::setRts() {
    noteOpen();
    writer_.event("rts");
    inner_.setRts();
}

void TranscriptPort::close() {
    writer_.event("close");
    inner_.close();
    // A port opened again later is noted again, and so is its loss.
    openNoted_ = false;
    lostNoted_ = false;
}

void TranscriptPort::setHandlers(std::function<void()> arrived, std::function<void()> lost) {
    inner_.setHandlers(std::move(arrived), [this, lost = std::move(lost)] {
        noteLost();
        if (lost) {
            lost();
        }
    });
}

}  // namespace orv
