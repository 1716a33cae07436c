// Every device operation run whole against the scripted device in virtual time, written out as
// a transcript: each line the device received with the virtual times of its first byte and its
// CR, each time left the operation told, the progress positions, what the user saw, and how it
// ended. The transcript must equal the one kept in tests/data/operation_exchanges.txt byte for
// byte, so that a change to how the operations are built cannot change what they send, when,
// or what they tell.
//
// ORV_WRITE_EXCHANGES=<file> writes the transcript to that file as well (to renew the kept one).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "device_rig.h"
#include "operations/line_services.h"
#include "operations/programming.h"
#include "sample_record.h"
#include "sms/broadcast.h"
#include "sms/ucs2.h"

namespace orv {
namespace {

// Bytes outside printable ASCII as \xNN, so the transcript is one plain text.
std::string shown(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

std::string transcript(const char* name, const test::DeviceRig& rig, const std::string& ending) {
    std::ostringstream out;
    out << "== " << name << "\n";
    for (const test::Sent& line : test::sentLines(rig.port)) {
        out << "line " << line.first << ' ' << line.cr << ' ' << shown(line.text) << "\n";
    }
    for (const auto& report : rig.user.timeLeft) {
        out << "left " << report.at << ' ' << report.left << (report.upperBound ? " bound" : "")
            << "\n";
    }
    out << "positions";
    for (const int position : rig.user.positions) {
        out << ' ' << position;
    }
    out << "\n";
    for (const std::string& event : rig.user.events) {
        out << "event " << shown(event) << "\n";
    }
    out << "ending " << shown(ending) << "\n";
    return out.str();
}

// Runs one operation and says how it ended: "done", or the kind and text of its failure.
std::string outcome(const std::function<void()>& operation) {
    try {
        operation();
        return "done";
    } catch (const Stopped& s) {
        return "stopped " + s.text();
    } catch (const Failure& f) {
        return "failure " + std::to_string(static_cast<int>(f.kind())) + ' ' + f.text();
    }
}

// A phone book with tagged numbers, the forward number and speed-dial numbers, and a gap.
void fillPhoneBook(test::DeviceRig& rig) {
    test::ScriptedDevice& device = rig.device;
    device.fill(1, "1111", "W1111");
    device.fill(2, "2222", "W2222");
    device.fill(100, "+7900", "P");
    device.fill(101, "5555", "5555");
    device.fill(103, "7777", "7777");
}

const RecipientList kRecipients = {"+79001111111", "+79002222222", "+79003333333"};

// The report of the last broadcast as its CSV file, however the run ended.
std::string lastReport;

void broadcast(test::DeviceRig& rig, const std::vector<Text>& lines) {
    BroadcastReport report;
    struct Keep {
        BroadcastReport& report;
        ~Keep() { lastReport = broadcastReportCsv(report); }
    } keep{report};
    broadcastSms(rig.ctx, lines, kRecipients, report,
                 [&rig] { return std::to_string(rig.clock.elapsed()); });
}

std::string sendLine(const Text& number) {
    return "AT+CMSS=1,\"" + ISCII_UNICODE(number) + "\"";
}

struct Exchange {
    const char* name;
    std::function<void(test::DeviceRig&)> prepare;
    std::function<void(test::DeviceRig&)> run;
};

const std::vector<Exchange>& exchanges() {
    static const std::vector<Exchange> all = {
        {"write programming", [](test::DeviceRig&) {},
         [](test::DeviceRig& rig) { writeProgramming(rig.ctx, test::shortRecord()); }},
        {"write programming stopped in the erases",
         [](test::DeviceRig& rig) { rig.stopDuring("AT+CPBW=9"); },
         [](test::DeviceRig& rig) { writeProgramming(rig.ctx, test::shortRecord()); }},
        {"read programming", fillPhoneBook,
         [](test::DeviceRig& rig) {
             SettingsRecord record;
             readProgramming(rig.ctx, record);
         }},
        {"read programming stopped in the scan",
         [](test::DeviceRig& rig) {
             fillPhoneBook(rig);
             rig.stopDuring("AT+CPBR=10");
         },
         [](test::DeviceRig& rig) {
             SettingsRecord record;
             readProgramming(rig.ctx, record);
         }},
        {"check against the device", fillPhoneBook,
         [](test::DeviceRig& rig) { compareWithDevice(rig.ctx, test::shortRecord()); }},
        {"SIM clearing", [](test::DeviceRig&) {}, [](test::DeviceRig& rig) { clearSim(rig.ctx); }},
        {"SIM clearing stopped", [](test::DeviceRig& rig) { rig.stopDuring("AT+CPBW=3"); },
         [](test::DeviceRig& rig) { clearSim(rig.ctx); }},
        {"CLIR query",
         [](test::DeviceRig& rig) {
             rig.device.other["AT+CLIR?"] = "\r\r\n+CLIR: 0,1\r\n\r\nOK\r\n";
         },
         [](test::DeviceRig& rig) { queryClir(rig.ctx); }},
        {"data mode", [](test::DeviceRig&) {},
         [](test::DeviceRig& rig) { switchToDataMode(rig.ctx); }},
        {"broadcast", [](test::DeviceRig&) {},
         [](test::DeviceRig& rig) {
             broadcast(rig, {"Hi", "there"});
         }},
        {"broadcast with a refusal",
         [](test::DeviceRig& rig) {
             rig.device.other[sendLine("+79002222222")] = "\r\n+CMS ERROR: 21\r\n";
         },
         [](test::DeviceRig& rig) { broadcast(rig, {"Hi"}); }},
        {"broadcast waiting for the results still owed",
         [](test::DeviceRig& rig) { rig.device.other[sendLine("+79003333333")] = ""; },
         [](test::DeviceRig& rig) { broadcast(rig, {"Hi"}); }},
        {"broadcast stopped in a send",
         [](test::DeviceRig& rig) {
             const std::string second = sendLine("+79002222222");
             rig.stopDuring(second.substr(0, second.size() - 2));
         },
         [](test::DeviceRig& rig) { broadcast(rig, {"Hi"}); }},
        {"broadcast stopped at the text prompt",
         [](test::DeviceRig& rig) { rig.stopDuring("AT+CMGW=\"002B"); },
         [](test::DeviceRig& rig) { broadcast(rig, {"Hi"}); }},
        {"broadcast without the modem's text prompt",
         [](test::DeviceRig& rig) { rig.device.beginning["AT+CMGW"] = "\r\nERROR\r\n"; },
         [](test::DeviceRig& rig) { broadcast(rig, {"Hi"}); }},
    };
    return all;
}

TEST(OperationExchanges, EqualTheKeptTranscript) {
    std::string all;
    for (const Exchange& exchange : exchanges()) {
        test::DeviceRig rig;
        lastReport.clear();
        exchange.prepare(rig);
        const std::string ending = outcome([&] { exchange.run(rig); });
        all += transcript(exchange.name, rig, ending);
        if (!lastReport.empty()) {
            all += "report " + shown(lastReport) + "\n";
        }
    }
    if (const char* out = std::getenv("ORV_WRITE_EXCHANGES")) {
        test::writeFile(out, all);
    }
    const std::string kept = test::readFile(ORV_TEST_DATA_DIR "/operation_exchanges.txt");
    EXPECT_EQ(all, kept);
}

}  // namespace
}  // namespace orv
