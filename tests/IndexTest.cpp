// The merged index must give the same records, bit for bit, as looking every n-gram up in every
// profile's own table.
#include "LangIdentifier.h"
#include "NgramTable.h"
#include "ProfileFolder.h"
#include "ProfileFormat.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>

namespace {

std::vector<LangScore> Records(const LangScore* records, int count)
{
    return records ? std::vector<LangScore>(records, records + count) : std::vector<LangScore>();
}

void ExpectSameRecords(const std::vector<LangScore>& expected, const LangScore* actual, const char* path)
{
    ASSERT_NE(actual, nullptr) << path;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(std::u16string(actual[i].name), expected[i].name) << path << ", rank " << i;
        ASSERT_EQ(actual[i].score, expected[i].score) << path << ", rank " << i;
    }
}

// Every text scores the same through the profiles' own lookups and the built index, on one thread
// and found in chunks on several.
void ExpectSamePaths(CLangIdentifier& identifier, const std::vector<std::u16string>& texts)
{
    const int count = identifier.GetProfileCount();
    std::vector<std::vector<LangScore>> expected;
    for (const std::u16string& text : texts)
        expected.push_back(Records(identifier.IdentifyByLookups(text.c_str()), count));
    identifier.BuildIndex();
    for (size_t t = 0; t < texts.size(); ++t)
        ExpectSameRecords(expected[t], identifier.Identify(texts[t].c_str()), "built index");
    // A long text found on several threads, chunk by chunk: chunks of one unit, of a few (a key
    // across a border belongs to the position it ends at), and more threads than chunks.
    const ChunkedScoring chunkings[] = {{2, 1, 0}, {3, 2, 0}, {2, 7, 0}, {4, 5, 0}};
    std::vector<LangScore> records;
    std::vector<double> sums;
    for (const ChunkedScoring& chunked : chunkings)
        for (size_t t = 0; t < texts.size(); ++t)
            ExpectSameRecords(expected[t], identifier.IdentifyInto(texts[t].c_str(), records, sums, chunked),
                              "chunks");
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
    // A duplicated key whose run wraps past the last slot: the probe meets the copy in the last
    // slot (count 7) before the one in slot 0, which comes first in slot order; and a key of the
    // same home behind both, which only a probe that wraps finds.
    std::u16string wrapping = u"c", behind;
    while (SlotOf(wrapping.c_str(), slots) != slots - 1)
        wrapping[0]++;
    for (behind = wrapping + u"d"; SlotOf(behind.c_str(), slots) != slots - 1;)
        behind[1]++;
    ASSERT_TRUE(odd[size_t(slots - 1)].key.empty() && odd[0].key.empty() && odd[1].key.empty())
        << "choose other keys";
    odd[size_t(slots - 1)] = {wrapping, 7};
    odd[0] = {wrapping, 70};
    odd[1] = {behind, 8};
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
    std::vector<std::u16string> texts;
    for (int i = 0; i < 300; ++i)
        texts.push_back(RandomText(rng, u"abcdef .!\n" + wrapping + behind, 40));
    ExpectSamePaths(identifier, texts);
}

