#pragma once
// The device as seen from its serial line: "GSM-Тарк Орвелин-9" with its register store, the
// SIM card's phone book and the GSM modem's SMS commands. Pure logic: bytes come in through
// receive() with the time they arrived, and what the device sends back is a queue of bytes, each
// with the time it has fully arrived at the far end. There is no clock and no I/O here, so the
// whole exchange runs in virtual time in tests and against the real clock in the emulator.
//
// Line timing (2400 baud, 8N1, one byte every kByteTimeUs):
// - Output is paced: a byte occupies the line for one byte-time and the next one starts after
//   it, so a burst of n bytes takes n byte-times to arrive.
// - Echo: each received byte is echoed so that it arrives echoDelayUs (two byte-times, about
//   8 ms) after it came in, as on a real line where the byte takes a byte-time to reach the
//   device and its echo another. The program purges its input right after sending a CR, so the
//   CR's echo must land after that purge.
// - Replies start kReplyDelayUs (20 ms) after the CR that ends the command, after the echo;
//   questions to the network (CLIR, sending an SMS) answer kNetworkDelayUs (1 s) after the CR.
//   Every reply fits in 100 bytes and is complete well within the 500 ms the program waits.
//
// Reply forms:
// - The device's own commands ("ATR", "ATW", "ATK") answer "<text><blank>": "ATR8001" gives
//   CR-echo then "5A ", so the program's read after its purge holds "\r5A ", trimmed "5A";
//   "ATR2301" gives exactly "\r01 ", and "\r00 " when the device is busy. "ATW" answers the
//   new value the same way, "ATK1" answers "OK ", and a command the device does not have (an
//   unknown register, a write to the status register 2301) answers "ER ".
// - Standard commands answer "\r\n<information>\r\n" lines and then "\r\nOK\r\n", or
//   "\r\nERROR\r\n", "\r\n+CME ERROR: <n>\r\n", "\r\n+CMS ERROR: <n>\r\n". After the CR-echo
//   a filled phone-book slot reads "\r" "\r\n+CPBR: 5,\"8900\",129,\"W8900\"\r\n\r\nOK\r\n" and
//   an empty one "\r" "\r\nOK\r\n" (trimmed "\r\nOK\r": characters 3 and 4 are "OK");
//   "AT+CLIR?" reads "\r" "\r\n+CLIR: 0,<m>\r\n\r\nOK\r\n", so "+CLIR:" is bytes 4 to 9 and the
//   status m byte 13.
// - Phone book, CLIR, "AT+CPAS" and "AT&W0" are taken only in data-transfer mode (after
//   "ATK1", kept until the emulator ends, as the device keeps it until its power is cycled);
//   before that they answer ERROR. The register commands, "AT" and the SMS commands are taken in
//   either mode (the SMS broadcast never sends "ATK1").
//
// Echo rule and the SMS exchange. The program reads the modem's replies during the broadcast
// without purging its input, and after "AT+CMGW=..." the first four bytes it has not yet read
// must be the prompt "\r\n> ". So while the modem holds an SMS session its echo is off:
// - The session starts with "AT+CMGF=1" (that line itself is still echoed, its CR included)
//   and ends with "AT+CMGDA=..." (that line is not echoed) or with any of the device's own
//   commands. Inside the session the program's reads see only replies:
//     "AT+CMGDA=\"DEL ALL\"" (echo on): 19 echo bytes, "\r\nOK\r\n"
//     "AT+CMGF=1": echoed with its CR, then "\r\nOK\r\n"  (read right after the CR: the bytes
//                  still unread, at least one)
//     "AT+CSCS=\"UCS2\"": "\r\nOK\r\n"  (read right after the CR: leftovers or this reply)
//     "AT+CSMP=17,167,0,25": "\r\nOK\r\n"  (read after 500 ms: drains everything left)
//     "AT+CMGW=\"<UCS2 number>\"": "\r\n> " and nothing else  (read after 1 s: the prompt)
//     body line + CR: "\r\n> " again (a CR inside the text ends a text line)
//     Ctrl-Z: "\r\n+CMGW: 1\r\n\r\nOK\r\n", the CR after it is an empty line  (at least one)
//     "AT+CMSS=1,\"<UCS2 number>\"": after 1 s (smsDelayUs) "\r\n+CMSS: <mr>\r\n\r\nOK\r\n",
//                  or "\r\n+CMS ERROR: 21\r\n" for a number the network rejects (the code
//                  given for a refused number); a slow network's answer (or a late number's)
//                  comes while the next lines are already coming in. The modem gives each
//                  send one final result, in the order of the sends: a result due earlier
//                  than the one before it waits for that one.
//     "AT+CMGDA=\"DEL ALL\"": "\r\nOK\r\n", echo on again.
// - The CR that ends a line is echoed when echo is on, and always after the device's own
//   commands and the standard commands other than SMS ones: a broadcast abandoned halfway
//   leaves the echo off, yet the presence check that opens the next operation still reads
//   "\r01 ".
// - A mute modem echoes nothing and answers no SMS command; everything else works as above, so
//   the program's first SMS read finds nothing.
//
// Line faults, of the line rather than of the replies: with echoTwice every byte that is echoed
// comes back twice (the second copy a byte-time after the first), the presence check's included.
// A device that floods the line with noise is the emulator program's own (--fault flood): the
// model knows nothing of it.
//
// Reply faults, for trying the program against a device that misbehaves. They touch every reply
// except the one to "ATR2301", so the presence check still passes and the operation meets the
// fault afterwards; echoes are never touched:
// - garbage: each reply becomes as many bytes of noise ("\x7F#@!~..."), the same noise for the
//   same exchange every run; the noise holds no CR, LF, ">", letter or digit.
// - half: each reply is cut after half its bytes (rounded down).
// - late: each reply comes kLateDelayUs (2.4 s) later than it would, so it misses the read that
//   follows its 500 ms pause. For the device's commands and phone-book reads that lands it
//   between the next read and the purge after the command that follows, so it is lost; where
//   the program reads without purging (the SMS exchange) or waits long (CLIR, 4 s), it turns up
//   in a later read.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orv::emulator {

