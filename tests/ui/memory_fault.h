#pragma once
// Running out of memory on demand: while a FailingAllocation lives, the first allocation of at
// least the given size on this thread fails with std::bad_alloc, as when the system has no
// more memory to give. Other threads and smaller allocations are served as usual.

#include <cstddef>

namespace orv::ui::test {

class FailingAllocation {
  public:
    explicit FailingAllocation(std::size_t atLeast);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // Whether the allocation failed.
    bool happened() const;
};

}  // namespace orv::ui::test
