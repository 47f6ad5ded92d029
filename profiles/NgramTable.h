// The in-memory n-gram table of one language and the profile that pairs it with a display name.
#pragma once

#include <cstddef>
#include <cstdint>

// One slot of the open-addressing table; a null key marks an empty slot.
struct NgramSlot
{
    const char16_t* key = nullptr;  // NUL-terminated, inside the table's key pool
    int32_t count = 0;              // for an empty slot whatever the blob held; never reported
};

// Hash table from n-gram (NUL-terminated UTF-16 string) to count, with linear probing. Built once
// from a profile blob (see ProfileFormat.h) and only read afterwards.
class CNgramTable
{
public:
    CNgramTable() = default;
    CNgramTable(const CNgramTable&) = delete;
    CNgramTable& operator=(const CNgramTable&) = delete;
    ~CNgramTable() { Clear(); }

    // Builds the table from a blob; expects an empty table. Every rejection returns false. After a
    // failure the table is either empty or (when the number of keys found disagrees with the header)
    // filled; the caller discards it either way. Throws std::bad_alloc only when the slot array or a
    // key cannot be allocated (the unpack buffer failing is an ordinary rejection). A blob beyond
    // the limits of ProfileFormat.h (size, slots, key area) is rejected before anything is allocated.
    bool Load(const void* blob, size_t size);

    // True and the key's count when the key is present; false (count untouched) for a null or empty
    // key, a null count pointer, an empty table, or a key that is absent. The probe is bounded by the
    // slot count, so a table without any empty slot still answers.
    bool Lookup(const char16_t* key, int32_t* count) const;

    // Frees every key and the slots and zeroes the fields; does nothing on an empty table.
    void Clear();

    int32_t m_slotCount = 0;
    int32_t m_entryCount = 0;   // as the blob's header declared it
    int32_t m_totalCount = 0;   // > 0 in a loaded table; scoring divides every count by it
    NgramSlot* m_slots = nullptr;  // owned array of m_slotCount slots, in the blob's slot order
    char16_t* m_keyPool = nullptr; // owned copy of the blob's key area; every slot's key points into
                                   // it, so a table costs two allocations instead of one per key
};

// One loaded language: a copy of its display name and its n-gram table.
class CLangProfile
{
public:
    CLangProfile() = default;
    CLangProfile(const CLangProfile&) = delete;
    CLangProfile& operator=(const CLangProfile&) = delete;
    ~CLangProfile() { Clear(); }

    // Empties the profile, builds its table and copies the display name. Without a name or a blob it
    // returns false and leaves the profile as it was; a rejected blob leaves the name null.
    bool Load(const char16_t* displayName, const void* blob, size_t size);

    void Clear();

    char16_t* m_displayName = nullptr;  // owned; null until a load succeeds
    CNgramTable m_table;
};
