// Loading with an allocation failure injected at each allocation in turn. A program of its own,
// since it replaces the global operator new (CountingNew.cpp).
#include "CountingNew.h"
#include "LangIdentifier.h"
#include "ProfileCatalogue.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

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
        const long before = LiveAllocations();
        FailAllocationAfter(n);
        const ProfileError error = LoadCatalogueProfile(identifier, LanguageTable[0], blob.data(), blob.size());
        FailAllocationAfter(-1);
        if (!AllocationFailed()) {
            EXPECT_EQ(ProfileError::None, error);
            break;
        }
        // The unpack buffer failing is an ordinary rejection; every other allocation throws.
        EXPECT_TRUE(error == ProfileError::OutOfMemory || error == ProfileError::Rejected)
            << "allocation " << n << ": " << DescribeProfileError(error);
        outOfMemory += error == ProfileError::OutOfMemory ? 1 : 0;
        EXPECT_EQ(before, LiveAllocations()) << "allocation " << n;
        EXPECT_EQ(2, identifier.GetProfileCount()) << "allocation " << n;
    }
    // The profile, its table's arrays and name, and the list's new storage.
    EXPECT_GE(outOfMemory, 5);
    EXPECT_EQ(3, identifier.GetProfileCount());
}
