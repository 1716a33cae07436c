// Read programming: the device's registers and its SIM phone book are read back into a command
// list, which is saved as "1.txt" and loaded into the settings record like any configuration
// file. Nothing is written to the device.
//
// The operation runs as a job on the link thread, which alone reads the port while it runs, so
// the replies reach its own reads without the reader-stop protocol; the flag is left alone.

#include <algorithm>
#include <string>

#include "link/com_create.h"
#include "link/device.h"
#include "link/presence.h"
#include "operations/programming.h"
#include "settings/config_file.h"

namespace orv {
namespace {

constexpr int kProgressMaximum = 100;
constexpr int kRegisterStep = 3;
constexpr int kSecondPassProgress = 70;
constexpr int kFirstSlot = 1;
constexpr int kLastSlot = 150;
constexpr int kForwardSlot = 100;
constexpr int kFirstSpeedDialSlot = 101;

// The progress bar as the operation drives it: the position never leaves the bar's range, so
// that an advance past the maximum stays at the maximum, as the bar itself keeps it.
class Progress {
  public:
    explicit Progress(OperationUser& user) : user_(user) {}
    void set(int position) {
        position_ = std::clamp(position, 0, kProgressMaximum);
        user_.setPosition(position_);
    }
    void advance(int by) { set(position_ + by); }
    void atLeast(int position) {
        if (position_ < position) {
            set(position);
        }
    }

  private:
    OperationUser& user_;
    int position_ = 0;
};

// Sends a command and reads the device's answer: purge what came before (the echo), raise
// DTR, give the device its pause, then one read of up to 100 bytes. `beforeRead` runs between
// the pause and the read. A failed read, or one that brings nothing, ends the operation.
template <typename BeforeRead>
std::string askDevice(OperationContext& ctx, const Text& command, BeforeRead beforeRead) {
    SendCommand(command, ctx.port, ctx.clock);
    ctx.port.purgeInput();
    ctx.port.setDtr();
    Pause(ctx.clock);
    beforeRead();
    std::string reply;
    if (!ctx.port.read(device::kReplyBuffer, reply) || reply.empty()) {
        throw Failure(MessageKind::Error, cp1251::fromUtf8("Ошибка считывания данных"));
    }
    return device::trimmedReply(reply);
}

// Every occurrence, left to right; the inserted text is not searched again.
std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The file's lines. A phone-book entry keeps the line breaks of the device's reply; each of
// them (CR, LF or CR LF) ends a line of its own, and every line of the file is then ended by
// CR LF, so the file has one kind of line end throughout. A break at the very end of an entry
// ends its last line and adds no empty one. A zero byte, which no reply means and which would
// end the text for the loader (dropping every line after it unseen), is left out; every other
// byte is kept.
CommandList fileLines(const CommandList& entries) {
    CommandList lines;
    for (Text entry : entries) {
        entry.erase(std::remove(entry.begin(), entry.end(), '\0'), entry.end());
        std::size_t i = 0;
        do {
            std::size_t j = entry.find_first_of("\r\n", i);
            if (j == std::string::npos) {
                j = entry.size();
            }
            lines.push_back(entry.substr(i, j - i));
            if (j + 1 < entry.size() && entry[j] == '\r' && entry[j + 1] == '\n') {
                ++j;
            }
            i = j + 1;
        } while (i < entry.size());
    }
    return lines;
}

// Reads one slot and lists it when it holds an entry; returns its trimmed reply.
std::string readSlot(OperationContext& ctx, Progress& progress, int index, CommandList& entries) {
    progress.advance(1);
    std::string trimmed = askDevice(ctx, device::kPhoneBookRead + std::to_string(index), [] {});
    if (device::isListedSlotReply(trimmed)) {
        trimmed = replaceAll(trimmed, device::kPhoneBookReplyHead, device::kPhoneBookWrite);
        entries.push_back(trimmed);
    }
    return trimmed;
}

// One pass over the phone book from `first`: each slot read is listed when it holds an entry.
// The pass ends after the first empty slot, or after the last slot. Returns the last index read.
int readPhoneBook(OperationContext& ctx, Progress& progress, int first, CommandList& entries) {
    int index = first;
    for (;; ++index) {
        const std::string trimmed = readSlot(ctx, progress, index, entries);
        // A reply too short to hold the "OK" of an empty slot is not taken as one: the pass
        // goes on. A device that answers nothing at all has already ended the operation with
        // a read error.
        if (device::isEmptySlotReply(trimmed) || index >= kLastSlot) {
            return index;
        }
    }
}

}  // namespace

void readProgramming(OperationContext& ctx, SettingsRecord& record) {
    OperationUser& user = ctx.user;
    Progress progress(user);
    progress.set(0);
    user.setCaption(cp1251::fromUtf8("Чтение программирования"));

    Connect(ctx.port, ctx.clock);
    user.showProgress();
    user.setRange(0, kProgressMaximum);

    CommandList entries;

    // Registers: the line that would write the value read, "ATR" turned into "ATW". It is
    // listed whatever the reply's length; the loader judges its form.
    for (const char* command : device::kRegisterReads) {
        const std::string value = askDevice(ctx, command, [&] { progress.advance(kRegisterStep); });
        Text line = command + value;
        line[2] = 'W';
        entries.push_back(line);
    }

    // Into the mode in which the device takes the phone-book commands. Nothing is read.
    SendCommand(device::kDataMode, ctx.port, ctx.clock);
    Pause(ctx.clock);
    ctx.port.purgeInput();
    ctx.port.setDtr();

    // The tagged entries and the forward number from slot 1 on. When that pass stops at an
    // empty slot below the forward number's, the forward number's slot is read on its own (a
    // pass that stopped short would otherwise leave the device's forward number behind and
    // the window's old one in place), and the speed-dial entries from their own first slot.
    const int lastRead = readPhoneBook(ctx, progress, kFirstSlot, entries);
    if (lastRead < kForwardSlot) {
        readSlot(ctx, progress, kForwardSlot, entries);
        progress.atLeast(kSecondPassProgress);
        readPhoneBook(ctx, progress, kFirstSpeedDialSlot, entries);
    }
    progress.set(kProgressMaximum);

    SendCommand(device::kStatus, ctx.port, ctx.clock);
    Pause(ctx.clock);

    const std::string path = ctx.file(kCommandListFile);
    saveLines(path, fileLines(entries));
    LoadFromFile(path, record, kCommandListFile);

    user.closeProgress();
    user.setCaption(cp1251::fromUtf8("Запись программирования"));
}

}  // namespace orv
