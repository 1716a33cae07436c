#include "sms/counter.h"

namespace orv {

std::string CounterResult::label() const {
    return std::to_string(used) + "/" + std::to_string(kSmsLimit - used);
}

CounterResult Memo2KeyPress(const std::vector<int>& lineLengths, bool backspace) {
    CounterResult result;
    int sum = 0;
    if (backspace) {
        for (int length : lineLengths) {
            sum += length;
        }
        // Backspace in an empty box removes nothing; the count does not go below zero.
        result.used = sum > 0 ? sum - 1 : 0;
        return result;
    }
    for (int length : lineLengths) {
        sum += length;
        if (sum > kSmsLimit - 1) {
            result.swallow = true;
            sum -= 1;
        }
    }
    result.used = sum + 1;
    return result;
}

PasteResult Memo2Paste(int used, int pasted) {
    PasteResult result;
    const int room = used < kSmsLimit ? kSmsLimit - used : 0;
    result.kept = pasted < room ? pasted : room;
    result.refused = result.kept < pasted;
    result.counter.swallow = result.refused;
    result.counter.used = used + result.kept;
    return result;
}

}  // namespace orv
