// One merged index over the n-grams of all loaded profiles: each n-gram is probed once per text
// position instead of once per profile, and its hits carry their precomputed terms.
#pragma once

#include "Ngram.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CNgramTable;

class CNgramIndex
{
public:
    CNgramIndex() = default;

    // Rebuilds the index from the profiles' tables, in their order. A key goes in for a profile
    // exactly when that profile's own lookup stops at it (CNgramTable::Find), with its count, so
    // keys a probe can never reach and duplicated keys behave as they do there. Keys longer than
    // kMaxNgramLength units are never looked up while scoring and are left out.
    void Build(const std::vector<const CNgramTable*>& tables);
    void Clear();

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

    // Bytes the index holds.
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
    static constexpr uint32_t kSingle = 0xFFFFFFFFu;  // while building: a key of one profile
    static constexpr uint32_t kNone = 0xFFFFFFFFu;    // while building: a key left out
    // While building: per key of every profile, numbered over all profiles in order.
    struct KeyFacts
    {
        std::vector<uint32_t> hashes;
        std::vector<uint64_t> low;        // the packed units, as PackedNgram holds them
        std::vector<uint16_t> high;
        std::vector<uint8_t> lengths;     // 0 for a key left out
        std::vector<uint32_t> distances;  // from its home slot

        PackedNgram Key(size_t g) const { return {low[g], high[g]}; }
    };
    // The entry table's size for `keys` keys of these facts.
    static size_t EntriesFor(const KeyFacts& facts, size_t keys);
    // The first pass of Build over the keys that are not left out: puts each into the entry
    // table, notes its entry in `entryOf` (kNone for a key left out) and counts the profiles that
    // hold it.
    void InsertKeys(const std::vector<const CNgramTable*>& tables, const KeyFacts& facts,
                    std::vector<uint32_t>& entryOf, size_t distinct[2], size_t& shared);

    std::vector<Entry> m_entries;      // open addressing with linear probing
    uint32_t m_size = 0;               // entries in m_entries
    uint32_t m_used = 0;               // entries that hold a key
    uint32_t m_grown = 0;              // times the entry table grew while building
    // One bit per key hash: clear means no profile holds the key.
    struct Filter
    {
        std::vector<uint64_t> words;
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
        return (e.count == 1 ? m_singles.data() : m_postings.data()) + e.first;
    }
    std::vector<Posting> m_singles;    // of the keys of one profile, each (profile, count, length) once
    std::vector<Posting> m_postings;   // of the keys that more than one profile holds, grouped by
                                       // key, each key's in profile order
    size_t m_profileCount = 0;
    bool m_built = false;
};
