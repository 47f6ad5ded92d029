// One merged index over the n-grams of all loaded profiles: each n-gram is probed once per text
// position instead of once per profile, and its hits carry their precomputed terms.
#pragma once

#include "Ngram.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CNgramTable;
struct TableShape;

// A laid-out index is read fastest from a base of this alignment (Attach needs 8 bytes).
constexpr size_t kLayoutAlignment = 64;

class CNgramIndex
{
public:
    CNgramIndex() = default;
    CNgramIndex(const CNgramIndex&) = delete;  // the lookups point into its own arrays
    CNgramIndex& operator=(const CNgramIndex&) = delete;
    CNgramIndex(CNgramIndex&&) = default;
    CNgramIndex& operator=(CNgramIndex&&) = default;

    // Rebuilds the index from the profiles' tables, in their order. A key goes in for a profile
    // exactly when that profile's own lookup stops at it (CNgramTable::Find), with its count, so
    // keys a probe can never reach and duplicated keys behave as they do there. Keys longer than
    // kMaxNgramLength units are never looked up while scoring and are left out.
    void Build(const std::vector<const CNgramTable*>& tables);
    void Clear();

    // The index laid out for Attach: a header naming the tables it was built for, in order, by their
    // shapes (sizes, blob length and blob digest), then its arrays as they lie in memory. Empty when nothing is built, or on a host whose
    // byte order is not the layout's (little-endian).
    std::vector<uint8_t> Write(const std::vector<TableShape>& tables) const;

    // Uses a layout that Write made, in place, instead of building: the bytes must stay as they are
    // while the index is in use, which is what the program's own resources do. Only the header is
    // checked, not the arrays (reading them all would cost what attaching saves): the bytes must
    // come from Write, as the program's resources do. False, with the index empty, when the header
    // names other tables (another blob's digest among them) or other sizes than `size`, the bytes
    // are not at an 8-byte boundary, or the host is big-endian.
    bool Attach(const void* bytes, size_t size, const std::vector<TableShape>& tables);

    bool IsBuiltFor(size_t profileCount) const { return m_built && m_profileCount == profileCount; }

    // Adds to sums[i] every hit of profile i in the normalised text: positions ascending and, within
    // a position, lengths 5 down to 1 (only length 1 below position 5), the order in which the
    // per-profile lookups would add them, so every sum is the same to the bit.
    void AddHits(const char16_t* text, size_t length, double* sums) const;

    // The same work in two steps, so that the finding can run on several threads while the adding
    // stays in text order: FindHits notes the entries of the n-grams that end at positions begin to
    // end - 1 (a key that starts before `begin` belongs to the position it ends at), AddFound adds
    // their hits to the sums. Found over consecutive ranges and added range by range in text
    // order, every sum is the one AddHits gives, to the bit.
    using FoundEntries = std::vector<uint32_t>;  // entry numbers
    void FindHits(const char16_t* text, size_t length, size_t begin, size_t end, FoundEntries& found) const;
    void AddFound(const FoundEntries& found, double* sums) const;

    // Bytes the index allocated (an attached layout is not counted).
    size_t MemoryBytes() const;

private:
    static const int kMaxKey = kMaxNgramLength;


    struct Entry
    {
        uint64_t low;       // the key, as PackedNgram holds it
        uint16_t high;
        uint16_t count;     // profiles that hold the key
        uint32_t first;     // one profile: its posting in m_singles; more: its first in m_postings
    };

    // Calls consume(entry) for each entry of an n-gram ending at positions begin to end - 1, in
    // the order the per-profile lookups add their hits.
    template <typename Consume>
    void ForEachFound(const char16_t* text, size_t length, size_t begin, size_t end, Consume consume) const;
    // Adds the hits of one entry.
    void AddEntry(const Entry& e, double* sums) const;

    static PackedNgram KeyOf(const Entry& e) { return {e.low, e.high}; }
    const Entry* Find(PackedNgram key, uint32_t hash) const;
    // The entry of `key`, a new one if it is absent; the table grows when it gets too full.
    Entry& Insert(PackedNgram key, uint32_t hash);
    void Grow();
    // The entry table's size for the profiles' keys.
    static size_t EntriesFor(const std::vector<const CNgramTable*>& tables, size_t keys);
    static constexpr uint32_t kSingle = 0xFFFFFFFFu;  // while building: a key of one profile
    // Calls visit(profile, key number, key, hash, its entry) for every key marked in `taken`, in
    // profile and slot order. The first call marks every key a lookup can reach and notes in
    // `distances` how far it lies from its home (CNgramTable::ReachDistances); its visits may unmark
    // keys, and later calls read the marks.
    template <typename Visit>
    void ForEachKey(const std::vector<const CNgramTable*>& tables, std::vector<bool>& taken,
                    std::vector<uint32_t>& distances, bool first, Visit visit);

    std::vector<Entry> m_entries;      // open addressing with linear probing
    uint32_t m_size = 0;               // entries in m_entries
    uint32_t m_used = 0;               // entries that hold a key
    // One bit per key hash: clear means no profile holds the key.
    struct Filter
    {
        std::vector<uint64_t> words;     // while building
        const uint64_t* bits = nullptr;  // what Test reads: `words`, or an attached layout's
        int shift = 32;    // 32 - log2 of the filter's bits

        void Reset(size_t keys);
        void Set(uint32_t hash);
        const uint64_t* Word(uint32_t hash) const;
        bool Test(uint32_t hash) const;
    };
    // Keys of one or two units have a filter of their own: they are few, so it stays in the
    // nearest caches, and most n-grams of a text of that length are in no profile.
    Filter m_filters[2];   // [0] keys of one or two units, [1] longer keys
    static int FilterFor(size_t length) { return length > 2 ? 1 : 0; }

    // What a hit adds to one profile's sum, packed to twelve bytes.
#pragma pack(push, 4)
    struct Posting
    {
        double term;       // count / total + weight
        uint32_t profile;  // index into the profile list
    };
#pragma pack(pop)
    // The postings of an entry's key.
    const Posting* ListOf(const Entry& e) const
    {
        return (e.count == 1 ? m_singleAt : m_postingAt) + e.first;
    }
    std::vector<Posting> m_singles;    // of the keys of one profile, each (profile, count, length) once
    std::vector<Posting> m_postings;   // of the keys that more than one profile holds, grouped by
                                       // key, each key's in profile order
    // What the lookups read: the arrays above and m_entries once built, or an attached layout's.
    const Entry* m_entryAt = nullptr;
    const Posting* m_singleAt = nullptr;
    const Posting* m_postingAt = nullptr;
    size_t m_singleCount = 0;
    size_t m_postingCount = 0;
    // Points the lookups at the built arrays.
    void UseBuiltArrays();
    size_t m_profileCount = 0;
    bool m_built = false;
};
