#include <cstdlib>

#include "link/com_create.h"
#include "link/presence.h"
#include "operations/programming.h"
#include "operations/schedule.h"
#include "settings/config_file.h"
#include "settings/device_vocabulary.h"
#include "settings/encoding.h"

namespace orv {

Text writeProgrammingQuestion() {
    return cp1251::fromUtf8("При программировании данные в Sim-карте будут запорчены. Продолжить?");
}

Text clearSimQuestion() {
    return cp1251::fromUtf8("Вы уверены что хотите стереть все записи из Sim-карты?");
}

namespace {

Text eraseLine(int slot) {
    return device::phoneBookWriteHead(slot);
}

// The whole run after the presence check: the record's lines, the erases with their pauses and
// "AT&W0" with its pause. The first line has its pause before it and none after; every later
// line but the status line, which closes every command list, is followed by one.
Millis plannedTime(const CommandList& lines, const std::vector<int>& erase) {
    Millis total = lineTime(device::kStoreSettings) + kPauseLength;
    for (const Text& line : lines) {
        total += lineTime(line) + kPauseLength;
    }
    if (!lines.empty()) {
        total -= kPauseLength;  // none after the closing status line
    }
    for (int slot : erase) {
        total += lineTime(eraseLine(slot)) + kPauseLength;
    }
    return total;
}

// Takes the command list from the encoding as it is built: lists each line, sends it with its
// pause and moves the progress bar. Before the closing status line every phone-book slot the
// record did not write is erased, so that no entry of an earlier programming stays active, and
// the device is told to store its settings ("AT&W0"); both are sent but not listed. A stop
// asked for is taken before and after each line but the status line, which closes every run.
class ProgrammingSink : public EncodingSink {
  public:
    ProgrammingSink(OperationContext& ctx, std::vector<int> erase, TimeLeft& timeLeft)
        : ctx_(ctx), erase_(std::move(erase)), timeLeft_(timeLeft) {}

    // The first line gets its pause before it and none after, so that the first two lines
    // follow each other directly; every later line is followed by one.
    void line(const Text& line) override {
        const bool first = lines_.empty();
        if (first) {
            Pause(ctx_.clock);
        }
        lines_.push_back(line);
        send(line);
        if (!first) {
            Pause(ctx_.clock);
        }
        timeLeft_.done(lineTime(line) + kPauseLength);
    }

    // The erases and "AT&W0" go before the status line, which has no pause after it.
    void closingLine(const Text& line) override {
        for (int slot : erase_) {
            const Text erase = eraseLine(slot);
            send(erase);
            Pause(ctx_.clock);
            advance();
            timeLeft_.done(lineTime(erase) + kPauseLength);
        }
        // A stop that comes while "AT&W0" is sent is too late: the run ends as usual.
        lineBoundary(ctx_);
        SendCommand(device::kStoreSettings, ctx_.port, ctx_.clock);
        requireLine(ctx_);
        ++sent_;
        Pause(ctx_.clock);
        timeLeft_.done(lineTime(device::kStoreSettings) + kPauseLength);

        lines_.push_back(line);
        SendCommand(line, ctx_.port, ctx_.clock);
        requireLine(ctx_);
        advance();
        timeLeft_.done(lineTime(line));
    }
    void rowDone(TableId) override { advance(); }
    void forwardDone() override { advance(); }

    const CommandList& lines() const { return lines_; }
    // The lines sent so far, listed or not.
    int sent() const { return sent_; }

  private:
    // One line between two line boundaries.
    void send(const Text& line) {
        lineBoundary(ctx_);
        SendCommand(line, ctx_.port, ctx_.clock);
        requireLine(ctx_);
        ++sent_;
        lineBoundary(ctx_);
    }
    void advance() { ctx_.user.setPosition(++position_); }

