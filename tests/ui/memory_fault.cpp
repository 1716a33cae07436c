// The window tests' allocator: the runtime's own, from malloc, with one failure on demand.

#include "memory_fault.h"

#include <cstdlib>
#include <new>

namespace {

thread_local std::size_t failAtLeast = 0;  // 0: nothing fails
thread_local bool failed = false;

}  // namespace

void* operator new(std::size_t size) {
    if (failAtLeast != 0 && size >= failAtLeast) {
        failAtLeast = 0;
        failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

// The no-throw form comes from the same allocator, so that the plain delete above frees what it
// gave (the library's temporary buffers take it, and a sanitizer checks the pairs).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace orv::ui::test {

FailingAllocation::FailingAllocation(std::size_t atLeast) {
    failAtLeast = atLeast;
    failed = false;
}

FailingAllocation::~FailingAllocation() {
    failAtLeast = 0;
}

bool FailingAllocation::happened() const {
    return failed;
}

}  // namespace orv::ui::test
