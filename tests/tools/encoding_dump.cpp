// Prints what the core makes of settings, so that two builds can be compared line for line: the
// command lists of the default and sample records, of every item of every choice, of each header
// register decoded from every value, the message of each record the check refuses, and what the
// loader makes of and says about a read-back with values the window cannot hold.
// Usage: encoding_dump > file

#include <cstdio>
#include <iostream>
#include <string>

#include "base/errors.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "settings/device_vocabulary.h"
#include "settings/encoding.h"

namespace {

using namespace orv;

void print(const std::string& title, const SettingsRecord& record) {
    std::cout << "== " << title << "\n";
    try {
        for (const Text& line : encode(record)) {
            std::cout << line << "\n";
        }
    } catch (const Failure& failure) {
        std::cout << "refused: " << failure.what() << "\n";
    }
}

}  // namespace

int main() {
    print("default", SettingsRecord());
    print("sample", test::sampleRecord());
    print("short", test::shortRecord());
    for (int n = 1; n <= kChoiceCount; ++n) {
        for (int item : {-1, 0, 1}) {
            SettingsRecord record;
            record.choice(n) = item;
            print("choice " + std::to_string(n) + " item " + std::to_string(item), record);
        }
    }
    for (int k = 0; k < static_cast<int>(device::kHeaderRegisterCount); ++k) {
        for (int v = 0; v < 256; ++v) {
            char value[8];
            std::snprintf(value, sizeof value, "%02X", v);
            SettingsRecord record = test::sampleRecord();
            const std::string title = "decode " + std::to_string(k) + " " + value;
            try {
                const int count = decodeHeaderLine(
                    k,
                    device::writeCommand(device::kRegisters[static_cast<std::size_t>(k)]) + value,
                    record);
                std::cout << title << " count " << count << "\n";
                print(title, record);
            } catch (const Failure& failure) {
                std::cout << title << " refused: " << failure.what() << "\n";
            }
        }
    }
    const struct {
        const char* what;
        Text SettingsRecord::*member;
        const char* value;
    } bad[] = {
        {"volume", &SettingsRecord::volume, "100"},
        {"volume", &SettingsRecord::volume, ""},
        {"password", &SettingsRecord::password, "12345678"},
        {"password", &SettingsRecord::password, "12a"},
        {"duration", &SettingsRecord::callDuration, ""},
        {"duration", &SettingsRecord::callDuration, "x"},
        {"length", &SettingsRecord::numberLength, "120"},
        {"control", &SettingsRecord::controlTime, "-1"},
        {"forward", &SettingsRecord::forwardNumber, "12#"},
    };
    for (const auto& b : bad) {
        SettingsRecord record;
        record.*b.member = b.value;
        print(std::string("bad ") + b.what + " " + b.value, record);
        // Two faults at once: the first in the check's order is told.
        record.volume = "100";
        record.controlTime = "200";
        print(std::string("bad twice ") + b.what + " " + b.value, record);
    }
    std::string readBack;
    for (const Text& line : encode(test::sampleRecord())) {
        readBack += line + "\r\n";
    }
    for (const char* from :
         {"ATW8001", "ATW8101", "ATW8201", "ATW8301", "ATW8601", "ATW9001", "ATW9101"}) {
        for (const char* to : {"FF", "x1", "64", "63", "07"}) {
            std::string text = readBack;
            const auto at = text.find(from);
            text.replace(at + 7, 2, to);
            SettingsRecord record;
            std::cout << "== read-back " << from << " as " << to << "\n";
            try {
                for (const RefusedValue& r : loadReadBack(text, record, "1.txt")) {
                    std::cout << describeRefusal(r) << "\n";
                }
                print("loaded", record);
            } catch (const Failure& failure) {
                std::cout << "refused: " << failure.what() << "\n";
            }
        }
    }
    return 0;
}
