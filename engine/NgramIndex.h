// One merged index over the n-grams of all loaded profiles: each n-gram is probed once per text
// position instead of once per profile, and its hits carry their precomputed terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CLangProfile;

class CNgramIndex
{
public:
    // Rebuilds the index from the profiles, in their order. A key goes in for a profile exactly
    // when that profile's own Lookup finds it, with the count Lookup reports, so keys a probe can
    // never reach and duplicated keys behave as they do there. Keys longer than five units are
    // never looked up while scoring and are left out.
    void Build(const std::vector<CLangProfile*>& profiles);
    void Clear();

    bool IsBuiltFor(size_t profileCount) const { return m_built && m_profileCount == profileCount; }

    // Adds to sums[i] every hit of profile i in the normalised text: positions ascending and, within
    // a position, lengths 5 down to 1 (only length 1 below position 5), the order in which the
    // per-profile lookups would add them, so every sum is the same to the bit.
    void AddHits(const char16_t* text, size_t length, double* sums) const;

    // Bytes held by the index.
    size_t MemoryBytes() const;

private:
    static const int kMaxKey = 5;

    struct Entry
    {
        uint32_t first;     // index of the first posting
        uint16_t count;     // postings: one per profile that holds the key
        uint16_t length;    // key length in units; 0 marks an empty entry
        char16_t key[kMaxKey];
    };

    static bool SameUnits(const Entry& e, const char16_t* key, size_t length)
    {
        if (e.length != length)
            return false;
        for (size_t i = 0; i < length; ++i)
            if (e.key[i] != key[i])
                return false;
        return true;
    }
    const Entry* Find(const char16_t* key, size_t length, uint32_t hash) const;
    Entry& Insert(const char16_t* key, size_t length, uint32_t hash);

    std::vector<Entry> m_entries;      // open addressing with linear probing
    uint32_t m_size = 0;               // entries in m_entries
    std::vector<uint64_t> m_filter;    // one bit per key hash: clear means no profile holds the key
    int m_filterShift = 32;            // 32 - log2 of the filter's bits
    struct Posting
    {
        double term;       // count / total + weight
        uint32_t profile;  // index into the profile list
    };

    std::vector<Posting> m_postings;   // grouped by key; each key's in profile order
    size_t m_profileCount = 0;
    bool m_built = false;
};