TEST(CNgramIndex, BuildsInOnePassOverKeysFarFromTheirHomes)
{
    // 20,000 keys in one run of occupied slots, each where it happens to fall rather than at or
    // near its home: a probe from each home walks on average half the run. Building the index by
    // probing every key would visit some 10^8 slots; the index must see each slot a few times.
    const int32_t keys = 20000, slots = 20011;
    std::vector<BlobSlot> run(slots);
    std::u16string text;
    for (int32_t i = 0; i < keys; ++i) {
        run[size_t(i)] = {{char16_t(0x4E00 + i / 160), char16_t(0x4E00 + i % 160)}, i + 1};
        if (i % 97 == 0)
            text += run[size_t(i)].key;
    }
    const std::vector<uint8_t> blob = WriteBlob(run, 1 << 30);
    CLangIdentifier identifier;
    ASSERT_TRUE(identifier.LoadProfile(u"far", blob.data(), blob.size()));
    ASSERT_TRUE(identifier.LoadProfile(u"far again", blob.data(), blob.size()));

    const uint64_t before = CNgramTable::SlotVisits();
    identifier.BuildIndex();
    EXPECT_LE(CNgramTable::SlotVisits() - before, uint64_t(2) * 4 * slots);
    ExpectSamePaths(identifier, {text, text.substr(0, 7), u"\u4E00\u4E00\u4E01"});
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
    std::vector<std::u16string> texts = {text};
    std::mt19937 rng(3);
    for (int i = 0; i < 50; ++i)
        texts.push_back(RandomText(rng, text, 60));
    ExpectSamePaths(identifier, texts);
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
    std::vector<std::u16string> texts = {
        u"The committee will consider the proposal at its next meeting.",
        u"Die Kommission wird den Vorschlag in ihrer nächsten Sitzung prüfen.",
        u"Комиссия рассмотрит предложение на следующем заседании.",
        u"委員会は次回の会合でその提案を検討する。", u"委员会将在下次会议上审议该提案。"};
    for (int i = 0; i < 200; ++i)
        texts.push_back(RandomText(rng, alphabet, 400));
    ExpectSamePaths(identifier, texts);
}

// Tampered profile sets: each profile is scored by its own bytes, whatever the others hold, so a
// swapped or altered blob changes the scores of its own row and of no other, as the lookups do.
TEST(CNgramIndex, ScoresEveryProfileByItsOwnBytesInTamperedSets)
{
    const std::vector<uint8_t> first = MakeBlob({{u"ab", 2}, {u"b", 1}, {u"abcde", 1}}, 40, 11);
    const std::vector<uint8_t> second = MakeBlob({{u"ab", 3}, {u"b", 1}, {u"abcde", 1}}, 40, 11);
    const std::vector<uint8_t> countChanged = MakeBlob({{u"ab", 2}, {u"b", 2}, {u"abcde", 1}}, 40, 11);
    std::vector<uint8_t> keyChanged = first;
    const auto e = std::find(keyChanged.begin() + 24, keyChanged.end(), uint8_t('e'));
    ASSERT_NE(e, keyChanged.end());
    *e = uint8_t('f');  // "abcde" becomes "abcdf"
    // The blobs alike in length and declared sizes, which only their bytes tell apart.
    for (const std::vector<uint8_t>* blob : {&second, &countChanged, static_cast<const std::vector<uint8_t>*>(&keyChanged)}) {
        ASSERT_EQ(blob->size(), first.size());
        ASSERT_TRUE(std::equal(blob->begin(), blob->begin() + 20, first.begin()));
    }

    // The records of a set, checked first against the lookups in each profile's own table.
    const std::u16string text = u"abcde abab b";
    auto recordsOf = [&](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        CLangIdentifier identifier;
        EXPECT_TRUE(identifier.LoadProfile(u"first", a.data(), a.size()));
        EXPECT_TRUE(identifier.LoadProfile(u"second", b.data(), b.size()));
        ExpectSamePaths(identifier, {text, u"ab", u"abcdf"});
        std::vector<LangScore> records = Records(identifier.Identify(text.c_str()), 2);
        std::sort(records.begin(), records.end(), [](const LangScore& x, const LangScore& y) { return x.profile < y.profile; });
        return std::vector<double>{records[0].score, records[1].score};
    };
    const std::vector<double> original = recordsOf(first, second);
    ASSERT_NE(original[0], original[1]);
    struct Case
    {
        const char* what;
        const std::vector<uint8_t>& a;
        const std::vector<uint8_t>& b;
        std::vector<double> expected;  // the rows' scores, as their own bytes give them
    };
    const Case cases[] = {
        {"two blobs swapped", second, first, {original[1], original[0]}},
        {"a blob replaced by another of the same length", second, second, {1.0, 1.0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(recordsOf(c.a, c.b), c.expected) << c.what;
    // An altered key or count changes its own row's score.
    EXPECT_NE(recordsOf(keyChanged, second)[0], original[0]) << "one byte of a key changed";
    EXPECT_NE(recordsOf(countChanged, second), original) << "one count changed";
}