// Time since the emulator started.
using Millis = std::uint64_t;
using Micros = std::uint64_t;

constexpr Micros kByteTimeUs = 4167;  // 10 bits at 2400 baud
constexpr Micros kReplyDelayUs = 20'000;
constexpr Micros kNetworkDelayUs = 1'000'000;

constexpr int kPhoneBookSize = 250;
constexpr std::size_t kMaxPhoneNumber = 20;
constexpr std::size_t kMaxPhoneText = 20;
constexpr std::size_t kMaxRegisterValue = 32;
constexpr std::size_t kMessageMemorySize = 10;

enum class Presence {
    kNormal,
    kAbsent,  // answers nothing at all, not even an echo
    kBusy,    // the presence check reads "00 "; everything else as normal
};

enum class ReplyFault { kNone, kGarbage, kHalf, kLate };

constexpr Micros kLateDelayUs = 2'400'000;

struct Options {
    Presence presence = Presence::kNormal;
    ReplyFault replyFault = ReplyFault::kNone;
    // Every echo comes twice, as when a terminal adapter echoes locally too.
    bool echoTwice = false;
    int clirStatus = 1;  // the provisioning status m of "+CLIR: n,m"
    Micros echoDelayUs = 2 * kByteTimeUs;
    std::set<std::string> rejectedNumbers;  // "AT+CMSS" to these fails
    // "AT+CMSS" to these numbers answers "+CMS ERROR: <code>" with the code given.
    std::map<std::string, int> refusedNumbers;
    // The answer to "AT+CMSS" to these numbers comes this long after its CR, not smsDelayUs.
    std::map<std::string, Micros> lateNumbers;
    bool noPrompt = false;                // "AT+CMGW" answers an error instead of "> "
    bool muteModem = false;               // SMS commands get no answer and no echo
    Micros smsDelayUs = kNetworkDelayUs;  // from "AT+CMSS" to the network's answer
};

struct PhoneEntry {
    std::string number;
    int type = 129;
    std::string text;
    bool operator==(const PhoneEntry& o) const {
        return number == o.number && type == o.type && text == o.text;
    }
};

// What a SIM phone-book entry may hold: a number of 1 to kMaxPhoneNumber digits, "+", "*" or
// "#", and a text of up to kMaxPhoneText bytes without control characters or double quotes.
bool validPhoneNumber(std::string_view number);
bool validPhoneText(std::string_view text);

// What the device keeps across power cycles: registers and the SIM card's phone book.
struct StoredState {
    std::map<std::string, std::string> registers;  // code -> value as written
    std::map<int, PhoneEntry> slots;               // index 1..kPhoneBookSize -> entry
};

struct OutByte {
    std::uint8_t byte;
    Millis at;  // when the byte has fully arrived at the other end
};

