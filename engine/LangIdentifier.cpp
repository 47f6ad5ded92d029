#include "LangIdentifier.h"

#include "Normalise.h"
#include "NgramTable.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

// Out of line, where CLangProfile is complete.
CLangIdentifier::CLangIdentifier() = default;
CLangIdentifier::~CLangIdentifier() = default;

bool CLangIdentifier::LoadProfile(const char16_t* displayName, const void* blob, size_t size)
{
    if (m_profiles.size() >= size_t(kMaxProfiles))
        return false;
    std::unique_ptr<CLangProfile> profile = std::make_unique<CLangProfile>();
    if (!profile->Load(displayName, blob, size))
        return false;
    m_profiles.push_back(std::move(profile));  // if the list cannot grow, the profile is freed here
    return true;
}

const LangScore* CLangIdentifier::Identify(const char16_t* text)
{
    return Score(text, Path::Index);
}

const LangScore* CLangIdentifier::IdentifyByLookups(const char16_t* text)
{
    return Score(text, Path::Lookups);
}

std::vector<const CNgramTable*> CLangIdentifier::Tables() const
{
    std::vector<const CNgramTable*> tables;
    for (const std::unique_ptr<CLangProfile>& profile : m_profiles)
        tables.push_back(&profile->Table());
    return tables;
}

void CLangIdentifier::BuildIndex()
{
    m_index.Build(Tables());
    m_sums.assign(m_profiles.size(), 0.0);
}

size_t CLangIdentifier::GetTableBytes() const
{
    size_t bytes = 0;
    for (const std::unique_ptr<CLangProfile>& profile : m_profiles)
        bytes += profile->Table().MemoryBytes();
    return bytes;
}

const LangScore* CLangIdentifier::IdentifyInto(const char16_t* text, std::vector<LangScore>& results,
                                               std::vector<double>& sums, const ChunkedScoring& chunked) const
{
    if (text == nullptr || text[0] == 0 || m_profiles.empty() || !m_index.IsBuiltFor(m_profiles.size()))
        return nullptr;
    size_t length = 0;
    std::unique_ptr<char16_t[]> norm = NormaliseText(text, &length);
    ScoreByIndex(norm.get(), length, results, sums, chunked);
    norm.reset();
    SortResults(results);
    ScaleResults(results);
    return results.data();
}

void CLangIdentifier::ScoreByIndex(const char16_t* norm, size_t length, std::vector<LangScore>& results,
                                   std::vector<double>& sums, const ChunkedScoring& chunked) const
{
    const double divisor = static_cast<double>(length);
    results.resize(m_profiles.size(), LangScore{nullptr, 0.0, -1});
    sums.assign(m_profiles.size(), 0.0);
    if (chunked.threads > 1 && chunked.chunkUnits > 0 && length >= chunked.fromUnits &&
        length > chunked.chunkUnits)
        AddHitsByChunks(norm, length, sums.data(), chunked);
    else
        m_index.AddHits(norm, length, sums.data());
    for (size_t i = 0; i < m_profiles.size(); ++i) {
        results[i].name = m_profiles[i]->DisplayName();
        results[i].score = sums[i] / divisor;
        results[i].profile = int(i);
    }
}

