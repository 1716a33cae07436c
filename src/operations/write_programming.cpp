#include <cstdlib>

#include "link/com_create.h"
#include "link/presence.h"
#include "operations/programming.h"
#include "operations/schedule.h"
#include "operations/step.h"
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

// The write command with the slot alone erases that slot's entry.
Step eraseStep(int slot) {
    return Step(device::phoneBookWriteHead(slot)).then(Step::Then::Pause);
}

// Write programming after the presence check, step by step: the record's lines, the erases of
// the slots the record does not write, "AT&W0" and the status line that closes every command
// list. The first line has its pause before it and none after, so that the first two lines
// follow each other directly; every later line but the status line is followed by one.
struct WriteSteps {
    WriteSteps(const CommandList& lines, const std::vector<int>& erase)
        : store(Step(device::kStoreSettings).then(Step::Then::Pause)),
          status(lines.empty() ? Text(device::kStatus) : lines.back()) {
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            record.push_back(i == 0 ? Step(lines[i]).pauseFirst()
                                    : Step(lines[i]).then(Step::Then::Pause));
        }
        for (int slot : erase) {
            erases.push_back(eraseStep(slot));
        }
    }
    Millis planned() const {
        return plannedTime(record) + plannedTime(erases) + store.planned() + status.planned();
    }

    Steps record;  // the record's lines but its status line
    Steps erases;
    Step store;
    Step status;
};

// Takes the command list from the encoding as it is built: lists each line, sends it as its
// step says and moves the progress bar. Before the closing status line every phone-book slot
// the record did not write is erased, so that no entry of an earlier programming stays active,
// and the device is told to store its settings ("AT&W0"); both are sent but not listed. A stop
// asked for is taken before and after each line but the status line, which closes every run.
class ProgrammingSink : public EncodingSink {
  public:
    ProgrammingSink(OperationContext& ctx, const WriteSteps& steps, TimeLeft& timeLeft)
        : ctx_(ctx), steps_(steps), timeLeft_(timeLeft) {}

    void line(const Text& line) override {
        lines_.push_back(line);
        run(steps_.record.at(next_++), true);
    }

    // The erases and "AT&W0" go before the status line.
    void closingLine(const Text& line) override {
        for (const Step& erase : steps_.erases) {
            run(erase, true);
            advance();
        }
        // A stop that comes while "AT&W0" is sent is too late: the run ends as usual.
        run(steps_.store, false);

        lines_.push_back(line);
        steps_.status.run(ctx_);
        requireLine(ctx_);
        advance();
        timeLeft_.done(steps_.status.planned());
    }
    void rowDone(TableId) override { advance(); }
    void forwardDone() override { advance(); }

    const CommandList& lines() const { return lines_; }
    // The lines sent so far, listed or not.
    int sent() const { return sent_; }

  private:
    // One line after a line boundary, and after another one when `stopAfter`, then what
    // follows it.
    void run(const Step& step, bool stopAfter) {
        step.send(ctx_, [this] { lineBoundary(ctx_); });
        requireLine(ctx_);
        ++sent_;
        if (stopAfter) {
            lineBoundary(ctx_);
        }
        step.complete(ctx_);
        timeLeft_.done(step.planned());
    }
    void advance() { ctx_.user.setPosition(++position_); }

    OperationContext& ctx_;
    const WriteSteps& steps_;
    TimeLeft& timeLeft_;
    CommandList lines_;
    std::size_t next_ = 0;
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
    const std::vector<int> erase = unwrittenSlots(lines);
    const WriteSteps steps(lines, erase);

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
    timeLeft.set(steps.planned());

    // A line lost midway stops here with the lines sent so far, the progress window shown and
    // the reader stopped; no "1.txt" is written. A stop closes the run with the status line
    // where the next line would have gone, and writes no "1.txt" either: the device holds
    // only part of the record.
    ProgrammingSink sink(ctx, steps, timeLeft);
    try {
        encode(record, sink);
    } catch (const StopPoint&) {
        steps.status.run(ctx);
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
        throw Failure(MessageKind::Warning, commandListNotSavedMessage(failure.text()),
                      Outcome::NotSaved);
    }
    ctx.user.closeProgress();
    ctx.reader.startReader();
}

namespace {

// SIM clearing after the presence check, step by step: "ATK1", the erases of slots 1 to 150
// with their pauses, two more pauses and the status line.
Steps clearSimSteps() {
    Steps steps{Step(device::kDataMode)};
    for (int slot = 1; slot <= kLastSimSlot; ++slot) {
        steps.push_back(eraseStep(slot));
    }
    steps.push_back(Step::pauses(2));
    steps.push_back(Step(device::kStatus));
    return steps;
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
    const Steps steps = clearSimSteps();  // step k erases slot k
    TimeLeft timeLeft(ctx.user);
    timeLeft.set(plannedTime(steps));

    // A stop is taken before and after each line; the status line closes the run either way,
    // and the slots after the last one erased keep their entries.
    int erased = 0;
    bool stopped = false;
    try {
        lineBoundary(ctx);
        steps.front().run(ctx);
        timeLeft.done(steps.front().planned());
        for (int slot = 1; slot <= kLastSimSlot; ++slot) {
            const Step& erase = steps[static_cast<std::size_t>(slot)];
            lineBoundary(ctx);
            ctx.user.setPosition(slot);
            erase.send(ctx);
            requireLine(ctx);
            erased = slot;
            lineBoundary(ctx);
            erase.complete(ctx);
            timeLeft.done(erase.planned());
        }
        const Step& pauses = steps[kLastSimSlot + 1];
        pauses.run(ctx);
        timeLeft.done(pauses.planned());
    } catch (const StopPoint&) {
        stopped = true;
    }
    steps.back().run(ctx);
    timeLeft.done(steps.back().planned());

    ctx.user.setCaption(cp1251::fromUtf8("Запись программирования"));
    ctx.user.closeProgress();
    ctx.reader.startReader();
    if (stopped) {
        throw Stopped(clearStoppedMessage(erased));
    }
}

}  // namespace orv
