#include "NgramTable.h"
#include "ProfileFormat.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> SmallBlob()
{
    return MakeBlob({{u"a", 10}, {u"the", 7}, {u"th", 3}, {u"中国", 2}}, 100);
}

// A blob whose slots are written exactly as given.
std::vector<uint8_t> SlotsBlob(const std::vector<BlobSlot>& slots, int32_t total = 10)
{
    return WriteBlob(slots, total);
}

bool Loads(const std::vector<uint8_t>& blob)
{
    CNgramTable table;
    return table.Load(blob.data(), blob.size());
}


}  // namespace

TEST(CNgramTable, LoadsWhatTheWriterPlaced)
{
    const std::vector<uint8_t> blob = SmallBlob();
    CNgramTable table;
    ASSERT_TRUE(table.Load(blob.data(), blob.size()));
    EXPECT_EQ(table.SlotCount(), 31);
    EXPECT_EQ(table.EntryCount(), 4);
    EXPECT_EQ(table.TotalCount(), 100);

    int32_t count = -1;
    EXPECT_TRUE(table.Lookup(u"a", &count));
    EXPECT_EQ(count, 10);
    EXPECT_TRUE(table.Lookup(u"中国", &count));
    EXPECT_EQ(count, 2);
    // One unit longer or shorter than a stored key is another key.
    EXPECT_TRUE(table.Lookup(u"th", &count));
    EXPECT_EQ(count, 3);
    count = -1;
    EXPECT_FALSE(table.Lookup(u"t", &count));
    EXPECT_FALSE(table.Lookup(u"thee", &count));
    EXPECT_FALSE(table.Lookup(u"A", &count));
    EXPECT_EQ(count, -1) << "a miss leaves the count untouched";
    EXPECT_FALSE(table.Lookup(u"", &count));
    EXPECT_FALSE(table.Lookup(nullptr, &count));
    EXPECT_FALSE(table.Lookup(u"a", nullptr));
}

TEST(CNgramTable, KeepsCountsAndKeysOfAnySize)
{
    // The table narrows counts and key positions to 16 bits where they fit: a count outside
    // 0 .. 65535, or a key longer than 65535 units, must keep the whole value.
    const std::u16string longKey(70000, u'x');
    struct Case
    {
        const char* what;
        std::vector<NgramCount> keys;
    };
    const Case cases[] = {
        {"small", {{u"a", 0}, {u"bc", 65535}, {u"d", 1}}},
        {"large count", {{u"a", 65536}, {u"bc", 3}}},
        {"negative count", {{u"a", -7}, {u"bc", 3}}},
        {"long key", {{u"a", 2}, {longKey, 5}, {u"bc", 3}}},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> blob = MakeBlob(c.keys, 100);
        CNgramTable table;
        ASSERT_TRUE(table.Load(blob.data(), blob.size())) << c.what;
        ASSERT_EQ(table.KeyCount(), c.keys.size()) << c.what;
        for (const NgramCount& k : c.keys) {
            int32_t count = 12345;
            EXPECT_TRUE(table.Lookup(k.key.c_str(), &count)) << c.what;
            EXPECT_EQ(count, k.count) << c.what;
            const ptrdiff_t found = table.Find(k.key);
            ASSERT_GE(found, 0) << c.what;
            EXPECT_EQ(table.Key(size_t(found)), k.key) << c.what;
            EXPECT_EQ(table.Count(size_t(found)), k.count) << c.what;
        }
    }
}

TEST(CNgramTable, FullOrEmptyTablesStillAnswer)
{
    // No empty slot at all: the reader accepts it, and a miss must still end.
    const std::vector<uint8_t> full = SlotsBlob({{u"x", 1}, {u"y", 2}, {u"z", 3}});
    CNgramTable table;
    ASSERT_TRUE(table.Load(full.data(), full.size()));
    int32_t count = 0;
    EXPECT_FALSE(table.Lookup(u"w", &count));

    CNgramTable empty;
    EXPECT_FALSE(empty.Lookup(u"x", &count));
    table.Clear();
    EXPECT_FALSE(table.Lookup(u"x", &count));
    EXPECT_EQ(table.SlotCount(), 0);
    EXPECT_EQ(table.KeyCount(), 0u);
    table.Clear();  // clearing twice is harmless
}

