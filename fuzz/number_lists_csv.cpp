// Number lists from CSV, over any bytes. Properties checked:
//   1. The reader refuses the bytes as no text or gives rows whose lines rise from 1 and stay
//      within the text's line count.
//   2. What an import takes the record can hold: the whole record passes the check the write
//      and the save make (every number storable, at most 99 tagged and 50 speed-dial numbers).
//   3. Every refused row is named by the line of a row of the file.
//   4. The taken lists exported and imported again are the very same lists, with no row
//      refused or moved.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "fuzz_check.h"
#include "records/number_lists_csv.h"
#include "settings/encoding.h"

namespace {

std::size_t lineCount(const std::string& bytes) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n') +
                                    std::count(bytes.begin(), bytes.end(), '\r')) +
           1;
}

bool numbersOnly(const orv::PhoneTable& a, const orv::PhoneTable& b) {
    auto filled = [](const orv::PhoneTable& t) {
        orv::PhoneTable out;
        std::copy_if(t.begin(), t.end(), std::back_inserter(out),
                     [](const orv::PhoneRecord& r) { return !r.number.empty(); });
        return out;
    };
    return filled(a) == filled(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    orv::CsvTable table;
    try {
        table = orv::parseCsv(bytes);
    } catch (const orv::Failure&) {
        return 0;
    }
    int last = 0;
    for (const orv::CsvRow& row : table.rows) {
        FUZZ_CHECK(row.line > last || (row.line == last && row.line >= 1));
        FUZZ_CHECK(static_cast<std::size_t>(row.line) <= lineCount(bytes));
        last = row.line;
    }
    const orv::SettingsRecord base;
    orv::NumberListsImport result;
    try {
        result = orv::importNumberLists(table, base);
    } catch (const orv::Failure&) {
        return 0;
    }
    try {
        orv::checkEncodable(result.record);
    } catch (const orv::Failure& f) {
        std::fprintf(stderr, "the import took what cannot be kept: %s\n", f.text().c_str());
        FUZZ_CHECK(!"the record holds what it took");
    }
    for (const orv::CsvRefusal& r : result.refused) {
        FUZZ_CHECK(std::any_of(table.rows.begin(), table.rows.end(),
                               [&](const orv::CsvRow& row) { return row.line == r.line; }));
    }
    const orv::NumberListsImport again =
        orv::importNumberLists(orv::parseCsv(orv::numberListsCsv(result.record)), base);
    FUZZ_CHECK(again.refused.empty() && again.moved.empty());
    FUZZ_CHECK(again.record.forwardNumber == result.record.forwardNumber);
    for (int t = 0; t < orv::kTableCount; ++t) {
        FUZZ_CHECK(numbersOnly(again.record.tables[t], result.record.tables[t]));
    }
    return 0;
}
