#include "NgramIndex.h"

#include "LangIdentifier.h"
#include "NgramTable.h"
#include "ProfileFormat.h"

#include <cstring>

namespace {

size_t KeyLength(const char16_t* key)
{
    size_t n = 0;
    while (key[n] != 0)
        ++n;
    return n;
}

// The entry where a key's probe starts: the n-gram hash scrambled by an odd multiplier (so every
// bit counts), then scaled to the table size by a multiply and shift instead of a division.
uint32_t Home(uint32_t hash, uint32_t size)
{
    return uint32_t(uint64_t(hash * 0x9E3779B1u) * size >> 32);
}

// The bit of the presence filter for a key: another multiplier, so that it is independent of the
// entry where the key's probe starts.
uint32_t FilterBit(uint32_t hash, int shift)
{
    return (hash * 0x85EBCA6Bu) >> shift;
}

inline void Prefetch(const void* address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

}  // namespace

void CNgramIndex::Clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_postings.clear();
    m_postings.shrink_to_fit();
    m_size = 0;
    m_filter.clear();
    m_filter.shrink_to_fit();
    m_filterShift = 32;
    m_profileCount = 0;
    m_built = false;
}

const CNgramIndex::Entry* CNgramIndex::Find(const char16_t* key, size_t length, uint32_t hash) const
{
    for (uint32_t i = Home(hash, m_size);; i = i + 1 == m_size ? 0 : i + 1) {
        const Entry& e = m_entries[i];
        if (e.length == 0)
            return nullptr;
        if (SameUnits(e, key, length))
            return &e;
    }
}

CNgramIndex::Entry& CNgramIndex::Insert(const char16_t* key, size_t length, uint32_t hash)
{
    for (uint32_t i = Home(hash, m_size);; i = i + 1 == m_size ? 0 : i + 1) {
        Entry& e = m_entries[i];
        if (e.length == 0) {
            e.length = uint16_t(length);
            std::memcpy(e.key, key, length * sizeof(char16_t));
            return e;
        }
        if (SameUnits(e, key, length))
            return e;
    }
}

void CNgramIndex::Build(const std::vector<CLangProfile*>& profiles)
{
    Clear();
    size_t keys = 0;
    for (const CLangProfile* profile : profiles)
        keys += size_t(profile->m_table.m_entryCount);
    // An eighth more entries than stored keys keeps the table at most nine-tenths full, and about
    // half in practice, since many keys are shared between profiles; some entry always stays empty.
    m_size = uint32_t(keys + keys / 8 + 64);
    m_entries.assign(m_size, Entry{});
    // Most n-grams of a text are in no profile at all (nearly every unigram and bigram, since the
    // profiles leave out what many languages share). A bit per key in a filter small enough to stay
    // in the cache answers most of those without touching the entry table.
    int filterBits = 16;
    while (filterBits < 24 && (size_t(1) << filterBits) < 8 * keys)
        ++filterBits;
    m_filterShift = 32 - filterBits;
    m_filter.assign((size_t(1) << filterBits) / 64, 0);

    // First pass: every key that a profile's own lookup finds goes into the entry table, with the
    // count that lookup reports. Keys are taken in batches whose entries are fetched ahead, so the
    // cache misses of the batch overlap. Until the layout, an entry's `first` holds the profile that
    // counted it last, so that a key one profile stores twice counts once.
    struct Found
    {
        uint32_t entry;    // index into m_entries, or kNone for a key never looked up or not found
        int32_t count;     // what the profile's lookup reports for the key
        uint32_t profile;
    };
    const uint32_t kNone = 0xFFFFFFFFu;
    std::vector<Found> found(keys, Found{kNone, 0, 0});
    size_t postings = 0;
    size_t k = 0;
    for (size_t p = 0; p < profiles.size(); ++p) {
        const CNgramTable& table = profiles[p]->m_table;
        const int kBatch = 16;
        const char16_t* batchKey[kBatch];
        size_t batchLength[kBatch];
        uint32_t batchHash[kBatch];
        size_t batchIndex[kBatch];
        int filled = 0;
        auto flush = [&] {
            for (int b = 0; b < filled; ++b) {
                const uint32_t bit = FilterBit(batchHash[b], m_filterShift);
                m_filter[bit >> 6] |= uint64_t(1) << (bit & 63);
                Entry& e = Insert(batchKey[b], batchLength[b], batchHash[b]);
                found[batchIndex[b]].entry = uint32_t(&e - m_entries.data());
                if (e.count == 0 || e.first != uint32_t(p)) {
                    e.first = uint32_t(p);
                    ++e.count;
                    ++postings;
                }
            }
            filled = 0;
        };
        for (int32_t s = 0; s < table.m_slotCount; ++s) {
            const char16_t* key = table.m_slots[s].key;
            if (key == nullptr)
                continue;
            const size_t index = k++;
            if (index >= keys)
                break;  // more keys than the header declared: never in a loaded table
            const size_t length = KeyLength(key);
            found[index].profile = uint32_t(p);
            if (length > size_t(kMaxKey) || !table.Lookup(key, &found[index].count))
                continue;
            batchKey[filled] = key;
            batchLength[filled] = length;
            batchHash[filled] = HashNgram(key, length);
            batchIndex[filled] = index;
            Prefetch(&m_entries[Home(batchHash[filled], m_size)]);
            Prefetch(&m_filter[FilterBit(batchHash[filled], m_filterShift) >> 6]);
            if (++filled == kBatch)
                flush();
        }
        flush();
    }

    // Lay the postings out key by key, then fill each key's in profile order (the order of the
    // first pass); a key a profile stores twice is already there once.
    uint32_t next = 0;
    for (Entry& e : m_entries) {
        e.first = next;
        next += e.count;
        e.count = 0;
    }
    m_postings.resize(postings);
    const size_t kFetchAhead = 16;
    for (size_t i = 0; i < k; ++i) {
        if (i + kFetchAhead < k && found[i + kFetchAhead].entry != kNone)
            Prefetch(&m_entries[found[i + kFetchAhead].entry]);
        const Found& f = found[i];
        if (f.entry == kNone)
            continue;
        Entry& e = m_entries[f.entry];
        if (e.count > 0 && m_postings[e.first + e.count - 1].profile == f.profile)
            continue;
        // The same term the per-profile scoring forms: quotient first, then the weight.
        const double total = static_cast<double>(profiles[f.profile]->m_table.m_totalCount);
        const double term = static_cast<double>(f.count) / total + g_ngramWeights[e.length];
        m_postings[e.first + e.count] = Posting{term, f.profile};
        ++e.count;
    }
    m_profileCount = profiles.size();
    m_built = true;
}

