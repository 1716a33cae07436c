#pragma once
// TerminalSession, the journal of the terminal's session: from the moment the terminal is shown,
// every byte it receives and every byte typed into it, with their times and the port's events,
// go to a byte transcript kept as a history record of its own ("terminal"), under the history's
// bounds. The transcript is written on the link thread, where the bytes are read and written;
// "Сохранить журнал…" saves a copy of it.

#include <memory>
#include <string>

#include "records/history.h"

namespace orv {
class Link;
}

namespace orv::ui {

class OperationRunner;

class TerminalSession {
  public:
    // Begins the record in `history` and puts its transcript in front of the terminal's port on
    // `link`. A history that cannot be written leaves the terminal as it is, without a journal;
    // problem() then says why, once in the program's run.
    TerminalSession(Link& link, OperationRunner& runner, std::shared_ptr<History> history);
    // Takes the transcript away from the terminal's port and ends the record.
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // True while the journal is kept.
    bool keeping() const { return record_.ok(); }
    const std::string& problem() const { return problem_; }
    // The transcript's file; empty without a journal.
    std::string transcriptPath() const { return record_.transcriptPath(); }

    // Saves a copy of the journal as `path`, with everything the link took before now (the
    // copy is made on the link thread, after the jobs before it, while the windows wait).
    // Throws the Failure of a file that cannot be read or saved.
    void saveTo(const std::string& path);

  private:
    Link& link_;
    OperationRunner& runner_;
    std::shared_ptr<History> history_;
    HistoryRecord record_;
    std::string problem_;
};

}  // namespace orv::ui
