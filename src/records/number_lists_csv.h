#pragma once
// The number lists of a record as a CSV file, the way customers keep them in spreadsheets: the
// four phone tables and the forward number, a header row "Список;Позиция;Номер" and a row per
// number. A list is named by the window's caption of its table (the forward number by its
// field's label) or by a short key; the position is the number's place in its list from 1 (for
// speed dial the place that decides its slot).
//
// Export writes ";", UTF-8 with a byte order mark and CR LF; import takes any dialect the CSV
// reader finds, cleans the numbers as people write them and checks each row by the grids' own
// rules. Lists the file names replace those of the record; lists it does not name are kept.

#include <array>
#include <string>
#include <vector>

#include "records/csv_reader.h"
#include "settings/settings_record.h"

namespace orv {

// The lists of a file: the four tables (TableId) and the forward number after them.
constexpr int kForwardList = kTableCount;
constexpr int kNumberListCount = kTableCount + 1;

// The short key of each list ("callback", "allowed", "forbidden", "speed_dial", "forward").
const char* numberListKey(int list);
// The list's name in a file as the window shows it (UTF-8): a table caption, the forward label.
const char* numberListName(int list);
// The list a file's name or short key stands for; -1 when none.
int numberListFromName(const Text& name);

// A number as it can be stored: blanks (also no-break ones), dashes, dots and parentheses
// taken out.
Text cleanedNumber(const Text& written);

// The file's bytes for the record's lists.
std::string numberListsCsv(const SettingsRecord& record);
// Writes them as the named file, replacing it atomically. Throws "Cannot create file ...".
void exportNumberLists(const std::string& path, const SettingsRecord& record);

// A row that is not taken: the line it starts on and why.
struct CsvRefusal {
    int line = 0;
    Text reason;
    bool operator==(const CsvRefusal& o) const { return line == o.line && reason == o.reason; }
};

struct NumberListsImport {
    // The base record with every list the file names replaced by the rows taken for it.
    SettingsRecord record;
    std::array<bool, kNumberListCount> replaced{};
    std::vector<CsvRefusal> refused;
    // Rows whose place in their list is not the position the file gave (a gap closed up).
    std::vector<Text> moved;

    bool anyReplaced() const;
};

// Imports a parsed file into a copy of `base`. Rows that are refused are listed and left out.
// Throws a Failure when the file holds no row that can be taken.
NumberListsImport importNumberLists(const CsvTable& table, const SettingsRecord& base);
// The same for a file (readCsvFile: a regular file, text, at most 4 MB).
NumberListsImport importNumberListsFile(const std::string& path, const SettingsRecord& base);

// What the import will replace (each list with its count of numbers now and from the file),
// the rows moved up and every refused row by its line and reason: the preview shown before
// anything changes; `taken`: the same told once the import is done.
Text describeImport(const NumberListsImport& import, const SettingsRecord& base,
                    bool taken = false);
// The refused rows alone, one a line ("Строка 7: …").
Text describeRefusals(const std::vector<CsvRefusal>& refused);

}  // namespace orv
