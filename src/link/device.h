#pragma once
// How the program judges what the device answers on the line. The commands themselves, their
// reply marks and the registers are the device's vocabulary (settings/device_vocabulary.h),
// which this header brings along.

#include <optional>
#include <string>

#include "base/text.h"
#include "settings/device_vocabulary.h"

namespace orv::device {

// A reply is read, where at all, once, up to this many bytes, after the input was purged.
constexpr std::size_t kReplyBuffer = 100;

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
