// TerminalSession, the journal of the terminal's session: its definitions (terminal_session.h
// says what it does).
#include "app/terminal_session.h"

#include <exception>
#include <string>

#include "app/operation_runner.h"
#include "link/link.h"
#include "records/run_outcome.h"
#include "records/transcript.h"

namespace orv::ui {

TerminalSession::TerminalSession(Link& link, OperationRunner& runner,
                                 std::shared_ptr<History> history)
    : link_(link), runner_(runner), history_(std::move(history)) {
    if (!history_) {
        return;
    }
    record_ = history_->begin("terminal", std::string());
    problem_ = history_->takeProblem();
    if (!record_.ok()) {
        return;
    }
    link_.post([path = record_.transcriptPath()](LinkContext& ctx) {
        ctx.setTerminalPort(
            std::make_unique<TranscriptPort>(ctx.port(), ctx.clock(), path, std::string()));
    });
}

TerminalSession::~TerminalSession() {
    if (!record_.ok()) {
        return;
    }
    link_.post([](LinkContext& ctx) { ctx.setTerminalPort(nullptr); });
    HistoryOutcome outcome;
    // The status a finished operation has, so the history reads it like the others.
    outcome.status = std::to_string(static_cast<int>(ExitStatus::Done));
    record_.finish(outcome);
}

void TerminalSession::saveTo(const std::string& path) {
    const std::string from = record_.transcriptPath();
    if (const std::exception_ptr error =
            runner_.runAndWait([from, path](LinkContext&) { copyTranscript(from, path); })) {
        std::rethrow_exception(error);
    }
}

}  // namespace orv::ui
