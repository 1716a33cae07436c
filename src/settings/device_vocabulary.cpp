#include "settings/device_vocabulary.h"

#include <string>

namespace orv::device {

const Register& passwordDigitRegister(std::size_t position) {
    return kRegisters.at(kHeaderRegisterCount + position - 1);
}

Text writeCommand(const Register& reg) {
    return kRegisterWrite + Text(reg.code);
}

Text readCommand(const Register& reg) {
    return readCommand(reg.code);
}

Text readCommand(const char* code) {
    return kRegisterRead + Text(code);
}

Text phoneBookReadCommand(int index) {
    return kPhoneBookRead + std::to_string(index);
}

Text phoneBookWriteHead(int index) {
    return kPhoneBookWrite + std::to_string(index);
}

Text phoneBookWriteCommand(int index, const Text& number, const Text& textField) {
    return phoneBookWriteHead(index) + ",\"" + number + "\"," + kPhoneBookNumberType + ",\"" +
           textField + "\"";
}

}  // namespace orv::device
