#include "NgramIndex.h"

#include "LangIdentifier.h"
#include "NgramTable.h"
#include "ProfileFormat.h"

#include <algorithm>
#include <cstring>

namespace {

size_t KeyLength(const char16_t* key)
{
    size_t n = 0;
    while (key[n] != 0)
        ++n;
    return n;
}

// Fibonacci hashing: the top bits of the product, which depend on every bit of the n-gram hash.
uint32_t Home(uint32_t hash, int shift)
{
    return uint32_t(uint64_t(hash) * 0x9E3779B97F4A7C15ull >> shift);
}

}  // namespace

void CNgramIndex::Clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_terms.clear();
    m_terms.shrink_to_fit();
    m_profiles.clear();
    m_profiles.shrink_to_fit();
    m_mask = 0;
    m_shift = 64;
    m_profileCount = 0;
    m_built = false;
}

const CNgramIndex::Entry* CNgramIndex::Find(const char16_t* key, size_t length, uint32_t hash) const
{
    for (uint32_t i = Home(hash, m_shift);; i = (i + 1) & m_mask) {
        const Entry& e = m_entries[i];
        if (e.length == 0)
            return nullptr;
        if (e.hash == hash && SameUnits(e, key, length))
            return &e;
    }
}

CNgramIndex::Entry& CNgramIndex::Insert(const char16_t* key, size_t length, uint32_t hash)
{
    for (uint32_t i = Home(hash, m_shift);; i = (i + 1) & m_mask) {
        Entry& e = m_entries[i];
        if (e.length == 0) {
            e.hash = hash;
            e.length = uint16_t(length);
            std::memcpy(e.key, key, length * sizeof(char16_t));
            return e;
        }
        if (e.hash == hash && SameUnits(e, key, length))
            return e;
    }
}

void CNgramIndex::Build(const std::vector<CLangProfile*>& profiles)
{
    Clear();
    // One record per key that a profile's own lookup finds, in profile order.
    struct Record
    {
        uint32_t home;
        uint32_t hash;
        uint16_t profile;
        uint16_t length;
        char16_t key[kMaxKey];
        double term;
    };
    size_t keys = 0;
    for (const CLangProfile* profile : profiles)
        keys += size_t(profile->m_table.m_entryCount);
    // At least twice as many entries as keys keeps probes short and always leaves empty ones.
    uint32_t size = 1024;
    int bits = 10;
    while (size < 2 * keys) {
        size *= 2;
        ++bits;
    }
    m_shift = 64 - bits;
    m_mask = size - 1;

    std::vector<Record> records;
    records.reserve(keys);
    for (size_t p = 0; p < profiles.size(); ++p) {
        const CNgramTable& table = profiles[p]->m_table;
        for (int32_t s = 0; s < table.m_slotCount; ++s) {
            const char16_t* key = table.m_slots[s].key;
            if (key == nullptr)
                continue;
            const size_t length = KeyLength(key);
            int32_t count = 0;
            if (length > size_t(kMaxKey) || !table.Lookup(key, &count))
                continue;
            Record r;
            r.hash = HashNgram(key, length);
            r.home = Home(r.hash, m_shift);
            r.profile = uint16_t(p);
            r.length = uint16_t(length);
            std::memcpy(r.key, key, length * sizeof(char16_t));
            // The same term the per-profile scoring forms: quotient first, then the weight.
            r.term = static_cast<double>(count) / static_cast<double>(table.m_totalCount) + g_ngramWeights[length];
            records.push_back(r);
        }
    }
    // In home order the entry table is filled front to back instead of at random. A stable
    // counting sort on the top bits of the home is enough for that and keeps each key's records
    // in profile order.
    const int bucketBits = bits < 16 ? bits : 16;
    std::vector<uint32_t> bucketStart((size_t(1) << bucketBits) + 1, 0);
    for (const Record& r : records)
        ++bucketStart[(r.home >> (bits - bucketBits)) + 1];
    for (size_t b = 1; b < bucketStart.size(); ++b)
        bucketStart[b] += bucketStart[b - 1];
    std::vector<Record> sorted(records.size());
    for (const Record& r : records)
        sorted[bucketStart[r.home >> (bits - bucketBits)]++] = r;
    records.swap(sorted);
    sorted.clear();
    sorted.shrink_to_fit();

    // First pass: the distinct keys and how many profiles find each; `lastProfile` keeps a key that
    // one profile stores twice from counting twice.
    m_entries.assign(size, Entry{});
    std::vector<int32_t> lastProfile(size, -1);
    size_t postings = 0;
    for (const Record& r : records) {
        Entry& e = Insert(r.key, r.length, r.hash);
        int32_t& last = lastProfile[size_t(&e - m_entries.data())];
        if (last != r.profile) {
            last = r.profile;
            ++e.count;
            ++postings;
        }
    }
    // Second pass: each key's postings together, in profile order.
    uint32_t next = 0;
    for (Entry& e : m_entries) {
        e.first = next;
        next += e.count;
        e.count = 0;
    }
    m_terms.resize(postings);
    m_profiles.resize(postings);
    std::fill(lastProfile.begin(), lastProfile.end(), -1);
    for (const Record& r : records) {
        Entry& e = Insert(r.key, r.length, r.hash);
        int32_t& last = lastProfile[size_t(&e - m_entries.data())];
        if (last == r.profile)
            continue;
        last = r.profile;
        m_terms[e.first + e.count] = r.term;
        m_profiles[e.first + e.count] = r.profile;
        ++e.count;
    }
    m_profileCount = profiles.size();
    m_built = true;
}

void CNgramIndex::AddHits(const char16_t* text, size_t length, double* sums) const
{
    for (size_t p = 0; p < length; ++p) {
        const size_t longest = p < size_t(kMaxKey) ? 1 : size_t(kMaxKey);
        for (size_t n = longest; n >= 1; --n) {
            const char16_t* key = text + p + 1 - n;
            const Entry* e = Find(key, n, HashNgram(key, n));
            if (e == nullptr)
                continue;
            const double* term = m_terms.data() + e->first;
            const uint16_t* profile = m_profiles.data() + e->first;
            for (uint32_t k = 0; k < e->count; ++k)
                sums[profile[k]] = sums[profile[k]] + term[k];
        }
    }
}

size_t CNgramIndex::MemoryBytes() const
{
    return m_entries.capacity() * sizeof(Entry) + m_terms.capacity() * sizeof(double) +
           m_profiles.capacity() * sizeof(uint16_t);
}
