#include "device_model.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace orv::emulator {
namespace {

// The program's side of the line in virtual time: it sends a line paced at 100 ms per byte with
// the CR appended, purges its input, pauses, and reads once up to 100 bytes; the read ends when
// 100 bytes are in, 10 ms after a byte without another, or 101 ms after it began.
class Program {
  public:
    explicit Program(DeviceModel& device) : device_(device) {}

    void send(std::string_view line) {
        for (char c : std::string(line) + "\r") {
            wait(100);
            device_.receive(static_cast<std::uint8_t>(c), t_);
        }
    }
    // A key typed into the terminal: one byte at once.
    void type(char c) { device_.receive(static_cast<std::uint8_t>(c), t_); }
    void wait(Millis ms) {
        t_ += ms;
        collect();
    }
    void purge() {
        collect();
        input_.clear();
    }
    std::string read(std::size_t max = 100) {
        collect();
        const Millis start = t_;
        std::string got = take(max);
        std::optional<Millis> last;
        if (!got.empty())
            last = start;
        while (got.size() < max) {
            Millis deadline = start + 101;
            if (last)
                deadline = std::min(deadline, *last + 10);
            const auto next = device_.nextOutputTime();
            if (!next || *next > deadline) {
                t_ = std::max(t_, deadline);
                break;
            }
            t_ = std::max(t_, *next);
            collect();
            if (!input_.empty()) {
                got += take(max - got.size());
                last = t_;
            }
        }
        return got;
    }
    // The usual exchange: send, purge right after the CR, pause, read.
    std::string ask(std::string_view line, Millis pause = 500) {
        send(line);
        purge();
        wait(pause);
        return read();
    }
    Millis now() const { return t_; }

  private:
    void collect() { input_ += device_.takeOutput(t_); }
    std::string take(std::size_t n) {
        std::string s = input_.substr(0, n);
        input_.erase(0, s.size());
        return s;
    }
    DeviceModel& device_;
    Millis t_ = 1000;
    std::string input_;
};

// A reply less its first and its last byte.
std::string trimmed(const std::string& reply) {
    return reply.size() < 3 ? std::string() : reply.substr(1, reply.size() - 2);
}

std::string ucs2(std::string_view ascii) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : ascii)
        out += std::string("00") + kDigits[(c >> 4) & 0xF] + kDigits[c & 0xF];
    return out;
}

TEST(PresenceCheck, FreeBusyAndAbsentDevice) {
    DeviceModel free;
    EXPECT_EQ(Program(free).ask("ATR2301"), "\r01 ");

    Options busyOptions;
    busyOptions.presence = Presence::kBusy;
    DeviceModel busy(busyOptions);
    EXPECT_EQ(Program(busy).ask("ATR2301"), "\r00 ");

    Options absentOptions;
    absentOptions.presence = Presence::kAbsent;
    DeviceModel absent(absentOptions);
    Program p(absent);
    p.send("ATR2301");
    EXPECT_EQ(p.read(), "");  // no echo either, not even before a purge
    EXPECT_FALSE(absent.nextOutputTime());
}

TEST(PresenceCheck, CrEchoLandsAfterThePurgeAndTheReplyIsPaced) {
    DeviceModel d;
    Program p(d);
    p.send("ATR2301");
    const Millis cr = p.now();
    EXPECT_EQ(d.takeOutput(cr + 4), "");  // nothing within a byte-time of the CR
    std::vector<Millis> arrivals;
    for (Millis t = cr + 1; t < cr + 500; ++t)
        if (!d.takeOutput(t).empty())
            arrivals.push_back(t);
    ASSERT_EQ(arrivals.size(), 4u);
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 4u) << "byte " << i;
    EXPECT_LT(arrivals.back(), cr + 100);
}

