#include "operations/line_services.h"

#include <stdexcept>

namespace orv {

void queryClir(OperationContext&) {
    throw std::logic_error("CLIR query: not built yet");
}

void switchToDataMode(OperationContext&) {
    throw std::logic_error("data mode: not built yet");
}

}  // namespace orv
