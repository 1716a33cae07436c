#include "settings/config_file.h"

#include <cerrno>
#include <cstring>

#include "settings/device_vocabulary.h"
#include "settings/platform.h"
#include "settings/regular_file.h"

namespace orv {
namespace {

Text systemReason(int error) {
    return cp1251::fromUtf8(std::strerror(error));
}

Text shownPath(const std::string& path) {
    return cp1251::fromUtf8(path);
}

Failure cannotCreate(const std::string& path, int error) {
    return runtimeError("Cannot create file \"" + shownPath(path) + "\". " + systemReason(error));
}

Failure formatError(const Text& shownName) {
    return Failure(MessageKind::Plain, cp1251::fromUtf8("Файл ") + shownName +
                                           cp1251::fromUtf8(" имеет не правильный формат"));
}

// The loader takes nothing that the save would refuse, so that whatever loads can always be
// saved again: the two-digit fields up to 99, password digits only, and no more numbers than
// the phone book has indices for (checkEncodable). A file that holds more is refused with the
// format message before the record takes the line.
class SaveableCheck {
  public:
    explicit SaveableCheck(const Text& shownName) : shownName_(shownName) {}

    // The number length, call duration and control time carry up to 255.
    void headerLine(const device::Register& reg, const Text& line) const {
        using device::RegisterRole;
        const bool twoDigitField = reg.role == RegisterRole::NumberLength ||
                                   reg.role == RegisterRole::CallDuration ||
                                   reg.role == RegisterRole::ControlTime;
        if (twoDigitField && StrToHex(line) > 99) {
            throw formatError(shownName_);
        }
    }

    void passwordCharacter(char c) const {
        if (c < '0' || c > '9') {
            throw formatError(shownName_);
        }
    }

    void numberAdded(TableId id, const Text& number) {
        if (!Check_StrOnInt(number.substr(0, kNumberFieldSize))) {
            return;  // takes no index: the encoding passes it over
        }
        const bool fits = id == kSpeedDialTable
                              ? ++speedDial_ <= kLastSpeedDialIndex - kForwardIndex
                              : ++tagged_ <= kLastTaggedIndex;
        if (!fits) {
            throw formatError(shownName_);
        }
    }

