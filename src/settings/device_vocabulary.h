#pragma once
// The device's vocabulary: its registers, in the one order in which the settings are written,
// read back and decoded, and every command line and reply mark the program uses. The encoding,
// the loader, the link and the operations all spell their commands from here, so that a code or
// a command is written once. (The emulator keeps its own spelling on purpose: it stands for the
// device and must catch the program's mistakes.)

#include <array>
#include <cstddef>

#include "base/text.h"

namespace orv::device {

// Register commands: "ATW", a four-character register code and the value (write), or "ATR" and
// the code (read).
constexpr const char kRegisterWrite[] = "ATW";
constexpr const char kRegisterRead[] = "ATR";
constexpr std::size_t kRegisterCodeLength = 4;

// What a register of the settings record holds.
enum class RegisterRole {
    FirstFlags,      // the first flags byte
    NumberLength,    // the number-length field
    CallDuration,    // the call-duration field
    ControlTime,     // the control-time field
    SecondFlags,     // the second flags byte
    Volume,          // the volume, written in decimal
    PasswordLength,  // the number of password characters
    PasswordDigit,   // one password character
    None,            // no register: a setting written elsewhere
};

struct Register {
    const char* code;
    RegisterRole role;
    int passwordPosition;  // 1 to 7 for a password digit, 0 for every other register
};

// The registers of the settings record in their order: the seven header registers, which every
// command list begins with, one line each, then the seven password-digit registers, 9p01
// holding the character at position p. Encoding, read-back and decoding all walk this table;
// there is no register 8501.
inline constexpr std::array kRegisters{
    Register{"8001", RegisterRole::FirstFlags, 0},
    Register{"8101", RegisterRole::NumberLength, 0},
    Register{"8201", RegisterRole::CallDuration, 0},
    Register{"8301", RegisterRole::ControlTime, 0},
    Register{"8401", RegisterRole::SecondFlags, 0},
    Register{"8601", RegisterRole::Volume, 0},
    Register{"9001", RegisterRole::PasswordLength, 0},
    Register{"9101", RegisterRole::PasswordDigit, 1},
    Register{"9201", RegisterRole::PasswordDigit, 2},
    Register{"9301", RegisterRole::PasswordDigit, 3},
    Register{"9401", RegisterRole::PasswordDigit, 4},
    Register{"9501", RegisterRole::PasswordDigit, 5},
    Register{"9601", RegisterRole::PasswordDigit, 6},
    Register{"9701", RegisterRole::PasswordDigit, 7},
};

// The header registers are the first of the table, the password-digit registers the rest.
constexpr std::size_t headerRegisterCount() {
    std::size_t n = 0;
    while (n < kRegisters.size() && kRegisters[n].role != RegisterRole::PasswordDigit) {
        ++n;
    }
    return n;
}
constexpr std::size_t kHeaderRegisterCount = headerRegisterCount();
constexpr std::size_t kPasswordDigitRegisterCount = kRegisters.size() - kHeaderRegisterCount;

// The register that holds the password character at `position` (1 to 7).
const Register& passwordDigitRegister(std::size_t position);

// "ATW" and the register's code, to be followed by the value; "ATR" and the code.
Text writeCommand(const Register& reg);
Text readCommand(const Register& reg);
Text readCommand(const char* code);

// The presence check reads this register, which holds no setting; after one leading byte it
// answers exactly kPresenceReply while the device is free.
constexpr const char kPresenceRegister[] = "2301";
constexpr const char kPresenceReply[] = "01 ";

constexpr const char kDataMode[] = "ATK1";  // afterwards the standard commands are taken
constexpr const char kStoreSettings[] = "AT&W0";
constexpr const char kStatus[] = "AT+CPAS";  // every programming run ends with it
constexpr const char kClirQuery[] = "AT+CLIR?";
constexpr const char kClirReplyHead[] = "+CLIR:";

// The SIM phone book. A write line is "AT+CPBW=", the index, the quoted number, the number type
// and the quoted text field; the write command with the index alone erases the entry. A filled
// slot answers a read with kPhoneBookReplyHead and the entry's fields; an empty one with "OK".
constexpr const char kPhoneBookRead[] = "AT+CPBR=";
constexpr const char kPhoneBookWrite[] = "AT+CPBW=";
constexpr const char kPhoneBookNumberType[] = "129";
constexpr const char kPhoneBookReplyHead[] = "+CPBR: ";
constexpr const char kEmptySlotReply[] = "OK";

// "AT+CPBR=" or "AT+CPBW=" and the index in decimal, without leading zeros.
Text phoneBookReadCommand(int index);
Text phoneBookWriteHead(int index);
// A whole phone-book write line.
Text phoneBookWriteCommand(int index, const Text& number, const Text& textField);

// SMS in text mode with UCS2 text.
constexpr const char kSmsDeleteAll[] = "AT+CMGDA=\"DEL ALL\"";
constexpr const char kSmsTextMode[] = "AT+CMGF=1";
constexpr const char kSmsCharsetUcs2[] = "AT+CSCS=\"UCS2\"";
constexpr const char kSmsParameters[] = "AT+CSMP=17,167,0,25";
constexpr const char kSmsWrite[] = "AT+CMGW=";
constexpr const char kSmsSendStored[] = "AT+CMSS=1,";
constexpr const char kSmsPlaceholderDestination[] = "+3111111";
constexpr char kSmsEndOfText = 0x1A;   // Ctrl-Z
constexpr char kSmsCancelText = 0x1B;  // ESC: the text is dropped, nothing is stored
// The final results of a send: sent (with its reference), refused by the network or the
// modem (with an error code), or the bare command error.
constexpr const char kSmsSentMark[] = "+CMSS:";
constexpr const char kSmsErrorMark[] = "+CMS ERROR:";
constexpr const char kEquipmentErrorMark[] = "+CME ERROR:";
constexpr const char kCommandError[] = "ERROR";

// The text prompt that answers the write command: CR, LF, ">" and a blank.
constexpr const char kSmsPrompt[] = "\r\n> ";

}  // namespace orv::device
