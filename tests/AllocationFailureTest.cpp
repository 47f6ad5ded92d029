// Loading with an allocation failure injected at each allocation in turn. A program of its own,
// since it replaces the global operator new (CountingNew.cpp).
#include "CountingNew.h"
#include "LangIdentifier.h"
#include "ProfileCatalogue.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <string>

// Runs `step` with an allocation failure injected at each allocation in turn, then once with none;
// `check` sees each failed run, by the number of the allocation that failed.
template <typename Step, typename Check>
void WithEachAllocationFailing(Step step, Check check)
{
    for (long n = 0;; ++n) {
        const long before = LiveAllocations();
        FailAllocationAfter(n);
        const auto result = step();
        FailAllocationAfter(-1);
        const long after = LiveAllocations();
        if (!AllocationFailed())
            return;
        SCOPED_TRACE("allocation " + std::to_string(n));
        EXPECT_EQ(before, after) << "blocks left behind";
        check(result);
    }
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
    WithEachAllocationFailing(
        [&] { return LoadCatalogueProfile(identifier, LanguageTable[0], blob.data(), blob.size()); },
        [&](ProfileError error) {
            // The unpack buffer failing is an ordinary rejection; every other allocation throws.
            EXPECT_TRUE(error == ProfileError::OutOfMemory || error == ProfileError::Rejected)
                << DescribeProfileError(error);
            outOfMemory += error == ProfileError::OutOfMemory ? 1 : 0;
            EXPECT_EQ(2, identifier.GetProfileCount());
        });
    // The profile, its table's arrays and name, and the list's new storage.
    EXPECT_GE(outOfMemory, 5);
    EXPECT_EQ(3, identifier.GetProfileCount());
}
