// A replacement of the global operator new for test binaries: it counts
// allocations, keeps the number of live ones, and can make one chosen
// allocation fail with std::bad_alloc.  Linking failing_new.cpp into an
// executable installs it for the whole process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace failing_new {

// Allocations made through operator new since the process started.
std::size_t Allocations();

// Allocations made through operator new and not yet deleted.
std::int64_t LiveAllocations();

// Makes the `n`-th allocation from now (1 is the next one) fail, once.
void FailAllocation(std::size_t n);

// Cancels a pending failure; returns whether the failure happened.
bool Disarm();

}  // namespace failing_new
