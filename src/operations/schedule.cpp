#include "operations/schedule.h"

#include <string>

namespace orv {

Text timeLeftText(Millis left, bool upperBound) {
    const Millis seconds = (left + 999) / 1000;
    const Millis hours = seconds / 3600;
    const Millis minutes = seconds % 3600 / 60;
    const Millis rest = seconds % 60;
    std::string text = upperBound ? "осталось не более " : "осталось ";
    if (hours > 0) {
        // Past an hour the seconds tell nothing.
        text += std::to_string(hours) + " ч";
        if (minutes > 0) {
            text += " " + std::to_string(minutes) + " мин";
        }
    } else if (minutes > 0) {
        text += std::to_string(minutes) + " мин";
        if (rest > 0) {
            text += " " + std::to_string(rest) + " с";
        }
    } else {
        text += std::to_string(rest) + " с";
    }
    return cp1251::fromUtf8(text);
}

}  // namespace orv
