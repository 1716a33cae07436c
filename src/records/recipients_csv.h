#pragma once
// Recipients from a CSV file, as a spreadsheet keeps them: the column headed "Номер" gives the
// number (or else the first column whose cells hold numbers), the rest of the row the name the
// broadcast's report keeps.

#include <string>

#include "records/csv_reader.h"
#include "sms/recipients.h"

namespace orv {

// True when the file is to be read as CSV: its name ends in ".csv" (any case).
bool isCsvRecipientFile(const std::string& path);

// The recipients of a parsed table, each as a recipient line: the number as written, ";" and
// the other cells of its row joined by blanks. A header row is left out; rows without a number
// stay as empty recipients, as empty lines of a plain recipient file do.
RecipientList recipientsFromCsv(const CsvTable& table);

// Reads the named CSV file (readCsvFile) into recipient lines.
RecipientList readRecipientsCsv(const std::string& path);

}  // namespace orv
