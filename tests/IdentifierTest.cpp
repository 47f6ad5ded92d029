#include "LangIdentifier.h"
#include "NgramTable.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

namespace {

void Add(CLangIdentifier& identifier, const char16_t* name, const std::vector<NgramCount>& keys,
         int32_t total)
{
    const std::vector<uint8_t> blob = MakeBlob(keys, total, 61);
    ASSERT_TRUE(identifier.LoadProfile(name, blob.data(), blob.size()));
}

}  // namespace

TEST(CLangIdentifier, RawScoreOfTheWorkedExample)
{
    // 'ab' normalises to '. ab'; only unigrams are looked up there, so the key 'ab' never scores.
    // sum = (0 + 7.1) + 7.05 = 14.149999999999999, raw = sum / 4 = 3.5374999999999996. A second
    // profile scoring exactly 8.0 is the maximum, so dividing by it keeps every bit.
    CLangIdentifier identifier;
    Add(identifier, u"A", {{u"a", 10}, {u"b", 5}, {u"ab", 50}}, 100);
    Add(identifier, u"B", {{u".", 1}, {u" ", 1}, {u"a", 1}, {u"b", 1}}, 1);
    const LangScore* results = identifier.Identify(u"ab");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(std::u16string(results[0].name), u"B");
    EXPECT_EQ(results[0].score, 1.0);
    EXPECT_EQ(std::u16string(results[1].name), u"A");
    EXPECT_EQ(results[1].score, 3.5374999999999996 / 8.0);
    EXPECT_EQ(results[1].score, 0.44218749999999996);
}

// Which n-grams are looked up at each position, and the scores of random profiles and texts, are
// compared with an independent implementation in tests/reference/check_identify.py.

TEST(CLangIdentifier, TiesKeepLoadOrderAndEachRecordNamesItsProfile)
{
    CLangIdentifier identifier;
    Add(identifier, u"first", {{u"x", 1}}, 10);
    Add(identifier, u"second", {{u"y", 1}}, 10);
    Add(identifier, u"third", {{u"x", 1}}, 10);
    // The two that match nothing stay at zero and keep their load order behind the winner.
    const LangScore* results = identifier.Identify(u"yyy");
    ASSERT_NE(results, nullptr);
    const struct { const char16_t* name; int profile; double score; } expected[] = {
        {u"second", 1, 1.0}, {u"first", 0, 0.0}, {u"third", 2, 0.0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::u16string(results[i].name), expected[i].name) << i;
        EXPECT_EQ(results[i].profile, expected[i].profile) << i;
        EXPECT_EQ(results[i].score, expected[i].score) << i;
    }
}

TEST(CLangIdentifier, EmptyTextOrNoProfilesGiveNothing)
{
    CLangIdentifier none;
    EXPECT_EQ(none.Identify(u"text"), nullptr);

    CLangIdentifier identifier;
    Add(identifier, u"only", {{u"t", 3}}, 10);
    EXPECT_EQ(identifier.Identify(nullptr), nullptr);
    const LangScore* results = identifier.Identify(u"tt");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(results[0].score, 1.0);  // one profile that matches anything scores 1.0
    EXPECT_EQ(identifier.Identify(u""), nullptr);
    EXPECT_EQ(results[0].score, 1.0) << "an empty text leaves the last records readable";
}

TEST(CLangIdentifier, LoadProfileRefusesBadBlobsAndKeepsTheCap)
{
    CLangIdentifier identifier;
    std::vector<uint8_t> blob = MakeBlob({{u"a", 1}}, 5);
    std::vector<uint8_t> bad = blob;
    bad.resize(bad.size() - 1);
    EXPECT_FALSE(identifier.LoadProfile(u"bad", bad.data(), bad.size()));
    EXPECT_EQ(identifier.GetProfileCount(), 0);
    for (int i = 0; i < CLangIdentifier::kMaxProfiles; ++i)
        ASSERT_TRUE(identifier.LoadProfile(u"p", blob.data(), blob.size()));
    EXPECT_FALSE(identifier.LoadProfile(u"one too many", blob.data(), blob.size()));
    EXPECT_EQ(identifier.GetProfileCount(), CLangIdentifier::kMaxProfiles);
}
