// Scores must be the same bit for bit as in the native build: IEEE doubles rounded at every step.
// Compiled for x87 (the i686 default without -msse2 -mfpmath=sse) the sum keeps 80-bit
// intermediates and the second score below ends in ...5fp-1 instead of ...62p-1.
#include "LangIdentifier.h"
#include "ProfileWriter.h"

#include <gtest/gtest.h>

TEST(FloatingPoint, ScoresMatchTheNativeBuildBitForBit)
{
    const std::vector<NgramCount> one = {
        {u"a", 10}, {u"b", 5}, {u"ab", 3}, {u". ", 7}, {u" ", 12}, {u"ba", 1}};
    const std::vector<NgramCount> two = {
        {u"a", 7}, {u"b", 11}, {u" a", 2}, {u"ab", 1}, {u".", 3}, {u"aba", 5}};
    const std::vector<uint8_t> blobOne = WriteBlob(PlaceKeys(one, NextPrimeAbove(12)), 97);
    const std::vector<uint8_t> blobTwo = WriteBlob(PlaceKeys(two, NextPrimeAbove(12)), 13);
    CLangIdentifier identifier;
    ASSERT_TRUE(identifier.LoadProfile(u"one", blobOne.data(), blobOne.size()));
    ASSERT_TRUE(identifier.LoadProfile(u"two", blobTwo.data(), blobTwo.size()));

    const LangScore* results = identifier.Identify(u"a b ab. ba");
    ASSERT_NE(nullptr, results);
    EXPECT_EQ(std::u16string(u"one"), results[0].name);
    EXPECT_EQ(1.0, results[0].score);
    EXPECT_EQ(std::u16string(u"two"), results[1].name);
    EXPECT_EQ(0x1.9dd8906b36562p-1, results[1].score) << std::hexfloat << results[1].score;
}