void CLangIdentifier::AddHitsByChunks(const char16_t* norm, size_t length, double* sums,
                                      const ChunkedScoring& chunked) const
{
    // The finders take the chunks in order, each into the slot of its number modulo the slots,
    // once the chunk that used the slot before has been added; this thread adds the chunks in order
    // as they are found. A finder that runs out of memory stops the whole identification.
    const size_t chunks = (length + chunked.chunkUnits - 1) / chunked.chunkUnits;
    const size_t threads = std::min(size_t(chunked.threads), chunks);
    struct Slot
    {
        CNgramIndex::FoundEntries found;
        size_t chunk = SIZE_MAX;  // the chunk found into it, or SIZE_MAX while being found
    };
    std::vector<Slot> slots(2 * threads);
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;   // the next chunk to find
    size_t added = 0;  // chunks added so far
    bool failed = false;

    auto find = [&]() {
        for (;;) {
            size_t chunk;
            {
                std::unique_lock<std::mutex> lock(mutex);
                // Wait until the slot's previous chunk has been added.
                changed.wait(lock, [&] { return failed || next >= chunks || next < added + slots.size(); });
                if (failed || next >= chunks)
                    return;
                chunk = next++;
                slots[chunk % slots.size()].chunk = SIZE_MAX;
            }
            Slot& slot = slots[chunk % slots.size()];
            const size_t begin = chunk * chunked.chunkUnits;
            bool ok = true;
            try {
                m_index.FindHits(norm, length, begin, std::min(length, begin + chunked.chunkUnits), slot.found);
            } catch (const std::bad_alloc&) {
                ok = false;
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (ok)
                slot.chunk = chunk;
            else
                failed = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> finders;
    for (size_t t = 0; t < threads; ++t)
        finders.emplace_back(find);
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        Slot& slot = slots[chunk % slots.size()];
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return failed || slot.chunk == chunk; });
            if (failed)
                break;
        }
        m_index.AddFound(slot.found, sums);
        std::lock_guard<std::mutex> lock(mutex);
        ++added;
        changed.notify_all();
    }
    for (std::thread& finder : finders)
        finder.join();
    if (failed)
        throw std::bad_alloc();
}

const LangScore* CLangIdentifier::Score(const char16_t* text, Path path)
{
    if (text == nullptr || text[0] == 0 || m_profiles.empty())
        return nullptr;
    if (path == Path::Index && !m_index.IsBuiltFor(m_profiles.size()))
        BuildIndex();

    size_t length = 0;
    std::unique_ptr<char16_t[]> norm = NormaliseText(text, &length);
    const double divisor = static_cast<double>(length);
    m_results.resize(m_profiles.size(), LangScore{nullptr, 0.0, -1});

    if (path == Path::Index) {
        ScoreByIndex(norm.get(), length, m_results, m_sums);
    } else {
        const char16_t* units = norm.get();
        for (size_t i = 0; i < m_profiles.size(); ++i) {
            const CLangProfile& profile = *m_profiles[i];
            const CNgramTable& table = profile.Table();
            const double total = static_cast<double>(table.TotalCount());
            double sum = 0.0;
            for (size_t p = 0; p < length; ++p) {
                // Every key is a view into the buffer, ending at position p.
                const int longest = p < size_t(kMaxNgramLength) ? 1 : kMaxNgramLength;
                for (int n = longest; n >= 1; --n) {
                    int32_t count;
                    if (table.Lookup(std::u16string_view(units + p + 1 - n, size_t(n)), &count)) {
                        const double term = static_cast<double>(count) / total + g_ngramWeights[n];
                        sum = sum + term;
                    }
                }
            }
            m_results[i].name = profile.DisplayName();
            m_results[i].score = sum / divisor;
            m_results[i].profile = int(i);
        }
    }
    norm.reset();

    SortResults(m_results);
    ScaleResults(m_results);
    return m_results.data();
}

void CLangIdentifier::SortResults(std::vector<LangScore>& results)
{
    // Best first; equal scores keep catalogue order, which every record carries as its profile
    // number. The order is total (scores are never NaN), so this is the order a stable insertion
    // sort with a strict comparison gives, in fewer steps and without allocating.
    std::sort(results.begin(), results.end(), [](const LangScore& a, const LangScore& b) {
        return a.score > b.score || (a.score == b.score && a.profile < b.profile);
    });
}

void CLangIdentifier::ScaleResults(std::vector<LangScore>& results)
{
    double max = 0.0;
    for (const LangScore& result : results)
        if (max < result.score)
            max = result.score;
    if (max > 0)
        for (LangScore& result : results)
            result.score = result.score / max;
}
