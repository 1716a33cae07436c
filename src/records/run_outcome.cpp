#include "records/run_outcome.h"

#include <cstdio>
#include <new>
#include <string>

#include "link/port.h"

namespace orv {

ExitStatus statusOf(Outcome outcome) {
    static const struct {
        Outcome outcome;
        ExitStatus status;
    } table[] = {
        {Outcome::Done, ExitStatus::Done},
        {Outcome::Failed, ExitStatus::DeviceTrouble},
        {Outcome::DeviceTrouble, ExitStatus::DeviceTrouble},
        {Outcome::LineLost, ExitStatus::LineLost},
        {Outcome::HoldsUnrecordable, ExitStatus::Differs},
        {Outcome::NotSaved, ExitStatus::NotSaved},
        {Outcome::PortUnavailable, ExitStatus::PortUnavailable},
        {Outcome::Stopped, ExitStatus::Stopped},
        {Outcome::Refused, ExitStatus::Refused},
    };
    for (const auto& row : table) {
        if (row.outcome == outcome) {
            return row.status;
        }
    }
    return ExitStatus::DeviceTrouble;
}

ExitStatus statusOfFailure(std::exception_ptr error, const Port& port, Text& message) {
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        message = failure.text();
        const Outcome outcome = failure.outcome();
        // The device that seemed absent or to answer nonsense was a line no longer there.
        const bool troubled = outcome == Outcome::Failed || outcome == Outcome::DeviceTrouble;
        return statusOf(troubled && !port.isOpen() ? Outcome::LineLost : outcome);
    } catch (const SilentAbort&) {
        // Lines refused once the program had to end.
        return statusOf(Outcome::Stopped);
    } catch (const std::bad_alloc&) {
        message = cp1251::fromUtf8("Недостаточно памяти");
        return statusOf(Outcome::Failed);
    } catch (const std::exception& e) {
        message = cp1251::fromUtf8(e.what());
        return statusOf(Outcome::Failed);
    } catch (...) {
        message = cp1251::fromUtf8("Возникла непредвиденная ошибка");
        return statusOf(Outcome::Failed);
    }
}

std::size_t differenceCount(const Differences& differences) {
    return differences.settings.size() + differences.numbers.size() +
           (differences.speedDialOrder ? 1 : 0) + differences.refused.size() +
           differences.unreadSlots.size();
}

void tallyBroadcast(const BroadcastReport& report, RunSummary& summary) {
    for (const RecipientRow& row : report.rows) {
        if (row.number.empty()) {
            continue;
        }
        switch (row.outcome) {
            case SendOutcome::Confirmed:
                break;
            case SendOutcome::Unconfirmed:
                summary.unconfirmed.push_back(row.number);
                break;
            case SendOutcome::Refused:
                summary.refused.push_back(row.number);
                break;
            case SendOutcome::NotSent:
                summary.notSent.push_back(row.number);
                break;
        }
    }
    const bool allConfirmed =
        summary.unconfirmed.empty() && summary.refused.empty() && summary.notSent.empty();
    if (report.ending == BroadcastEnding::Finished && !allConfirmed) {
        summary.status = ExitStatus::Unconfirmed;
    }
}

HistoryOutcome historyOutcome(const RunSummary& summary) {
    HistoryOutcome outcome;
    outcome.status = std::to_string(static_cast<int>(summary.status));
    outcome.message = cp1251::toUtf8(summary.message);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", summary.seconds);
    outcome.figures = {{"seconds", seconds},
                       {"lines_sent", std::to_string(summary.linesSent)},
                       {"differences", std::to_string(summary.differences)},
                       {"refused", std::to_string(summary.refused.size())},
                       {"not_sent", std::to_string(summary.notSent.size())}};
    for (const Text& number : summary.unconfirmed) {
        outcome.unconfirmed.push_back(cp1251::toUtf8(number));
    }
    return outcome;
}

}  // namespace orv