struct ReceivedLine {
    Millis at;          // when its CR came in
    std::string bytes;  // as received, without the CR
};

struct SentMessage {
    Millis at;
    std::string number;  // UTF-8
    std::string text;    // UTF-8
};

class DeviceModel {
  public:
    explicit DeviceModel(Options options = {});

    // One byte from the program, arrived at `now`; `now` never goes back.
    void receive(std::uint8_t byte, Millis now);

    // The bytes that have arrived at the program by `now`, in order; they leave the queue.
    std::string takeOutput(Millis now);
    // When takeOutput next has something to do; nothing when the device has nothing to send.
    std::optional<Millis> nextOutputTime() const;

    // The register codes the device has, in the order of a dump.
    static const std::vector<std::string>& registerCodes();
    static bool isRegister(std::string_view code);
    std::optional<std::string> registerValue(std::string_view code) const;

    // Registers named in `state` replace their values, slots named in it are filled.
    void load(const StoredState& state);
    // All registers and every filled slot.
    StoredState state() const;
    const std::optional<PhoneEntry>& slot(int index) const;

    bool dataMode() const { return dataMode_; }
    const std::vector<ReceivedLine>& receivedLines() const { return lines_; }
    const std::vector<SentMessage>& sentMessages() const { return sent_; }
    std::size_t storedMessageCount() const { return messages_.size(); }

  private:
    enum class LineKind { kEmpty, kNotAt, kOwn, kSms, kStandard };

    struct StoredMessage {
        int index;
        std::string number;
        std::string text;
    };
    struct Deferred {
        Micros due;
        std::string bytes;
        std::optional<SentMessage> sends;  // recorded when the reply goes out
    };

    bool echoOn() const;
    void echo(std::uint8_t byte, Micros now);
    void emit(std::string_view bytes, Micros earliestStart);
    // A reply to a command, kReplyDelayUs after its CR, with the reply fault applied.
    void reply(std::string_view bytes, Micros now);
    // A reply that comes at `due` (a question to the network), with the reply fault applied.
    void deferReply(std::string bytes, Micros due, std::optional<SentMessage> sends = std::nullopt);
    // Applies the reply fault to the bytes of one reply.
    std::string mangle(std::string_view bytes);
    void defer(std::string bytes, Micros due, std::optional<SentMessage> sends = std::nullopt);
    void releaseDeferred(Micros now);

    void commandByte(std::uint8_t byte, Micros now);
    void textByte(std::uint8_t byte, Micros now);
    void endOfLine(Micros now);
    static LineKind classify(std::string_view upper);

    void ownCommand(const std::string& line, const std::string& upper, Micros now);
    void standardCommand(const std::string& line, const std::string& upper, Micros now);
    void smsCommand(const std::string& line, const std::string& upper, Micros now);
    void phoneBookWrite(std::string_view args, Micros now);
    void phoneBookRead(std::string_view args, Micros now);
    void storeMessage(Micros now);
    void sendStoredMessage(std::string_view args, Micros now);
    // The final result of a send, `delay` after its CR and never before the one before it.
    void sendResult(std::string bytes, Micros now, Micros delay,
                    std::optional<SentMessage> sends = std::nullopt);
    std::optional<std::string> decodeModemText(std::string_view text) const;

    Options options_;
    std::uint32_t noiseState_ = 0x2545F491u;  // the garbage fault's noise generator
    std::map<std::string, std::string> registers_;
    std::vector<std::optional<PhoneEntry>> slots_;  // index 0 unused
    bool dataMode_ = false;
    int clirSetting_ = 0;

    // SMS modem.
    bool smsSession_ = false;  // echo off, from "AT+CMGF=1" to "AT+CMGDA"
    bool textMode_ = false;
    std::string charset_ = "IRA";
    std::vector<StoredMessage> messages_;
    int messageReference_ = 0;
    Micros lastResultDue_ = 0;  // when the last send's final result is due
    bool textEntry_ = false;    // after the prompt, until Ctrl-Z or ESC
    std::string entryNumber_;
    std::string entryText_;

    // Input.
    std::string line_;
    bool lineOverflow_ = false;
    std::string rawLine_;
    std::vector<ReceivedLine> lines_;
    std::vector<SentMessage> sent_;

    // Output.
    std::deque<OutByte> out_;
    std::vector<Deferred> deferred_;  // sorted by due
    Micros lineFreeUs_ = 0;
};

}  // namespace orv::emulator
