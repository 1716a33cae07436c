#pragma once
// The device behind a FakePort in virtual time: registers and a SIM phone book that answer
// reads as the device does and keep what write lines set, a GSM modem that answers the SMS
// commands in text mode, and lines that may be given other answers (or none).

#include <map>
#include <string>

#include "fake_port.h"
#include "settings/encoding.h"

namespace orv::test {

// Registers answering after the echo of the CR, a SIM phone book answering filled and empty
// slots as the modem does; the modem takes a second for the network's answer to a send.
struct ScriptedDevice {
    std::map<std::string, std::string> registers = {
        {"8001", "5A"}, {"8101", "0B"}, {"8201", "0A"}, {"8301", "00"}, {"8401", "07"},
        {"8601", "82"}, {"9001", "00"}, {"9101", "00"}, {"9201", "00"}, {"9301", "00"},
        {"9401", "00"}, {"9501", "00"}, {"9601", "00"}, {"9701", "00"},
    };
    std::map<int, std::string> slots;          // index -> what follows "+CPBR: "
    std::map<std::string, std::string> other;  // line -> the whole reply, "" for none
    // Lines beginning with a key -> the whole reply, "" for none.
    std::map<std::string, std::string> beginning;

    void fill(int index, const std::string& number, const std::string& text) {
        slots[index] = std::to_string(index) + ",\"" + number + "\",129,\"" + text + "\"";
    }

    FakePort::Answer answer(const std::string& line) const {
        static const std::string kOk = "\r\nOK\r\n";
        const bool send = line.rfind("AT+CMSS=", 0) == 0;
        const std::uint64_t delay = send ? 1000 : 20;
        if (auto it = other.find(line); it != other.end()) {
            return {it->second, delay};
        }
        for (const auto& [key, reply] : beginning) {
            if (line.rfind(key, 0) == 0) {
                return {reply, delay};
            }
        }
        if (line == "ATR2301") {
            return {"\r01 "};
        }
        if (line.rfind("ATR", 0) == 0) {
            return {"\r" + registers.at(line.substr(3)) + " "};
        }
        if (line.rfind("AT+CPBR=", 0) == 0) {
            auto it = slots.find(std::stoi(line.substr(8)));
            if (it == slots.end()) {
                return {"\r\r\nOK\r\n"};
            }
            return {"\r\r\n+CPBR: " + it->second + "\r\n" + kOk};
        }
        if (send) {
            return {"\r\n+CMSS: 7\r\n" + kOk, delay};
        }
        if (line.rfind("AT+CMGW=", 0) == 0) {
            return {"\r\n> "};
        }
        if (line == "\x1A") {
            return {"\r\n+CMGW: 1\r\n" + kOk};
        }
        if (line.rfind("AT", 0) == 0) {
            return {kOk};
        }
        return {"\r\n> "};  // a line of the message text
    }

    // What the device keeps of a written line: a register's value, a phone-book entry, or the
    // erase of an entry ("AT+CPBW=" and the index alone).
    void apply(const std::string& line) {
        if (line.rfind("ATW", 0) == 0 && line.size() > 7) {
            registers[line.substr(3, 4)] = line.substr(7);
        } else if (line.rfind("AT+CPBW=", 0) == 0) {
            const std::string entry = line.substr(8);
            const int index = std::stoi(entry);
            if (entry.find(',') == std::string::npos) {
                slots.erase(index);
            } else {
                slots[index] = entry;
            }
        }
    }
    void apply(const CommandList& lines) {
        for (const Text& line : lines) {
            apply(line);
        }
    }

    // A device that keeps what it is sent and answers as above.
    FakePort::Answer respond(const std::string& line) {
        apply(line);
        return answer(line);
    }
};

}  // namespace orv::test
