#pragma once
// The programming operations: write the settings record into the device and its SIM phone
// book, read it back, erase the SIM phone book. Each runs from its first step after the user's
// question (the caller asks it) to its end.

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

// Read programming (N2Click): reads the registers and the SIM phone book, saves the read-back
// as "1.txt" and loads it into `record` through LoadFromFile. On a failure of the load the
// settings before the faulty line stay changed in `record` and the Failure goes on. A stop
// leaves `record` and "1.txt" as they were.
void readProgramming(OperationContext& ctx, SettingsRecord& record);

// The check against the window ("Сверить с устройством"): reads the device as read
// programming does, with the same lines, pauses and scan, and compares what it read with
// `window`. Writes no file and sends no write command. A record that cannot be written is
// refused before anything is sent.
Differences compareWithDevice(OperationContext& ctx, const SettingsRecord& window);

// SIM card clearing (Sim1Click after its question): slots 1 to 150.
void clearSim(OperationContext& ctx);

// Write programming and SIM clearing take a stop asked for before and after each line, read
// programming and the check before each line with its reply; each then sends its closing status
// line, starts the reader again where it had stopped it, and ends with Stopped.

}  // namespace orv
