// Counting allocations, and failing one on request: a test program that links CountingNew.cpp has
// its global operator new and delete replaced by these.
#pragma once

// Number of operator new blocks not yet deleted, counted over the whole test program.
long LiveAllocations();

// Lets `count` more allocations through and fails the next one with std::bad_alloc; -1 disarms.
void FailAllocationAfter(long count);

// True once the armed failure has happened, until the next arming.
bool AllocationFailed();