TEST(Registers, DefaultsReadBackAsTheProgramWritesThem) {
    DeviceModel d;
    Program p(d);
    const std::pair<const char*, const char*> expected[] = {
        {"8001", "5A"}, {"8101", "0B"}, {"8201", "0A"}, {"8301", "00"}, {"8401", "07"},
        {"8601", "82"}, {"9001", "00"}, {"9101", "00"}, {"9401", "00"}, {"9701", "00"},
    };
    for (const auto& [code, value] : expected)
        EXPECT_EQ(trimmed(p.ask(std::string("ATR") + code)), value) << code;
}

TEST(Registers, WriteThenReadRoundTrip) {
    DeviceModel d;
    Program p(d);
    p.send("ATW80015A");  // two writes back to back, as write programming starts
    p.send("ATW8101FF");
    p.wait(500);
    p.send("ATW86015");  // a one-digit volume is stored as written
    p.wait(500);
    EXPECT_EQ(trimmed(p.ask("ATR8101")), "FF");
    EXPECT_EQ(trimmed(p.ask("ATR8601")), "5");
    EXPECT_EQ(*d.registerValue("8101"), "FF");
}

TEST(Registers, UnknownCodesAndTheStatusRegisterAreRefused) {
    DeviceModel d;
    Program p(d);
    EXPECT_EQ(p.ask("ATR8501"), "\rER ");
    EXPECT_EQ(p.ask("ATW850101"), "\rER ");
    EXPECT_EQ(p.ask("ATW230100"), "\rER ");
    EXPECT_EQ(p.ask("ATR2301"), "\r01 ");
}

TEST(PhoneBook, TakenOnlyInDataTransferMode) {
    DeviceModel d;
    Program p(d);
    EXPECT_EQ(p.ask("AT+CPBW=1,\"8900\",129,\"W8900\""), "\r\r\nERROR\r\n");
    EXPECT_FALSE(d.slot(1));
    p.send("ATK1");
    EXPECT_TRUE(d.dataMode());
    p.wait(500);
    p.ask("AT+CPBW=1,\"8900\",129,\"W8900\"");
    EXPECT_TRUE(d.slot(1));
}

TEST(PhoneBook, FilledSlotReadsBackAsTheLineThatWroteIt) {
    DeviceModel d;
    Program p(d);
    p.send("ATK1");
    const std::string line = "AT+CPBW=101,\"+79001234567\",129,\"+79001234567\"";
    p.send(line);
    p.wait(500);
    const std::string reply = p.ask("AT+CPBR=101");
    EXPECT_EQ(reply, "\r\r\n+CPBR: 101,\"+79001234567\",129,\"+79001234567\"\r\n\r\nOK\r\n");
    std::string t = trimmed(reply);
    EXPECT_GT(t.size(), 8u);
    t.replace(t.find("+CPBR: "), 7, "AT+CPBW=");
    EXPECT_EQ(t, "\r\n" + line + "\r\n\r\nOK\r");
}

TEST(PhoneBook, EmptyAndErasedSlotsEndTheReadPass) {
    DeviceModel d;
    Program p(d);
    p.send("ATK1");
    for (const char* l : {"AT+CPBW=1,\"8900\",129,\"W8900\"", "AT+CPBW=2,\"1234\",129,\"N1234\""}) {
        p.send(l);
        p.wait(500);
    }
    p.send("AT+CPBW=1");  // erase
    p.wait(500);
    const std::string empty = trimmed(p.ask("AT+CPBR=1"));
    EXPECT_EQ(empty, "\r\nOK\r");
    EXPECT_EQ(empty.substr(2, 2), "OK");
    EXPECT_NE(trimmed(p.ask("AT+CPBR=2")).substr(2, 2), "OK");
    EXPECT_EQ(trimmed(p.ask("AT+CPBR=250")).substr(2, 2), "OK");
}

