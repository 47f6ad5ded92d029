#include "NgramTable.h"

#include "ProfileFormat.h"

#include <cstring>

namespace {

const size_t kHeaderSize = 20;  // magic and four int32 fields; the payload starts here

int32_t ReadInt32(const uint8_t* p)
{
    return static_cast<int32_t>(ReadLe32(p));
}

size_t UnitLength(const char16_t* text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

bool SameKey(const char16_t* a, const char16_t* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

}  // namespace

bool CNgramTable::Load(const void* blob, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(blob);
    if (bytes == nullptr || size < kHeaderSize || size > kMaxBlobBytes)
        return false;
    if (std::memcmp(bytes, "LANG", 4) != 0)
        return false;

    const int32_t slotCount = ReadInt32(bytes + 4);
    const int32_t entryCount = ReadInt32(bytes + 8);
    const int32_t totalCount = ReadInt32(bytes + 12);
    const int32_t keyAreaLength = ReadInt32(bytes + 16);
    if (slotCount <= 0 || entryCount <= 0 || totalCount <= 0 || keyAreaLength <= entryCount)
        return false;
    if (slotCount > kMaxSlotCount || keyAreaLength > kMaxKeyAreaLength)
        return false;

    // The unpacked size must match the header exactly. Computed in 64 bits, so that a header whose
    // 32-bit product wraps around cannot pass and send the count copy past the buffer; checked
    // before anything is allocated.
    const uint8_t* payload = bytes + kHeaderSize;
    const size_t payloadLength = size - kHeaderSize;
    const uint64_t expected = 4 * uint64_t(slotCount) + 2 * uint64_t(keyAreaLength);
    if (payloadLength < 4 || expected != ReadLe32(payload))
        return false;

    std::unique_ptr<uint8_t[]> unpacked;
    uint32_t unpackedLength = 0;
    if (!UnpackZeroRuns(payload, payloadLength, unpacked, unpackedLength))
        return false;

    m_slotCount = slotCount;
    m_entryCount = entryCount;
    m_totalCount = totalCount;
    m_slots = new NgramSlot[size_t(slotCount)];

    const uint8_t* counts = unpacked.get();
    for (int32_t i = 0; i < slotCount; ++i)
        m_slots[i].count = ReadInt32(counts + 4 * size_t(i));

    // The key area becomes the table's key pool; the walk below checks that every slot finds its
    // item and every key its closing 0 inside the area.
    const uint8_t* keyArea = counts + 4 * size_t(slotCount);
    const size_t areaUnits = size_t(keyAreaLength);
    m_keyPool = new char16_t[areaUnits];
    for (size_t u = 0; u < areaUnits; ++u)
        m_keyPool[u] = char16_t(keyArea[2 * u] | keyArea[2 * u + 1] << 8);
    size_t cursor = 0;
    int32_t keysFound = 0;
    for (int32_t i = 0; i < slotCount; ++i) {
        if (cursor >= areaUnits) {
            Clear();
            return false;
        }
        if (m_keyPool[cursor] == 0) {
            ++cursor;
            continue;
        }
        size_t end = cursor;
        while (end < areaUnits && m_keyPool[end] != 0)
            ++end;
        if (end == areaUnits) {
            Clear();
            return false;
        }
        m_slots[i].key = m_keyPool + cursor;
        ++keysFound;
        cursor = end + 1;
    }
    return keysFound == m_entryCount;
}

bool CNgramTable::Lookup(const char16_t* key, int32_t* count) const
{
    if (key == nullptr || key[0] == 0 || count == nullptr || m_slotCount <= 0)
        return false;
    uint32_t i = HashNgram(key) % uint32_t(m_slotCount);
    // At most one pass over the table: a table without an empty slot still answers.
    for (int32_t step = 0; step < m_slotCount; ++step) {
        const NgramSlot& slot = m_slots[i];
        if (slot.key == nullptr)
            return false;
        if (SameKey(slot.key, key)) {
            *count = slot.count;
            return true;
        }
        if (++i == uint32_t(m_slotCount))
            i = 0;
    }
    return false;
}

void CNgramTable::Clear()
{
    delete[] m_slots;
    m_slots = nullptr;
    delete[] m_keyPool;
    m_keyPool = nullptr;
    m_slotCount = 0;
    m_entryCount = 0;
    m_totalCount = 0;
}

bool CLangProfile::Load(const char16_t* displayName, const void* blob, size_t size)
{
    if (displayName == nullptr || blob == nullptr)
        return false;
    Clear();
    if (!m_table.Load(blob, size))
        return false;
    const size_t length = UnitLength(displayName);
    m_displayName = new char16_t[length + 1];
    std::memcpy(m_displayName, displayName, (length + 1) * sizeof(char16_t));
    return true;
}

void CLangProfile::Clear()
{
    delete[] m_displayName;
    m_displayName = nullptr;
    m_table.Clear();
}
