#pragma once
// Reading the history back: the records of the data folder's "history", newest first, each as
// its files tell it (history.h writes them). Nothing there is trusted: every file is read only
// when it is a regular file and within the bound of its kind, and outcome.txt is parsed as
// HistoryRecord::finish writes it, line by line; a file that is refused names itself and the
// line (in `problem`), and the rest of the record is still listed.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/regular_file.h"
#include "records/history.h"

namespace orv {

struct HistoryEntry {
    std::string name;       // the folder's name, "20261209-223000-write"
    std::string folder;     // its path
    std::string operation;  // from outcome.txt: "write", "read"...
    std::string version;    // the program's version that wrote it
    std::string start;      // "2026-12-09 22:30:00" (UTC)
    std::string end;        // empty while the run goes on (or when it was cut off)
    std::string status;
    std::string message;  // UTF-8, its lines joined by "\n"
    std::vector<std::pair<std::string, std::string>> figures;
    std::vector<std::string> unconfirmed;
    std::string port, byIdName, label;
    // Non-empty when a file of the record was refused: UTF-8, Russian, naming the file and the
    // line ("outcome.txt, строка 7: …"); several are joined by "\n".
    std::string problem;

    // Still being written, or left so by a crash: outcome.txt has no end yet.
    bool unfinished() const { return end.empty() && problem.empty(); }
};

// The most a file of a record may hold, by its name: the transcript's bound (and the line that
// went past it), a configuration file's for the ".cfg" files and "1.txt", 4 MB for outcome.txt
// (a broadcast's unconfirmed numbers), 16 KB for the label and the port, 1 MB for any other.
FileBound historyFileBound(const std::string& name);

// The records of `dataFolder`/history, newest first, at most `most` of them (the history keeps
// no more). Only folders named as records are taken; a missing history is an empty list.
std::vector<HistoryEntry> listHistory(const std::string& dataFolder,
                                      std::size_t most = HistoryBounds().records);

// One record, by its folder.
HistoryEntry readHistoryEntry(const std::string& recordFolder);

// Parses outcome.txt into `entry`; false with `problem` set ("outcome.txt, строка N: …") when a
// line is not as the record writes it. A file without "end" is a run still going on.
bool parseHistoryOutcome(const std::string& text, HistoryEntry& entry);

// Gives the record a new label (label.txt); line breaks become blanks. Throws a Failure with a
// Russian message when the folder is no record or the file cannot be written.
void relabelHistoryRecord(const std::string& recordFolder, const std::string& label);

// A file of the record, whole, within its bound (historyFileBound). Throws FileRefused; a name
// that is no plain file name of the folder (a path, "..") is refused too.
std::string readHistoryFile(const std::string& recordFolder, const std::string& name);

// The file's last `maxBytes` bytes at most, starting at a line when it was cut, so that a
// transcript of 50 MB is shown by its end without reading it all. Throws FileRefused.
std::string readHistoryFileTail(const std::string& recordFolder, const std::string& name,
                                std::size_t maxBytes);

}  // namespace orv
