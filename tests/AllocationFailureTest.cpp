// Loading with an allocation failure injected at each allocation in turn. A program of its own,
// since it replaces the global operator new.
#include "LangIdentifier.h"
#include "ProfileCatalogue.h"
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

// The catalogue step over LoadProfile: an allocation failure anywhere is a row that did not load,
// never an exception; nothing leaks and the list keeps what it had.
TEST(AllocationFailure, LoadingKeepsNothingAndLeaksNothing)
{
    const std::vector<uint8_t> blob = MakeBlob({{u"a", 1}, {u"bc", 2}}, 10);
    CLangIdentifier identifier;
    // Two profiles fill a list of capacity two: the third must grow it.
    ASSERT_TRUE(identifier.LoadProfile(u"one", blob.data(), blob.size()));
    ASSERT_TRUE(identifier.LoadProfile(u"two", blob.data(), blob.size()));

    int outOfMemory = 0;
    for (long n = 0;; ++n) {
        const long before = g_liveBlocks;
        g_failed = false;
        g_failAfter = n;
        const ProfileError error = LoadCatalogueProfile(identifier, LanguageTable[0], blob.data(), blob.size());
        g_failAfter = -1;
        if (!g_failed) {
            EXPECT_EQ(ProfileError::None, error);
            break;
        }
        // The unpack buffer failing is an ordinary rejection; every other allocation throws.
        EXPECT_TRUE(error == ProfileError::OutOfMemory || error == ProfileError::Rejected)
            << "allocation " << n << ": " << DescribeProfileError(error);
        outOfMemory += error == ProfileError::OutOfMemory ? 1 : 0;
        EXPECT_EQ(before, g_liveBlocks) << "allocation " << n;
        EXPECT_EQ(2, identifier.GetProfileCount()) << "allocation " << n;
    }
    // The profile, its slots, key pool and name, and the list's new storage.
    EXPECT_GE(outOfMemory, 5);
    EXPECT_EQ(3, identifier.GetProfileCount());
}
