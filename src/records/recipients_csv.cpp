#include "records/recipients_csv.h"

#include <algorithm>

namespace orv {
namespace {

Text cellAt(const CsvRow& row, std::size_t column) {
    return column < row.cells.size() ? trimmed(row.cells[column]) : Text();
}

// The column headed "Номер", or -1.
int headedColumn(const CsvRow& row) {
    for (std::size_t c = 0; c < row.cells.size(); ++c) {
        if (trimmed(row.cells[c]) == cp1251::fromUtf8("Номер")) {
            return static_cast<int>(c);
        }
    }
    return -1;
}

// The first column in which every filled cell of the rows from `from` holds a number.
std::size_t numberColumn(const CsvTable& table, std::size_t from) {
    std::size_t widest = 0;
    for (const CsvRow& row : table.rows) {
        widest = std::max(widest, row.cells.size());
    }
    for (std::size_t c = 0; c < widest; ++c) {
        bool any = false;
        bool all = true;
        for (std::size_t r = from; r < table.rows.size() && all; ++r) {
            const Text value = cellAt(table.rows[r], c);
            any = any || !value.empty();
            all =
                value.empty() || (!recipientNumber(value).empty() && recipientName(value).empty());
        }
        if (any && all) {
            return c;
        }
    }
    return 0;
}

}  // namespace

bool isCsvRecipientFile(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    Text end = path.substr(path.size() - 4);
    for (char& c : end) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return end == ".csv";
}

RecipientList recipientsFromCsv(const CsvTable& table) {
    std::size_t first = 0;
    int column = table.rows.empty() ? -1 : headedColumn(table.rows.front());
    if (column >= 0) {
        first = 1;
    } else {
        // A first row whose number column holds no number is a header of other words.
        column = static_cast<int>(numberColumn(table, 1));
        first = !table.rows.empty() && recipientNumber(cellAt(table.rows.front(),
                                                              static_cast<std::size_t>(column)))
                                           .empty()
                    ? 1
                    : 0;
    }
    RecipientList recipients;
    for (std::size_t r = first; r < table.rows.size(); ++r) {
        const CsvRow& row = table.rows[r];
        Text name;
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const Text value = trimmed(row.cells[c]);
            if (static_cast<int>(c) != column && !value.empty()) {
                name += (name.empty() ? "" : " ") + value;
            }
        }
        const Text number = cellAt(row, static_cast<std::size_t>(column));
        recipients.push_back(name.empty() || number.empty() ? number + name : number + ";" + name);
    }
    return recipients;
}

RecipientList readRecipientsCsv(const std::string& path) {
    return recipientsFromCsv(readCsvFile(path));
}

}  // namespace orv
