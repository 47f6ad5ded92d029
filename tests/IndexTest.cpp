// The merged index must give the same records, bit for bit, as looking every n-gram up in every
// profile's own table.
#include "LangIdentifier.h"
#include "ProfileCatalogue.h"
#include "ProfileFormat.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <random>

namespace {

void ExpectSamePaths(CLangIdentifier& identifier, const std::u16string& text)
{
    const int count = identifier.GetProfileCount();
    const LangScore* viaLookups = identifier.IdentifyByLookups(text.c_str());
    ASSERT_NE(viaLookups, nullptr);
    const std::vector<LangScore> expected(viaLookups, viaLookups + count);
    const LangScore* viaIndex = identifier.Identify(text.c_str());
    ASSERT_NE(viaIndex, nullptr);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(viaIndex[i].name, expected[i].name) << "rank " << i;
        ASSERT_EQ(viaIndex[i].score, expected[i].score) << "rank " << i;
    }
}

std::u16string RandomText(std::mt19937& rng, const std::u16string& alphabet, size_t maxLength)
{
    std::uniform_int_distribution<size_t> length(1, maxLength), pick(0, alphabet.size() - 1);
    std::u16string text;
    for (size_t n = length(rng); text.size() < n;)
        text += alphabet[pick(rng)];
    return text;
}

// The start slot of a key's probe.
int32_t SlotOf(const char16_t* key, int32_t slots)
{
    return int32_t(HashNgram(key) % uint32_t(slots));
}

}  // namespace

TEST(CNgramIndex, AgreesWithLookupsOnOddTables)
{
    const int32_t slots = 13;
    // A key stored where its probe never reaches it: an empty slot lies between its start slot
    // and the slot it sits in. A duplicated key: the probe finds the first copy, count 5.
    std::vector<BlobSlot> odd(slots);
    const int32_t unreachableHome = SlotOf(u"ab", slots);
    odd[size_t((unreachableHome + 2) % slots)] = {u"ab", 9};
    const int32_t duplicateHome = SlotOf(u"b", slots);
    odd[size_t(duplicateHome)] = {u"b", 5};
    odd[size_t((duplicateHome + 1) % slots)] = {u"b", 50};
    // Plus ordinary keys where there is room, one longer than any n-gram that is looked up.
    for (const NgramCount& extra : {NgramCount{u"a", 3}, NgramCount{u"abcdef", 4}, NgramCount{u". a", 6}})
        if (odd[size_t(SlotOf(extra.key.c_str(), slots))].key.empty())
            odd[size_t(SlotOf(extra.key.c_str(), slots))] = {extra.key, extra.count};
    const std::vector<uint8_t> oddBlob = WriteBlob(odd, 77);

    CLangIdentifier identifier;
    ASSERT_TRUE(identifier.LoadProfile(u"odd", oddBlob.data(), oddBlob.size()));
    const std::vector<uint8_t> plain = MakeBlob({{u"ab", 2}, {u"b", 1}, {u" a", 4}, {u"abcde", 1}}, 40, 11);
    ASSERT_TRUE(identifier.LoadProfile(u"plain", plain.data(), plain.size()));
    ASSERT_TRUE(identifier.LoadProfile(u"plain again", plain.data(), plain.size()));

    std::mt19937 rng(5);
    for (int i = 0; i < 300; ++i)
        ExpectSamePaths(identifier, RandomText(rng, u"abcdef .!\n", 40));
}

TEST(CNgramIndex, GrowsWhenKeysShareTheirHash)
{
    // 120 keys with one and the same n-gram hash: the index sizes its entry table by the distinct
    // hashes it counts, so it must grow while it is built, twice, and still agree.
    std::vector<NgramCount> keys;
    std::u16string text;
    for (uint32_t first = 0x581D, second = 0x8A9B; keys.size() < 120; ++second) {
        const uint32_t h = HashStep(HashStep(HashStart(char16_t(first)), char16_t(first)), char16_t(second));
        const uint32_t third = (0x12345678u ^ h) - ((h << 5) + (h >> 3));
        ASSERT_TRUE(third >= 0x4E00 && third < 0xA000) << "no more keys of that hash";
        const std::u16string key = {char16_t(first), char16_t(second), char16_t(third)};
        ASSERT_EQ(HashNgram(key.c_str()), 0x12345678u);
        keys.push_back({key, int32_t(keys.size() + 1)});
        text += key;
    }
    const std::vector<uint8_t> blob = MakeBlob(keys, 1000, 257);
    CLangIdentifier identifier;
    ASSERT_TRUE(identifier.LoadProfile(u"same hash", blob.data(), blob.size()));
    ASSERT_TRUE(identifier.LoadProfile(u"same hash again", blob.data(), blob.size()));
    ExpectSamePaths(identifier, text);
    std::mt19937 rng(3);
    for (int i = 0; i < 50; ++i)
        ExpectSamePaths(identifier, RandomText(rng, text, 60));
}

TEST(CNgramIndex, AgreesWithLookupsOnTheRealProfiles)
{
    CProfileCatalogue catalogue;
    catalogue.Load(TM_PROFILE_DIR);
    ASSERT_EQ("", DescribeFailures(catalogue.Failures()));
    CLangIdentifier& identifier = catalogue.Identifier();
    // Letters of several scripts, spaces and sentence marks, mixed at random, and a few real
    // sentences so that long n-grams hit too.
    const std::u16string alphabet =
        u"etaoinshrdlucmfwypvbgkjqxzETAOINäöüéèçñåøæłšžčřőűăşğ  .,!?\nабвгдежзийклмнопрстуфхцчшщыэюяі"
        u"αβγδεζηθλμνπρστωאבגדהוזחטיכלמנسلامعليكمالعربيةの日本語中國国文章한국어ภาษาไทย";
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i)
        ExpectSamePaths(identifier, RandomText(rng, alphabet, 400));
    for (const char16_t* sentence :
         {u"The committee will consider the proposal at its next meeting.",
          u"Die Kommission wird den Vorschlag in ihrer nächsten Sitzung prüfen.",
          u"Комиссия рассмотрит предложение на следующем заседании.",
          u"委員会は次回の会合でその提案を検討する。", u"委员会将在下次会议上审议该提案。"})
        ExpectSamePaths(identifier, sentence);
}
