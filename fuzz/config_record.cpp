// A saved record loads back to itself. The input makes a record of everything a configuration
// can hold: the fourteen choices, the numeric fields within 0..99, a password of up to seven
// digits, a forward number or none, and up to 99 tagged numbers over the call-back, allowed
// and forbidden tables and 50 speed-dial numbers, each number valid and of up to 15
// characters (allowed and forbidden ones of at least four, since shorter ones are never
// stored). Properties checked:
//   1. The save takes the record.
//   2. The saved file, with its lines ended by CR LF, CR alone or LF alone, loads back to the
//      very same record.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "fuzz_check.h"
#include "settings/config_file.h"
#include "settings/encoding.h"
#include "settings/settings_record.h"

namespace {

std::string number(FuzzedDataProvider& in, std::size_t least) {
    const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(least, 15);
    std::string n;
    for (std::size_t i = 0; i < length; ++i) {
        const int c = in.ConsumeIntegralInRange(0, 10);
        n += c == 10 ? '+' : static_cast<char>('0' + c);
    }
    return n;
}

orv::PhoneTable table(FuzzedDataProvider& in, int count, std::size_t least) {
    orv::PhoneTable t;
    for (int i = 0; i < count; ++i) {
        t.push_back(orv::PhoneRecord{number(in, least), ""});
    }
    t.push_back(orv::PhoneRecord{"", ""});
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    orv::SettingsRecord r;
    for (int c = 1; c <= orv::kChoiceCount; ++c) {
        r.choice(c) = in.ConsumeBool() ? 1 : 0;
    }
    r.volume = std::to_string(in.ConsumeIntegralInRange(0, 99));
    r.numberLength = std::to_string(in.ConsumeIntegralInRange(0, 99));
    r.callDuration = std::to_string(in.ConsumeIntegralInRange(0, 99));
    r.controlTime = std::to_string(in.ConsumeIntegralInRange(0, 99));
    const int passwordLength = in.ConsumeIntegralInRange(0, 7);
    for (int i = 0; i < passwordLength; ++i) {
        r.password += static_cast<char>('0' + in.ConsumeIntegralInRange(0, 9));
    }
    if (in.ConsumeBool()) {
        r.forwardNumber = number(in, 1);
    }
    const int callBack = in.ConsumeIntegralInRange(0, 99);
    const int allowed = in.ConsumeIntegralInRange(0, 99 - callBack);
    const int forbidden = in.ConsumeIntegralInRange(0, 99 - callBack - allowed);
    const int speedDial = in.ConsumeIntegralInRange(0, 50);
    const char* lineEnd = in.PickValueInArray({"\r\n", "\r", "\n"});
    r.tables[orv::kCallBackTable] = table(in, callBack, 1);
    r.tables[orv::kAllowedTable] = table(in, allowed, 4);
    r.tables[orv::kForbiddenTable] = table(in, forbidden, 4);
    r.tables[orv::kSpeedDialTable] = table(in, speedDial, 1);

    orv::CommandList lines;
    try {
        lines = orv::encode(r);
    } catch (const orv::Failure& f) {
        std::fprintf(stderr, "the save refused a record: %s\n", f.text().c_str());
        FUZZ_CHECK(!"the save takes every record a configuration can hold");
    }
    std::string text;
    for (const orv::Text& line : lines) {
        text += line + lineEnd;
    }
    orv::SettingsRecord back;
    try {
        orv::loadFromText(text, back, "fuzz.cfg");
    } catch (const orv::Failure& f) {
        std::fprintf(stderr, "a saved record did not load: %s\n", f.text().c_str());
        FUZZ_CHECK(!"a saved record loads");
    }
    FUZZ_CHECK(back == r);
    return 0;
}
