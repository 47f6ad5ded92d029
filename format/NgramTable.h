// The in-memory n-gram table of one language and the profile that pairs it with a display name.
#pragma once

#include "ProfileFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Hash table from n-gram (UTF-16 string) to count, with linear probing, built once from a profile
// blob (see ProfileFormat.h) and only read afterwards. It keeps what lookups need and no more: one
// bit per slot for whether it holds a key, and the stored keys back to back in slot order with their
// counts. The blob is not needed once Load returns.
class CNgramTable
{
public:
    // Builds the table from a blob; expects an empty table. Every rejection returns false and leaves
    // the table empty. Throws std::bad_alloc only when the table's own storage cannot be allocated
    // (the unpack buffer failing is an ordinary rejection). A blob beyond the limits of
    // ProfileFormat.h (size, slots, key area) is rejected before anything is allocated.
    bool Load(const void* blob, size_t size);

    // True and the key's count when the key is present; false (count untouched) for a null or empty
    // key, a null count pointer, an empty table, or a key that is absent. The probe is bounded by the
    // slot count, so a table without any empty slot still answers.
    bool Lookup(const char16_t* key, int32_t* count) const;
    bool Lookup(std::u16string_view key, int32_t* count) const;

    // Empties the table; does nothing on an empty table.
    void Clear();

    int32_t SlotCount() const { return m_slotCount; }
    int32_t EntryCount() const { return m_entryCount; }  // as the blob's header declared it
    int32_t TotalCount() const { return m_totalCount; }  // > 0 in a loaded table; the divisor of
                                                          // every count while scoring
    bool IsOccupied(int32_t slot) const { return (m_occupied[size_t(slot) >> 6] >> (slot & 63)) & 1; }

    // The stored keys in slot order, duplicates and keys a probe cannot reach included: what the
    // merged index is built from.
    size_t KeyCount() const { return size_t(m_keyCount); }
    std::u16string_view Key(size_t i) const
    {
        const uint32_t start = Start(i);
        return std::u16string_view(m_units.data() + start, Start(i + 1) - start);
    }
    int32_t Count(size_t i) const { return m_counts.empty() ? int32_t(m_smallCounts[i]) : m_counts[i]; }

    // The stored key a lookup of `key` stops at (an index for Key and Count), or -1 when the lookup
    // finds nothing. A stored key that is not where its own lookup stops is never reported.
    ptrdiff_t Find(std::u16string_view key) const;
    // The same with the key's HashNgram already computed.
    ptrdiff_t Find(std::u16string_view key, uint32_t hash) const;

    // Calls visit(k, key, hash, distance) for every stored key k in slot order, with its HashNgram
    // and how many slots past its home slot it lies when a lookup of it can reach it (no empty slot
    // between its home and its slot), else kUnreachable. A lookup stops at a reachable key unless an
    // equal key lies nearer its home: of equal keys (they share their home) the one with the least
    // distance is the one Find reports. One pass over the slots, however far the keys lie from their
    // homes.
    static constexpr uint32_t kUnreachable = 0xFFFFFFFFu;
    template <typename Visit>
    void ForEachKeyReach(Visit visit) const;

    // Slots visited by Find and ForEachKeyReach on this thread so far: what the tests count work by.
    static uint64_t SlotVisits();

    // Bytes held by the table.
    size_t MemoryBytes() const;

private:
    bool Reject();  // empties the table and returns false
    // Where key i's units start (i == KeyCount() for the end of the last key).
    uint32_t Start(size_t i) const
    {
        return m_keyStart.empty() ? m_blockStart[i >> 6] + m_keyOffset[i] : m_keyStart[i];
    }
    // Moves the counts and key starts to the 16-bit arrays where every value fits.
    void Narrow();
    static void CountSlotVisits(uint64_t visits);

    int32_t m_slotCount = 0;
    int32_t m_entryCount = 0;
    int32_t m_totalCount = 0;
    int32_t m_keyCount = 0;
    std::vector<uint64_t> m_occupied;   // bit s: slot s holds a key
    std::vector<uint32_t> m_rank;       // per word of m_occupied: the keys in the slots before it
    std::vector<char16_t> m_units;      // the keys' units back to back, without terminators
    // Per stored key, in slot order, its count: 16 bits when every count of the table is within
    // 0 .. 65535 (m_counts is then empty), else 32.
    std::vector<uint16_t> m_smallCounts;
    std::vector<int32_t> m_counts;
    // Per stored key, then the end, where its units start: 16 bits from the start of its block of
    // 64 keys when every block is short enough (m_keyStart is then empty), else 32.
    std::vector<uint32_t> m_blockStart;
    std::vector<uint16_t> m_keyOffset;
    std::vector<uint32_t> m_keyStart;
};

template <typename Visit>
void CNgramTable::ForEachKeyReach(Visit visit) const
{
    const uint32_t slots = uint32_t(m_slotCount);
    if (slots == 0)
        return;
    // A lookup walks from the home slot to the first empty one, so a key is reachable when its home
    // lies in the same run of occupied slots, at or before it. The run that holds slot 0 may have
    // begun at the end of the table; a table without an empty slot is one run that a lookup walks
    // whole, from any slot.
    uint32_t lastEmpty = slots;
    for (uint32_t s = slots; s-- > 0 && lastEmpty == slots;)
        if (!IsOccupied(int32_t(s)))
            lastEmpty = s;
    const bool full = lastEmpty == slots;
    CountSlotVisits(uint64_t(slots) + (full ? slots : slots - lastEmpty));
    uint32_t runStart = full ? 0 : (lastEmpty + 1) % slots;
    size_t k = 0;
    uint32_t start = Start(0);
    for (uint32_t s = 0; s < slots; ++s) {
        if (!IsOccupied(int32_t(s))) {
            runStart = s + 1;
            continue;
        }
        const uint32_t end = Start(k + 1);
        const std::u16string_view key(m_units.data() + start, end - start);
        start = end;
        const uint32_t hash = HashNgram(key.data(), key.size());
        const uint32_t home = hash % slots;
        const uint32_t fromHome = s >= home ? s - home : s + slots - home;
        const uint32_t fromStart = s >= runStart ? s - runStart : s + slots - runStart;
        visit(k, key, hash, full || fromHome <= fromStart ? fromHome : kUnreachable);
        ++k;
    }
}

// One loaded language: a copy of its display name and its n-gram table.
class CLangProfile
{
public:
    // Empties the profile, builds its table and copies the display name. Without a name or a blob it
    // returns false and leaves the profile as it was; a rejected blob leaves the name null.
    bool Load(const char16_t* displayName, const void* blob, size_t size);

    void Clear();

    const char16_t* DisplayName() const { return m_displayName.get(); }  // null until a load succeeds
    const CNgramTable& Table() const { return m_table; }

private:
    void CopyName(const char16_t* displayName);

    std::unique_ptr<char16_t[]> m_displayName;
    CNgramTable m_table;
};
