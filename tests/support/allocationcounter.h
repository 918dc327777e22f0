#pragma once

// Linking allocationcounter.cpp replaces the global operator new for the whole binary, so that what
// one thread allocates can be counted. Only binaries that measure allocations link it.

namespace tavix::test {

/// Counts the calling thread's allocations from now on (true) or no longer (false).
void countAllocationsOnThisThread(bool counting);
/// Allocations counted so far, over all threads.
long countedAllocations();

} // namespace tavix::test
