#include <cstdlib>

#include "link/com_create.h"
#include "link/device.h"
#include "link/presence.h"
#include "operations/programming.h"
#include "settings/config_file.h"
#include "settings/encoding.h"

namespace orv {

Text writeProgrammingQuestion() {
    return cp1251::fromUtf8("При программировании данные в Sim-карте будут запорчены. Продолжить?");
}

Text clearSimQuestion() {
    return cp1251::fromUtf8("Вы уверены что хотите стереть все записи из Sim-карты?");
}

namespace {

// Takes the command list from the encoding as it is built: lists each line, sends it with its
// pause and moves the progress bar. Before the closing status line every phone-book slot the
// record did not write is erased, so that no entry of an earlier programming stays active, and
// the device is told to store its settings ("AT&W0"); both are sent but not listed.
class ProgrammingSink : public EncodingSink {
  public:
    ProgrammingSink(OperationContext& ctx, std::vector<int> erase)
        : ctx_(ctx), erase_(std::move(erase)) {}

    void line(const Text& line) override {
        const bool first = lines_.empty();
        const bool last = line == device::kStatus;
        if (last) {
            for (int slot : erase_) {
                SendCommand(device::kPhoneBookWrite + std::to_string(slot), ctx_.port, ctx_.clock);
                requireLine(ctx_);
                Pause(ctx_.clock);
                advance();
            }
            SendCommand(device::kStoreSettings, ctx_.port, ctx_.clock);
            requireLine(ctx_);
            Pause(ctx_.clock);
        }
        // The first line gets its pause before it and none after, so that the first two lines
        // follow each other directly; every later line but the status line is followed by one.
        if (first) {
            Pause(ctx_.clock);
        }
        lines_.push_back(line);
        SendCommand(line, ctx_.port, ctx_.clock);
        requireLine(ctx_);
        if (last) {
            advance();
        } else if (!first) {
            Pause(ctx_.clock);
        }
    }
    void rowDone(TableId) override { advance(); }
    void forwardDone() override { advance(); }

    const CommandList& lines() const { return lines_; }

  private:
    void advance() { ctx_.user.setPosition(++position_); }

    OperationContext& ctx_;
    std::vector<int> erase_;
    CommandList lines_;
    int position_ = 0;
};

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
    std::vector<int> erase = unwrittenSlots(encode(record));

    ctx.reader.stopReader();
    Connect(ctx.port, ctx.clock);
    ctx.user.showProgress();  // the caption stays as it is

    int rows = 0;
    for (const PhoneTable& table : record.tables) {
        rows += static_cast<int>(table.size());
    }
    ctx.user.setRange(0, rows + static_cast<int>(erase.size()));
    ctx.user.setPosition(0);

    // A line lost midway stops here with the lines sent so far, the progress window shown and
    // the reader stopped; no "1.txt" is written.
    ProgrammingSink sink(ctx, std::move(erase));
    encode(record, sink);

    saveLines(ctx.file(kCommandListFile), sink.lines());
    ctx.user.closeProgress();
    ctx.reader.startReader();
}

void clearSim(OperationContext& ctx) {
    ctx.reader.stopReader();
    Connect(ctx.port, ctx.clock);

    ctx.user.setCaption(cp1251::fromUtf8("Стирание Sim-карты"));
    ctx.user.showProgress();
    ctx.user.setRange(0, kLastSimSlot);
    ctx.user.setPosition(0);

    SendCommand(device::kDataMode, ctx.port, ctx.clock);
    for (int location = 1; location <= kLastSimSlot; ++location) {
        ctx.user.setPosition(location);
        // The write command with the location alone erases that entry.
        SendCommand(device::kPhoneBookWrite + std::to_string(location), ctx.port, ctx.clock);
        requireLine(ctx);
        Pause(ctx.clock);
    }
    Pause(ctx.clock);
    Pause(ctx.clock);
    SendCommand(device::kStatus, ctx.port, ctx.clock);

    ctx.user.setCaption(cp1251::fromUtf8("Запись программирования"));
    ctx.user.closeProgress();
    ctx.reader.startReader();
}

}  // namespace orv
