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

// Text put into the box other than by a key (pasted or dropped): `used` characters stay in the
// box besides what the paste replaces, and `pasted` characters come in, line breaks not counted
// in either. What fits goes in; the rest is refused, and the counter then shows the limit
// reached.
struct PasteResult {
    int kept = 0;  // how many of the pasted characters go in, from the first
    bool refused = false;
    CounterResult counter;
};
PasteResult Memo2Paste(int used, int pasted);

// The label before any key was pressed.
constexpr const char* kCounterInitialLabel = "60/0";

}  // namespace orv
