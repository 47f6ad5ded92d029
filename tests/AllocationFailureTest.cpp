// Loading with an allocation failure injected at each allocation in turn. A program of its own,
// since it replaces the global operator new (CountingNew.cpp).
#include "CountingNew.h"
#include "LangIdentifier.h"
#include "ProfileCatalogue.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <cstring>

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

// Taking profiles and their laid-out index from the program's image: an allocation failure
// anywhere is a refusal (the program then loads as usual), and leaves nothing behind.
TEST(AllocationFailure, AttachingProfilesKeepsNothingAndLeaksNothing)
{
    const std::vector<uint8_t> blob = MakeBlob({{u"a", 1}, {u"bc", 2}}, 10);
    std::vector<uint64_t> layout;
    size_t layoutSize = 0;
    {
        CLangIdentifier built;
        ASSERT_TRUE(built.LoadProfile(u"one", blob.data(), blob.size()));
        ASSERT_TRUE(built.LoadProfile(u"two", blob.data(), blob.size()));
        const std::vector<uint8_t> bytes = built.WriteIndex();
        layoutSize = bytes.size();
        layout.resize(layoutSize / 8 + 1);
        std::memcpy(layout.data(), bytes.data(), layoutSize);
    }
    const std::vector<CLangIdentifier::ProfileBlob> blobs = {{u"one", blob.data(), blob.size()},
                                                             {u"two", blob.data(), blob.size()}};
    int refused = 0;
    for (long n = 0;; ++n) {
        CLangIdentifier identifier;
        const long before = LiveAllocations();
        FailAllocationAfter(n);
        const bool attached = identifier.AttachProfiles(blobs, layout.data(), layoutSize);
        FailAllocationAfter(-1);
        if (!AllocationFailed()) {
            EXPECT_TRUE(attached);
            break;
        }
        ++refused;
        EXPECT_FALSE(attached) << "allocation " << n;
        EXPECT_EQ(before, LiveAllocations()) << "allocation " << n;
        EXPECT_EQ(0, identifier.GetProfileCount()) << "allocation " << n;
    }
    EXPECT_GE(refused, 4);  // the profiles, their names, the shapes and the sums
}
