// Read programming: the device's registers and its SIM phone book are read back into a command
// list, which is saved as "1.txt" and loaded into the settings record like any configuration
// file. Nothing is written to the device.
//
// The operation runs as a job on the link thread, which alone reads the port while it runs, so
// the replies reach its own reads without the reader-stop protocol; the flag is left alone.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "link/com_create.h"
#include "link/device.h"
#include "link/presence.h"
#include "operations/programming.h"
#include "operations/schedule.h"
#include "operations/step.h"
#include "settings/config_file.h"
#include "settings/device_vocabulary.h"

namespace orv {
namespace {

constexpr int kProgressMaximum = 100;
constexpr int kRegisterStep = 3;
constexpr int kSecondPassProgress = 70;
constexpr int kFirstSlot = 1;
constexpr int kLastSlot = kLastSimSlot;
constexpr int kForwardSlot = kForwardIndex;
constexpr int kFirstSpeedDialSlot = kForwardIndex + 1;
constexpr int kRegisterProgress = kRegisterStep * static_cast<int>(device::kRegisters.size());

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

// A command whose answer is read: the command, what came before purged (the echo), DTR
// raised, the device's pause, then one read of up to 100 bytes.
Step readStep(const Text& command) {
    return Step(command)
        .then(Step::Then::PurgeInput)
        .then(Step::Then::RaiseDtr)
        .then(Step::Then::Pause)
        .then(Step::Then::ReadReply);
}

// Runs a read step and returns the device's trimmed answer. `beforeRead` runs between the
// pause and the read. A failed read, or one that brings nothing, ends the operation.
template <typename BeforeRead>
std::string askDevice(OperationContext& ctx, const Step& step, BeforeRead beforeRead) {
    std::string reply;
    step.run(ctx, [&] {
        beforeRead();
        if (!ctx.port.read(device::kReplyBuffer, reply) || reply.empty()) {
            throw Failure(MessageKind::Error, cp1251::fromUtf8("Ошибка считывания данных"),
                          Outcome::DeviceTrouble);
        }
    });
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

// Reading the device, step by step: every register, the switch into the mode in which the
// device takes the phone-book commands (nothing is read), every slot from the first to the
// last, and "AT+CPAS" with its pause, which closes every reading. The check reads every slot;
// read programming's scan reads a part of them, so for it the slots' steps are the most its
// scan can take.
class ReadingPlan {
  public:
    ReadingPlan()
        : dataMode_(Step(device::kDataMode)
                        .then(Step::Then::Pause)
                        .then(Step::Then::PurgeInput)
                        .then(Step::Then::RaiseDtr)),
          closing_(Step(device::kStatus).then(Step::Then::Pause)) {
        for (const device::Register& reg : device::kRegisters) {
            registers_.push_back(readStep(device::readCommand(reg)));
        }
        for (int index = kFirstSlot; index <= kLastSlot; ++index) {
            slots_.push_back(readStep(device::phoneBookReadCommand(index)));
        }
    }

    // The whole reading, every slot read.
    Millis planned() const {
        return plannedTime(registers_) + dataMode_.planned() + scanBound(kFirstSlot) +
               closing_.planned();
    }
    // The most the phone-book scan can still take when `next` is the next slot it may read:
    // every slot from there to the last. (A first pass that ends below
    // the forward number's slot goes on at that slot, so it never reads more.)
    Millis scanBound(int next) const {
        Millis total = 0;
        for (int index = next; index <= kLastSlot; ++index) {
            total += slot(index).planned();
        }
        return total;
    }

    const Step& registerRead(std::size_t k) const { return registers_.at(k); }
    const Step& dataMode() const { return dataMode_; }
    const Step& slot(int index) const { return slots_.at(static_cast<std::size_t>(index - 1)); }
    const Step& closing() const { return closing_; }

  private:
    Steps registers_;  // in the order of device::kRegisters
    Step dataMode_;
    Steps slots_;  // slot 1 first
    Step closing_;
};

// How the phone book is read: by read programming's scan, which stops at empty slots, or every
// slot from the first to the last (the check against the window).
enum class SlotReads { Scan, Every };

// The reading shared by read programming and the check against the window: the registers and
// the SIM phone book, read into a command list as read programming lists them. Each line with
// its reply lies between two line boundaries, where a stop is taken.
class DeviceReading {
  public:
    DeviceReading(OperationContext& ctx, Progress& progress, TimeLeft& timeLeft, SlotReads reads)
        : ctx_(ctx), progress_(progress), timeLeft_(timeLeft), reads_(reads) {}

    void registers() {
        // Reading every slot, the whole schedule is known from the start; the scan's end is not.
        timeLeft_.set(plan_.planned(), reads_ == SlotReads::Scan);
        // Registers, every one of the table whatever the password length: the line that would
        // write the value read. It is listed whatever the reply's length; the loader judges its
        // form.
        for (std::size_t k = 0; k < device::kRegisters.size(); ++k) {
            const Step& read = plan_.registerRead(k);
            lineBoundary(ctx_);
            const std::string value =
                askDevice(ctx_, read, [&] { progress_.advance(kRegisterStep); });
            entries_.push_back(device::writeCommand(device::kRegisters[k]) + value);
            timeLeft_.done(read.planned());
        }

        lineBoundary(ctx_);
        plan_.dataMode().run(ctx_);
        timeLeft_.done(plan_.dataMode().planned());
    }

    // The tagged entries and the forward number from slot 1 on. When that pass stops at an
    // empty slot below the forward number's, the forward number's slot is read on its own (a
    // pass that stopped short would otherwise leave the device's forward number behind and
    // the window's old one in place), and the speed-dial entries from their own first slot.
    void phoneBook() {
        if (reads_ == SlotReads::Every) {
            for (int index = kFirstSlot; index <= kLastSlot; ++index) {
                readEntry(index);
                timeLeft_.done(plan_.slot(index).planned());
            }
            timeLeft_.set(plan_.closing().planned());
            return;
        }
        const int lastRead = readPass(kFirstSlot, kForwardSlot);
        if (lastRead < kForwardSlot) {
            readSlot(kForwardSlot, kFirstSpeedDialSlot);
            progress_.atLeast(kSecondPassProgress);
            readPass(kFirstSpeedDialSlot, kLastSlot + 1);
        }
        timeLeft_.set(plan_.closing().planned());
    }

    // The line that closes every reading, stopped or not.
    void close() { plan_.closing().run(ctx_); }

    const CommandList& entries() const { return entries_; }

    // The slots read that hold an entry read programming's scan does not reach: after the
    // first empty slot from 1 (but for the forward number's), or after the first empty one
    // from 101. Meaningful once every slot was read.
    std::vector<int> unreadSlots() const {
        std::vector<bool> reached(kLastSlot + 1, false);
        auto pass = [&](int index) {
            for (;; ++index) {
                reached[static_cast<std::size_t>(index)] = true;
                if (seen(index).empty || index >= kLastSlot) {
                    return index;
                }
            }
        };
        if (pass(kFirstSlot) < kForwardSlot) {
            reached[kForwardSlot] = true;
            pass(kFirstSpeedDialSlot);
        }
        std::vector<int> unread;
        for (int index = kFirstSlot; index <= kLastSlot; ++index) {
            if (seen(index).listed && !reached[static_cast<std::size_t>(index)]) {
                unread.push_back(index);
            }
        }
        return unread;
    }

  private:
    // What a slot's reply was: an entry, which is listed, or the answer of an empty slot.
    struct Seen {
        bool listed = false;
        bool empty = false;
    };
    Seen seen(int index) const {
        const auto it = seen_.find(index);
        return it == seen_.end() ? Seen{} : it->second;
    }

    // Reads one slot and lists it when it holds an entry; returns its trimmed reply.
    std::string readEntry(int index) {
        lineBoundary(ctx_);
        if (reads_ == SlotReads::Every) {
            progress_.set(kRegisterProgress +
                          index * (kProgressMaximum - kRegisterProgress) / kLastSlot);
        } else {
            progress_.advance(1);
        }
        std::string trimmed = askDevice(ctx_, plan_.slot(index), [] {});
        Seen& seen = seen_[index];
        if (device::isListedSlotReply(trimmed)) {
            trimmed = replaceAll(trimmed, device::kPhoneBookReplyHead, device::kPhoneBookWrite);
            entries_.push_back(trimmed);
            seen.listed = true;
        }
        seen.empty = device::isEmptySlotReply(trimmed);
        return trimmed;
    }

    // Reads one slot of the scan. Should the pass end here, the scan goes on at `next` when
    // this slot lies below it, and is over otherwise.
    std::string readSlot(int index, int next) {
        std::string trimmed = readEntry(index);
        const bool passGoesOn = !device::isEmptySlotReply(trimmed) && index < kLastSlot;
        const int after = passGoesOn ? index + 1 : index < next ? next : kLastSlot + 1;
        timeLeft_.set(plan_.scanBound(after) + plan_.closing().planned(), after <= kLastSlot);
        return trimmed;
    }

    // One pass over the phone book from `first`: each slot read is listed when it holds an
    // entry. The pass ends after the first empty slot, or after the last slot; the scan then
    // goes on at `next` when the pass ended below it. Returns the last index read.
    int readPass(int first, int next) {
        for (int index = first;; ++index) {
            const std::string trimmed = readSlot(index, next);
            // A reply too short to hold the "OK" of an empty slot is not taken as one: the pass
            // goes on. A device that answers nothing at all has already ended the operation
            // with a read error.
            if (device::isEmptySlotReply(trimmed) || index >= kLastSlot) {
                return index;
            }
        }
    }

    OperationContext& ctx_;
    Progress& progress_;
    TimeLeft& timeLeft_;
    SlotReads reads_;
    const ReadingPlan plan_;
    CommandList entries_;
    std::map<int, Seen> seen_;
};

// Reads the device under the given caption, from the presence check to the closing status line,
// into `entries`; with every slot read, `unread` gets the slots read programming's scan would not
// reach. False when the user stopped it: the status line has closed the run and the entries are
// incomplete. The progress window stays shown either way.
bool readDevice(OperationContext& ctx, const Text& caption, SlotReads reads, CommandList& entries,
                std::vector<int>* unread = nullptr) {
    OperationUser& user = ctx.user;
    Progress progress(user);
    progress.set(0);
    user.setCaption(caption);

    Connect(ctx.port, ctx.clock);
    user.showProgress();
    user.setRange(0, kProgressMaximum);

    TimeLeft timeLeft(user);
    DeviceReading reading(ctx, progress, timeLeft, reads);
    bool stopped = false;
    try {
        reading.registers();
        reading.phoneBook();
        progress.set(kProgressMaximum);
    } catch (const StopPoint&) {
        stopped = true;
    }

    reading.close();
    timeLeft.set(0);
    entries = reading.entries();
    if (unread && !stopped) {
        *unread = reading.unreadSlots();
    }
    return !stopped;
}

Text readingCaption() {
    return cp1251::fromUtf8("Чтение программирования");
}

// The progress window's caption between operations.
Text restingCaption() {
    return cp1251::fromUtf8("Запись программирования");
}

// Read programming refuses a read-back the window cannot hold, naming every value.
Failure refusedValues(const std::vector<RefusedValue>& refused) {
    Text text = cp1251::fromUtf8(
        "GSM-Тарк Орвелин-9 хранит значения, которые окно программы не может принять:");
    for (const RefusedValue& value : refused) {
        text += "\n" + describeRefusal(value);
    }
    text +=
        cp1251::fromUtf8("\nСчитанные данные записаны в файл 1.txt. Окно программы не изменено.");
    return Failure(MessageKind::Error, text, Outcome::HoldsUnrecordable);
}

}  // namespace

void readProgramming(OperationContext& ctx, SettingsRecord& record) {
    CommandList entries;
    if (!readDevice(ctx, readingCaption(), SlotReads::Scan, entries)) {
        ctx.user.closeProgress();
        ctx.user.setCaption(restingCaption());
        throw Stopped(
            cp1251::fromUtf8("Чтение программирования остановлено. Окно программы не "
                             "изменено, файл 1.txt не записан."));
    }

    const std::string path = ctx.file(kCommandListFile);
    saveLines(path, fileLines(entries));
    // The window takes the read-back whole or not at all.
    SettingsRecord loaded = record;
    const std::vector<RefusedValue> refused =
        loadReadBack(readWholeFile(path), loaded, kCommandListFile);
    if (!refused.empty()) {
        ctx.user.closeProgress();
        ctx.user.setCaption(restingCaption());
        throw refusedValues(refused);
    }
    record = std::move(loaded);

    ctx.user.closeProgress();
    ctx.user.setCaption(restingCaption());
}

Differences compareWithDevice(OperationContext& ctx, const SettingsRecord& window,
                              std::optional<SettingsRecord>* read) {
    // A record the device could not hold is refused before anything is sent.
    checkEncodable(window);
    CommandList entries;
    std::vector<int> unread;
    const bool complete = readDevice(ctx, cp1251::fromUtf8("Сверка с устройством"),
                                     SlotReads::Every, entries, &unread);
    ctx.user.closeProgress();
    ctx.user.setCaption(restingCaption());
    if (!complete) {
        throw Stopped(
            cp1251::fromUtf8("Сверка с устройством остановлена. Окно программы не изменено."));
    }

    // What was read, taken as read programming would load it, but into a record of its own:
    // no file is written and the window is left as it is.
    std::string text;
    for (const Text& line : fileLines(entries)) {
        text += line + "\r\n";
    }
    // A value the window cannot hold is a difference of its own; the setting or slot it stands
    // for is taken as the window's, so that it is not told twice.
    SettingsRecord device = asWritten(window);
    std::vector<RefusedValue> refused;
    try {
        refused = loadReadBack(text, device, Text());
    } catch (const Failure&) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8("Данные, считанные из GSM-Тарк Орвелин-9, имеют не "
                                       "правильный формат. Сверка не выполнена."),
                      Outcome::DeviceTrouble);
    }
    Differences differences = compareRecords(window, device);
    if (read && refused.empty()) {
        *read = device;
    }
    differences.refused = std::move(refused);
    differences.unreadSlots = std::move(unread);
    return differences;
}

}  // namespace orv
