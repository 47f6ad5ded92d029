#include "LangIdentifier.h"
#include "NgramTable.h"
#include "TestBlobs.h"
#include "Verdict.h"

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

TEST(CLangIdentifier, LooksUpAllLengthsFromPositionFiveOn)
{
    // '. abcd': at position 5 the n-grams ' abcd', 'abcd', 'bcd', 'cd', 'd' are looked up; 'ab'
    // ends at position 3 and is never looked up. Each profile holds one key, scored against a
    // reference profile that holds '.' alone (7 + 1/1 = 8, raw 8/6).
    const std::vector<std::pair<std::u16string, double>> keys = {
        {u" abcd", 40}, {u"abcd", 30}, {u"bcd", 4}, {u"cd", 8}, {u"d", 7}, {u"ab", 0}, {u"abcde", 0}};
    for (const auto& [key, weight] : keys) {
        CLangIdentifier identifier;
        Add(identifier, u"reference", {{u".", 1}}, 1);
        Add(identifier, u"probe", {{key, 1}}, 1);
        const LangScore* results = identifier.Identify(u"abcd");
        ASSERT_NE(results, nullptr);
        const double raw = weight == 0 ? 0.0 : (1.0 + weight) / 6.0;
        const double reference = 8.0 / 6.0;
        const double max = raw > reference ? raw : reference;
        double probe = results[0].name[0] == u'p' ? results[0].score : results[1].score;
        EXPECT_EQ(probe, raw / max) << "key '" << std::string(key.begin(), key.end()) << "'";
    }
}

TEST(CLangIdentifier, TiesKeepLoadOrderAndNothingMatchedStaysZero)
{
    CLangIdentifier identifier;
    Add(identifier, u"first", {{u"x", 1}}, 10);
    Add(identifier, u"second", {{u"y", 1}}, 10);
    Add(identifier, u"third", {{u"x", 1}}, 10);
    const LangScore* results = identifier.Identify(u"xy");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(std::u16string(results[0].name), u"first");
    EXPECT_EQ(std::u16string(results[1].name), u"second");
    EXPECT_EQ(std::u16string(results[2].name), u"third");
    EXPECT_EQ(results[0].score, 1.0);

    results = identifier.Identify(u"qqq");
    ASSERT_NE(results, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(results[i].score, 0.0);
    EXPECT_EQ(std::u16string(results[0].name), u"first");
    EXPECT_EQ(std::u16string(results[2].name), u"third");

    // Each record names its profile, which moves with it when the ranking reorders.
    results = identifier.Identify(u"yyy");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(std::u16string(results[0].name), u"second");
    EXPECT_EQ(results[0].profile, 1);
    EXPECT_EQ(results[1].profile, 0);
    EXPECT_EQ(results[2].profile, 2);
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

TEST(CLangIdentifier, NoMatchAnywhereIsCannotIdentify)
{
    CLangIdentifier identifier;
    for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e"})
        Add(identifier, name, {{u"z", 1}}, 10);
    std::u16string verdict;
    EXPECT_FALSE(FormatVerdict(identifier.Identify(u"hello"), identifier.GetProfileCount(), verdict));
    EXPECT_EQ(verdict, u"判定不能");
}
