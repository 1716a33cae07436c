#include "base/errors.h"

namespace orv {

Failure conversionError(const Text& rejected) {
    return runtimeError("'" + rejected + "' is not a valid integer value");
}

Failure listIndexError(long index) {
    return runtimeError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace orv
