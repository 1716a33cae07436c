#include "settings/config_file.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "base/platform.h"
#include "base/regular_file.h"
#include "settings/device_vocabulary.h"
#include "settings/settings_table.h"

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
// the phone book has indices for (checkEncodable). Each check says why a value is refused, or
// nothing when it may be held.
class SaveableCheck {
  public:
    // The two-digit fields' registers carry up to 255.
    static Text headerLine(const device::Register& reg, const Text& line) {
        const TextSetting* field = textSetting(reg.role);
        if (field && field->kind == FieldKind::TwoDigits && StrToHex(line) > 99) {
            return cp1251::fromUtf8("это число " + std::to_string(StrToHex(line)) +
                                    ", а поле принимает от 0 до 99");
        }
        return Text();
    }

    static Text passwordCharacter(char c) {
        if (c < '0' || c > '9') {
            return cp1251::fromUtf8("пароль состоит только из цифр");
        }
        return Text();
    }

    Text numberAdded(TableId id, const Text& number) {
        if (!Check_StrOnInt(number.substr(0, kNumberFieldSize))) {
            return Text();  // takes no index: the encoding passes it over
        }
        const bool fits = id == kSpeedDialTable
                              ? ++speedDial_ <= kLastSpeedDialIndex - kForwardIndex
                              : ++tagged_ <= kLastTaggedIndex;
        if (!fits) {
            return cp1251::fromUtf8(id == kSpeedDialTable
                                        ? "номеров ускоренного набора больше, чем ячеек 101–150"
                                        : "номеров с пометками таблиц больше, чем ячеек 1–99");
        }
        return Text();
    }

  private:
    int tagged_ = 0;
    int speedDial_ = 0;
};

// The label under which the window shows the setting a register holds; the flags bytes hold
// the call settings.
Text registerLabel(device::RegisterRole role) {
    const TextSetting* field = textSetting(role);
    return field ? field->labelText() : cp1251::fromUtf8("Настройки вызовов");
}

// Why a table cannot hold a number (storableNumber), in the words of the window's refusal.
Text numberWhy(TableId table, const Text& number) {
    if (!Check_StrOnInt(number) || number.size() > kNumberFieldSize) {
        return cp1251::fromUtf8("номер может содержать только цифры и «+», не более 15 знаков");
    }
    return cp1251::fromUtf8("номер направления должен содержать не менее " +
                            std::to_string(shortestNumber(table)) + " знаков");
}

// The text field of a phone-book line: what stands between its third and fourth double quote.
Text textField(const Text& line, std::size_t afterThirdQuote) {
    const std::size_t end = line.find('"', afterThirdQuote);
    return line.substr(afterThirdQuote,
                       end == std::string::npos ? std::string::npos : end - afterThirdQuote);
}

// Decodes the lines of a file into a copy of the record, in file order. Strict, it refuses the
// whole file at the first value the record cannot hold; lenient (for the read-back of a
// device), it passes such a register or slot over, the record keeping what it held there, and
// lists it.
class Loader {
  public:
    Loader(const Text& shownName, std::vector<RefusedValue>* refused)
        : shownName_(shownName), refused_(refused) {}

    void load(const std::string& bytes, SettingsRecord& target) {
        record_ = target;
        passwordBefore_ = target.password;
        lines_ = splitLines(bytes);
        std::size_t k = header();
        k = password(k);
        // Register lines the count did not cover (the read-back always holds seven).
        while (k < lines_.size() && lines_[k].size() > 7 &&
               lines_[k].compare(0, 3, device::kRegisterWrite) == 0) {
            ++k;
        }
        CreateTable(record_);
        // A file without a forward-number line has no forward number.
        forwardBefore_ = record_.forwardNumber;
        record_.forwardNumber.clear();
        for (; k < lines_.size(); ++k) {
            phoneBookLine(lines_[k]);
        }
        // The file is decoded into a copy, which replaces the record only once the whole file
        // has been taken: a load that fails changes nothing.
        target = std::move(record_);
    }

  private:
    const Text& lineAt(std::size_t k) const {
        if (k >= lines_.size()) {
            throw listIndexError(static_cast<long>(k));
        }
        return lines_[k];
    }

    // A value the record cannot hold: the whole load is refused, or (lenient) it is listed.
    void refuse(RefusedValue value, const Failure& strict) {
        if (!refused_) {
            throw strict;
        }
        refused_->push_back(std::move(value));
    }

    RefusedValue refusedRegister(const device::Register& reg, const Text& line,
                                 const Text& why) const {
        RefusedValue r;
        r.registerCode = reg.code;
        r.label = registerLabel(reg.role);
        r.value = line.size() > 7 ? line.substr(7) : Text();
        r.why = why;
        r.hidden = reg.role == device::RegisterRole::PasswordDigit;
        return r;
    }

