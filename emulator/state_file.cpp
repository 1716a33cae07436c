#include "state_file.h"

#include <cctype>
#include <vector>

#include "text_codec.h"

namespace orv::emulator {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words and quoted strings; stops at a "#" that begins a word.
bool tokenize(const std::string& line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::size_t j = i + 1;
            while (j < line.size() && line[j] != '"')
                j += line[j] == '\\' ? 2 : 1;
            if (j >= line.size()) {
                error = "unterminated quoted text";
                return false;
            }
            const auto text = unescapeText(std::string_view(line).substr(i + 1, j - i - 1));
            if (!text) {
                error = "bad escape in quoted text " + line.substr(i, j - i + 1);
                return false;
            }
            tokens.push_back({*text, true});
            i = j + 1;
        } else {
            std::size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r' &&
                   line[j] != '"')
                ++j;
            tokens.push_back({line.substr(i, j - i), false});
            i = j;
        }
    }
    return true;
}

bool integerIn(const Token& t, long low, long high, long& value) {
    if (t.quoted || t.text.empty() || t.text.size() > 6)
        return false;
    for (char c : t.text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stol(t.text);
    return value >= low && value <= high;
}

bool parseLine(const std::vector<Token>& t, StoredState& state, std::string& error) {
    const std::string& keyword = t[0].text;
    if (keyword == "register" && !t[0].quoted) {
        if (t.size() != 3) {
            error = "'register' needs a code and a value, e.g. register 8001 5A";
            return false;
        }
        if (!DeviceModel::isRegister(t[1].text)) {
            error = "unknown register code '" + t[1].text + "'";
            return false;
        }
        if (t[2].text.size() > kMaxRegisterValue) {
            error =
                "register value longer than " + std::to_string(kMaxRegisterValue) + " characters";
            return false;
        }
        state.registers[t[1].text] = t[2].text;
        return true;
    }
    if (keyword == "slot" && !t[0].quoted) {
        if (t.size() != 5) {
            error =
                "'slot' needs an index, a number, a type and a text, e.g. "
                "slot 5 \"8900\" 129 \"W8900\"";
            return false;
        }
        long index = 0;
        long type = 0;
        if (!integerIn(t[1], 1, kPhoneBookSize, index)) {
            error = "slot index '" + t[1].text + "' is not a number from 1 to " +
                    std::to_string(kPhoneBookSize);
            return false;
        }
        if (!validPhoneNumber(t[2].text)) {
            error = "slot number '" + escapeText(t[2].text) + "' is not 1 to " +
                    std::to_string(kMaxPhoneNumber) + " digits, '+', '*' or '#'";
            return false;
        }
        if (!integerIn(t[3], 0, 255, type)) {
            error = "number type '" + t[3].text + "' is not a number from 0 to 255";
            return false;
        }
        if (!validPhoneText(t[4].text)) {
            error = "slot text '" + escapeText(t[4].text) + "' is longer than " +
                    std::to_string(kMaxPhoneText) + " bytes or holds a control character or '\"'";
            return false;
        }
        state.slots[static_cast<int>(index)] =
            PhoneEntry{t[2].text, static_cast<int>(type), t[4].text};
        return true;
    }
    error = "unknown entry '" + escapeText(keyword) + "' (expected 'register' or 'slot')";
    return false;
}

bool isBareWord(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '"' || c == '#' || c == '\\')
            return false;
    }
    return true;
}

}  // namespace

bool parseState(std::istream& in, StoredState& state, std::string& error) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::vector<Token> tokens;
        std::string what;
        if (!tokenize(line, tokens, what) || (!tokens.empty() && !parseLine(tokens, state, what))) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        }
    }
    return true;
}

std::string formatState(const StoredState& state) {
    std::string out = "# Орвелин-9 emulator state: registers, then the SIM phone book\n";
    for (const auto& [code, value] : state.registers)
        out += "register " + code + " " +
               (isBareWord(value) ? value : "\"" + escapeText(value) + "\"") + "\n";
    for (const auto& [index, e] : state.slots)
        out += "slot " + std::to_string(index) + " \"" + escapeText(e.number) + "\" " +
               std::to_string(e.type) + " \"" + escapeText(e.text) + "\"\n";
    return out;
}

}  // namespace orv::emulator