void CNgramIndex::AddHits(const char16_t* text, size_t length, double* sums) const
{
    // A pipeline over the positions, so that the cache misses of many lookups overlap: each stage
    // works kAhead positions behind the one before it. Hash the n-grams and fetch their filter
    // words; test the filter and fetch the entries of the keys that may be present; find those
    // entries and fetch their postings; add. The additions themselves still run position by
    // position, lengths 5 down to 1, exactly in the order of the per-profile lookups.
    const size_t kAhead = 4;
    const size_t kRing = 16;  // a power of two above 3 * kAhead
    uint32_t hashes[kRing][kMaxKey + 1];
    bool maybe[kRing][kMaxKey + 1];
    const Entry* found[kRing][kMaxKey + 1];
    auto longest = [](size_t p) { return p < size_t(kMaxKey) ? size_t(1) : size_t(kMaxKey); };
    auto filterWord = [this](uint32_t hash) { return &m_filter[FilterBit(hash, m_filterShift) >> 6]; };

    for (size_t step = 0; step < length + 3 * kAhead; ++step) {
        if (step < length) {
            const size_t q = step;
            for (size_t n = longest(q); n >= 1; --n) {
                hashes[q % kRing][n] = HashNgram(text + q + 1 - n, n);
                Prefetch(filterWord(hashes[q % kRing][n]));
            }
        }
        if (step >= kAhead && step - kAhead < length) {
            const size_t q = step - kAhead;
            for (size_t n = longest(q); n >= 1; --n) {
                const uint32_t hash = hashes[q % kRing][n];
                const uint32_t bit = FilterBit(hash, m_filterShift);
                maybe[q % kRing][n] = (*filterWord(hash) >> (bit & 63)) & 1;
                if (maybe[q % kRing][n])
                    Prefetch(&m_entries[Home(hash, m_size)]);
            }
        }
        if (step >= 2 * kAhead && step - 2 * kAhead < length) {
            const size_t q = step - 2 * kAhead;
            for (size_t n = longest(q); n >= 1; --n) {
                const Entry* e = maybe[q % kRing][n] ? Find(text + q + 1 - n, n, hashes[q % kRing][n]) : nullptr;
                found[q % kRing][n] = e;
                if (e != nullptr)
                    Prefetch(&m_postings[e->first]);
            }
        }
        if (step >= 3 * kAhead) {
            const size_t p = step - 3 * kAhead;
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
    return m_entries.capacity() * sizeof(Entry) + m_postings.capacity() * sizeof(Posting) +
           m_filter.capacity() * sizeof(uint64_t);
}
