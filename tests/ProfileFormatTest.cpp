#include "ProfileFormat.h"
#include "ProfileWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Unpacks `stream` behind the 4-byte length field.
bool Unpack(uint32_t unpackedLength, const std::vector<uint8_t>& stream, std::vector<uint8_t>* out = nullptr)
{
    std::vector<uint8_t> payload(4);
    for (int i = 0; i < 4; ++i)
        payload[i] = uint8_t(unpackedLength >> (8 * i));
    payload.insert(payload.end(), stream.begin(), stream.end());
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t length = 0;
    if (!UnpackZeroRuns(payload.data(), payload.size(), buffer, length))
        return false;
    EXPECT_EQ(length, unpackedLength);
    if (out != nullptr)
        out->assign(buffer.get(), buffer.get() + length);
    return true;
}

}  // namespace

TEST(HashNgram, WorkedValuesAndStartSlots)
{
    EXPECT_EQ(HashNgram(u""), 0u);
    EXPECT_EQ(HashNgram(u"a"), 91858u);
    EXPECT_EQ(HashNgram(u"e"), 96073u);
    EXPECT_EQ(HashNgram(u"the"), 114502785u);
    EXPECT_EQ(HashNgram(u"中国"), 657673556u);
    EXPECT_EQ(HashNgram(u"a") % 18169u, 1013u);
    EXPECT_EQ(HashNgram(u"the") % 18169u, 1747u);
    // The counted form agrees with the terminated one, also when more units follow.
    EXPECT_EQ(HashNgram(u"theory", 3), HashNgram(u"the"));
}

TEST(UnpackZeroRuns, Tokens)
{
    std::vector<uint8_t> out;
    ASSERT_TRUE(Unpack(1, {0xFF, 0x00}, &out));
    EXPECT_EQ(out, std::vector<uint8_t>{0xFF});
    ASSERT_TRUE(Unpack(1, {0xFF, 0x01}, &out));
    EXPECT_EQ(out, std::vector<uint8_t>{0});
    ASSERT_TRUE(Unpack(255, {0xFF, 0xFF}, &out));
    EXPECT_EQ(out, std::vector<uint8_t>(255, 0));
    ASSERT_TRUE(Unpack(5, {7, 0, 0xFF, 0x02, 9}, &out));
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 0, 0, 0, 9}));
}

TEST(UnpackZeroRuns, Rejections)
{
    // A trailing escape byte fails even when the output is already full.
    EXPECT_FALSE(Unpack(1, {5, 0xFF}));
    // Once full, any further token fails, 0xFF 0x00 included.
    EXPECT_FALSE(Unpack(1, {5, 6}));
    EXPECT_FALSE(Unpack(1, {5, 0xFF, 0x00}));
    EXPECT_FALSE(Unpack(2, {5, 0xFF, 0x02}));
    // Unpacked length 0, and a payload with no stream at all.
    EXPECT_FALSE(Unpack(0, {1}));
    EXPECT_FALSE(Unpack(1, {}));
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t length = 0;
    EXPECT_FALSE(UnpackZeroRuns(nullptr, 10, buffer, length));
    // A stream that ends short of the declared length is truncated.
    EXPECT_FALSE(Unpack(4, {1, 2, 3}));
    // A length no stream of this size could reach is refused before allocating.
    EXPECT_FALSE(Unpack(0xFFFFFFFFu, {0xFF, 0xFF}));
    EXPECT_TRUE(Unpack(255 * 2, {0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(PackZeroRuns, FollowsThePackingConventions)
{
    EXPECT_EQ(PackZeroRuns({0}), std::vector<uint8_t>{0});
    EXPECT_EQ(PackZeroRuns({0, 0}), (std::vector<uint8_t>{0xFF, 2}));
    EXPECT_EQ(PackZeroRuns({0xFF}), (std::vector<uint8_t>{0xFF, 0}));
    std::vector<uint8_t> longRun(600, 0);
    EXPECT_EQ(PackZeroRuns(longRun), (std::vector<uint8_t>{0xFF, 255, 0xFF, 255, 0xFF, 90}));
}
