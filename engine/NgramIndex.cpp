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
    m_postings.clear();
    m_postings.shrink_to_fit();
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
    // Many keys are shared between profiles, so a fifth more entries than stored keys keeps the
    // table at most four-fifths full (about half in practice) and always leaves empty entries.
    uint32_t size = 1024;
    int bits = 10;
    while (size < keys + keys / 5) {
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
    m_postings.resize(postings);
    std::fill(lastProfile.begin(), lastProfile.end(), -1);
    for (const Record& r : records) {
        Entry& e = Insert(r.key, r.length, r.hash);
        int32_t& last = lastProfile[size_t(&e - m_entries.data())];
        if (last == r.profile)
            continue;
        last = r.profile;
        m_postings[e.first + e.count] = Posting{r.term, r.profile};
        ++e.count;
    }
    m_profileCount = profiles.size();
    m_built = true;
}

namespace {

inline void Prefetch(const void* address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

}  // namespace

void CNgramIndex::AddHits(const char16_t* text, size_t length, double* sums) const
{
    // A three-stage pipeline over the positions, so that the cache misses of several lookups
    // overlap: hash and fetch the entries kAhead positions early, find them and fetch their
    // postings kAhead positions early again, then add. The additions themselves still run position
    // by position, lengths 5 down to 1, exactly in the order of the per-profile lookups.
    const size_t kAhead = 4;
    const size_t kRing = 16;  // a power of two above 2 * kAhead
    uint32_t hashes[kRing][kMaxKey + 1];
    const Entry* found[kRing][kMaxKey + 1];
    auto longest = [](size_t p) { return p < size_t(kMaxKey) ? size_t(1) : size_t(kMaxKey); };

    for (size_t step = 0; step < length + 2 * kAhead; ++step) {
        if (step < length) {
            const size_t q = step;
            for (size_t n = longest(q); n >= 1; --n) {
                hashes[q % kRing][n] = HashNgram(text + q + 1 - n, n);
                Prefetch(&m_entries[Home(hashes[q % kRing][n], m_shift)]);
            }
        }
        if (step >= kAhead && step - kAhead < length) {
            const size_t q = step - kAhead;
            for (size_t n = longest(q); n >= 1; --n) {
                const Entry* e = Find(text + q + 1 - n, n, hashes[q % kRing][n]);
                found[q % kRing][n] = e;
                if (e != nullptr)
                    Prefetch(&m_postings[e->first]);
            }
        }
        if (step >= 2 * kAhead) {
            const size_t p = step - 2 * kAhead;
            for (size_t n = longest(p); n >= 1; --n) {
                const Entry* e = found[p % kRing][n];
                if (e == nullptr)
                    continue;
                const Posting* posting = &m_postings[e->first];
                for (uint32_t k = 0; k < e->count; ++k)
                    sums[posting[k].profile] = sums[posting[k].profile] + posting[k].term;
            }
        }
    }
}

size_t CNgramIndex::MemoryBytes() const
{
    return m_entries.capacity() * sizeof(Entry) + m_postings.capacity() * sizeof(Posting);
}
