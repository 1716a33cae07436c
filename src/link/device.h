#pragma once
// The device's side of the command set: every line the program sends it, and every rule by
// which the program judges what it answers. Kept in one place so that the operations, the
// emulator's tests and the reply parsers agree.

#include <optional>
#include <string>

#include "settings/text.h"

namespace orv::device {

// A reply is read, where at all, once, up to this many bytes, after the input was purged.
constexpr std::size_t kReplyBuffer = 100;

// Presence check: register 2301 answers, after one leading byte, exactly this while the device
// is free.
constexpr const char* kPresenceCommand = "ATR2301";
constexpr const char* kPresenceReply = "01 ";

constexpr const char* kDataMode = "ATK1";  // afterwards the standard commands are taken
constexpr const char* kStoreSettings = "AT&W0";
constexpr const char* kStatus = "AT+CPAS";  // every programming run ends with it
constexpr const char* kPhoneBookRead = "AT+CPBR=";
constexpr const char* kPhoneBookWrite = "AT+CPBW=";
constexpr const char* kPhoneBookReplyHead = "+CPBR: ";
constexpr const char* kClirQuery = "AT+CLIR?";

// SMS in text mode with UCS2 text.
constexpr const char* kSmsDeleteAll = "AT+CMGDA=\"DEL ALL\"";
constexpr const char* kSmsTextMode = "AT+CMGF=1";
constexpr const char* kSmsCharsetUcs2 = "AT+CSCS=\"UCS2\"";
constexpr const char* kSmsParameters = "AT+CSMP=17,167,0,25";
constexpr const char* kSmsWrite = "AT+CMGW=";
constexpr const char* kSmsSendStored = "AT+CMSS=1,";
constexpr const char* kSmsPlaceholderDestination = "+3111111";
constexpr char kSmsEndOfText = 0x1A;  // Ctrl-Z
constexpr const char* kSmsSentMark = "+CMSS:";

// The text prompt that answers the write command: CR, LF, ">" and a blank.
constexpr const char kSmsPrompt[] = "\r\n> ";

// The register read commands of read programming, in their order.
constexpr const char* kRegisterReads[] = {
    "ATR8001", "ATR8101", "ATR8201", "ATR8301", "ATR8401", "ATR8601", "ATR9001",
    "ATR9101", "ATR9201", "ATR9301", "ATR9401", "ATR9501", "ATR9601", "ATR9701",
};

// What the presence check makes of one read: nothing came, the device is busy, or free.
enum class Presence { Absent, Busy, Free };
Presence judgePresence(bool readOk, const std::string& reply);

// The reply less its first and its last byte; empty below three bytes.
std::string trimmedReply(const std::string& reply);

// A phone-book slot read: its trimmed reply is listed when longer than 8 characters; the pass
// ends at the reply of an empty slot, whose trimmed characters 3 and 4 are "OK".
bool isListedSlotReply(const std::string& trimmed);
bool isEmptySlotReply(const std::string& trimmed);

// The CLIR query's reply: "+CLIR:" as received bytes 4 to 9, the status as byte 13. Empty
// when the header is missing; the status character otherwise (which may be '\0' when the
// reply is too short to hold it).
std::optional<char> clirStatus(const std::string& reply);

// The answer for a CLIR status character, or empty for none.
Text clirMessage(char status);

}  // namespace orv::device
