#include "NgramTable.h"

#include "ProfileFormat.h"

#include <cstring>

namespace {

thread_local uint64_t t_slotVisits = 0;

const size_t kHeaderSize = 20;  // magic and four int32 fields; the payload starts here

int32_t ReadInt32(const uint8_t* p)
{
    return static_cast<int32_t>(ReadLe32(p));
}

char16_t ReadUnit(const uint8_t* p)
{
    return char16_t(p[0] | p[1] << 8);
}

// The position of the first 0 unit of the area at or after `from`, or `units` when there is none.
// Keys are a few units long, so four are tested at a time where the host's byte order allows.
size_t KeyEnd(const uint8_t* area, size_t from, size_t units)
{
    size_t end = from;
    if (kLittleEndian) {
        for (; end + 4 <= units; end += 4) {
            uint64_t word;
            std::memcpy(&word, area + 2 * end, 8);
            const uint64_t zeros = (word - 0x0001000100010001u) & ~word & 0x8000800080008000u;
            if (zeros != 0)
                return end + size_t(LowestSetBit(zeros)) / 16;
        }
    }
    while (end < units && ReadUnit(area + 2 * end) != 0)
        ++end;
    return end;
}

size_t UnitLength(const char16_t* text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

struct Header
{
    int32_t slots, entries, total, keyAreaLength;
};

// The header's fields, when they are acceptable.
bool ReadHeader(const void* blob, size_t size, Header& shape)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(blob);
    if (bytes == nullptr || size < kHeaderSize || size > kMaxBlobBytes)
        return false;
    if (std::memcmp(bytes, "LANG", 4) != 0)
        return false;

    shape = Header{ReadInt32(bytes + 4), ReadInt32(bytes + 8), ReadInt32(bytes + 12), ReadInt32(bytes + 16)};
    const int32_t keyAreaLength = shape.keyAreaLength;
    if (shape.slots <= 0 || shape.entries <= 0 || shape.total <= 0 || keyAreaLength <= shape.entries)
        return false;
    if (shape.slots > kMaxSlotCount || keyAreaLength > kMaxKeyAreaLength)
        return false;
    // Every slot takes at least one unit of the area (its key and closing 0, or a lone 0).
    if (keyAreaLength < shape.slots)
        return false;

    // The unpacked size must match the header exactly. Computed in 64 bits, so that a header whose
    // 32-bit product wraps around cannot pass and send the walk past the buffer; checked before
    // anything is allocated.
    const uint64_t expected = 4 * uint64_t(shape.slots) + 2 * uint64_t(keyAreaLength);
    if (size - kHeaderSize < 4 || expected != ReadLe32(bytes + kHeaderSize))
        return false;
    return true;
}

}  // namespace

bool CNgramTable::Load(const void* blob, size_t size)
{
    Header shape;
    if (!ReadHeader(blob, size, shape))
        return false;
    const int32_t keyAreaLength = shape.keyAreaLength;
    const int32_t slotCount = shape.slots;
    const int32_t entryCount = shape.entries;
    const int32_t totalCount = shape.total;
    const uint8_t* payload = static_cast<const uint8_t*>(blob) + kHeaderSize;
    const size_t payloadLength = size - kHeaderSize;

    std::unique_ptr<uint8_t[]> unpacked;
    uint32_t unpackedLength = 0;
    if (!UnpackZeroRuns(payload, payloadLength, unpacked, unpackedLength))
        return false;
    const uint8_t* counts = unpacked.get();
    const uint8_t* area = counts + 4 * size_t(slotCount);
    const size_t areaUnits = size_t(keyAreaLength);

    // Every slot takes at least one unit of the area, so the keys' units are at most the area less
    // one per slot, and the keys at most the declared count: the storage is allocated once at those
    // sizes while the walk below checks that every slot finds its item and every key its closing 0
    // inside the area.
    const size_t words = (size_t(slotCount) + 63) / 64;
    m_occupied.assign(words, 0);
    m_rank.assign(words, 0);
    m_counts.resize(size_t(entryCount));
    m_keyStart.resize(size_t(entryCount) + 1);
    m_units.resize(areaUnits - size_t(slotCount));
    size_t cursor = 0;
    size_t k = 0;
    size_t u = 0;
    for (int32_t i = 0; i < slotCount; ++i) {
        if ((i & 63) == 0)
            m_rank[size_t(i) >> 6] = uint32_t(k);
        if (cursor == areaUnits)
            return Reject();
        if (ReadUnit(area + 2 * cursor) == 0) {
            ++cursor;
            continue;
        }
        if (k == size_t(entryCount))
            return Reject();  // more keys than the header declares
        const size_t end = KeyEnd(area, cursor + 1, areaUnits);
        if (end == areaUnits || end - cursor > m_units.size() - u)
            return Reject();
        m_keyStart[k] = uint32_t(u);
        if (kLittleEndian) {
            std::memcpy(&m_units[u], area + 2 * cursor, 2 * (end - cursor));
            u += end - cursor;
            cursor = end;
        } else {
            for (; cursor < end; ++cursor)
                m_units[u++] = ReadUnit(area + 2 * cursor);
        }
        ++cursor;
        m_occupied[size_t(i) >> 6] |= uint64_t(1) << (i & 63);
        m_counts[k] = ReadInt32(counts + 4 * size_t(i));
        ++k;
    }
    if (k != size_t(entryCount))
        return Reject();
    m_keyStart[k] = uint32_t(u);
    m_units.resize(u);
    m_units.shrink_to_fit();
    m_keyCount = int32_t(k);
    Narrow();
    m_slotCount = slotCount;
    m_entryCount = entryCount;
    m_totalCount = totalCount;
    return true;
}