    // The header, decoded line by line; returns the password count.
    std::size_t header() {
        for (std::size_t k = 0; k < device::kHeaderRegisterCount; ++k) {
            const Text& line = lineAt(k);
            const device::Register& reg = device::kRegisters[k];
            if (line.size() != 9 || line.compare(0, 7, device::writeCommand(reg)) != 0) {
                throw formatError(shownName_);
            }
            if (const Text why = SaveableCheck::headerLine(reg, line); !why.empty()) {
                refuse(refusedRegister(reg, line, why), formatError(shownName_));
                continue;
            }
            try {
                passwordCount_ = decodeHeaderLine(static_cast<int>(k), line, record_);
            } catch (const Failure& conversion) {
                // The volume, which is read as a decimal number.
                refuse(refusedRegister(reg, line, cp1251::fromUtf8("это не десятичное число")),
                       conversion);
            }
        }
        return device::kHeaderRegisterCount;
    }

    // The password: the ninth character of each of the following lines.
    std::size_t password(std::size_t k) {
        bool refusedDigit = false;
        for (int i = 0; i < passwordCount_; ++i, ++k) {
            const Text& line = lineAt(k);
            if (line.size() < 9) {
                continue;
            }
            if (const Text why = SaveableCheck::passwordCharacter(line[8]); !why.empty()) {
                refuse(
                    refusedRegister(device::passwordDigitRegister(static_cast<std::size_t>(i) + 1),
                                    line, why),
                    formatError(shownName_));
                refusedDigit = true;
                continue;
            }
            record_.password += line[8];
        }
        // A password with a digit left out would be another password.
        if (refusedDigit) {
            record_.password = passwordBefore_;
        }
        return k;
    }

    void phoneBookLine(const Text& line) {
        if (line.size() < 8) {
            return;
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
            throw formatError(shownName_);
        }
        RefusedValue slot;
        slot.slot = index.empty() ? 0 : std::stoi(index.substr(0, 6));
        slot.value = number;
        slot.text = textField(line, pos);
        const char tag = pos < line.size() ? line[pos] : '\0';
        if (const TableSetting* table = taggedTable(tag)) {
            addRecord(table->id, number, slot);
        } else if (index.size() == 3) {
            const Text forwardHead = device::phoneBookWriteHead(kForwardIndex);
            if (line.compare(0, forwardHead.size(), forwardHead) != 0) {
                addRecord(kSpeedDialTable, number, slot);
            } else if (!storableNumber(kCallBackTable, number)) {
                slot.why = numberWhy(kCallBackTable, number);
                refuse(slot, formatError(shownName_));
                record_.forwardNumber = forwardBefore_;
            } else {
                record_.forwardNumber = number;
            }
        }
    }

    // A number that its table cannot hold is refused rather than cut or dropped later: what
    // the window shows after a load is what the file holds.
    void addRecord(TableId id, const Text& number, RefusedValue& slot) {
        if (!storableNumber(id, number)) {
            slot.why = numberWhy(id, number);
            refuse(slot, formatError(shownName_));
            return;
        }
        if (const Text why = saveable_.numberAdded(id, number); !why.empty()) {
            slot.why = why;
            refuse(slot, formatError(shownName_));
            return;
        }
        PhoneTable& table = record_.tables[id];
        table.insert(table.begin() + static_cast<std::ptrdiff_t>(added_[id]),
                     PhoneRecord{number, Text()});
        ++added_[id];
    }

    const Text& shownName_;
    std::vector<RefusedValue>* refused_;
    SettingsRecord record_;
    Text forwardBefore_;
    Text passwordBefore_;
    CommandList lines_;
    int passwordCount_ = 0;
    SaveableCheck saveable_;
    std::array<std::size_t, kTableCount> added_{};
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

void saveLines(const std::string& path, const CommandList& lines, platform::FileAccess access) {
    std::string data;
    for (const Text& line : lines) {
        data += line;
        data += "\r\n";
    }
    saveBytes(path, data, access);
}

void saveBytes(const std::string& path, const std::string& data, platform::FileAccess access) {
    // Written beside the target and renamed over it, so that a crash or a full disk during
    // the write leaves the old file whole. A file the user may not write is never replaced.
    const std::string target = platform::saveTarget(path);
    if (const int refusal = replaceRefusal(target)) {
        throw cannotCreate(path, refusal);
    }
    if (const int error = platform::replaceFile(target, data, access)) {
        throw cannotCreate(path, error);
    }
}

void SaveData(const std::string& path, const SettingsRecord& record, platform::FileAccess access) {
    saveLines(path, encode(record), access);
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
    Loader(shownName, nullptr).load(bytes, target);
}

std::vector<RefusedValue> loadReadBack(const std::string& bytes, SettingsRecord& record,
                                       const Text& shownName) {
    std::vector<RefusedValue> refused;
    Loader(shownName, &refused).load(bytes, record);
    return refused;
}

Text describeRefusal(const RefusedValue& value) {
    Text text;
    if (value.isRegister()) {
        text = cp1251::fromUtf8("«") + value.label + cp1251::fromUtf8("» (регистр ") +
               value.registerCode + "): ";
        text += value.hidden ? cp1251::fromUtf8("значение не показывается")
                             : cp1251::fromUtf8("«") + value.value + cp1251::fromUtf8("»");
    } else {
        text = cp1251::fromUtf8("Ячейка " + std::to_string(value.slot) + " SIM-карты: номер «") +
               value.value + cp1251::fromUtf8("»");
        if (!value.text.empty() && value.text != value.value) {
            text += cp1251::fromUtf8(", текст «") + value.text + cp1251::fromUtf8("»");
        }
    }
    return text + cp1251::fromUtf8(" — ") + value.why;
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
