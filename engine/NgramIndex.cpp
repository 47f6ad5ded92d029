#include "NgramIndex.h"

#include "NgramTable.h"
#include "ProfileFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

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

// Terms of one profile by (count, length): open addressing over a power of two, grown when half
// full.
class CTermMap
{
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    void Reset(size_t keys)
    {
        size_t size = 64;
        while (size < keys / 8)
            size *= 2;
        m_keys.assign(size, kEmpty);
        m_values.assign(size, kNone);
        m_used = 0;
    }

    // The value stored for `key`, kNone when it is new.
    uint32_t& At(uint64_t key)
    {
        if (2 * (m_used + 1) > m_keys.size())
            Grow();
        const size_t mask = m_keys.size() - 1;
        for (size_t i = size_t((key * 0x9E3779B97F4A7C15u) >> 40) & mask;; i = (i + 1) & mask) {
            if (m_keys[i] == key)
                return m_values[i];
            if (m_keys[i] == kEmpty) {
                m_keys[i] = key;
                ++m_used;
                return m_values[i];
            }
        }
    }

private:
    static constexpr uint64_t kEmpty = ~uint64_t(0);  // never a key: a length takes three bits only

    void Grow()
    {
        std::vector<uint64_t> keys(m_keys.size() * 2, kEmpty);
        std::vector<uint32_t> values(m_keys.size() * 2, kNone);
        keys.swap(m_keys);
        values.swap(m_values);
        m_used = 0;
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != kEmpty)
                At(keys[i]) = values[i];
    }

    std::vector<uint64_t> m_keys;
    std::vector<uint32_t> m_values;
    size_t m_used = 0;
};

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
    *this = CNgramIndex();
}

const CNgramIndex::Entry* CNgramIndex::Find(PackedNgram key, uint32_t hash) const
{
    for (uint32_t i = Home(hash, m_size);; i = i + 1 == m_size ? 0 : i + 1) {
        const Entry& e = m_entries[i];
        if (e.low == key.low && e.high == key.high)
            return &e;
        if (e.low == 0)
            return nullptr;
    }
}

CNgramIndex::Entry& CNgramIndex::Insert(PackedNgram key, uint32_t hash)
{
    for (uint32_t i = Home(hash, m_size);; i = i + 1 == m_size ? 0 : i + 1) {
        Entry& e = m_entries[i];
        if (e.low == 0) {
            // At most seven-eighths full, so that probes stay short and some entry stays empty.
            if (uint64_t(m_used + 1) * 8 > uint64_t(m_size) * 7) {
                Grow();
                return Insert(key, hash);
            }
            ++m_used;
            e.low = key.low;
            e.high = key.high;
            return e;
        }
        if (e.low == key.low && e.high == key.high)
            return e;
    }
}