  private:
    const Text& shownName_;
    int tagged_ = 0;
    int speedDial_ = 0;
};

// Zero when an existing file may be replaced (or there is none yet), else the reason. A file
// without any write permission counts as protected also for the superuser, whom the system
// would let replace it.
int replaceRefusal(const std::string& target) {
    platform::FileStatus st;
    if (platform::fileStatus(target, st) != 0) {
        return 0;
    }
    if (st.kind == platform::FileKind::Directory) {
        return EISDIR;
    }
    if (st.kind != platform::FileKind::Regular) {
        // A pipe or a device (a link to /dev/zero, say) is never replaced by a file.
        return ENODEV;
    }
    if (st.writeProtected || !platform::mayWrite(target)) {
        return EACCES;
    }
    return 0;
}

}  // namespace

void saveLines(const std::string& path, const CommandList& lines) {
    std::string data;
    for (const Text& line : lines) {
        data += line;
        data += "\r\n";
    }
    // Written beside the target and renamed over it, so that a crash or a full disk during
    // the write leaves the old file whole. A file the user may not write is never replaced.
    const std::string target = platform::saveTarget(path);
    if (const int refusal = replaceRefusal(target)) {
        throw cannotCreate(path, refusal);
    }
    if (const int error = platform::replaceFile(target, data)) {
        throw cannotCreate(path, error);
    }
}

void SaveData(const std::string& path, const SettingsRecord& record) {
    saveLines(path, encode(record));
}

CommandList splitLines(const std::string& bytes) {
    std::size_t end = bytes.find('\0');
    if (end == std::string::npos)
        end = bytes.size();
    CommandList lines;
    std::size_t i = 0;
    while (i < end) {
        std::size_t j = i;
        while (j < end && bytes[j] != '\r' && bytes[j] != '\n') {
            ++j;
        }
        lines.push_back(bytes.substr(i, j - i));
        if (j < end && bytes[j] == '\r' && j + 1 < end && bytes[j + 1] == '\n') {
            ++j;
        }
        i = j + 1;
    }
    return lines;
}

void loadFromText(const std::string& bytes, SettingsRecord& target, const Text& shownName) {
    // The file is decoded into a copy, which replaces the record only once the whole file has
    // been taken: a load that fails changes nothing.
    SettingsRecord record = target;
    const CommandList lines = splitLines(bytes);
    auto lineAt = [&](std::size_t k) -> const Text& {
        if (k >= lines.size()) {
            throw listIndexError(static_cast<long>(k));
        }
        return lines[k];
    };

    SaveableCheck saveable(shownName);

    // The header, decoded line by line.
    int passwordCount = 0;
    for (std::size_t k = 0; k < device::kHeaderRegisterCount; ++k) {
        const Text& line = lineAt(k);
        const device::Register& reg = device::kRegisters[k];
        if (line.size() != 9 || line.compare(0, 7, device::writeCommand(reg)) != 0) {
            throw formatError(shownName);
        }
        saveable.headerLine(reg, line);
        passwordCount = decodeHeaderLine(static_cast<int>(k), line, record);
    }

    // The password: the ninth character of each of the following lines.
    std::size_t k = device::kHeaderRegisterCount;
    for (int i = 0; i < passwordCount; ++i, ++k) {
        const Text& line = lineAt(k);
        if (line.size() >= 9) {
            saveable.passwordCharacter(line[8]);
            record.password += line[8];
        }
    }

    // Register lines the count did not cover (the read-back always holds seven).
    while (k < lines.size() && lines[k].size() > 7 &&
           lines[k].compare(0, 3, device::kRegisterWrite) == 0) {
        ++k;
    }

    CreateTable(record);
    // A file without a forward-number line has no forward number.
    record.forwardNumber.clear();
    std::array<std::size_t, kTableCount> added{};
    // A number that its table cannot hold is refused rather than cut or dropped later: what
    // the window shows after a load is what the file holds.
    auto addRecord = [&](TableId id, const Text& number) {
        if (!storableNumber(id, number)) {
            throw formatError(shownName);
        }
        saveable.numberAdded(id, number);
        PhoneTable& table = record.tables[id];
        table.insert(table.begin() + static_cast<std::ptrdiff_t>(added[id]),
                     PhoneRecord{number, Text()});
        ++added[id];
    };

    for (; k < lines.size(); ++k) {
        const Text& line = lines[k];
        if (line.size() < 8) {
            continue;
        }
        int quotes = 0;
        Text index;
        Text number;
        std::size_t pos = 0;
        for (; pos < line.size() && quotes < 3; ++pos) {
            const char c = line[pos];
            if (c == '"') {
                ++quotes;
            } else if (quotes == 0) {
                if (c >= '0' && c <= '9') {
                    index += c;
                } else if (c != ',') {
                    index.clear();
                }
            } else if (quotes == 1) {
                number += c;
            }
        }
        if (quotes < 3) {
            throw formatError(shownName);
        }
        const char tag = pos < line.size() ? line[pos] : '\0';
        switch (tag) {
            case 'W':
                addRecord(kCallBackTable, number);
                break;
            case 'R':
            case 'N':
                addRecord(kAllowedTable, number);
                break;
            case 'S':
            case 'B':
                addRecord(kForbiddenTable, number);
                break;
            default:
                if (index.size() == 3) {
                    const Text forwardHead = device::phoneBookWriteHead(kForwardIndex);
                    if (line.compare(0, forwardHead.size(), forwardHead) == 0) {
                        if (!storableNumber(kCallBackTable, number)) {
                            throw formatError(shownName);
                        }
                        record.forwardNumber = number;
                    } else {
                        addRecord(kSpeedDialTable, number);
                    }
                }
                break;
        }
    }
    target = std::move(record);
}

std::string readWholeFile(const std::string& path) {
    return readRegularFile(path, kConfigFileBound);
}

void LoadFromFile(const std::string& path, SettingsRecord& record, const Text& shownName) {
    const std::string content = readWholeFile(path);
    loadFromText(content, record, shownName.empty() ? shownPath(path) : shownName);
}

bool canOpenForReadWrite(const std::string& path) {
    platform::FileStatus st;
    if (platform::fileStatus(path, st) != 0 || st.kind != platform::FileKind::Regular) {
        return false;
    }
    // A file without any write permission counts as read-only, also for the superuser,
    // whom the system would let open it for writing anyway.
    if (st.writeProtected) {
        return false;
    }
    return platform::opensForReadWrite(path);
}

}  // namespace orv
