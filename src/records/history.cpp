#include "records/history.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/platform.h"
#include "base/regular_file.h"
#include "base/text.h"
#include "settings/config_file.h"

namespace orv {
namespace {

constexpr const char* kLockFile = ".lock";
// A record's name starts with its time: "YYYYMMDD-HHMMSS-".
constexpr std::size_t kStampLength = 16;

std::string stamp(std::time_t when, const char* format) {
    std::tm civil{};
#ifdef _WIN32
    gmtime_s(&civil, &when);
#else
    gmtime_r(&when, &civil);
#endif
    char text[32];
    std::strftime(text, sizeof text, format, &civil);
    return text;
}

}  // namespace

bool isHistoryRecordName(const std::string& name) {
    if (name.size() <= kStampLength || name[8] != '-' || name[15] != '-') {
        return false;
    }
    for (std::size_t i = 0; i < 15; ++i) {
        if (i != 8 && (name[i] < '0' || name[i] > '9')) {
            return false;
        }
    }
    return true;
}

bool historyRecordBefore(const std::string& a, const std::string& b) {
    return a.size() != b.size() && a.compare(0, kStampLength, b, 0, kStampLength) == 0
               ? a.size() < b.size()
               : a < b;
}

namespace {

struct StoredRecord {
    std::string name;
    std::uint64_t bytes = 0;
};

// The regular files of a record, one level down: nothing else is counted or trusted.
std::uint64_t recordBytes(const std::string& folder) {
    std::vector<std::string> names;
    platform::listDirectory(folder, names);
    std::uint64_t total = 0;
    for (const std::string& name : names) {
        platform::FileStatus status;
        if (platform::fileStatus(folder + "/" + name, status) == 0 &&
            status.kind == platform::FileKind::Regular) {
            total += status.size;
        }
    }
    return total;
}

void removeRecord(const std::string& folder) {
    std::vector<std::string> names;
    platform::listDirectory(folder, names);
    for (const std::string& name : names) {
        platform::removeFile(folder + "/" + name);
    }
    platform::removeDirectory(folder);
}

// Makes the folder unless it is there already.
int ensureFolder(const std::string& path) {
    const int error = platform::makePrivateDirectory(path);
    platform::FileStatus status;
    if (error == EEXIST && platform::fileStatus(path, status) == 0 &&
        status.kind == platform::FileKind::Directory) {
        return 0;
    }
    return error;
}

}  // namespace

std::string historyFolderName(std::time_t start, const std::string& operation, int counter) {
    std::string name = stamp(start, "%Y%m%d-%H%M%S") + "-" + operation;
    if (counter > 1) {
        name += "-" + std::to_string(counter);
    }
    return name;
}

History::History(std::string dataFolder, WallClock clock, std::string version, HistoryBounds bounds)
    : folder_(std::move(dataFolder) + "/history"),
      clock_(std::move(clock)),
      version_(std::move(version)),
      bounds_(bounds) {}

void History::noteFailure(const std::string& path, int error) {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (problem_.empty()) {
        problem_ = "История операций не записывается: " + path + ": " + std::strerror(error);
    }
}

std::string History::takeProblem() {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (problem_.empty() || told_) {
        return std::string();
    }
    told_ = true;
    return problem_;
}

void History::prune() {
    std::vector<std::string> names;
    if (platform::listDirectory(folder_, names) != 0) {
        return;
    }
    std::vector<StoredRecord> records;
    std::uint64_t total = 0;
    for (const std::string& name : names) {
        platform::FileStatus status;
        if (isHistoryRecordName(name) && platform::fileStatus(folder_ + "/" + name, status) == 0 &&
            status.kind == platform::FileKind::Directory) {
            records.push_back({name, recordBytes(folder_ + "/" + name)});
            total += records.back().bytes;
        }
    }
    // Oldest first: the names start with the time; within a second, the counter comes after.
    std::sort(records.begin(), records.end(), [](const StoredRecord& a, const StoredRecord& b) {
        return historyRecordBefore(a.name, b.name);
    });
    std::size_t count = records.size();
    for (const StoredRecord& record : records) {
        // Room for the record about to begin.
        if (count < bounds_.records && total <= bounds_.bytes) {
            break;
        }
        removeRecord(folder_ + "/" + record.name);
        --count;
        total -= record.bytes;
    }
}

HistoryRecord History::begin(const std::string& operation, const std::string& label) {
    HistoryRecord record;
    if (int error = ensureFolder(folder_); error != 0) {
        noteFailure(folder_, error);
        return record;
    }
    {
        platform::FileLock lock(folder_ + "/" + kLockFile);
        if (lock.locked()) {
            prune();
        }
    }
    const std::time_t start = clock_();
    for (int counter = 1;; ++counter) {
        const std::string folder = folder_ + "/" + historyFolderName(start, operation, counter);
        const int error = platform::makePrivateDirectory(folder);
        if (error == EEXIST && counter < 1000) {
            continue;
        }
        if (error != 0) {
            noteFailure(folder, error);
            return record;
        }
        record.folder_ = folder;
        break;
    }
    record.history_ = this;
    record.head_ = "operation " + operation + "\nversion " + version_ + "\nstart " +
                   stamp(start, "%Y-%m-%d %H:%M:%S") + "\n";
    record.writeFile(kHistoryOutcomeFile, record.head_);
    record.setLabel(label);
    return record;
}

std::string HistoryRecord::transcriptPath() const {
    return ok() ? folder_ + "/" + kHistoryTranscriptFile : std::string();
}

void HistoryRecord::writeFile(const std::string& name, const std::string& bytes) {
    if (!ok()) {
        return;
    }
    const std::string path = folder_ + "/" + name;
    if (const int error = platform::replaceFile(path, bytes, platform::FileAccess::OwnerOnly);
        error != 0) {
        history_->noteFailure(path, error);
    }
}

void HistoryRecord::setPort(const std::string& port, const std::string& byIdName) {
    writeFile(kHistoryPortFile, byIdName.empty() ? port + "\n" : port + "\n" + byIdName + "\n");
}

void HistoryRecord::setLabel(const std::string& label) {
    writeFile(kHistoryLabelFile, label.empty() ? std::string() : label + "\n");
}

void HistoryRecord::saveConfiguration(const SettingsRecord& record) {
    saveConfigurationAs(kHistoryRecordFile, record);
}

void HistoryRecord::saveConfigurationAs(const std::string& fileName, const SettingsRecord& record) {
    if (!ok()) {
        return;
    }
    const std::string path = folder_ + "/" + fileName;
    try {
        SaveData(path, record, platform::FileAccess::OwnerOnly);
    } catch (const Failure&) {
        history_->noteFailure(path, EIO);
    }
}

void HistoryRecord::copyCommandList(const std::string& path) {
    if (!ok()) {
        return;
    }
    try {
        writeFile(kCommandListFile, readRegularFile(path, kConfigFileBound));
    } catch (const FileRefused& refused) {
        history_->noteFailure(path, refused.error() != 0 ? refused.error() : EIO);
    }
}

void HistoryRecord::finish(const HistoryOutcome& outcome) {
    if (!ok()) {
        return;
    }
    std::string text = head_ + "end " + stamp(history_->now(), "%Y-%m-%d %H:%M:%S") + "\n";
    text += "status " + outcome.status + "\n";
    // A message of several lines goes on indented.
    std::string message = outcome.message;
    for (std::size_t at = message.find('\n'); at != std::string::npos;
         at = message.find('\n', at + 3)) {
        message.replace(at, 1, "\n  ");
    }
    text += "message " + message + "\n";
    for (const auto& [name, value] : outcome.figures) {
        text += "figure " + name + " " + value + "\n";
    }
    for (const std::string& number : outcome.unconfirmed) {
        text += "unconfirmed " + number + "\n";
    }
    writeFile(kHistoryOutcomeFile, text);
}

}  // namespace orv
