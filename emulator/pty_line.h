#pragma once
// The emulator's end of the serial line: the master side of a pseudo-terminal. The emulator
// keeps the slave side open itself, so the program may close and reopen its end at any time
// without the master seeing a hang-up; the slave is in raw mode, so the tty layer neither echoes
// nor translates anything.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::emulator {

class PtyLine {
  public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // False with `error` set when the pseudo-terminal cannot be made.
    bool open(std::string& error);
    const std::string& slavePath() const { return slavePath_; }
    int fd() const { return master_; }

    // What the program has written, up to `max` bytes; 0 when nothing is waiting. -1 when the
    // line is hung up or failed.
    long read(std::uint8_t* buffer, std::size_t max);
    // Sends at once; bytes the line cannot take are dropped, as on a line nobody listens to.
    void write(std::string_view bytes);

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// A symbolic link to the slave under a fixed name, replacing whatever had that name, and removed
// again when it still points there at the end.
class SlaveLink {
  public:
    SlaveLink() = default;
    ~SlaveLink() { remove(); }
    SlaveLink(const SlaveLink&) = delete;
    SlaveLink& operator=(const SlaveLink&) = delete;

    bool create(const std::string& path, const std::string& target, std::string& error);
    void remove();

  private:
    std::string path_;
    std::string target_;
};

}  // namespace orv::emulator