TEST(CNgramTable, RejectsEveryBrokenHeader)
{
    const std::vector<uint8_t> good = SmallBlob();
    ASSERT_TRUE(Loads(good));

    EXPECT_FALSE(Loads({}));
    EXPECT_FALSE(Loads(std::vector<uint8_t>(good.begin(), good.begin() + 19)));
    EXPECT_FALSE(Loads(std::vector<uint8_t>(good.begin(), good.begin() + 24)));  // no stream
    CNgramTable table;
    EXPECT_FALSE(table.Load(nullptr, 100));

    auto with = [&good](size_t offset, uint32_t value) {
        std::vector<uint8_t> blob = good;
        PutField(blob, offset, value);
        return blob;
    };
    std::vector<uint8_t> magic = good;
    magic[3] = 'g';
    EXPECT_FALSE(Loads(magic));
    for (uint32_t bad : {0u, 0xFFFFFFFFu, 0x80000000u}) {
        EXPECT_FALSE(Loads(with(4, bad))) << "slotCount " << bad;
        EXPECT_FALSE(Loads(with(8, bad))) << "entryCount " << bad;
        EXPECT_FALSE(Loads(with(12, bad))) << "totalCount " << bad;
    }
    // The key area must be longer than the number of keys.
    EXPECT_FALSE(Loads(with(16, 4)));
    // The unpacked length must match 4 * slots + 2 * key area exactly.
    EXPECT_FALSE(Loads(with(20, ReadLe32(good.data() + 20) + 1)));
    EXPECT_FALSE(Loads(with(16, ReadLe32(good.data() + 16) + 1)));
}

TEST(CNgramTable, RejectsAWrapAroundHeader)
{
    // 4 * slotCount + 2 * keyAreaLength equals the real unpacked length modulo 2^32 only: a reader
    // that checked in 32 bits would copy a billion counts out of a small buffer.
    std::vector<uint8_t> blob = SmallBlob();
    const uint32_t unpacked = ReadLe32(blob.data() + 20);
    const uint32_t slotCount = 0x40000001u;  // 4 * slotCount wraps to 4
    const uint32_t keyArea = (unpacked - 4) / 2;
    ASSERT_EQ(uint32_t(4 * slotCount + 2 * keyArea), unpacked);
    PutField(blob, 4, slotCount);
    PutField(blob, 16, keyArea);
    EXPECT_FALSE(Loads(blob));
}

namespace {

// A blob with the given counts and key area units, as they stand, and a header that matches them.
std::vector<uint8_t> RawBlob(const std::vector<int32_t>& counts, const std::u16string& keyArea,
                             int32_t entryCount)
{
    std::vector<uint8_t> blob(24);
    std::vector<uint8_t> data;
    for (int32_t c : counts)
        for (int i = 0; i < 4; ++i)
            data.push_back(uint8_t(uint32_t(c) >> (8 * i)));
    for (char16_t u : keyArea) {
        data.push_back(uint8_t(u));
        data.push_back(uint8_t(u >> 8));
    }
    blob[0] = 'L', blob[1] = 'A', blob[2] = 'N', blob[3] = 'G';
    PutField(blob, 4, uint32_t(counts.size()));
    PutField(blob, 8, uint32_t(entryCount));
    PutField(blob, 12, 10);
    PutField(blob, 16, uint32_t(keyArea.size()));
    PutField(blob, 20, uint32_t(data.size()));
    const std::vector<uint8_t> packed = PackZeroRuns(data);
    blob.insert(blob.end(), packed.begin(), packed.end());
    return blob;
}

}  // namespace

