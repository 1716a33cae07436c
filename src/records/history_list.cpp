// Reading the history back: the list of records, one record's files, its new label.

#include "records/history_list.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/platform.h"
#include "base/text.h"
#include "records/transcript.h"
#include "settings/config_file.h"

namespace orv {
namespace {

constexpr std::size_t kLabelMost = 4096;

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

std::string baseName(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    const std::size_t slash = folder.rfind('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

std::string refusalText(const std::string& name, const FileRefused& refused) {
    return name + ": " + cp1251::toUtf8(refused.text());
}

// outcome.txt, line by line: "operation", "version", "start", then once the run has ended
// "end", "status", "message" (its further lines indented by two blanks), the figures and the
// unconfirmed numbers, each in this order.
class OutcomeParser {
  public:
    explicit OutcomeParser(HistoryEntry& entry) : entry_(entry) {}

    bool parse(const std::string& text) {
        std::size_t at = 0;
        while (at < text.size()) {
            ++line_;
            const std::size_t end = text.find('\n', at);
            if (end == std::string::npos) {
                return refuse("строка оборвана, нет её конца");
            }
            if (!take(text.substr(at, end - at))) {
                return false;
            }
            at = end + 1;
        }
        ++line_;
        if (stage_ == Stage::Start || stage_ == Stage::Version || stage_ == Stage::Operation ||
            stage_ == Stage::Status || stage_ == Stage::Message) {
            return refuse(std::string("файл кончается до записи «") + expected() + "»");
        }
        return true;
    }

  private:
    enum class Stage { Operation, Version, Start, End, Status, Message, Figures, Unconfirmed };

    const char* expected() const {
        switch (stage_) {
            case Stage::Operation:
                return "operation";
            case Stage::Version:
                return "version";
            case Stage::Start:
                return "start";
            case Stage::End:
                return "end";
            case Stage::Status:
                return "status";
            default:
                return "message";
        }
    }

    bool refuse(const std::string& why) {
        entry_.problem =
            std::string(kHistoryOutcomeFile) + ", строка " + std::to_string(line_) + ": " + why;
        return false;
    }

    static bool isTime(const std::string& value) {
        static const char kForm[] = "0000-00-00 00:00:00";
        if (value.size() != sizeof kForm - 1) {
            return false;
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            const bool digit = value[i] >= '0' && value[i] <= '9';
            if (kForm[i] == '0' ? !digit : value[i] != kForm[i]) {
                return false;
            }
        }
        return true;
    }

    // One of the keys that stand once, in their order.
    bool single(Stage stage, Stage next, const std::string& key, const std::string& value,
                std::string& field) {
        if (stage_ != stage) {
            return refuse("запись «" + key + "» не на своём месте, ожидалась «" + expected() + "»");
        }
        if ((stage == Stage::Start || stage == Stage::End) && !isTime(value)) {
            return refuse("время «" + value + "» не в виде ГГГГ-ММ-ДД чч:мм:сс");
        }
        if ((stage == Stage::Operation || stage == Stage::Version) && value.empty()) {
            return refuse("пустая запись «" + key + "»");
        }
        field = value;
        stage_ = next;
        return true;
    }

    bool take(const std::string& line) {
        if (line.compare(0, 2, "  ") == 0) {
            if (stage_ != Stage::Figures || !inMessage_) {
                return refuse("продолжение сообщения не на своём месте");
            }
            entry_.message += "\n" + line.substr(2);
            return true;
        }
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value =
            blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (key == "operation") {
            return single(Stage::Operation, Stage::Version, key, value, entry_.operation);
        }
        if (key == "version") {
            return single(Stage::Version, Stage::Start, key, value, entry_.version);
        }
        if (key == "start") {
            return single(Stage::Start, Stage::End, key, value, entry_.start);
        }
        if (key == "end") {
            return single(Stage::End, Stage::Status, key, value, entry_.end);
        }
        if (key == "status") {
            return single(Stage::Status, Stage::Message, key, value, entry_.status);
        }
        if (key == "message") {
            inMessage_ = true;
            return single(Stage::Message, Stage::Figures, key, value, entry_.message);
        }
        inMessage_ = false;
        if (key == "figure") {
            const std::size_t space = value.find(' ');
            if (stage_ != Stage::Figures) {
                return refuse("показатель не на своём месте");
            }
            if (space == 0 || space == std::string::npos) {
                return refuse("у показателя нет имени или значения");
            }
            entry_.figures.emplace_back(value.substr(0, space), value.substr(space + 1));
            return true;
        }
        if (key == "unconfirmed") {
            if (stage_ != Stage::Figures && stage_ != Stage::Unconfirmed) {
                return refuse("неподтверждённый номер не на своём месте");
            }
            if (value.empty()) {
                return refuse("пустой неподтверждённый номер");
            }
            stage_ = Stage::Unconfirmed;
            entry_.unconfirmed.push_back(value);
            return true;
        }
        return refuse("неизвестная запись «" + key + "»");
    }

    HistoryEntry& entry_;
    Stage stage_ = Stage::Operation;
    bool inMessage_ = false;
    std::size_t line_ = 0;
};

void addProblem(HistoryEntry& entry, const std::string& problem) {
    entry.problem += entry.problem.empty() ? problem : "\n" + problem;
}

// A file of the record that may be missing (label.txt, port.txt): false when it is.
bool readOptional(const std::string& folder, const char* name, std::string& content,
                  HistoryEntry& entry) {
    try {
        content = readHistoryFile(folder, name);
        return true;
    } catch (const FileRefused& refused) {
        if (refused.reason() != FileRefused::Reason::CannotOpen || refused.error() != ENOENT) {
            addProblem(entry, refusalText(name, refused));
        }
        return false;
    }
}

void readPort(const std::string& folder, HistoryEntry& entry) {
    std::string text;
    if (!readOptional(folder, kHistoryPortFile, text, entry)) {
        return;
    }
    const CommandList lines = splitLines(text);
    if (lines.size() > 2) {
        addProblem(entry, std::string(kHistoryPortFile) + ", строка 3: лишняя строка");
        return;
    }
    entry.port = lines.empty() ? std::string() : lines[0];
    entry.byIdName = lines.size() > 1 ? lines[1] : std::string();
}

void readLabel(const std::string& folder, HistoryEntry& entry) {
    std::string text;
    if (!readOptional(folder, kHistoryLabelFile, text, entry)) {
        return;
    }
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    std::replace(text.begin(), text.end(), '\n', ' ');
    entry.label = text;
}

}  // namespace

FileBound historyFileBound(const std::string& name) {
    if (name == kHistoryTranscriptFile) {
        // The writer drops the older half only after the line that went past the bound.
        return {static_cast<std::size_t>(kTranscriptBound) + (std::size_t{1} << 20),
                "журнал обмена"};
    }
    if (name == kHistoryOutcomeFile) {
        return {std::size_t{4} << 20, "итог операции"};
    }
    if (name == kHistoryLabelFile || name == kHistoryPortFile) {
        return {std::size_t{16} << 10, "файл записи истории"};
    }
    return kConfigFileBound;
}

bool parseHistoryOutcome(const std::string& text, HistoryEntry& entry) {
    return OutcomeParser(entry).parse(text);
}

HistoryEntry readHistoryEntry(const std::string& recordFolder) {
    HistoryEntry entry;
    entry.folder = recordFolder;
    entry.name = baseName(recordFolder);
    try {
        parseHistoryOutcome(readHistoryFile(recordFolder, kHistoryOutcomeFile), entry);
    } catch (const FileRefused& refused) {
        addProblem(entry, refusalText(kHistoryOutcomeFile, refused));
    }
    readLabel(recordFolder, entry);
    readPort(recordFolder, entry);
    return entry;
}

std::vector<HistoryEntry> listHistory(const std::string& dataFolder, std::size_t most) {
    const std::string folder = dataFolder + "/history";
    std::vector<std::string> names;
    platform::listDirectory(folder, names);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& name) {
                                   platform::FileStatus status;
                                   return !isHistoryRecordName(name) ||
                                          platform::fileStatus(folder + "/" + name, status) != 0 ||
                                          status.kind != platform::FileKind::Directory;
                               }),
                names.end());
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return historyRecordBefore(b, a); });
    if (names.size() > most) {
        names.resize(most);
    }
    std::vector<HistoryEntry> entries;
    entries.reserve(names.size());
    for (const std::string& name : names) {
        entries.push_back(readHistoryEntry(folder + "/" + name));
    }
    return entries;
}