void CNgramIndex::Build(const std::vector<const CNgramTable*>& tables)
{
    Clear();
    // What the passes need of every key, numbered over all profiles in order, found in one walk
    // over each table: its hash, its packed units, its length (0 for a key left out: one its
    // profile's lookup never stops at, or one longer than scoring looks up) and how far it lies
    // from its home.
    size_t keys = 0;
    for (const CNgramTable* table : tables)
        keys += table->KeyCount();
    KeyFacts facts;
    facts.hashes.resize(keys);
    facts.low.resize(keys);
    facts.high.resize(keys);
    facts.lengths.resize(keys);
    facts.distances.resize(keys);
    size_t reachable = 0;
    size_t g = 0;
    for (const CNgramTable* table : tables) {
        table->ForEachKeyReach([&](size_t k, std::u16string_view key, uint32_t hash, uint32_t distance) {
            const bool taken = distance != CNgramTable::kUnreachable && key.size() <= size_t(kMaxKey);
            facts.hashes[g + k] = hash;
            const PackedNgram packed = taken ? PackedNgram::Of(key.data(), key.size()) : PackedNgram{};
            facts.low[g + k] = packed.low;
            facts.high[g + k] = packed.high;
            facts.lengths[g + k] = taken ? uint8_t(key.size()) : 0;
            facts.distances[g + k] = distance;
            reachable += taken;
        });
        g += table->KeyCount();
    }
    m_size = uint32_t(EntriesFor(facts, reachable));
    m_entries.assign(m_size, Entry{});

    // First pass: every key that a profile's own lookup stops at goes into the entry table.
    std::vector<uint32_t> entryOf(keys, kNone);
    size_t distinct[2] = {0, 0};  // keys per filter
    size_t shared = 0;            // postings of keys that more than one profile holds
    InsertKeys(tables, facts, entryOf, distinct, shared);
    facts.low = std::vector<uint64_t>();
    facts.high = std::vector<uint16_t>();

    // Most n-grams of a text are in no profile at all (nearly every unigram and bigram, since the
    // profiles leave out what many languages share); the filters answer most of those without
    // touching the entry table.
    for (int f = 0; f < 2; ++f)
        m_filters[f].Reset(distinct[f]);

    // Lay the postings out key by key for the keys more than one profile holds; a key of one
    // profile keeps its term in the entry itself.
    uint32_t next = 0;
    for (Entry& e : m_entries) {
        if (e.count >= 2) {
            e.first = next;
            next += e.count;
        } else {
            e.first = kSingle;
        }
        e.count = 0;
    }
    m_postings.resize(shared);

    // Second pass, in the same order: each hit's term goes to its key's postings in profile order,
    // or, for a key of one profile, to the terms stored once per (profile, count, length).
    CTermMap termOf;
    g = 0;
    for (size_t p = 0; p < tables.size(); ++p) {
        const CNgramTable& table = *tables[p];
        termOf.Reset(table.KeyCount());
        const double total = static_cast<double>(table.TotalCount());
        for (size_t i = 0; i < table.KeyCount(); ++i, ++g) {
            if (g + 16 < keys && entryOf[g + 16] != kNone)
                Prefetch(&m_entries[entryOf[g + 16]]);
            if (entryOf[g] == kNone)
                continue;
            Entry& e = m_entries[entryOf[g]];
            const size_t length = facts.lengths[g];
            if (e.count == 0)
                m_filters[FilterFor(length)].Set(facts.hashes[g]);
            // The same term the per-profile scoring forms: quotient first, then the weight.
            const int32_t count = table.Count(i);
            const double term = static_cast<double>(count) / total + g_ngramWeights[length];
            if (e.first != kSingle) {
                m_postings[e.first + e.count] = Posting{term, uint32_t(p)};
                ++e.count;
                continue;
            }
            uint32_t& index = termOf.At(uint64_t(uint32_t(count)) << 3 | length);
            if (index == CTermMap::kNone) {
                index = uint32_t(m_singles.size());
                m_singles.push_back(Posting{term, uint32_t(p)});
            }
            e.first = index;
            e.count = 1;
        }
    }
    m_singles.shrink_to_fit();
    m_profileCount = tables.size();
    m_built = true;
}

