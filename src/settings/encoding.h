#pragma once
// Encoding of the settings record into a command list of register commands and SIM phone-book
// lines, and the decoding of single lines back into settings.

#include <cstdint>
#include <vector>

#include "settings/settings_record.h"

namespace orv {

using CommandList = std::vector<Text>;

// A valid number: not empty, only "0"-"9" and "+", in any position.
bool Check_StrOnInt(const Text& text);

// Characters 8 and 9 (from 1) of a register command as two hexadecimal digits; only "0"-"9"
// and upper-case "A"-"F" count, any other character (or a missing one) counts 0.
int StrToHex(const Text& registerCommand);

// The runtime's integer conversion: optional leading blanks, an optional sign, decimal
// digits, nothing after them, within 32 bits. Anything else throws the conversion error.
std::int32_t StrToInt(const Text& text);

// A register value in upper-case hexadecimal: at least two digits, more when needed; a
// negative value as its 32-bit two's complement in eight digits.
Text hexValue(std::int32_t value);

// The first and second flags bytes (registers 8001 and 8401).
int firstFlagsByte(const SettingsRecord& record);
int secondFlagsByte(const SettingsRecord& record);

// Receives the command list as the encoding produces it, so that write programming can send
// each line as soon as it is built.
class EncodingSink {
  public:
    virtual ~EncodingSink() = default;
    virtual void line(const Text& line) = 0;
    // The status line that closes every command list, always its last line; by default a line
    // like the others.
    virtual void closingLine(const Text& line) { this->line(line); }
    // After each record of a phone table has been handled, valid or not.
    virtual void rowDone(TableId /*table*/) {}
    // After the forward-number step, whether or not it produced a line.
    virtual void forwardDone() {}
};

// The shortest number an allowed or forbidden direction may have: a shorter one would take a
// phone-book index but the device keeps no entry for it.
constexpr std::size_t kShortestDirection = 4;

// The fewest characters a number of the table must have.
std::size_t shortestNumber(TableId table);

// True when the table can hold the number as it stands, so that writing, saving and loading
// keep it: empty (no number), or a valid number of at most 15 characters and at least the
// table's shortest.
bool storableNumber(TableId table, const Text& number);

// The caption under which the window shows the table, and the label of the forward number's
// field (UTF-8): the names the messages and the number lists' CSV files give them.
const char* tableCaption(TableId table);
const char* forwardNumberLabel();

// Why the table cannot hold the number, naming it and the table as the window captions it.
Text numberRefusal(TableId table, const Text& number);

// Refuses, before anything is produced, a record that could not be encoded whole or would be
// written in a form the loader rejects or that would overrun the phone-book indices: numeric
// fields left empty (named by their label), that are no whole number (the runtime's conversion
// message) or lie outside 0..99,
// the volume likewise, a password longer than 7 or with a character that is not a digit, a
// number that its table cannot hold (storableNumber), more tagged numbers than indices 1..99,
// more speed-dial numbers than indices 101..150. Throws a Failure naming the problem.
void checkEncodable(const SettingsRecord& record);

// Encodes the record line by line into the sink, in the fixed order. Runs checkEncodable
// first, so that the sink receives either the whole command list or nothing.
void encode(const SettingsRecord& record, EncodingSink& sink);

// The whole command list at once; nothing is returned if any line fails.
CommandList encode(const SettingsRecord& record);

// Highest entry indices the encoding may use.
constexpr int kForwardIndex = 100;
constexpr int kLastTaggedIndex = 99;
constexpr int kLastSpeedDialIndex = 150;

// Decoding of one header line into the record: `headerIndex` counts the header registers of
// the device's register table (8001 .. 9001) from 0, and the caller has checked the line's
// form. For the password length the password is emptied and the count of password lines (0..7)
// returned; for the other registers the result is 0. The volume throws the conversion error
// when its two characters are not a decimal integer.
int decodeHeaderLine(int headerIndex, const Text& line, SettingsRecord& record);

}  // namespace orv