std::string readHistoryFile(const std::string& recordFolder, const std::string& name) {
    if (!isPlainName(name)) {
        throw FileRefused(FileRefused::Reason::CannotOpen, EINVAL,
                          cp1251::fromUtf8("Файл «" + name + "» не из записи истории операций."));
    }
    return readRegularFile(recordFolder + "/" + name, historyFileBound(name));
}

std::string readHistoryFileTail(const std::string& recordFolder, const std::string& name,
                                std::size_t maxBytes) {
    if (!isPlainName(name)) {
        throw FileRefused(FileRefused::Reason::CannotOpen, EINVAL,
                          cp1251::fromUtf8("Файл «" + name + "» не из записи истории операций."));
    }
    // One byte more tells whether what is kept starts a line.
    std::string tail = readRegularFileTail(recordFolder + "/" + name, maxBytes + 1);
    if (tail.size() <= maxBytes) {
        return tail;
    }
    // From the first line that starts inside it; a line longer than the tail is cut.
    const std::size_t lineEnd = tail.find('\n');
    return lineEnd + 1 >= tail.size() ? tail.substr(1) : tail.substr(lineEnd + 1);
}

void relabelHistoryRecord(const std::string& recordFolder, const std::string& label) {
    platform::FileStatus status;
    if (!isHistoryRecordName(baseName(recordFolder)) ||
        platform::fileStatus(recordFolder, status) != 0 ||
        status.kind != platform::FileKind::Directory) {
        throw Failure(MessageKind::Error, cp1251::fromUtf8("Метка не записана: «" + recordFolder +
                                                           "» не запись истории операций."));
    }
    if (label.size() > kLabelMost) {
        throw Failure(MessageKind::Error, cp1251::fromUtf8("Метка не записана: она длиннее " +
                                                           std::to_string(kLabelMost) + " байт."));
    }
    std::string text = label;
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    const std::string path = recordFolder + "/" + kHistoryLabelFile;
    if (const int error = platform::replaceFile(path, text.empty() ? text : text + "\n",
                                                platform::FileAccess::OwnerOnly)) {
        throw Failure(MessageKind::Error,
                      cp1251::fromUtf8("Метка не записана: " + path + ": " + std::strerror(error)));
    }
}

}  // namespace orv