void CNgramIndex::InsertKeys(const std::vector<const CNgramTable*>& tables, const KeyFacts& facts,
                             std::vector<uint32_t>& entryOf, size_t distinct[2], size_t& shared)
{
    // While the pass runs, an entry's `first` names the key of the latest profile that holds it. A
    // key a lookup can reach may still have an equal key of the same profile nearer their shared
    // home, which the lookup meets first: of the two, the farther is left out.
    auto insert = [&](size_t g, size_t firstOfProfile) {
        Entry& e = Insert(facts.Key(g), facts.hashes[g]);
        if (e.count > 0 && e.first >= firstOfProfile) {
            const size_t other = e.first;
            const size_t dropped = facts.distances[g] < facts.distances[other] ? other : g;
            entryOf[g] = uint32_t(&e - m_entries.data());
            entryOf[dropped] = kNone;
            e.first = uint32_t(g + other - dropped);
            return;
        }
        if (e.count == 0)
            ++distinct[FilterFor(facts.lengths[g])];
        shared += e.count == 1 ? 2 : e.count > 1 ? 1 : 0;
        ++e.count;
        e.first = uint32_t(g);
        entryOf[g] = uint32_t(&e - m_entries.data());
    };

    // Keys go in in their order, each entry fetched some keys ahead, so that the cache misses
    // overlap.
    const size_t kAhead = 16;
    const uint32_t grown = m_grown;
    size_t g = 0;
    for (const CNgramTable* table : tables) {
        const size_t firstOfProfile = g;
        const size_t end = g + table->KeyCount();
        for (size_t ahead = g; ahead < std::min(end, g + kAhead); ++ahead)
            Prefetch(&m_entries[Home(facts.hashes[ahead], m_size)]);
        for (; g < end; ++g) {
            if (g + kAhead < end)
                Prefetch(&m_entries[Home(facts.hashes[g + kAhead], m_size)]);
            if (facts.lengths[g] != 0)
                insert(g, firstOfProfile);
        }
    }
    // Should the table have grown, the entries noted before then have moved.
    if (m_grown != grown)
        for (g = 0; g < entryOf.size(); ++g)
            if (entryOf[g] != kNone)
                entryOf[g] = uint32_t(Find(facts.Key(g), facts.hashes[g]) - m_entries.data());
}

size_t CNgramIndex::EntriesFor(const KeyFacts& facts, size_t keys)
{
    // Many keys are shared between profiles, so the distinct keys are estimated first, by counting
    // the bits their hashes leave clear in a bitmap, and the table is sized for about five-eighths
    // of them; Insert grows it should the estimate fall short.
    int bits = 10;
    while (bits < 28 && (size_t(1) << bits) < 16 * keys)
        ++bits;
    std::vector<uint64_t> seen((size_t(1) << bits) / 64, 0);
    for (size_t g = 0; g < facts.hashes.size(); ++g)
        if (facts.lengths[g] != 0) {
            const uint32_t bit = (facts.hashes[g] * 0x2545F491u) >> (32 - bits);
            seen[bit >> 6] |= uint64_t(1) << (bit & 63);
        }
    size_t clear = 0;
    for (uint64_t word : seen)
        clear += 64 - BitCount(word);
    const double m = double(size_t(1) << bits);
    const double distinct = clear > 0 ? -m * std::log(double(clear) / m) : double(keys);
    return std::min(keys + keys / 8, size_t(distinct * 1.6)) + 64;
}

