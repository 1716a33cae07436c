#include <stdexcept>

#include "operations/programming.h"

namespace orv {

void readProgramming(OperationContext&, SettingsRecord&) {
    throw std::logic_error("read programming: not built yet");
}

}  // namespace orv
