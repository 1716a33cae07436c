#include "records/number_lists_csv.h"

#include <algorithm>
#include <climits>
#include <map>

#include "base/errors.h"
#include "settings/config_file.h"
#include "settings/encoding.h"

namespace orv {
namespace {

const char* const kKeys[kNumberListCount] = {"callback", "allowed", "forbidden", "speed_dial",
                                             "forward"};
const char* const kHeader[3] = {"Список", "Позиция", "Номер"};
const char* const kHeaderKeys[3] = {"list", "position", "number"};
constexpr int kNoPosition = INT_MAX;

Text asciiLower(Text text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The columns of the file: where the list, the position and the number stand (-1: none).
struct Columns {
    int list = 0;
    int position = 1;
    int number = 2;
};

// Which header word a cell is (0 list, 1 position, 2 number), -1 for none.
int headerWord(const Text& cell) {
    const Text word = trimmed(cell);
    for (int k = 0; k < 3; ++k) {
        if (word == cp1251::fromUtf8(kHeader[k]) || asciiLower(word) == kHeaderKeys[k]) {
            return k;
        }
    }
    return -1;
}

// A header row names its columns; without one the columns are list, position, number (or list
// and number when a row has two cells).
bool readHeader(const CsvRow& row, Columns& columns) {
    Columns named{-1, -1, -1};
    bool header = false;
    for (std::size_t c = 0; c < row.cells.size(); ++c) {
        const int word = headerWord(row.cells[c]);
        int* slot = word == 0 ? &named.list : word == 1 ? &named.position : &named.number;
        if (word >= 0 && *slot < 0) {
            *slot = static_cast<int>(c);
            header = true;
        }
    }
    if (header) {
        columns = named;
    } else if (row.cells.size() == 2) {
        columns = Columns{0, -1, 1};
    }
    return header;
}

Text cell(const CsvRow& row, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= row.cells.size()) {
        return Text();
    }
    return trimmed(row.cells[static_cast<std::size_t>(column)]);
}

Text quoted(const Text& text) {
    return cp1251::fromUtf8("«") + text + cp1251::fromUtf8("»");
}

Text listName(int list) {
    return quoted(cp1251::fromUtf8(numberListName(list)));
}

// A row taken so far: its line, its list, the position the file gave and the number.
struct Entry {
    int line = 0;
    int list = 0;
    int position = kNoPosition;
    Text number;
};

// Why the row cannot be stored as it stands; empty when it can.
Text rowProblem(int list, const Text& number) {
    if (number.empty()) {
        return list == kForwardList ? Text() : cp1251::fromUtf8("нет номера.");
    }
    const TableId table = list == kForwardList ? kCallBackTable : static_cast<TableId>(list);
    if (storableNumber(table, number)) {
        return Text();
    }
    if (list == kForwardList) {
        return cp1251::fromUtf8("номер ") + quoted(number) + cp1251::fromUtf8(" в поле ") +
               listName(list) +
               cp1251::fromUtf8(": номер может содержать только цифры и «+», не более 15 знаков.");
    }
    return numberRefusal(table, number);
}

// Reads one data row into an entry; false (with the refusal noted) when it is not taken.
bool readRow(const CsvRow& row, const Columns& columns, Entry& entry,
             std::vector<CsvRefusal>& refused) {
    entry.line = row.line;
    const Text name = cell(row, columns.list);
    entry.list = numberListFromName(name);
    if (entry.list < 0) {
        refused.push_back({row.line, cp1251::fromUtf8("неизвестный список ") + quoted(name) +
                                         cp1251::fromUtf8(".")});
        return false;
    }
    const Text position = cell(row, columns.position);
    if (!position.empty()) {
        const bool digits =
            position.size() <= 4 && position.find_first_not_of("0123456789") == Text::npos;
        entry.position = digits ? std::stoi(position) : 0;
        if (entry.position < 1) {
            refused.push_back(
                {row.line, cp1251::fromUtf8("позиция ") + quoted(position) +
                               cp1251::fromUtf8(" не является числом от 1 до 9999.")});
            return false;
        }
    }
    entry.number = cleanedNumber(cell(row, columns.number));
    const Text problem = rowProblem(entry.list, entry.number);
    if (!problem.empty()) {
        refused.push_back({row.line, problem});
        return false;
    }
    return true;
}

// Refuses a second row for one place: the same position of a list, or the forward number.
bool takesFreePlace(const Entry& entry, std::map<std::pair<int, int>, int>& places,
                    std::vector<CsvRefusal>& refused) {
    const int position = entry.list == kForwardList ? 1 : entry.position;
    if (position == kNoPosition) {
        return true;
    }
    const auto [at, fresh] = places.emplace(std::make_pair(entry.list, position), entry.line);
    if (fresh) {
        return true;
    }
    refused.push_back({entry.line, cp1251::fromUtf8("место ") + std::to_string(position) +
                                       cp1251::fromUtf8(" в списке ") + listName(entry.list) +
                                       cp1251::fromUtf8(" уже занято строкой ") +
                                       std::to_string(at->second) + "."});
    return false;
}

int numbersIn(const PhoneTable& table) {
    return static_cast<int>(std::count_if(table.begin(), table.end(),
                                          [](const PhoneRecord& r) { return !r.number.empty(); }));
}

// Leaves out the rows past what the SIM card holds: 99 tagged numbers (the lists kept from the
// record count first) and 50 speed-dial numbers.
void refuseOverflow(std::array<std::vector<Entry>, kNumberListCount>& lists,
                    const SettingsRecord& base, std::vector<CsvRefusal>& refused) {
    int tagged = 0;
    for (int t = 0; t < kSpeedDialTable; ++t) {
        tagged += lists[static_cast<std::size_t>(t)].empty() ? numbersIn(base.tables[t]) : 0;
    }
    const Text taggedFull = cp1251::fromUtf8(
        "номер не помещается: в SIM-карте для номеров Call Back, разрешенных и запрещенных " +
        std::to_string(kLastTaggedIndex) + " ячеек.");
    const Text speedFull =
        cp1251::fromUtf8("номер не помещается: в SIM-карте для номеров ускоренного набора " +
                         std::to_string(kLastSpeedDialIndex - kForwardIndex) + " ячеек.");
    int speedDial = 0;
    for (int t = 0; t <= kSpeedDialTable; ++t) {
        auto& entries = lists[static_cast<std::size_t>(t)];
        int& count = t == kSpeedDialTable ? speedDial : tagged;
        const int room =
            t == kSpeedDialTable ? kLastSpeedDialIndex - kForwardIndex : kLastTaggedIndex;
        auto keep = entries.begin();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (count < room) {
                ++count;
                *keep++ = *it;
            } else {
                refused.push_back({it->line, t == kSpeedDialTable ? speedFull : taggedFull});
            }
        }
        entries.erase(keep, entries.end());
    }
}

void noteMoves(const std::vector<Entry>& entries, std::vector<Text>& moved) {
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const Entry& e = entries[k];
        if (e.position != kNoPosition && e.position != static_cast<int>(k) + 1) {
            moved.push_back(cp1251::fromUtf8("Строка ") + std::to_string(e.line) +
                            cp1251::fromUtf8(": позиция ") + std::to_string(e.position) +
                            cp1251::fromUtf8(" в списке ") + listName(e.list) +
                            cp1251::fromUtf8(" становится ") + std::to_string(k + 1) +
                            cp1251::fromUtf8(" (пропуск закрыт)."));
        }
    }
}

