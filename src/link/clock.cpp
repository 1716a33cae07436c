#include "link/clock.h"

#include <chrono>
#include <thread>

namespace orv {

void waitSince(Clock& clock, Millis start, Millis ms) {
    for (;;) {
        const Millis elapsed = clock.now() - start;  // modulo 2^32
        if (elapsed >= ms) {
            return;
        }
        clock.sleep(ms - elapsed);
    }
}

Millis SystemClock::now() {
    using namespace std::chrono;
    return static_cast<Millis>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::sleep(Millis ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace orv
