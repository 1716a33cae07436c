#include "records/csv_reader.h"

#include <csv.h>

#include <array>
#include <cstring>
#include <memory>

#include "base/errors.h"

namespace orv {
namespace {

// What libcsv hands over while it parses: the cells of the row being read and the line it
// started on.
struct Collector {
    bool utf8 = true;
    CsvTable* table = nullptr;
    std::vector<Text> cells;
    int line = 1;      // the line of the byte being fed
    int rowStart = 1;  // the line the row being read started on
    bool inRow = false;
};

void onField(void* data, std::size_t size, void* context) {
    auto* c = static_cast<Collector*>(context);
    std::string cell = data != nullptr ? std::string(static_cast<const char*>(data), size) : "";
    c->cells.push_back(c->utf8 ? cp1251::fromUtf8(cell) : cell);
}

void onRowEnd(int /*terminator*/, void* context) {
    auto* c = static_cast<Collector*>(context);
    c->table->rows.push_back(CsvRow{c->rowStart, std::move(c->cells)});
    c->cells.clear();
    c->inRow = false;
}

// Only the blank counts as space around a field: a tab may be the separator.
int isBlank(unsigned char c) {
    return c == ' ' ? 1 : 0;
}

bool isText(const std::string& bytes) {
    for (unsigned char c : bytes) {
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) {
            return false;
        }
    }
    return true;
}

constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

bool CsvRow::blank() const {
    for (const Text& cell : cells) {
        if (!trimmed(cell).empty()) {
            return false;
        }
    }
    return true;
}

Text trimmed(const Text& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == Text::npos) {
        return Text();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t more = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, min = 0x80, code = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, min = 0x800, code = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, code = c & 0x07u;
        } else {
            return false;
        }
        if (i + more >= bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += more + 1;
    }
    return true;
}

char detectSeparator(const std::string& bytes) {
    // The first lines decide (up to 20 line breaks outside quotes): a name may hold a comma,
    // but a separator stands in every row.
    const std::array<char, 3> candidates = {';', '\t', ','};
    std::array<std::size_t, 3> counts{};
    bool quoted = false;
    int lines = 0;
    for (char c : bytes) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '\n' && ++lines == 20) {
            break;
        } else if (!quoted) {
            for (std::size_t k = 0; k < candidates.size(); ++k) {
                counts[k] += c == candidates[k] ? 1 : 0;
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t k = 1; k < candidates.size(); ++k) {
        if (counts[k] > counts[best]) {
            best = k;
        }
    }
    return candidates[best];
}

CsvTable parseCsv(const std::string& input) {
    std::string bytes = input;
    const bool marked = bytes.compare(0, 3, kByteOrderMark) == 0;
    if (marked) {
        bytes.erase(0, 3);
    }
    if (!isText(bytes)) {
        throw Failure(
            MessageKind::Error,
            cp1251::fromUtf8("Файл не является текстом CSV: в нём есть двоичные данные."));
    }
    CsvTable table;
    table.utf8 = marked || isUtf8(bytes);
    table.separator = detectSeparator(bytes);

    csv_parser parser{};
    if (csv_init(&parser, 0) != 0) {
        throw std::bad_alloc();
    }
    std::unique_ptr<csv_parser, void (*)(csv_parser*)> owner(&parser, csv_free);
    csv_set_delim(&parser, static_cast<unsigned char>(table.separator));
    csv_set_space_func(&parser, isBlank);

    Collector collector;
    collector.utf8 = table.utf8;
    collector.table = &table;
    // Fed a byte at a time, so that each row is known by the line it starts on.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (!collector.inRow && c != '\r' && c != '\n') {
            collector.inRow = true;
            collector.rowStart = collector.line;
        }
        if (csv_parse(&parser, &c, 1, onField, onRowEnd, &collector) != 1) {
            throw std::bad_alloc();  // libcsv fails only when it runs out of memory
        }
        if (c == '\n' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) {
            ++collector.line;
        }
    }
    csv_fini(&parser, onField, onRowEnd, &collector);
    return table;
}

CsvTable readCsvFile(const std::string& path) {
    return parseCsv(readRegularFile(path, kCsvFileBound));
}

std::string csvField(const std::string& text, char separator) {
    if (text.find_first_of(std::string("\"\r\n") + separator) == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace orv
