// The identification engine: scores a text against every loaded profile and ranks the languages.
#pragma once

#include "NgramIndex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CLangProfile;
class CNgramTable;

// How IdentifyInto may score one long text on several threads: the n-grams of each chunk of
// `chunkUnits` units of the normalised text are found on `threads` threads while the hits are added
// chunk by chunk in text order, so every score is the same to the bit as on one thread. Texts of
// fewer than `fromUnits` units are scored on the caller's thread alone.
struct ChunkedScoring
{
    int threads = 1;
    size_t chunkUnits = size_t(1) << 16;
    size_t fromUnits = 100000;
};

struct LangScore
{
    const char16_t* name;  // borrowed: the profile's display name
    double score;          // raw average while scoring; scaled so that the best is exactly 1.0
    int profile = -1;      // which profile: its number in the identifier (GetProfile)
};

class CLangIdentifier
{
public:
    // The loader never lets the list grow beyond this many profiles.
    static constexpr int kMaxProfiles = 500;

    CLangIdentifier();
    CLangIdentifier(const CLangIdentifier&) = delete;
    CLangIdentifier& operator=(const CLangIdentifier&) = delete;
    ~CLangIdentifier();

    // Scores a NUL-terminated text against every profile. Returns the first of GetProfileCount()
    // records ranked best first, or null (results untouched) for a null or empty text or when no
    // profile is loaded. The records stay valid until the next call. Uses the merged index, built
    // here if the loader did not build it.
    const LangScore* Identify(const char16_t* text);

    // The same records, for threads that share one identifier: written to `results`, with `sums` as
    // scratch, both the caller's own. Reads the identifier only, so the index must be built
    // (BuildIndex) before; null, as Identify, for a null or empty text, without profiles, or when it
    // is not.
    // With `chunked`, a long text is scored on several threads.
    const LangScore* IdentifyInto(const char16_t* text, std::vector<LangScore>& results,
                                  std::vector<double>& sums, const ChunkedScoring& chunked = {}) const;

    // The same scores, to the bit, by looking every n-gram up in every profile's own table: the
    // reference the index is checked and measured against.
    const LangScore* IdentifyByLookups(const char16_t* text);

    // Builds the merged index of all loaded profiles; the loader calls it once at the end.
    void BuildIndex();
    size_t GetIndexBytes() const { return m_index.MemoryBytes(); }
    // Bytes held by the profiles' tables.
    size_t GetTableBytes() const;

    int GetProfileCount() const { return static_cast<int>(m_profiles.size()); }
    const CLangProfile* GetProfile(int index) const { return m_profiles[size_t(index)].get(); }

    // Loads a blob into a new profile and appends it. False, with nothing kept, when the blob is
    // rejected or the list already holds kMaxProfiles profiles.
    // An allocation failure leaves as std::bad_alloc, with nothing kept either.
    bool LoadProfile(const char16_t* displayName, const void* blob, size_t size);

private:
    enum class Path { Index, Lookups };
    std::vector<const CNgramTable*> Tables() const;
    const LangScore* Score(const char16_t* text, Path path);
    // Scores through the index into `results`, `sums` as scratch.
    void ScoreByIndex(const char16_t* norm, size_t length, std::vector<LangScore>& results,
                      std::vector<double>& sums, const ChunkedScoring& chunked = {}) const;
    // Adds the hits of the whole normalised text to `sums` as AddHits does, the finding spread over
    // chunked.threads threads.
    void AddHitsByChunks(const char16_t* norm, size_t length, double* sums, const ChunkedScoring& chunked) const;
    static void SortResults(std::vector<LangScore>& results);
    static void ScaleResults(std::vector<LangScore>& results);

    std::vector<std::unique_ptr<CLangProfile>> m_profiles;  // in load order
    std::vector<LangScore> m_results;       // the last identification, best first
    CNgramIndex m_index;                    // all profiles' n-grams, for one probe per n-gram
    std::vector<double> m_sums;             // per-profile sums, reused between calls
};