bool CNgramTable::Reject()
{
    Clear();
    return false;
}

void CNgramTable::Narrow()
{
    const size_t keys = size_t(m_keyCount);
    bool small = true;
    for (size_t i = 0; i < keys && small; ++i)
        small = m_counts[i] >= 0 && m_counts[i] <= 0xFFFF;
    if (small) {
        m_smallCounts.assign(m_counts.begin(), m_counts.end());
        m_counts = std::vector<int32_t>();
    }
    for (size_t i = 0; i <= keys; ++i)
        if (m_keyStart[i] - m_keyStart[i & ~size_t(63)] > 0xFFFF)
            return;
    m_blockStart.resize(keys / 64 + 1);
    m_keyOffset.resize(keys + 1);
    for (size_t i = 0; i <= keys; ++i) {
        if ((i & 63) == 0)
            m_blockStart[i >> 6] = m_keyStart[i];
        m_keyOffset[i] = uint16_t(m_keyStart[i] - m_blockStart[i >> 6]);
    }
    m_keyStart = std::vector<uint32_t>();
}

ptrdiff_t CNgramTable::Find(std::u16string_view key) const
{
    return Find(key, HashNgram(key.data(), key.size()));
}

ptrdiff_t CNgramTable::Find(std::u16string_view key, uint32_t hash) const
{
    if (key.empty() || m_slotCount <= 0)
        return -1;
    uint32_t i = hash % uint32_t(m_slotCount);
    const uint64_t word = m_occupied[i >> 6];
    size_t k = m_rank[i >> 6] + BitCount(word & ((uint64_t(1) << (i & 63)) - 1));
    // At most one pass over the table: a table without an empty slot still answers.
    ptrdiff_t found = -1;
    int32_t step = 0;
    for (; step < m_slotCount; ++step) {
        if (!IsOccupied(int32_t(i)))
            break;
        if (Key(k) == key) {
            found = ptrdiff_t(k);
            break;
        }
        ++k;
        if (++i == uint32_t(m_slotCount)) {
            i = 0;
            k = 0;
        }
    }
    t_slotVisits += uint64_t(step) + 1;
    return found;
}

void CNgramTable::CountSlotVisits(uint64_t visits)
{
    t_slotVisits += visits;
}

uint64_t CNgramTable::SlotVisits()
{
    return t_slotVisits;
}

bool CNgramTable::Lookup(std::u16string_view key, int32_t* count) const
{
    if (count == nullptr)
        return false;
    const ptrdiff_t k = Find(key);
    if (k < 0)
        return false;
    *count = Count(size_t(k));
    return true;
}

bool CNgramTable::Lookup(const char16_t* key, int32_t* count) const
{
    if (key == nullptr)
        return false;
    return Lookup(std::u16string_view(key, UnitLength(key)), count);
}

void CNgramTable::Clear()
{
    *this = CNgramTable();
}

size_t CNgramTable::MemoryBytes() const
{
    return m_occupied.capacity() * sizeof(uint64_t) + m_rank.capacity() * sizeof(uint32_t) +
           m_units.capacity() * sizeof(char16_t) + m_smallCounts.capacity() * sizeof(uint16_t) +
           m_counts.capacity() * sizeof(int32_t) + m_blockStart.capacity() * sizeof(uint32_t) +
           m_keyOffset.capacity() * sizeof(uint16_t) + m_keyStart.capacity() * sizeof(uint32_t);
}

bool CLangProfile::Load(const char16_t* displayName, const void* blob, size_t size)
{
    if (displayName == nullptr || blob == nullptr)
        return false;
    Clear();
    if (!m_table.Load(blob, size))
        return false;
    CopyName(displayName);
    return true;
}

void CLangProfile::CopyName(const char16_t* displayName)
{
    const size_t length = UnitLength(displayName);
    m_displayName = std::make_unique<char16_t[]>(length + 1);
    std::memcpy(m_displayName.get(), displayName, (length + 1) * sizeof(char16_t));
}

void CLangProfile::Clear()
{
    m_displayName.reset();
    m_table.Clear();
}