void CNgramIndex::Grow()
{
    std::vector<Entry> old;
    old.swap(m_entries);
    m_size = uint32_t(std::min<uint64_t>(uint64_t(m_size) * 2, 0xFFFFFFF0u));
    ++m_grown;
    m_entries.assign(m_size, Entry{});
    m_used = 0;
    for (const Entry& e : old) {
        if (e.low == 0)
            continue;
        char16_t units[kMaxKey];
        const size_t length = KeyOf(e).Unpack(units);
        Entry& moved = Insert(KeyOf(e), HashNgram(units, length));
        moved.count = e.count;
        moved.first = e.first;
    }
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

template <typename Consume>
void CNgramIndex::ForEachFound(const char16_t* text, size_t length, size_t begin, size_t end,
                               Consume consume) const
{
    // A pipeline over the positions, so that the cache misses of many lookups overlap: each stage
    // works kAhead positions behind the one before it. Hash every n-gram starting at a position and
    // fetch the filter words; test the filter for the n-grams ending at a position and fetch the
    // entries that may hold them; find those entries and fetch their postings; hand them on. The
    // entries still come position by position, lengths 5 down to 1, exactly in the order of the
    // per-profile lookups. The first stage starts up to four positions before `begin`, where the
    // n-grams ending at `begin` start.
    end = std::min(end, length);
    if (begin >= end)
        return;
    const size_t kAhead = 4;
    const size_t kRing = 32;  // a power of two above 3 * kAhead + kMaxKey
    uint32_t hashes[kRing][kMaxKey + 1];  // by end position and length
    uint64_t windows[kRing];              // the last four units at a position, packed as keys are
    unsigned maybe[kRing];                // bit n: the filter may hold the n-gram of length n
    unsigned hits[kRing];                 // entries found at a position
    const Entry* found[kRing][kMaxKey];   // those entries, longest key first
    auto longest = [](size_t p) { return p < size_t(kMaxKey) ? size_t(1) : size_t(kMaxKey); };
    // Whether stage `k` has a position to work on at `step`, and which.
    auto at = [begin, end](size_t step, size_t k, size_t& q) {
        if (step < k * kAhead)
            return false;
        q = step - k * kAhead;
        return q >= begin && q < end;
    };
    const size_t first = begin - std::min(begin, size_t(kMaxKey - 1));
    uint64_t window = 0;

    for (size_t step = first; step < end + 3 * kAhead; ++step) {
        size_t q;
        if (step < end) {
            // The n-grams starting here end at step .. step + 4; each hash extends the one before.
            q = step;
            uint32_t hash = HashStart(text[q]);
            for (size_t n = 1; n <= size_t(kMaxKey) && q + n <= end; ++n) {
                hash = HashStep(hash, text[q + n - 1]);
                hashes[(q + n - 1) % kRing][n] = hash;
                Prefetch(m_filters[FilterFor(n)].Word(hash));
            }
            window = window << 16 | text[q];
            windows[q % kRing] = window;
        }
        if (at(step, 1, q)) {
            unsigned bits = 0;
            for (size_t n = longest(q); n >= 1; --n) {
                const uint32_t hash = hashes[q % kRing][n];
                const unsigned bit = m_filters[FilterFor(n)].Test(hash);
                bits |= bit << n;
                Prefetch(&m_entries[bit ? Home(hash, m_size) : 0]);
            }
            maybe[q % kRing] = bits;
        }
        if (at(step, 2, q)) {
            unsigned k = 0;
            for (size_t n = longest(q); n >= 1; --n) {
                if ((maybe[q % kRing] >> n & 1) == 0)
                    continue;
                const uint64_t mask = n >= 4 ? ~uint64_t(0) : (uint64_t(1) << (16 * n)) - 1;
                const PackedNgram key{windows[q % kRing] & mask, n == 5 ? uint16_t(text[q - 4]) : uint16_t(0)};
                const Entry* e = Find(key, hashes[q % kRing][n]);
                if (e == nullptr)
                    continue;
                found[q % kRing][k++] = e;
                // A list may span two lines.
                const Posting* list = ListOf(*e);
                Prefetch(list);
                Prefetch(list + e->count - 1);
            }
            hits[q % kRing] = k;
        }
        if (at(step, 3, q)) {
            for (unsigned i = 0; i < hits[q % kRing]; ++i)
                consume(*found[q % kRing][i]);
        }
    }
}

void CNgramIndex::AddEntry(const Entry& e, double* sums) const
{
    const Posting* list = ListOf(e);
    for (uint32_t j = 0; j < e.count; ++j)
        sums[list[j].profile] = sums[list[j].profile] + list[j].term;
}

void CNgramIndex::AddHits(const char16_t* text, size_t length, double* sums) const
{
    ForEachFound(text, length, 0, length, [this, sums](const Entry& e) { AddEntry(e, sums); });
}

void CNgramIndex::FindHits(const char16_t* text, size_t length, size_t begin, size_t end,
                           FoundEntries& found) const
{
    found.clear();
    ForEachFound(text, length, begin, end,
                 [this, &found](const Entry& e) { found.push_back(uint32_t(&e - m_entries.data())); });
}

void CNgramIndex::AddFound(const FoundEntries& found, double* sums) const
{
    for (uint32_t entry : found)
        AddEntry(m_entries[entry], sums);
}

size_t CNgramIndex::MemoryBytes() const
{
    return m_entries.capacity() * sizeof(Entry) +
           (m_postings.capacity() + m_singles.capacity()) * sizeof(Posting) +
           (m_filters[0].words.capacity() + m_filters[1].words.capacity()) * sizeof(uint64_t);
}
