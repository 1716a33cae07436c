#pragma once
// What the benchmarks share: the record that fills the phone book, the SMS text and recipients
// they send (the record they program is the tests' sample record), a port and a
// clock that count what an exchange asks of the line, a user without windows, and the
// process's processor time.

#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "link/clock.h"
#include "link/com_create.h"
#include "link/port.h"
#include "operations/operation.h"
#include "sample_record.h"
#include "settings/settings_record.h"
#include "sms/recipients.h"

namespace orv::bench {

// Counts what goes out (every byte, and the line ends among them) and the reads of replies.
class CountingPort : public Port {
  public:
    explicit CountingPort(Port& port) : port_(port) {}
    bool isOpen() const override { return port_.isOpen(); }
    void writeByte(std::uint8_t byte) override {
        ++bytes;
        lines += byte == '\r';
        port_.writeByte(byte);
    }
    bool read(std::size_t max, std::string& out) override {
        ++reads;
        return port_.read(max, out);
    }
    std::size_t available() override { return port_.available(); }
    void purgeInput() override { port_.purgeInput(); }
    void purgeAll() override { port_.purgeAll(); }
    void setDtr() override { port_.setDtr(); }
    void setRts() override { port_.setRts(); }
    void close() override { port_.close(); }

    long bytes = 0;
    long lines = 0;
    long reads = 0;

  private:
    Port& port_;
};

// Counts the pauses an exchange waits through. The wait before a byte never asks for more than
// the byte interval, while a pause asks for (nearly) its whole length in one go and only for a
// remnant of a millisecond or so when it goes on; so every sleep longer than the byte interval
// begins one pause.
class CountingClock : public Clock {
  public:
    explicit CountingClock(Clock& clock) : clock_(clock) {}
    Millis now() override { return clock_.now(); }
    void sleep(Millis ms) override {
        pauses += ms > kByteInterval;
        clock_.sleep(ms);
    }

    long pauses = 0;

  private:
    Clock& clock_;
};

// No windows: the progress goes nowhere, a message is printed, and the reader-stop protocol
// is only noted (the virtual-time runs have no reader).
class ConsoleUser : public OperationUser, public ReaderControl {
  public:
    void setCaption(const Text&) override {}
    void showProgress() override {}
    void closeProgress() override {}
    void setRange(int, int) override {}
    void setPosition(int) override {}
    void tell(MessageKind, const Text& text, MessageButtons) override {
        if (!quiet) {
            std::fprintf(stderr, "message: %s\n", cp1251::toUtf8(text).c_str());
        }
        ++messages;
    }
    void stopReader() override {}
    void startReader() override {}

    bool quiet = false;
    int messages = 0;
};

// Processor time of the whole process (every thread), in seconds.
inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A record that fills every slot of the SIM phone book the program writes: 99 tagged numbers,
// the forward number and 50 speed-dial numbers, so that write programming erases none.
inline SettingsRecord fullPhoneBookRecord() {
    SettingsRecord record;
    record.password = "5274913";
    record.forwardNumber = "+79161234567";
    for (PhoneTable& table : record.tables) {
        table.clear();
    }
    for (int i = 0; i < 99; ++i) {
        record.tables[i % 3].push_back({"+790312" + std::to_string(10000 + i), ""});
    }
    for (int i = 0; i < 50; ++i) {
        record.tables[kSpeedDialTable].push_back({"8905" + std::to_string(1000000 + i), ""});
    }
    return record;
}

// Whether a read-back holds what the sample record wrote: the password, the forward number and the
// numbers of the phone tables.
inline bool sameNumbers(const SettingsRecord& a, const SettingsRecord& b) {
    if (a.password != b.password || a.forwardNumber != b.forwardNumber) {
        return false;
    }
    for (int t = 0; t < kTableCount; ++t) {
        std::vector<Text> x, y;
        for (const PhoneRecord& r : a.tables[t]) {
            if (!r.number.empty())
                x.push_back(r.number);
        }
        for (const PhoneRecord& r : b.tables[t]) {
            if (!r.number.empty())
                y.push_back(r.number);
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The SMS: one line of 59 characters (236 bytes of UCS2 hex), to three recipients.
inline std::vector<Text> smsText() {
    return {cp1251::fromUtf8("Завтра с 10:00 до 12:00 связи не будет. Приносим извинения.")};
}

inline RecipientList smsRecipients() {
    return {"+79001234567", "+79011234567", "89021234567"};
}

}  // namespace orv::bench
