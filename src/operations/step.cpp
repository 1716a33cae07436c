#include "operations/step.h"

#include "link/com_create.h"

namespace orv {

namespace {

// What is read between a line's last character and its CR: at most this many bytes, so that
// the read's time-out ends before the CR is due.
constexpr std::size_t kBeforeCrRead = 97;
static_assert(kReadTotalConstant + static_cast<int>(kBeforeCrRead) * kReadTotalPerByte <
              static_cast<int>(kByteInterval));

}  // namespace

Step Step::pauses(int count) {
    Step step;
    step.then(Then::Pause, count);
    return step;
}

Step& Step::pauseFirst() {
    ++pausesFirst_;
    return *this;
}

Step& Step::then(Then action, int times) {
    after_.insert(after_.end(), static_cast<std::size_t>(times), action);
    return *this;
}

Step& Step::readingBeforeCr() {
    readBeforeCr_ = true;
    return *this;
}

std::string Step::send(OperationContext& ctx, const std::function<void()>& atLine) const {
    for (int i = 0; i < pausesFirst_; ++i) {
        Pause(ctx.clock);
    }
    if (atLine) {
        atLine();
    }
    if (!hasLine_) {
        return std::string();
    }
    if (readBeforeCr_) {
        return sendReadingBeforeCr(line_, ctx.port, ctx.clock);
    }
    SendCommand(line_, ctx.port, ctx.clock);
    return std::string();
}

void Step::complete(OperationContext& ctx, const ReadReply& read) const {
    for (const Then action : after_) {
        switch (action) {
            case Then::Pause:
                Pause(ctx.clock);
                break;
            case Then::ReadReply:
                read();
                break;
            case Then::PurgeInput:
                ctx.port.purgeInput();
                break;
            case Then::RaiseDtr:
                ctx.port.setDtr();
                break;
            case Then::RaiseRts:
                ctx.port.setRts();
                break;
        }
    }
}

std::string Step::run(OperationContext& ctx, const ReadReply& read) const {
    std::string beforeCr = send(ctx);
    complete(ctx, read);
    return beforeCr;
}

Millis Step::planned() const {
    Millis total = hasLine_ ? lineTime(line_) : 0;
    total += pausesFirst_ * kPauseLength;
    for (const Then action : after_) {
        if (action == Then::Pause) {
            total += kPauseLength;
        } else if (action == Then::ReadReply) {
            total += kReplyReadTime;
        }
    }
    return total;
}

Millis plannedTime(const Steps& steps) {
    Millis total = 0;
    for (const Step& step : steps) {
        total += step.planned();
    }
    return total;
}

std::string sendReadingBeforeCr(const Text& line, Port& port, Clock& clock) {
    sendPaced(line, port, clock);
    const Millis lastByte = clock.now();
    std::string earlier;
    port.read(kBeforeCrRead, earlier);
    waitSince(clock, lastByte, kByteInterval);
    port.writeByte('\r');
    return earlier;
}

}  // namespace orv
