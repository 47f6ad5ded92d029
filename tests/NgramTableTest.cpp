#include "NgramTable.h"
#include "ProfileFormat.h"
#include "TestBlobs.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::vector<uint8_t> SmallBlob()
{
    return MakeBlob({{u"a", 10}, {u"the", 7}, {u"th", 3}, {u"中国", 2}}, 100);
}

bool Loads(const std::vector<uint8_t>& blob)
{
    CNgramTable table;
    return table.Load(blob.data(), blob.size());
}

// A blob with the given counts and key area units, as they stand, and a header that matches them.
std::vector<uint8_t> RawBlob(const std::vector<int32_t>& counts, const std::u16string& keyArea,
                             int32_t entryCount)
{
    std::vector<uint8_t> data(4 * counts.size());
    for (size_t i = 0; i < counts.size(); ++i)
        PutField(data, 4 * i, uint32_t(counts[i]));
    for (char16_t u : keyArea)
        data.insert(data.end(), {uint8_t(u), uint8_t(u >> 8)});
    std::vector<uint8_t> blob = {'L', 'A', 'N', 'G'};
    blob.resize(24);
    const uint32_t fields[] = {uint32_t(counts.size()), uint32_t(entryCount), 10, uint32_t(keyArea.size()),
                               uint32_t(data.size())};
    for (size_t f = 0; f < 5; ++f)
        PutField(blob, 4 + 4 * f, fields[f]);
    const std::vector<uint8_t> packed = PackZeroRuns(data);
    blob.insert(blob.end(), packed.begin(), packed.end());
    return blob;
}

}  // namespace

TEST(CNgramTable, LoadsWhatTheWriterPlaced)
{
    const std::vector<uint8_t> blob = SmallBlob();
    CNgramTable table;
    ASSERT_TRUE(table.Load(blob.data(), blob.size()));
    EXPECT_EQ((std::array<int32_t, 3>{table.SlotCount(), table.EntryCount(), table.TotalCount()}),
              (std::array<int32_t, 3>{31, 4, 100}));

    // One unit longer or shorter than a stored key is another key; a miss leaves the count as it was.
    const std::pair<const char16_t*, int32_t> lookups[] = {
        {u"a", 10}, {u"中国", 2}, {u"th", 3}, {u"t", -1}, {u"thee", -1}, {u"A", -1}, {u"", -1}, {nullptr, -1}};
    for (size_t i = 0; i < std::size(lookups); ++i) {
        int32_t count = -1;
        const bool found = table.Lookup(lookups[i].first, &count);
        EXPECT_EQ(std::make_pair(found, count), std::make_pair(lookups[i].second >= 0, lookups[i].second)) << i;
    }
    EXPECT_FALSE(table.Lookup(u"a", nullptr));
}

TEST(CNgramTable, KeepsCountsAndKeysOfAnySize)
{
    // The table narrows counts and key positions to 16 bits where they fit: a count outside
    // 0 .. 65535, or a key longer than 65535 units, must keep the whole value.
    const std::u16string longKey(70000, u'x');
    const struct {
        const char* what;
        std::vector<NgramCount> keys;
    } cases[] = {
        {"small", {{u"a", 0}, {u"bc", 65535}, {u"d", 1}}},
        {"large count", {{u"a", 65536}, {u"bc", 3}}},
        {"negative count", {{u"a", -7}, {u"bc", 3}}},
        {"long key", {{u"a", 2}, {longKey, 5}, {u"bc", 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> blob = MakeBlob(c.keys, 100);
        CNgramTable table;
        ASSERT_TRUE(table.Load(blob.data(), blob.size()));
        ASSERT_EQ(table.KeyCount(), c.keys.size());
        for (const NgramCount& k : c.keys) {
            int32_t count = 12345;
            EXPECT_TRUE(table.Lookup(k.key.c_str(), &count));
            EXPECT_EQ(count, k.count);
            const ptrdiff_t found = table.Find(k.key);
            ASSERT_GE(found, 0);
            EXPECT_EQ(std::make_pair(table.Key(size_t(found)), table.Count(size_t(found))),
                      std::make_pair(std::u16string_view(k.key), k.count));
        }
    }
}

TEST(CNgramTable, FullOrEmptyTablesStillAnswer)
{
    // No empty slot at all: the reader accepts it, and a miss must still end.
    const std::vector<uint8_t> full = WriteBlob({{u"x", 1}, {u"y", 2}, {u"z", 3}}, 10);
    CNgramTable table;
    ASSERT_TRUE(table.Load(full.data(), full.size()));
    int32_t count = 0;
    EXPECT_FALSE(table.Lookup(u"w", &count));

    CNgramTable empty;
    EXPECT_FALSE(empty.Lookup(u"x", &count));
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
    // The unpacked length must match 4 * slots + 2 * key area exactly, also where it does so only
    // modulo 2^32: a reader that checked in 32 bits would copy a billion counts out of a small buffer.
    EXPECT_FALSE(Loads(with(20, ReadLe32(good.data() + 20) + 1)));
    EXPECT_FALSE(Loads(with(16, ReadLe32(good.data() + 16) + 1)));
    const uint32_t wraps = 0x40000001u;  // 4 * wraps is 4 in 32 bits
    std::vector<uint8_t> wrapping = with(4, wraps);
    PutField(wrapping, 16, (ReadLe32(good.data() + 20) - 4) / 2);
    ASSERT_EQ(uint32_t(4 * wraps + 2 * ReadLe32(wrapping.data() + 16)), ReadLe32(good.data() + 20));
    EXPECT_FALSE(Loads(wrapping));
}

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