// Puts the taken rows into the record, each list in the order of its positions.
void fillRecord(std::array<std::vector<Entry>, kNumberListCount>& lists, NumberListsImport& out) {
    for (int l = 0; l < kNumberListCount; ++l) {
        auto& entries = lists[static_cast<std::size_t>(l)];
        if (entries.empty()) {
            continue;
        }
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.position < b.position; });
        out.replaced[static_cast<std::size_t>(l)] = true;
        if (l == kForwardList) {
            out.record.forwardNumber = entries.front().number;
            continue;
        }
        noteMoves(entries, out.moved);
        PhoneTable table;
        for (const Entry& e : entries) {
            table.push_back(PhoneRecord{e.number, Text()});
        }
        out.record.tables[static_cast<std::size_t>(l)] = table;
    }
}

}  // namespace

const char* numberListKey(int list) {
    return kKeys[list];
}

const char* numberListName(int list) {
    return list == kForwardList ? forwardNumberLabel() : tableCaption(static_cast<TableId>(list));
}

int numberListFromName(const Text& name) {
    const Text word = trimmed(name);
    for (int l = 0; l < kNumberListCount; ++l) {
        if (word == cp1251::fromUtf8(numberListName(l)) || asciiLower(word) == kKeys[l]) {
            return l;
        }
    }
    return -1;
}

Text cleanedNumber(const Text& written) {
    Text number;
    for (char c : written) {
        if (c != ' ' && c != '\t' && c != '\xA0' && c != '-' && c != '.' && c != '(' && c != ')') {
            number += c;
        }
    }
    return number;
}

