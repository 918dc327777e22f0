#include "allocationcounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

thread_local bool t_counting = false;
std::atomic<long> g_allocations{0};

} // namespace

namespace tavix::test {

void countAllocationsOnThisThread(bool counting) {
    t_counting = counting;
}

long countedAllocations() {
    return g_allocations.load(std::memory_order_relaxed);
}

} // namespace tavix::test

void* operator new(std::size_t size) {
    if (t_counting) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
