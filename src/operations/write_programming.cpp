#include "operations/programming.h"

#include <stdexcept>

namespace orv {

Text writeProgrammingQuestion() {
    return cp1251::fromUtf8("При программировании данные в Sim-карте будут запорчены. Продолжить?");
}

Text clearSimQuestion() {
    return cp1251::fromUtf8("Вы уверены что хотите стереть все записи из Sim-карты?");
}

void writeProgramming(OperationContext&, const SettingsRecord&) {
    throw std::logic_error("write programming: not built yet");
}

void clearSim(OperationContext&) {
    throw std::logic_error("SIM clearing: not built yet");
}

}  // namespace orv
