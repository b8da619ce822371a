#include "tests/support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> count{0};
std::atomic<std::size_t> failCountdown{0};
std::atomic<std::size_t> live{0};

void* allocate(std::size_t size) {
    count.fetch_add(1, std::memory_order_relaxed);
    std::size_t remaining = failCountdown.load(std::memory_order_relaxed);
    if (remaining != 0) {
        failCountdown.store(remaining - 1, std::memory_order_relaxed);
        if (remaining == 1) throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        live.fetch_add(1, std::memory_order_relaxed);
        return memory;
    }
    throw std::bad_alloc();
}

void release(void* memory) {
    if (memory == nullptr) return;
    live.fetch_sub(1, std::memory_order_relaxed);
    std::free(memory);
}

}  // namespace

namespace testing_support {

std::size_t allocationCount() { return count.load(std::memory_order_relaxed); }

std::size_t liveAllocations() { return live.load(std::memory_order_relaxed); }

void failAllocationAfter(std::size_t n) { failCountdown.store(n, std::memory_order_relaxed); }

}  // namespace testing_support

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory) noexcept { release(memory); }
void operator delete[](void* memory) noexcept { release(memory); }
void operator delete(void* memory, std::size_t) noexcept { release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { release(memory); }