TEST(PhoneBook, BadWritesAreRefusedAndChangeNothing) {
    DeviceModel d;
    Program p(d);
    p.send("ATK1");
    EXPECT_EQ(p.ask("AT+CPBW=251,\"8900\",129,\"W8900\""), "\r\r\n+CME ERROR: 21\r\n");
    EXPECT_EQ(p.ask("AT+CPBW=3,\"123456789012345678901\",129,\"x\""), "\r\r\n+CME ERROR: 26\r\n");
    EXPECT_EQ(p.ask("AT+CPBW=3,\"12a\",129,\"x\""), "\r\r\n+CME ERROR: 27\r\n");
    EXPECT_EQ(p.ask("AT+CPBW=3,\"89\",129"), "\r\r\nOK\r\n");  // text may be left out
    EXPECT_EQ(p.ask("AT+CPBW=4,\"89\",129,\"unterminated"), "\r\r\nERROR\r\n");
    EXPECT_EQ(p.ask("AT+CPBR=0"), "\r\r\n+CME ERROR: 21\r\n");
    EXPECT_TRUE(d.slot(3));
    EXPECT_FALSE(d.slot(4));
}

TEST(Clir, HeaderAndStatusAtTheBytesTheProgramTests) {
    for (int status : {1, 7}) {
        Options o;
        o.clirStatus = status;
        DeviceModel d(o);
        Program p(d);
        p.send("ATK1");
        p.wait(500);
        const std::string r = p.ask("AT+CLIR?", 4000);
        ASSERT_GE(r.size(), 13u);
        EXPECT_EQ(r.substr(0, 3), "\r\r\n");
        EXPECT_EQ(r.substr(3, 6), "+CLIR:");
        EXPECT_EQ(r[12], '0' + status);
        EXPECT_LE(r.size(), 100u);
    }
}

TEST(Terminal, TypedCharactersAreEchoed) {
    DeviceModel d;
    Program p(d);
    for (char c : std::string("ATR2301\r"))
        p.type(c);
    p.wait(10);
    EXPECT_EQ(p.read(), "ATR2301\r01 ");
    p.type('x');
    p.type('\b');
    p.wait(20);
    EXPECT_EQ(p.read(), "x\b");
}

// The broadcast as the program runs it, with its reads at their places: no purge between the
// commands, and the prompt check over the first four unread bytes after "AT+CMGW".
struct Broadcast {
    std::string afterCmgf, afterCscs, afterCsmp, afterCmgw, afterCtrlZ;
    std::vector<std::string> afterCmss;

    void run(Program& p, std::string_view bodyHex, const std::vector<std::string>& numbers) {
        p.send("AT+CMGDA=\"DEL ALL\"");
        p.wait(500);
        p.send("AT+CMGF=1");
        afterCmgf = p.read();
        p.send("AT+CSCS=\"UCS2\"");
        afterCscs = p.read();
        p.wait(500);
        p.send("AT+CSMP=17,167,0,25");
        p.wait(500);
        afterCsmp = p.read();
        p.send("AT+CMGW=\"" + ucs2("+3111111") + "\"");
        p.wait(1000);
        afterCmgw = p.read();
        if (afterCmgw.substr(0, 4) != "\r\n> ")
            return;  // error 4/1: the program stops here
        p.wait(1000);
        p.send(bodyHex);
        p.wait(500);
        p.send("\x1A");
        p.wait(500);
        afterCtrlZ = p.read();
        p.wait(500);
        for (const auto& n : numbers) {
            p.send("AT+CMSS=1,\"" + ucs2(n) + "\"");
            p.wait(7000);
            afterCmss.push_back(p.read());
        }
        p.send("AT+CMGDA=\"DEL ALL\"");
    }
};

