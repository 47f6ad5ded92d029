// The facts about n-grams that the profiles, the scoring and the profile builder share.
#pragma once

#include <cstddef>
#include <cstdint>

// Scoring looks up the n-grams of one to this many units ending at each position of a text; a
// profile may hold longer keys, but they are never looked up while scoring.
constexpr int kMaxNgramLength = 5;

// Weight of a hit by n-gram length, added to count / total; length 0 is never used.
inline constexpr double g_ngramWeights[kMaxNgramLength + 1] = {0, 7, 8, 4, 30, 40};

// A key of one to kMaxNgramLength units packed into two integers, its last unit lowest: `low` holds
// the last four units, `high` the one before them. No unit of a prepared text is 0, so the packing
// tells keys of different lengths apart, and the empty key is all zero. The merged index and the
// profile builder keep keys this way.
struct PackedNgram
{
    uint64_t low = 0;
    uint16_t high = 0;

    static PackedNgram Of(const char16_t* units, size_t length)
    {
        PackedNgram key;
        for (size_t i = 0; i < length; ++i)
            key = key.Then(units[i]);
        return key;
    }
    // The key with one more unit at its end: how keys grow along a text.
    PackedNgram Then(char16_t unit) const { return {low << 16 | unit, uint16_t(low >> 48)}; }
    size_t Length() const
    {
        if (high != 0)
            return 5;
        size_t n = 0;
        for (uint64_t rest = low; rest != 0; rest >>= 16)
            ++n;
        return n;
    }
    // Writes the units (room for kMaxNgramLength) and returns how many there are.
    size_t Unpack(char16_t* units) const
    {
        const size_t length = Length();
        for (size_t i = 0; i < length; ++i) {
            const size_t fromEnd = length - 1 - i;
            units[i] = fromEnd == 4 ? char16_t(high) : char16_t(low >> (16 * fromEnd));
        }
        return length;
    }
    bool operator==(const PackedNgram& other) const { return low == other.low && high == other.high; }
    // Unit by unit, a prefix before the keys it begins.
    bool operator<(const PackedNgram& other) const
    {
        const size_t a = Length(), b = other.Length();
        const uint64_t first = a == 5 ? uint64_t(high) << 48 | low >> 16 : a == 0 ? 0 : low << (64 - 16 * a);
        const uint64_t otherFirst = b == 5 ? uint64_t(other.high) << 48 | other.low >> 16
                                           : b == 0 ? 0 : other.low << (64 - 16 * b);
        if (first != otherFirst)
            return first < otherFirst;
        return (a == 5 ? low & 0xFFFF : 0) < (b == 5 ? other.low & 0xFFFF : 0);
    }
};
static_assert(kMaxNgramLength == 5, "PackedNgram keeps four units in `low` and the fifth from the end in `high`");
