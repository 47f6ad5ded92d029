// Small profile blobs made in the tests with the project's own blob writer.
#pragma once

#include "NgramTable.h"
#include "ProfileWriter.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A blob holding `keys` (inserted in the given order) in `slotCount` slots.
inline std::vector<uint8_t> MakeBlob(const std::vector<NgramCount>& keys, int32_t totalCount,
                                     int32_t slotCount = 31)
{
    return WriteBlob(PlaceKeys(keys, slotCount), totalCount);
}

// Header fields at their offsets, for tests that break one of them.
inline void PutField(std::vector<uint8_t>& blob, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        blob[offset + i] = uint8_t(value >> (8 * i));
}
