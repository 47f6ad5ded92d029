// Loading with an allocation failure injected at each allocation in turn: nothing leaks and the
// identifier keeps what it had. A program of its own, since it replaces the global operator new.
#include "LangIdentifier.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

long g_liveBlocks = 0;   // blocks from operator new not yet deleted
long g_failAfter = -1;   // allocations to let through before the next one fails; -1: none fails
bool g_failed = false;   // the armed failure happened

}  // namespace

void* operator new(size_t size)
{
    if (g_failAfter == 0) {
        g_failAfter = -1;
        g_failed = true;
        throw std::bad_alloc();
    }
    if (g_failAfter > 0)
        --g_failAfter;
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    ++g_liveBlocks;
    return block;
}

void operator delete(void* block) noexcept
{
    if (block == nullptr)
        return;
    --g_liveBlocks;
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

TEST(AllocationFailure, LoadProfileKeepsNothingAndLeaksNothing)
{
    const std::vector<uint8_t> blob = MakeBlob({{u"a", 1}, {u"bc", 2}}, 10);
    CLangIdentifier identifier;
    // Two profiles fill a list of capacity two: the third must grow it.
    ASSERT_TRUE(identifier.LoadProfile(u"one", blob.data(), blob.size()));
    ASSERT_TRUE(identifier.LoadProfile(u"two", blob.data(), blob.size()));

    int failures = 0;
    for (long n = 0;; ++n) {
        const long before = g_liveBlocks;
        g_failed = false;
        g_failAfter = n;
        bool loaded = false;
        try {
            loaded = identifier.LoadProfile(u"three", blob.data(), blob.size());
        } catch (const std::bad_alloc&) {
        }
        g_failAfter = -1;
        if (!g_failed) {
            EXPECT_TRUE(loaded);
            break;
        }
        ++failures;
        EXPECT_FALSE(loaded) << "allocation " << n;
        EXPECT_EQ(before, g_liveBlocks) << "allocation " << n;
        EXPECT_EQ(2, identifier.GetProfileCount()) << "allocation " << n;
    }
    // The profile, its unpack buffer, slots, key pool and name, and the list's new storage.
    EXPECT_GE(failures, 6);
    EXPECT_EQ(3, identifier.GetProfileCount());
}