    OperationContext& ctx_;
    std::vector<int> erase_;
    TimeLeft& timeLeft_;
    CommandList lines_;
    int position_ = 0;
    int sent_ = 0;
};

Text writeStoppedMessage(int sent, int total) {
    if (sent == 0) {
        return cp1251::fromUtf8(
            "Запись программирования остановлена до первой строки: в GSM-Тарк Орвелин-9 "
            "ничего не записано. Файл 1.txt не изменен.");
    }
    return cp1251::fromUtf8("Запись программирования остановлена: передано строк " +
                            std::to_string(sent) + " из " + std::to_string(total) +
                            ". В GSM-Тарк Орвелин-9 записана только часть программирования, "
                            "выполните запись программирования снова. Файл 1.txt не изменен.");
}

Text commandListNotSavedMessage(const Text& why) {
    return cp1251::fromUtf8(
               "Программирование записано в GSM-Тарк Орвелин-9 полностью: устройство хранит "
               "настройки из окна. Файл 1.txt не сохранен: ") +
           why;
}

}  // namespace

std::vector<int> unwrittenSlots(const CommandList& lines) {
    std::vector<bool> written(kLastSimSlot + 1, false);
    const std::string head = device::kPhoneBookWrite;
    for (const Text& line : lines) {
        if (line.compare(0, head.size(), head) == 0) {
            const int slot = std::atoi(line.c_str() + head.size());
            if (slot >= 1 && slot <= kLastSimSlot) {
                written[static_cast<std::size_t>(slot)] = true;
            }
        }
    }
    std::vector<int> slots;
    for (int slot = 1; slot <= kLastSimSlot; ++slot) {
        if (!written[static_cast<std::size_t>(slot)]) {
            slots.push_back(slot);
        }
    }
    return slots;
}

void writeProgramming(OperationContext& ctx, const SettingsRecord& record) {
    // The whole record is encoded before the device is touched: a record that could not be
    // encoded, or read back as written, is refused with nothing sent and no file written.
    const CommandList lines = encode(record);
    std::vector<int> erase = unwrittenSlots(lines);

    ctx.reader.stopReader();
    Connect(ctx.port, ctx.clock);
    ctx.user.showProgress();  // the caption stays as it is

    int rows = 0;
    for (const PhoneTable& table : record.tables) {
        rows += static_cast<int>(table.size());
    }
    ctx.user.setRange(0, rows + static_cast<int>(erase.size()));
    ctx.user.setPosition(0);

    // The lines the run sends before its status line: the record's, the erases and "AT&W0".
    const int total = static_cast<int>(lines.size() + erase.size());
    TimeLeft timeLeft(ctx.user);
    timeLeft.set(plannedTime(lines, erase));

    // A line lost midway stops here with the lines sent so far, the progress window shown and
    // the reader stopped; no "1.txt" is written. A stop closes the run with the status line
    // where the next line would have gone, and writes no "1.txt" either: the device holds
    // only part of the record.
    ProgrammingSink sink(ctx, std::move(erase), timeLeft);
    try {
        encode(record, sink);
    } catch (const StopPoint&) {
        SendCommand(device::kStatus, ctx.port, ctx.clock);
        ctx.user.closeProgress();
        ctx.reader.startReader();
        throw Stopped(writeStoppedMessage(sink.sent(), total));
    }

    // The device holds the whole record by now: a "1.txt" that cannot be written ends the run
    // as a finished one does, and the message says both.
    try {
        saveLines(ctx.file(kCommandListFile), sink.lines());
    } catch (const Failure& failure) {
        ctx.user.closeProgress();
        ctx.reader.startReader();
        throw Failure(MessageKind::Warning, commandListNotSavedMessage(failure.text()));
    }
    ctx.user.closeProgress();
    ctx.reader.startReader();
}

namespace {

// SIM clearing after the presence check: "ATK1", the erases with their pauses, two more pauses
// and the status line.
Millis clearSimTime() {
    Millis total = lineTime(device::kDataMode) + 2 * kPauseLength + lineTime(device::kStatus);
    for (int location = 1; location <= kLastSimSlot; ++location) {
        total += lineTime(eraseLine(location)) + kPauseLength;
    }
    return total;
}

Text clearStoppedMessage(int erased) {
    std::string text = "Стирание Sim-карты остановлено. ";
    if (erased == 0) {
        text += "Ни одна запись не стерта.";
    } else if (erased < kLastSimSlot) {
        text += "Стерты записи с 1 по " + std::to_string(erased) + ", записи с " +
                std::to_string(erased + 1) + " по " + std::to_string(kLastSimSlot) +
                " не изменены.";
    } else {
        text += "Стерты записи с 1 по " + std::to_string(erased) + ".";
    }
    return cp1251::fromUtf8(text);
}

}  // namespace

void clearSim(OperationContext& ctx) {
    ctx.reader.stopReader();
    Connect(ctx.port, ctx.clock);

    ctx.user.setCaption(cp1251::fromUtf8("Стирание Sim-карты"));
    ctx.user.showProgress();
    ctx.user.setRange(0, kLastSimSlot);
    ctx.user.setPosition(0);
    TimeLeft timeLeft(ctx.user);
    timeLeft.set(clearSimTime());

    // A stop is taken before and after each line; the status line closes the run either way,
    // and the slots after the last one erased keep their entries.
    int erased = 0;
    bool stopped = false;
    try {
        lineBoundary(ctx);
        SendCommand(device::kDataMode, ctx.port, ctx.clock);
        timeLeft.done(lineTime(device::kDataMode));
        for (int location = 1; location <= kLastSimSlot; ++location) {
            lineBoundary(ctx);
            ctx.user.setPosition(location);
            // The write command with the location alone erases that entry.
            const Text erase = eraseLine(location);
            SendCommand(erase, ctx.port, ctx.clock);
            requireLine(ctx);
            erased = location;
            lineBoundary(ctx);
            Pause(ctx.clock);
            timeLeft.done(lineTime(erase) + kPauseLength);
        }
        Pause(ctx.clock);
        Pause(ctx.clock);
        timeLeft.done(2 * kPauseLength);
    } catch (const StopPoint&) {
        stopped = true;
    }
    SendCommand(device::kStatus, ctx.port, ctx.clock);
    timeLeft.done(lineTime(device::kStatus));

    ctx.user.setCaption(cp1251::fromUtf8("Запись программирования"));
    ctx.user.closeProgress();
    ctx.reader.startReader();
    if (stopped) {
        throw Stopped(clearStoppedMessage(erased));
    }
}

}  // namespace orv