TEST(Sms, BroadcastPassesEveryReadAndRecordsTheMessages) {
    DeviceModel d;
    Program p(d);
    Broadcast b;
    b.run(p, "04010451", {"+79001234567", "89007654321"});
    for (const std::string* r : {&b.afterCmgf, &b.afterCscs, &b.afterCsmp}) {
        EXPECT_FALSE(r->empty());
        EXPECT_EQ(r->find("ERROR"), std::string::npos) << *r;
    }
    EXPECT_EQ(b.afterCmgw, "\r\n> ");
    EXPECT_NE(b.afterCtrlZ.find("+CMGW: 1"), std::string::npos);
    ASSERT_EQ(b.afterCmss.size(), 2u);
    EXPECT_NE(b.afterCmss[0].find("+CMSS:"), std::string::npos);
    EXPECT_NE(b.afterCmss[1].find("+CMSS:"), std::string::npos);

    ASSERT_EQ(d.sentMessages().size(), 2u);
    EXPECT_EQ(d.sentMessages()[0].number, "+79001234567");
    EXPECT_EQ(d.sentMessages()[0].text, "Ёё");
    EXPECT_EQ(d.sentMessages()[1].number, "89007654321");
    p.wait(500);
    EXPECT_EQ(d.storedMessageCount(), 0u);

    // Echo is back on, and the device answers its own commands as usual.
    p.purge();
    p.type('a');
    p.type('\b');
    p.wait(20);
    EXPECT_EQ(p.read(), "a\b");
    EXPECT_EQ(p.ask("ATR2301"), "\r01 ");
}

TEST(Sms, OpeningDeleteEmptiesWhatAnAbandonedBroadcastLeft) {
    DeviceModel d;
    Program p(d);
    for (const std::string& line :
         {std::string("AT+CMGF=1"), std::string("AT+CSCS=\"UCS2\""),
          "AT+CMGW=\"" + ucs2("+3111111") + "\"", ucs2("old"), std::string("\x1A")})
        p.send(line);
    p.wait(500);
    ASSERT_EQ(d.storedMessageCount(), 1u);
    Broadcast b;
    b.run(p, ucs2("new"), {"+79001234567"});
    EXPECT_NE(b.afterCtrlZ.find("+CMGW: 1"), std::string::npos);
    ASSERT_EQ(d.sentMessages().size(), 1u);
    EXPECT_EQ(d.sentMessages()[0].text, "new");
}

TEST(Sms, EachPreparationReplyArrivesWithinAnUnpausedRead) {
    DeviceModel d;
    Program p(d);
    for (const char* line : {"AT+CMGF=1", "AT+CSCS=\"UCS2\"", "AT+CSMP=17,167,0,25"}) {
        p.send(line);
        p.purge();
        EXPECT_FALSE(p.read().empty()) << line;
    }
}

TEST(Sms, RejectedNumberGetsAnErrorAndIsNotRecorded) {
    Options o;
    o.rejectedNumbers = {"+70000000000"};
    DeviceModel d(o);
    Program p(d);
    Broadcast b;
    b.run(p, ucs2("Hi"), {"+70000000000", "+79001234567"});
    ASSERT_EQ(b.afterCmss.size(), 2u);
    EXPECT_NE(b.afterCmss[0].find("+CMS ERROR"), std::string::npos);
    EXPECT_EQ(b.afterCmss[0].find("+CMSS:"), std::string::npos);
    ASSERT_EQ(d.sentMessages().size(), 1u);
    EXPECT_EQ(d.sentMessages()[0].number, "+79001234567");
    EXPECT_EQ(d.sentMessages()[0].text, "Hi");
}

