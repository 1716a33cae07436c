#pragma once
// A data folder with a history the test fills: records written as the program writes them,
// at times the test chooses.

#include <ctime>
#include <string>

#include "records/history.h"
#include "test_support.h"

namespace orv::test {

constexpr std::time_t kHistoryStart = 1796855400;  // 2026-12-09 22:30:00 UTC

struct HistoryRecords {
    TempDir data;
    std::time_t now = kHistoryStart;
    History history{data.dir(), [this] { return now; }, "1.0.7"};

    // A finished record of `operation`, begun at `now` (which then moves on a second).
    std::string finished(const std::string& operation, const std::string& label = "") {
        HistoryRecord record = history.begin(operation, label);
        record.setPort("/dev/ttyUSB0", "/dev/serial/by-id/usb-gw-if00");
        ++now;
        record.finish({"0", "Программирование\nзавершено", {{"seconds", "12"}}, {"+7900"}});
        return record.folder();
    }

    std::string path(const std::string& record, const std::string& name) const {
        return record + "/" + name;
    }
};

}  // namespace orv::test