std::string numberListsCsv(const SettingsRecord& record) {
    auto row = [](int list, std::size_t position, const Text& number) {
        return csvField(numberListName(list), ';') + ";" + std::to_string(position) + ";" +
               csvField(cp1251::toUtf8(number), ';') + "\r\n";
    };
    std::string out =
        "\xEF\xBB\xBF" + std::string(kHeader[0]) + ";" + kHeader[1] + ";" + kHeader[2] + "\r\n";
    for (int t = 0; t < kTableCount; ++t) {
        std::size_t position = 0;
        for (const PhoneRecord& r : record.tables[static_cast<std::size_t>(t)]) {
            if (!r.number.empty()) {
                out += row(t, ++position, r.number);
            }
        }
    }
    return out + row(kForwardList, 1, record.forwardNumber);
}

void exportNumberLists(const std::string& path, const SettingsRecord& record) {
    std::string bytes = numberListsCsv(record);
    bytes.resize(bytes.size() - 2);  // saveLines ends every line, the last one too
    saveLines(path, CommandList{bytes});
}

bool NumberListsImport::anyReplaced() const {
    return std::find(replaced.begin(), replaced.end(), true) != replaced.end();
}

NumberListsImport importNumberLists(const CsvTable& table, const SettingsRecord& base) {
    NumberListsImport out;
    out.record = base;
    Columns columns;
    bool first = true;
    std::map<std::pair<int, int>, int> places;
    std::array<std::vector<Entry>, kNumberListCount> lists;
    for (const CsvRow& row : table.rows) {
        if (row.blank() || (first && readHeader(row, columns))) {
            first = first && row.blank();
            continue;
        }
        first = false;
        Entry entry;
        if (readRow(row, columns, entry, out.refused) &&
            takesFreePlace(entry, places, out.refused)) {
            lists[static_cast<std::size_t>(entry.list)].push_back(entry);
        }
    }
    for (auto& entries : lists) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.position < b.position; });
    }
    refuseOverflow(lists, base, out.refused);
    fillRecord(lists, out);
    std::stable_sort(out.refused.begin(), out.refused.end(),
                     [](const CsvRefusal& a, const CsvRefusal& b) { return a.line < b.line; });
    if (!out.anyReplaced()) {
        Text text = cp1251::fromUtf8("В файле нет ни одной строки с номером, которую можно взять.");
        if (!out.refused.empty()) {
            text += "\n" + describeRefusals(out.refused);
        }
        throw Failure(MessageKind::Error, text);
    }
    return out;
}

NumberListsImport importNumberListsFile(const std::string& path, const SettingsRecord& base) {
    return importNumberLists(readCsvFile(path), base);
}

Text describeRefusals(const std::vector<CsvRefusal>& refused) {
    Text text;
    for (const CsvRefusal& r : refused) {
        text += (text.empty() ? "" : "\n") + cp1251::fromUtf8("Строка ") + std::to_string(r.line) +
                ": " + r.reason;
    }
    return text;
}

Text describeImport(const NumberListsImport& import, const SettingsRecord& base, bool taken) {
    Text text = cp1251::fromUtf8(taken ? "Из файла заменены:" : "Из файла будут заменены:");
    for (int l = 0; l < kNumberListCount; ++l) {
        if (!import.replaced[static_cast<std::size_t>(l)]) {
            continue;
        }
        text += "\n" + listName(l) + cp1251::fromUtf8(" — ");
        if (l == kForwardList) {
            auto shown = [](const Text& number) {
                return number.empty() ? cp1251::fromUtf8("нет") : quoted(number);
            };
            text += cp1251::fromUtf8("сейчас ") + shown(base.forwardNumber) +
                    cp1251::fromUtf8(", из файла ") + shown(import.record.forwardNumber);
        } else {
            text += cp1251::fromUtf8("номеров сейчас: ") +
                    std::to_string(numbersIn(base.tables[static_cast<std::size_t>(l)])) +
                    cp1251::fromUtf8(", из файла: ") +
                    std::to_string(numbersIn(import.record.tables[static_cast<std::size_t>(l)]));
        }
    }
    for (const Text& line : import.moved) {
        text += "\n" + line;
    }
    if (!import.refused.empty()) {
        text += cp1251::fromUtf8(taken ? "\n\nНе взяты строки (" : "\n\nНе будут взяты строки (") +
                std::to_string(import.refused.size()) + "):\n" + describeRefusals(import.refused);
    }
    return text;
}

}  // namespace orv
