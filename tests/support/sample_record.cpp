#include "sample_record.h"

#include <initializer_list>

namespace orv::test {

namespace {

PhoneTable numbers(std::initializer_list<const char*> list) {
    PhoneTable t;
    for (const char* n : list) {
        t.push_back(PhoneRecord{n, ""});
    }
    return t;
}

}  // namespace

SettingsRecord sampleRecord() {
    SettingsRecord r;
    r.choices = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    r.volume = "55";
    r.password = "7654321";
    r.callDuration = "7";
    r.numberLength = "99";
    r.controlTime = "45";
    r.forwardNumber = "+79161234567";
    r.tables[kCallBackTable] = numbers({"8900", "+79031112233", ""});
    r.tables[kAllowedTable] = numbers({"1234", "123456789012345", ""});
    r.tables[kForbiddenTable] = numbers({"5678", "810495", ""});
    r.tables[kSpeedDialTable] = numbers({"111", "+7495", "222", ""});
    return r;
}

SettingsRecord shortRecord() {
    SettingsRecord r;
    r.password = "12";
    r.tables[kCallBackTable] = numbers({"111", ""});
    r.tables[kAllowedTable] = numbers({"1234", ""});
    r.forwardNumber = "+7900";
    r.tables[kSpeedDialTable] = numbers({"55", ""});
    return r;
}

}  // namespace orv::test
