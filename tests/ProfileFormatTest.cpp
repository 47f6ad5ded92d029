#include "ProfileFormat.h"
#include "ProfileWriter.h"

#include <gtest/gtest.h>

#include <vector>

TEST(UnpackZeroRuns, TokensAndRejections)
{
    using Bytes = std::vector<uint8_t>;
    const struct {
        uint32_t length;  // the unpacked length the payload declares before its stream
        Bytes stream, unpacked;
        bool taken;
    } cases[] = {
        {1, {0xFF, 0x00}, {0xFF}, true},
        {1, {0xFF, 0x01}, {0}, true},
        {255, {0xFF, 0xFF}, Bytes(255, 0), true},
        {5, {7, 0, 0xFF, 0x02, 9}, {7, 0, 0, 0, 9}, true},
        {510, {0xFF, 0xFF, 0xFF, 0xFF}, Bytes(510, 0), true},
        {1, {5, 0xFF}, {}, false},  // a trailing escape byte, even when the output is already full
        {1, {5, 6}, {}, false},     // once full, any further token
        {1, {5, 0xFF, 0x00}, {}, false},
        {2, {5, 0xFF, 0x02}, {}, false},
        {0, {1}, {}, false},
        {1, {}, {}, false},                  // no stream at all
        {4, {1, 2, 3}, {}, false},           // a stream that ends short of the declared length
        {0xFFFFFFFFu, {0xFF, 0xFF}, {}, false},  // no stream of this size could reach it: refused before allocating
    };
    for (const auto& c : cases) {
        Bytes payload = {uint8_t(c.length), uint8_t(c.length >> 8), uint8_t(c.length >> 16), uint8_t(c.length >> 24)};
        payload.insert(payload.end(), c.stream.begin(), c.stream.end());
        std::unique_ptr<uint8_t[]> buffer;
        uint32_t length = 0;
        ASSERT_EQ(UnpackZeroRuns(payload.data(), payload.size(), buffer, length), c.taken)
            << testing::PrintToString(payload);
        if (c.taken) {
            EXPECT_EQ(Bytes(buffer.get(), buffer.get() + length), c.unpacked);
        }
    }
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t length = 0;
    EXPECT_FALSE(UnpackZeroRuns(nullptr, 10, buffer, length));
}

TEST(PackZeroRuns, FollowsThePackingConventions)
{
    EXPECT_EQ(PackZeroRuns({0}), std::vector<uint8_t>{0});
    EXPECT_EQ(PackZeroRuns({0, 0}), (std::vector<uint8_t>{0xFF, 2}));
    EXPECT_EQ(PackZeroRuns({0xFF}), (std::vector<uint8_t>{0xFF, 0}));
    EXPECT_EQ(PackZeroRuns(std::vector<uint8_t>(600, 0)), (std::vector<uint8_t>{0xFF, 255, 0xFF, 255, 0xFF, 90}));
}
