#pragma once
// The programming operations: write the settings record into the device and its SIM phone
// book, read it back, erase the SIM phone book. Each runs from its first step after the user's
// question (the caller asks it) to its end.

#include <optional>
#include <vector>

#include "operations/operation.h"
#include "settings/comparison.h"
#include "settings/encoding.h"
#include "settings/settings_record.h"

namespace orv {

// The question before write programming (warning, Yes and No).
Text writeProgrammingQuestion();
// The question before SIM card clearing (warning, Yes and No).
Text clearSimQuestion();

// The SIM phone-book slots the program writes: 1 to 99 the tagged numbers, 100 the forward
// number, 101 to 150 the speed-dial numbers (the encoding's last index). SIM clearing and
// write programming erase them.
constexpr int kLastSimSlot = kLastSpeedDialIndex;

// The slots 1 to 150, in rising order, that a command list writes no phone-book line to.
std::vector<int> unwrittenSlots(const CommandList& lines);

// Write programming (N7Click after its question): encodes the whole record first (a record
// that cannot be encoded is refused before anything is sent), stops the reader, checks the
// presence, shows the progress window, sends the encoded lines with their pauses, erases every
// slot of 1 to 150 the record did not write, sends "AT&W0" and "AT+CPAS", saves the command
// list as "1.txt", closes the progress window and starts a new reader.
void writeProgramming(OperationContext& ctx, const SettingsRecord& record);

// Read programming (N2Click): reads the registers and the SIM phone book (the scan stops at the
// first empty slot from 1, reads the forward number's slot, and stops at the first empty one
// from 101), saves the read-back as "1.txt" and loads it into `record` as LoadFromFile does.
// `record` takes the read-back whole or not at all: a read-back that does not load, or one that
// holds a register or slot value the window cannot hold (each named in the Failure, with its
// value and why), leaves it as it was. A stop leaves `record` and "1.txt" as they were.
void readProgramming(OperationContext& ctx, SettingsRecord& record);

// The check against the window ("Сверить с устройством"): reads the registers as read
// programming does and every slot from 1 to 150, whatever is empty between them, and compares
// what it read with `window`: besides the settings and numbers that differ, the values the
// window cannot hold and the entries read programming's scan would not reach. Its time left is
// exact from the start. Writes no file and sends no write command. A record that cannot be
// written is refused before anything is sent. With `device` given and every value read one the
// window can hold, the device's contents are put there as a record.
Differences compareWithDevice(OperationContext& ctx, const SettingsRecord& window,
                              std::optional<SettingsRecord>* device = nullptr);

// SIM card clearing (Sim1Click after its question): slots 1 to 150.
void clearSim(OperationContext& ctx);

// Write programming and SIM clearing take a stop asked for before and after each line, read
// programming and the check before each line with its reply; each then sends its closing status
// line, starts the reader again where it had stopped it, and ends with Stopped.

}  // namespace orv
