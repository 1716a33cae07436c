#pragma once
// Reading a CSV file as spreadsheets write it: separator ";", "," or tab (found from the file),
// UTF-8 with or without a byte order mark or code page 1251 (found from the bytes), quoted
// fields with doubled quotes and line breaks inside (RFC 4180). The parsing itself is libcsv's.
// Every cell comes out in code page 1251, as the core keeps text, with the line it starts on.

#include <string>
#include <vector>

#include "base/regular_file.h"
#include "base/text.h"

namespace orv {

// A CSV file the user hands in: the number lists or the recipients. 4 MB is far more than any
// list of this program (some 100 000 rows of a number and a name).
constexpr FileBound kCsvFileBound{std::size_t{4} << 20, "файл CSV"};

struct CsvRow {
    int line = 0;  // the line of the file the row starts on, from 1
    std::vector<Text> cells;

    // True when no cell holds anything but blanks.
    bool blank() const;
};

struct CsvTable {
    char separator = ';';
    bool utf8 = true;  // false: the file was code page 1251
    std::vector<CsvRow> rows;
};

// Which separator the text uses: the one of ";", tab and "," (in that order of preference)
// found most often outside quotes in its first lines; ";" when none is.
char detectSeparator(const std::string& bytes);

// True when the bytes are well-formed UTF-8.
bool isUtf8(const std::string& bytes);

// Parses CSV text (a byte order mark first is dropped). Throws a Failure when the bytes are no
// text (a zero byte or other control characters but tab, CR and LF).
CsvTable parseCsv(const std::string& bytes);

// Reads the named file (a regular file within kCsvFileBound, readRegularFile) and parses it.
CsvTable readCsvFile(const std::string& path);

// One field as written: quoted when it holds the separator, a quote or a line break.
std::string csvField(const std::string& text, char separator);

// Blanks and tabs taken off both ends.
Text trimmed(const Text& text);

}  // namespace orv
