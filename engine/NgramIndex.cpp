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
    for (Filter& filter : m_filters)
        filter = Filter{};
    m_profileCount = 0;
    m_built = false;
}

size_t CNgramIndex::LengthOf(const Entry& e)
{
    if (e.high != 0)
        return 5;
    size_t n = 0;
    for (uint64_t low = e.low; low != 0; low >>= 16)
        ++n;
    return n;
}

CNgramIndex::PackedKey CNgramIndex::Pack(const char16_t* key, size_t length)
{
    PackedKey packed{0, 0};
    for (size_t i = 0; i < length; ++i) {
        if (i + 5 == length)
            packed.high = key[i];
        else
            packed.low = packed.low << 16 | key[i];
    }
    return packed;
}

const CNgramIndex::Entry* CNgramIndex::Find(PackedKey key, uint32_t hash) const
{
    for (uint32_t i = Home(hash, m_size);; i = i + 1 == m_size ? 0 : i + 1) {
        const Entry& e = m_entries[i];
        if (e.low == key.low && e.high == key.high)
            return &e;
        if (e.low == 0)
            return nullptr;
    }
}

CNgramIndex::Entry& CNgramIndex::Insert(PackedKey key, uint32_t hash)
{
    for (uint32_t i = Home(hash, m_size);; i = i + 1 == m_size ? 0 : i + 1) {
        Entry& e = m_entries[i];
        if (e.low == 0) {
            e.low = key.low;
            e.high = key.high;
            return e;
        }
        if (e.low == key.low && e.high == key.high)
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

    // First pass: every key that a profile's own lookup finds goes into the entry table, with the
    // count that lookup reports. Keys are taken in batches whose entries are fetched ahead, so the
    // cache misses of the batch overlap. Until the layout, an entry's `first` holds the profile that
    // counted it last, so that a key one profile stores twice counts once.
    struct Found
    {
        uint32_t entry;    // index into m_entries, or kNone for a key never looked up or not found
        int32_t count;     // what the profile's lookup reports for the key
        uint32_t profile;
        uint32_t hash;
    };
    const uint32_t kNone = 0xFFFFFFFFu;
    std::vector<Found> found(keys, Found{kNone, 0, 0, 0});
    size_t distinct[2] = {0, 0};  // keys per filter
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
                Entry& e = Insert(Pack(batchKey[b], batchLength[b]), batchHash[b]);
                found[batchIndex[b]].entry = uint32_t(&e - m_entries.data());
                found[batchIndex[b]].hash = batchHash[b];
                if (e.count == 0)
                    ++distinct[FilterFor(batchLength[b])];
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
            if (++filled == kBatch)
                flush();
        }
        flush();
    }

    // Most n-grams of a text are in no profile at all (nearly every unigram and bigram, since the
    // profiles leave out what many languages share); the filters answer most of those without
    // touching the entry table.
    for (int f = 0; f < 2; ++f)
        m_filters[f].Reset(distinct[f]);

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
        const size_t length = LengthOf(e);
        if (e.count == 0)
            m_filters[FilterFor(length)].Set(f.hash);
        // The same term the per-profile scoring forms: quotient first, then the weight.
        const double total = static_cast<double>(profiles[f.profile]->m_table.m_totalCount);
        const double term = static_cast<double>(f.count) / total + g_ngramWeights[length];
        m_postings[e.first + e.count] = Posting{term, f.profile};
        ++e.count;
    }
    m_profileCount = profiles.size();
    m_built = true;
}

void CNgramIndex::Filter::Reset(size_t keys)
{
    // About eight bits per key, within 2^10 .. 2^24 bits.
    int bits = 10;
    while (bits < 24 && (size_t(1) << bits) < 8 * keys)
        ++bits;
    shift = 32 - bits;
    words.assign((size_t(1) << bits) / 64, 0);
}

void CNgramIndex::Filter::Set(uint32_t hash)
{
    const uint32_t bit = FilterBit(hash, shift);
    words[bit >> 6] |= uint64_t(1) << (bit & 63);
}

const uint64_t* CNgramIndex::Filter::Word(uint32_t hash) const
{
    return &words[FilterBit(hash, shift) >> 6];
}

