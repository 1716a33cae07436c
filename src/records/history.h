#pragma once
// The history of operations: every device operation leaves a folder of its own in the data
// folder's "history", written as the run goes, so that a crash or a pulled cable leaves what
// happened up to then:
//
//   history/<YYYYMMDD-HHMMSS>-<operation>[-<n>]/   the start (UTC); "-2", "-3"... when taken
//     outcome.txt      operation, program version, start, then at the end: end, status, the
//                      final message, the figures, the unconfirmed recipients (UTF-8)
//     label.txt        the unit or site the user named
//     port.txt         the port, and its by-id name when there is one
//     record.cfg       the configuration written or read
//     1.txt            the run's command list
//     transcript.txt   the byte transcript (TranscriptPort writes it)
//     window-before.cfg, device-before.cfg
//                      before a write: the window's record, and the device's last known one
//
// Every file of a record is the user's alone (0600), as its folder is (0700).
//
// The folder is made in one step (a taken name moves on to the next counter), so several
// programs may write at once. The history keeps at most 1000 records and 200 MB: before a new
// record, the oldest go, under a lock file. A history that cannot be written never stops an
// operation: the record goes inert and the problem is told once per run.

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace orv {

struct SettingsRecord;

// The files of a record.
constexpr const char* kHistoryOutcomeFile = "outcome.txt";
constexpr const char* kHistoryLabelFile = "label.txt";
constexpr const char* kHistoryPortFile = "port.txt";
constexpr const char* kHistoryRecordFile = "record.cfg";
constexpr const char* kHistoryTranscriptFile = "transcript.txt";
// A write's record keeps what was there before it: the window's record, and the device's
// contents when it was read or checked in this run.
constexpr const char* kWindowBeforeFile = "window-before.cfg";
constexpr const char* kDeviceBeforeFile = "device-before.cfg";

// Whether a name in the history folder is a record's: "YYYYMMDD-HHMMSS-" and more. Nothing
// else there is counted, listed or removed.
bool isHistoryRecordName(const std::string& name);

// Whether record `a` began before record `b`: by their names' times, and within one second by
// their counters ("-2" after none, "-10" after "-9").
bool historyRecordBefore(const std::string& a, const std::string& b);

struct HistoryBounds {
    std::size_t records = 1000;
    std::uint64_t bytes = 200ull * 1024 * 1024;
};

// The wall time, in seconds since 1970 (UTC); injected so that tests choose it.
using WallClock = std::function<std::time_t()>;

// "YYYYMMDD-HHMMSS-<operation>", with "-<counter>" from 2 on.
std::string historyFolderName(std::time_t start, const std::string& operation, int counter);

// How a run ended, as the record keeps it.
struct HistoryOutcome {
    std::string status;   // "ok", "failed", "interrupted"...
    std::string message;  // the final message, UTF-8
    std::vector<std::pair<std::string, std::string>> figures;
    std::vector<std::string> unconfirmed;
};

class History;

// One operation's record. Inert (every call does nothing) when its folder could not be made.
class HistoryRecord {
  public:
    HistoryRecord() = default;

    bool ok() const { return history_ != nullptr; }
    // The record's folder; empty when inert.
    const std::string& folder() const { return folder_; }
    // Where TranscriptPort writes; empty when inert.
    std::string transcriptPath() const;

    void setPort(const std::string& port, const std::string& byIdName);
    void setLabel(const std::string& label);
    void saveConfiguration(const SettingsRecord& record);
    // The same under another name of the record (kWindowBeforeFile, kDeviceBeforeFile).
    void saveConfigurationAs(const std::string& fileName, const SettingsRecord& record);
    // Copies the run's command list ("1.txt") into the record.
    void copyCommandList(const std::string& path);
    void finish(const HistoryOutcome& outcome);

  private:
    friend class History;
    void writeFile(const std::string& name, const std::string& bytes);

    History* history_ = nullptr;
    std::string folder_;
    std::string head_;  // outcome.txt's first lines, written at the start
};

class History {
  public:
    History(std::string dataFolder, WallClock clock, std::string version,
            HistoryBounds bounds = HistoryBounds());

    const std::string& folder() const { return folder_; }
    std::time_t now() const { return clock_(); }

    // Makes room (the oldest records go), then the new record's folder.
    HistoryRecord begin(const std::string& operation, const std::string& label);

    // The problem to tell the user, once: the first call after a failure gives it (UTF-8), every
    // other call an empty string.
    std::string takeProblem();

    // Called by the records, on whichever thread runs them: the first failure of the run is kept.
    void noteFailure(const std::string& path, int error);

  private:
    void prune();

    std::string folder_;
    WallClock clock_;
    std::string version_;
    HistoryBounds bounds_;
    std::mutex mutex_;  // guards problem_ and told_
    std::string problem_;
    bool told_ = false;
};

}  // namespace orv
