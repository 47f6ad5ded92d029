// Packed profile blobs: the zero-run packing and the n-gram hash that decides slot placement.
//
// A blob is a hash table written out slot by slot. All integers are little-endian.
//
//   offset size field           type
//   0      4    magic           "LANG" (no terminator)
//   4      4    slotCount       int32   slots of the hash table
//   8      4    entryCount      int32   non-empty slots
//   12     4    totalCount      int32   divisor of every count found while scoring
//   16     4    keyAreaLength   int32   length of the key area in UTF-16 units (not bytes)
//   20     4    unpackedLength  uint32  bytes the packed stream expands to
//   24     ..   packed stream   bytes   to the end of the blob
//
// The payload (offset 20 to the end) unpacks to exactly 4 * slotCount + 2 * keyAreaLength bytes:
// slotCount int32 counts (entry i is slot i's count, 0 for an empty slot), then the key area of
// UTF-16LE units holding one item per slot in slot order: a single 0 for an empty slot, or the key's
// non-zero units followed by one 0.
//
// Packed stream tokens: 0xFF 0x00 -> one 0xFF byte; 0xFF n (1..255) -> n zero bytes; any other byte
// stands for itself.
//
// Placement: a key sits in the slot that linear probing from HashNgram(key) % slotCount reaches
// before any empty slot; every table keeps at least one empty slot so that a probe always ends.
//
// Limits: the reader rejects a blob of more than kMaxBlobBytes, more than kMaxSlotCount slots or a
// key area of more than kMaxKeyAreaLength units. They lie over fifteen times above the largest
// shipped profile and keep what one blob can make the reader allocate to about 40 MB (a zero run of
// 255 bytes packs into 2, so a small blob can claim a large table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr size_t kMaxBlobBytes = size_t(16) << 20;
constexpr int32_t kMaxSlotCount = int32_t(1) << 20;
constexpr int32_t kMaxKeyAreaLength = int32_t(1) << 22;

// Hash of a NUL-terminated UTF-16 key: h = 30 * first unit, then h ^= (h << 5) + (h >> 3) + c for
// every unit c, all in unsigned 32-bit arithmetic. An empty key hashes to 0.
uint32_t HashNgram(const char16_t* key);

// The same hash one unit at a time, for callers that hash every prefix of a run of units: start
// from HashStart(first unit), then HashStep each unit, the first one included.
inline uint32_t HashStart(char16_t first)
{
    return 30u * first;
}

inline uint32_t HashStep(uint32_t h, char16_t unit)
{
    return h ^ ((h << 5) + (h >> 3) + unit);
}

// Same hash over `length` units that need not be terminated.
inline uint32_t HashNgram(const char16_t* key, size_t length)
{
    if (length == 0)
        return 0;
    uint32_t h = HashStart(key[0]);
    for (size_t i = 0; i < length; ++i)
        h = HashStep(h, key[i]);
    return h;
}

// Unpacks a payload (the 4-byte unpackedLength followed by the packed stream). Fails on a payload of
// 4 bytes or less, an unpackedLength of 0 or one the stream could never reach (each two-byte token
// yields at most 255 bytes), an allocation failure, a trailing lone 0xFF, a stream that would write
// past unpackedLength, and a stream that ends short of it. On success `out` owns the bytes.
bool UnpackZeroRuns(const uint8_t* payload, size_t payloadLength,
                    std::unique_ptr<uint8_t[]>& out, uint32_t& outLength);

// Whether the host stores integers little-endian like the blobs, so that eight blob bytes can be read
// as one word.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndian = false;
#else
constexpr bool kLittleEndian = true;
#endif

// The position of the lowest set bit of a non-zero word.
inline unsigned LowestSetBit(uint64_t x)
{
#if defined(__GNUC__)
    return unsigned(__builtin_ctzll(x));
#else
    unsigned n = 0;
    for (; (x & 1) == 0; x >>= 1)
        ++n;
    return n;
#endif
}

// The number of set bits.
inline unsigned BitCount(uint64_t x)
{
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return unsigned((x * 0x0101010101010101u) >> 56);
}

// Reads a little-endian 32-bit value.
inline uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
