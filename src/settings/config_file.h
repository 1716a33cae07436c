#pragma once
// The configuration file: a command list as text, one line per command, each ended by CR LF.
// The same format serves the user's ".cfg" files, the working-state file and "1.txt".

#include <string>
#include <vector>

#include "base/errors.h"
#include "base/platform.h"
#include "settings/encoding.h"

namespace orv {

// The working-state file, as written at close and probed and read at start, and the name the
// messages give it.
constexpr const char* kWorkingStateFile = "config.bak";
constexpr const char* kWorkingStateShownName = "Config.bak";
constexpr const char* kCommandListFile = "1.txt";

// Encodes the record and writes it as the named file. The encoding is complete before the file
// is touched, and the file is replaced atomically, so a failure leaves the old file whole.
// Throws a Failure ("Cannot create file ..." or the encoding's own message).
// `access` OwnerOnly makes the file its owner's alone (a history record's files).
void SaveData(const std::string& path, const SettingsRecord& record,
              platform::FileAccess access = platform::FileAccess::Usual);

// Writes a list of lines as a text file, each ended by CR LF, replacing it atomically.
void saveLines(const std::string& path, const CommandList& lines,
               platform::FileAccess access = platform::FileAccess::Usual);
// Saves the bytes as they are, as saveLines saves its lines.
void saveBytes(const std::string& path, const std::string& data,
               platform::FileAccess access = platform::FileAccess::Usual);

// Splits file text into lines: CR, LF or CR LF end a line, a NUL ends the text, a last line
// without an ending counts, the final ending makes no extra empty line.
CommandList splitLines(const std::string& bytes);

// Reads the named file and decodes it, setting by setting in file order, into a copy of the
// record, which replaces the record only once the whole file has been taken. At the first
// rejected line it throws, and the record stays as it was. `shownName` is the file name for the
// format message (the path when empty). The format message is a plain message box; list-index,
// conversion and file errors come with the error icon.
void LoadFromFile(const std::string& path, SettingsRecord& record, const Text& shownName = Text());

// The whole content of a configuration file, read as readRegularFile reads it, up to the bound
// of configuration files. Throws the runtime's file error ("Cannot open file ...", with the
// path and the system's reason) when it cannot be opened or read, and a message of its own for
// anything but a regular file and for a file past the bound.
std::string readWholeFile(const std::string& path);

// The same, from text already read.
void loadFromText(const std::string& bytes, SettingsRecord& record, const Text& shownName);

// A value the device holds that the window cannot: a register (by its code and the label of its
// setting) or a SIM slot (by its index, with the entry's text field), the value as the device
// gave it, and why the window cannot hold it.
struct RefusedValue {
    Text registerCode;  // empty for a slot
    Text label;
    int slot = 0;
    Text value;
    Text text;  // a slot's text field
    Text why;
    bool hidden = false;  // a password digit: its value is not shown

    bool isRegister() const { return !registerCode.empty(); }
    bool operator==(const RefusedValue& o) const {
        return registerCode == o.registerCode && slot == o.slot && value == o.value &&
               text == o.text && why == o.why;
    }
};

// Decodes the read-back of a device as loadFromText does, except that a register or a slot
// whose value the window cannot hold is passed over (the record keeps what it held there, and
// its password as a whole when a digit is refused) and listed, in file order, instead of
// refusing the whole text. A line without the form of its kind (a header line of another length
// or prefix, a phone-book line cut short, lines missing) is still refused with the loader's
// message: it holds no value to name.
std::vector<RefusedValue> loadReadBack(const std::string& bytes, SettingsRecord& record,
                                       const Text& shownName);

// One refused value on a line: «<label>» (регистр 8101): «FF» — why;
// Ячейка 5 SIM-карты: номер «*100#», текст «Баланс» — why. A password digit is not shown.
Text describeRefusal(const RefusedValue& value);

// True when the file exists and can be opened for reading and writing (the start-up probe).
bool canOpenForReadWrite(const std::string& path);

}  // namespace orv
