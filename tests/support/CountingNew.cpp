#include "CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The library's other forms of new and delete (arrays, nothrow) forward to these.

namespace {
std::atomic<long> g_liveAllocations{0};
std::atomic<long> g_failAfter{-1};
std::atomic<bool> g_failed{false};
}  // namespace

long LiveAllocations()
{
    return g_liveAllocations.load();
}

void FailAllocationAfter(long count)
{
    if (count >= 0)
        g_failed = false;
    g_failAfter = count;
}

bool AllocationFailed()
{
    return g_failed.load();
}

void* operator new(size_t size)
{
    if (g_failAfter.load() >= 0 && g_failAfter-- == 0) {
        g_failed = true;
        throw std::bad_alloc();
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    ++g_liveAllocations;
    return block;
}

void operator delete(void* block) noexcept
{
    if (block == nullptr)
        return;
    --g_liveAllocations;
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}
