// Configuration files, the working-state file and the read-back "1.txt" all pass through one
// loader. Properties checked, for any text:
//   1. Whatever the load leaves in the record, also when it stops at a faulty line, can be
//      saved: the encoding takes it without a message.
//   2. A text that loads saves, and the saved file loads back to the same record, as far as
//      the encoding keeps it (only valid numbers are stored; an allowed or forbidden number of
//      fewer than four characters takes its index but no line; names are never stored; a
//      forward number that is not valid is not stored).
//   3. The saved file is stable: the record loaded from it saves to a file that loads back to
//      that record and saves to the same bytes again; and when the load took no number that
//      the encoding passes over, it is the very file saved first.
//   4. The record keeps its shape: at most seven password characters, and every table ends
//      with the template's empty record.
// A rejected file (the format message, a missing line, a conversion error) is an expected
// outcome; crashes, undefined behaviour and leaks are findings.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "fuzz_check.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "settings/settings_record.h"

namespace {

using orv::SettingsRecord;

// The record as a save and a load carry it.
SettingsRecord kept(const SettingsRecord& loaded) {
    SettingsRecord r = loaded;
    for (int t = 0; t < orv::kTableCount; ++t) {
        const bool shortKept = t == orv::kCallBackTable || t == orv::kSpeedDialTable;
        orv::PhoneTable table;
        for (const orv::PhoneRecord& p : loaded.tables[t]) {
            if (orv::Check_StrOnInt(p.number) && (shortKept || p.number.size() >= 4)) {
                table.push_back(orv::PhoneRecord{p.number, ""});
            }
        }
        table.push_back(orv::PhoneRecord{"", ""});
        r.tables[t] = table;
    }
    if (!orv::Check_StrOnInt(r.forwardNumber)) {
        r.forwardNumber.clear();
    }
    return r;
}

std::string fileText(const orv::CommandList& lines) {
    std::string text;
    for (const orv::Text& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

void checkShape(const SettingsRecord& record) {
    FUZZ_CHECK(record.password.size() <= 7);
    for (const orv::PhoneTable& table : record.tables) {
        FUZZ_CHECK(!table.empty());
        FUZZ_CHECK(table.back().number.empty());
        FUZZ_CHECK(table.back().name.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SettingsRecord loaded;
    bool ok = true;
    try {
        orv::loadFromText(bytes, loaded, "fuzz.cfg");
    } catch (const orv::Failure&) {
        ok = false;
    }
    checkShape(loaded);

    orv::CommandList saved;
    try {
        saved = orv::encode(loaded);
    } catch (const orv::Failure& f) {
        std::fprintf(stderr, "the save refused what was loaded: %s\n", f.text().c_str());
        FUZZ_CHECK(!"what loads can be saved");
    }
    if (!ok) {
        return 0;
    }

    SettingsRecord back;
    orv::loadFromText(fileText(saved), back, "fuzz.cfg");  // must not throw
    const SettingsRecord expected = kept(loaded);
    FUZZ_CHECK(back == expected);

    // An allowed or forbidden number of fewer than four characters takes an index without a
    // line, so the numbers after it are saved at other indices once it is gone.
    bool passedOver = false;
    for (int t = 0; t < orv::kTableCount; ++t) {
        std::size_t valid = 0;
        for (const orv::PhoneRecord& p : loaded.tables[t]) {
            valid += orv::Check_StrOnInt(p.number) ? 1 : 0;
        }
        passedOver = passedOver || valid + 1 != expected.tables[t].size();
    }
    const orv::CommandList again = orv::encode(back);
    if (!passedOver) {
        FUZZ_CHECK(again == saved);
    }
    SettingsRecord third;
    orv::loadFromText(fileText(again), third, "fuzz.cfg");
    FUZZ_CHECK(third == back);
    FUZZ_CHECK(orv::encode(third) == again);
    return 0;
}
