// Counts heap allocations made through the global allocation functions, which
// allocation_counter.cpp replaces for the test binary that links it.
#pragma once

#include <cstddef>

namespace testing_support {

std::size_t allocationCount();

// Allocations made and not yet freed.
std::size_t liveAllocations();

// Makes the allocation `n` calls from now fail with std::bad_alloc (1 = the
// next one); 0 disarms.
void failAllocationAfter(std::size_t n);

// Counts the allocations made while it exists.
class AllocationScope {
public:
    AllocationScope() : start(allocationCount()) {}
    std::size_t allocations() const { return allocationCount() - start; }

private:
    std::size_t start;
};

}  // namespace testing_support