TEST(CNgramTable, WalksTheKeyAreaStrictly)
{
    using namespace std::string_literals;
    ASSERT_TRUE(Loads(RawBlob({1, 0, 2}, u"ab\0\0c\0"s, 2)));
    // Items run out before the last slot.
    EXPECT_FALSE(Loads(RawBlob({1, 0, 2}, u"ab\0\0"s, 1)));
    // The last key has no closing 0 inside the area.
    EXPECT_FALSE(Loads(RawBlob({1, 0, 2}, u"ab\0\0cc"s, 2)));
    // Fewer keys than the header declares, or more.
    EXPECT_FALSE(Loads(RawBlob({1, 0, 2}, u"ab\0\0c\0"s, 1)));
    EXPECT_FALSE(Loads(RawBlob({1, 0, 0}, u"ab\0\0\0"s, 2)));

    // Units after the last slot's item are ignored; an empty slot's count is never reported.
    const std::vector<uint8_t> spare = RawBlob({5, 9}, u"q\0\0zz"s, 1);
    CNgramTable table;
    ASSERT_TRUE(table.Load(spare.data(), spare.size()));
    ASSERT_EQ(table.KeyCount(), 1u);
    EXPECT_EQ(table.Key(0), u"q");
    EXPECT_EQ(table.Count(0), 5);
    EXPECT_FALSE(table.IsOccupied(1));
}

TEST(CNgramTable, LimitsHoldAtTheirEdges)
{
    using namespace std::string_literals;
    // One key in the first slot, every other slot empty; `filler` units after the last item.
    auto blob = [](int32_t slots, size_t filler, char16_t unit, int32_t emptyCount) {
        std::vector<int32_t> counts(size_t(slots), emptyCount);
        counts[0] = 1;
        const std::u16string area = u"a\0"s + std::u16string(size_t(slots) - 1, u'\0') +
                                    std::u16string(filler, unit);
        return RawBlob(counts, area, 1);
    };
    EXPECT_TRUE(Loads(blob(kMaxSlotCount, 0, 0, 0)));
    EXPECT_FALSE(Loads(blob(kMaxSlotCount + 1, 0, 0, 0)));
    EXPECT_TRUE(Loads(blob(2, size_t(kMaxKeyAreaLength) - 3, 0, 0)));
    EXPECT_FALSE(Loads(blob(2, size_t(kMaxKeyAreaLength) - 2, 0, 0)));

    // 0xFF packs into two bytes, so a blob can be larger than what it unpacks to: the largest
    // filler of 0xFFFF units that keeps the blob within the size limit, then one unit more.
    const size_t base = blob(2, 0, 0, -1).size();
    const size_t filler = (kMaxBlobBytes - base) / 4;
    const std::vector<uint8_t> largest = blob(2, filler, 0xFFFF, -1);
    ASSERT_LE(largest.size(), kMaxBlobBytes);
    EXPECT_TRUE(Loads(largest));
    const std::vector<uint8_t> larger = blob(2, filler + 1, 0xFFFF, -1);
    ASSERT_GT(larger.size(), kMaxBlobBytes);
    EXPECT_FALSE(Loads(larger));
}

TEST(CLangProfile, LoadKeepsTheNameOnlyOnSuccess)
{
    const std::vector<uint8_t> good = SmallBlob();
    std::vector<uint8_t> bad = good;
    bad[0] = 'X';

    CLangProfile profile;
    ASSERT_TRUE(profile.Load(u"英語 (English)", good.data(), good.size()));
    EXPECT_EQ(std::u16string(profile.DisplayName()), u"英語 (English)");

    // Without a name or a blob the loaded profile is left as it was.
    EXPECT_FALSE(profile.Load(nullptr, good.data(), good.size()));
    EXPECT_FALSE(profile.Load(u"Other", nullptr, 0));
    EXPECT_EQ(std::u16string(profile.DisplayName()), u"英語 (English)");
    EXPECT_EQ(profile.Table().EntryCount(), 4);

    // A rejected blob after a good one empties the profile.
    EXPECT_FALSE(profile.Load(u"Bad", bad.data(), bad.size()));
    EXPECT_EQ(profile.DisplayName(), nullptr);
    EXPECT_EQ(profile.Table().SlotCount(), 0);
}
