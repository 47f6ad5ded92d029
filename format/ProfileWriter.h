// Producing profile blobs: key placement by linear probing, the slot layout and the zero-run packing.
// Used by the profile builder and by tests that need blobs of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BlobSlot
{
    std::u16string key;  // empty for an empty slot
    int32_t count = 0;   // 0 for an empty slot
};

struct NgramCount
{
    std::u16string key;
    int32_t count = 0;
};

// Packs bytes: a run of two or more zero bytes becomes 0xFF n (runs over 255 cut from the start into
// pieces of 255 and a remainder), a single zero byte stays itself, 0xFF becomes 0xFF 0x00.
std::vector<uint8_t> PackZeroRuns(const std::vector<uint8_t>& data);

// Inserts the keys in the given order by linear probing from HashNgram(key) % slotCount. The caller
// keeps at least one slot empty (slotCount > keys.size()).
std::vector<BlobSlot> PlaceKeys(const std::vector<NgramCount>& keys, int32_t slotCount);

// Writes the whole blob for the given slots, exactly as laid out, with the header derived from them.
std::vector<uint8_t> WriteBlob(const std::vector<BlobSlot>& slots, int32_t totalCount);

// The smallest prime greater than n.
int32_t NextPrimeAbove(int32_t n);