// A slow network answers each send past the program's read at 7 s: the first answer turns up
// while the next send's line is still coming in, and the message counts as sent when it does.
TEST(Sms, SlowNetworkAnswersWhileTheNextLineComesIn) {
    Options o;
    o.smsDelayUs = 9'000'000;
    DeviceModel d(o);
    Program p(d);
    Broadcast b;
    b.run(p, ucs2("Hi"), {"+79001234567", "+79007654321"});
    ASSERT_EQ(b.afterCmss.size(), 2u);
    EXPECT_EQ(b.afterCmss[0], "");
    EXPECT_EQ(b.afterCmss[1], "\r\n+CMSS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(d.sentMessages().size(), 1u);
    p.wait(2000);
    ASSERT_EQ(d.sentMessages().size(), 2u);
    EXPECT_EQ(d.sentMessages()[1].number, "+79007654321");
}

// A refused number gets its own code; a late number's result comes late, and the results
// after it wait for it, so that they keep the order of the sends.
TEST(Sms, RefusedAndLateNumbersKeepTheOrderOfTheSends) {
    Options o;
    o.refusedNumbers = {{"222", 38}};
    o.lateNumbers = {{"111", 9'000'000}};
    DeviceModel d(o);
    Program p(d);
    Broadcast b;
    b.run(p, ucs2("Hi"), {"111", "222", "333"});
    ASSERT_EQ(b.afterCmss.size(), 3u);
    EXPECT_EQ(b.afterCmss[0], "");  // not yet at 7 s
    EXPECT_EQ(b.afterCmss[1], "\r\n+CMSS: 1\r\n\r\nOK\r\n\r\n+CMS ERROR: 38\r\n");
    EXPECT_EQ(b.afterCmss[2], "\r\n+CMSS: 2\r\n\r\nOK\r\n");
    ASSERT_EQ(d.sentMessages().size(), 2u);
    EXPECT_EQ(d.sentMessages()[0].number, "111");
    EXPECT_EQ(d.sentMessages()[1].number, "333");
}

TEST(Sms, EmptyRecipientIsRefused) {
    DeviceModel d;
    Program p(d);
    Broadcast b;
    b.run(p, ucs2("Hi"), {""});
    EXPECT_NE(b.afterCmss[0].find("+CMS ERROR"), std::string::npos);
    EXPECT_TRUE(d.sentMessages().empty());
}

TEST(Sms, NoPromptFailsThePromptCheckAndLeavesThePresenceCheckWorking) {
    Options o;
    o.noPrompt = true;
    DeviceModel d(o);
    Program p(d);
    Broadcast b;
    b.run(p, ucs2("Hi"), {"+79001234567"});
    ASSERT_GE(b.afterCmgw.size(), 4u);
    EXPECT_NE(b.afterCmgw.substr(0, 4), "\r\n> ");
    EXPECT_TRUE(b.afterCmss.empty());
    // The abandoned exchange left the modem's echo off; the next operation still starts.
    EXPECT_EQ(p.ask("ATR2301"), "\r01 ");
    EXPECT_EQ(trimmed(p.ask("ATR8001")), "5A");
    // The device's own commands ended the SMS session: the terminal's keys echo again.
    p.type('a');
    p.type('\b');
    p.wait(20);
    EXPECT_EQ(p.read(), "a\b");
}

TEST(Sms, MuteModemLeavesTheFirstReadEmpty) {
    Options o;
    o.muteModem = true;
    DeviceModel d(o);
    Program p(d);
    p.send("AT+CMGDA=\"DEL ALL\"");
    p.wait(500);
    p.send("AT+CMGF=1");
    EXPECT_EQ(p.read(), "");  // error 1
    // The device itself still answers, and so does the phone book.
    EXPECT_EQ(p.ask("ATR2301"), "\r01 ");
    p.send("ATK1");
    p.wait(500);
    EXPECT_EQ(trimmed(p.ask("AT+CPBR=1")).substr(2, 2), "OK");
}

Options withFault(ReplyFault fault) {
    Options o;
    o.replyFault = fault;
    return o;
}

TEST(ReplyFaults, PresenceCheckPassesAndEchoesStayWhole) {
    for (ReplyFault fault : {ReplyFault::kGarbage, ReplyFault::kHalf, ReplyFault::kLate}) {
        DeviceModel d(withFault(fault));
        Program p(d);
        EXPECT_EQ(p.ask("ATR2301"), "\r01 ") << static_cast<int>(fault);
        p.send("AT");
        EXPECT_EQ(p.read().substr(0, 3), "AT\r") << static_cast<int>(fault);
    }
}

TEST(ReplyFaults, GarbageIsSameLengthNoiseAndRepeatsRunToRun) {
    const auto run = [] {
        DeviceModel d(withFault(ReplyFault::kGarbage));
        Program p(d);
        p.ask("ATR2301");
        p.ask("ATK1");
        return std::make_pair(p.ask("ATR8001"), p.ask("AT+CPBR=1"));
    };
    const auto [reg, slot] = run();
    ASSERT_EQ(reg.size(), 4u);  // CR echo, then three bytes for "5A "
    EXPECT_EQ(reg[0], '\r');
    EXPECT_EQ(slot.size(), 1 + std::string_view("\r\nOK\r\n").size());
    for (char c : reg.substr(1) + slot.substr(1)) {
        EXPECT_FALSE(std::isalnum(static_cast<unsigned char>(c)) || c == '\r' || c == '\n' ||
                     c == '>')
            << int(c);
    }
    EXPECT_NE(reg.substr(1, 2), slot.substr(1, 2));  // noise, not one repeated pattern
    EXPECT_EQ(run(), std::make_pair(reg, slot));
}

TEST(ReplyFaults, HalfCutsEveryReplyIncludingTheNetworksAnswer) {
    DeviceModel d(withFault(ReplyFault::kHalf));
    Program p(d);
    p.ask("ATR2301");
    EXPECT_EQ(p.ask("ATR8001"), "\r5");  // "5A " cut to one byte
    p.ask("ATK1");
    EXPECT_EQ(p.ask("AT+CLIR?", 4000), "\r\r\n+CLIR: 0");  // half of 20 bytes: no status
}

TEST(ReplyFaults, LateReplyMissesItsReadAndTheNextAndComesBeforeTheThird) {
    DeviceModel d(withFault(ReplyFault::kLate));
    Program p(d);
    p.ask("ATR2301");
    EXPECT_EQ(p.ask("ATR8001"), "\r");  // only the CR echo within the 500 ms
    EXPECT_EQ(p.ask("ATR8101"), "\r");  // the first reply is not in yet either
    p.wait(600);
    EXPECT_EQ(p.read(), "5A ");  // ...but before the next command's purge would take it
    // The answer to "ATK1" comes after the query's purge and pushes the header 3 bytes on; the
    // network's answer itself, 2.5 s after the query, is still within the 4 s.
    p.ask("ATK1");
    const std::string clir = p.ask("AT+CLIR?", 4000);
    EXPECT_EQ(clir.substr(0, 6), "\rOK \r\n");
    EXPECT_EQ(clir.find("+CLIR: 0,1"), 6u);
}

TEST(LineFaults, EveryEchoComesTwiceAndTheRepliesOnce) {
    Options o;
    o.echoTwice = true;
    DeviceModel d(o);
    Program p(d);
    EXPECT_EQ(p.ask("ATR2301"), "\r\r01 ");
    p.send("AT");
    p.wait(100);
    EXPECT_EQ(p.read(), "AATT\r\r\r\nOK\r\n");
    // Bytes typed into the terminal come back twice too.
    p.type('x');
    p.wait(100);
    EXPECT_EQ(p.read(), "xx");
}

TEST(Log, EveryLineIsKeptWithTheTimeOfItsCr) {
    DeviceModel d;
    Program p(d);
    p.send("ATR2301");
    const Millis cr = p.now();
    p.send("\x1A");
    ASSERT_EQ(d.receivedLines().size(), 2u);
    EXPECT_EQ(d.receivedLines()[0].bytes, "ATR2301");
    EXPECT_EQ(d.receivedLines()[0].at, cr);
    EXPECT_EQ(d.receivedLines()[1].bytes, "\x1A");
}

}  // namespace
}  // namespace orv::emulator
