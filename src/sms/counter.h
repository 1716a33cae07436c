#pragma once
// The SMS length counter shown above the SMS text box.

#include <string>
#include <vector>

namespace orv {

constexpr int kSmsLimit = 60;

struct CounterResult {
    bool swallow = false;       // the key is not inserted
    int used = 0;               // characters counted after the key
    std::string label() const;  // "used/remaining"
};

// Runs for a key that produces a character, before it is inserted. `lineLengths` are the
// lengths of the lines the box shows (wrapped lines count separately), without line breaks.
CounterResult Memo2KeyPress(const std::vector<int>& lineLengths, bool backspace);

// The label before any key was pressed.
constexpr const char* kCounterInitialLabel = "60/0";

}  // namespace orv