bool CNgramIndex::Filter::Test(uint32_t hash) const
{
    return (*Word(hash) >> (FilterBit(hash, shift) & 63)) & 1;
}

void CNgramIndex::AddHits(const char16_t* text, size_t length, double* sums) const
{
    // A pipeline over the positions, so that the cache misses of many lookups overlap: each stage
    // works kAhead positions behind the one before it. Hash every n-gram starting at a position and
    // fetch the filter words; test the filter for the n-grams ending at a position and fetch the
    // entries that may hold them; find those entries and fetch their postings; add. The additions
    // themselves still run position by position, lengths 5 down to 1, exactly in the order of the
    // per-profile lookups.
    const size_t kAhead = 4;
    const size_t kRing = 32;  // a power of two above 3 * kAhead + kMaxKey
    uint32_t hashes[kRing][kMaxKey + 1];  // by end position and length
    uint64_t windows[kRing];              // the last four units at a position, packed as keys are
    unsigned maybe[kRing];                // bit n: the filter may hold the n-gram of length n
    unsigned hits[kRing];                 // entries found at a position
    const Entry* found[kRing][kMaxKey];   // those entries, longest key first
    auto longest = [](size_t p) { return p < size_t(kMaxKey) ? size_t(1) : size_t(kMaxKey); };
    uint64_t window = 0;

    for (size_t step = 0; step < length + 3 * kAhead; ++step) {
        if (step < length) {
            // The n-grams starting here end at step .. step + 4; each hash extends the one before.
            const size_t q = step;
            uint32_t hash = HashStart(text[q]);
            for (size_t n = 1; n <= size_t(kMaxKey) && q + n <= length; ++n) {
                hash = HashStep(hash, text[q + n - 1]);
                hashes[(q + n - 1) % kRing][n] = hash;
                Prefetch(m_filters[FilterFor(n)].Word(hash));
            }
            window = window << 16 | text[q];
            windows[q % kRing] = window;
        }
        if (step >= kAhead && step - kAhead < length) {
            const size_t q = step - kAhead;
            unsigned bits = 0;
            for (size_t n = longest(q); n >= 1; --n) {
                const uint32_t hash = hashes[q % kRing][n];
                const unsigned bit = m_filters[FilterFor(n)].Test(hash);
                bits |= bit << n;
                Prefetch(&m_entries[bit ? Home(hash, m_size) : 0]);
            }
            maybe[q % kRing] = bits;
        }
        if (step >= 2 * kAhead && step - 2 * kAhead < length) {
            const size_t q = step - 2 * kAhead;
            unsigned k = 0;
            for (size_t n = longest(q); n >= 1; --n) {
                if ((maybe[q % kRing] >> n & 1) == 0)
                    continue;
                const uint64_t mask = n >= 4 ? ~uint64_t(0) : (uint64_t(1) << (16 * n)) - 1;
                const PackedKey key{windows[q % kRing] & mask, n == 5 ? uint16_t(text[q - 4]) : uint16_t(0)};
                const Entry* e = Find(key, hashes[q % kRing][n]);
                if (e == nullptr)
                    continue;
                found[q % kRing][k++] = e;
                Prefetch(&m_postings[e->first]);
                Prefetch(&m_postings[e->first + e->count - 1]);  // a list may span two lines
            }
            hits[q % kRing] = k;
        }
        if (step >= 3 * kAhead) {
            const size_t p = step - 3 * kAhead;
            for (unsigned i = 0; i < hits[p % kRing]; ++i) {
                const Entry* e = found[p % kRing][i];
                const Posting* posting = &m_postings[e->first];
                for (uint32_t j = 0; j < e->count; ++j)
                    sums[posting[j].profile] = sums[posting[j].profile] + posting[j].term;
            }
        }
    }
}

size_t CNgramIndex::MemoryBytes() const
{
    return m_entries.capacity() * sizeof(Entry) + m_postings.capacity() * sizeof(Posting) +
           (m_filters[0].words.capacity() + m_filters[1].words.capacity()) * sizeof(uint64_t);
}
