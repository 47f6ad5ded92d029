// The identification engine: scores a text against every loaded profile and ranks the languages.
#pragma once

#include "NgramIndex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CLangProfile;
class CNgramTable;

struct LangScore
{
    const char16_t* name;  // borrowed: the profile's display name
    double score;          // raw average while scoring; scaled so that the best is exactly 1.0
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

    // The same scores, to the bit, by looking every n-gram up in every profile's own table: the
    // reference the index is checked and measured against.
    const LangScore* IdentifyByLookups(const char16_t* text);

    // Builds the merged index of all loaded profiles; the loader calls it once at the end.
    void BuildIndex();
    // The merged index of the loaded profiles laid out for AttachIndex (built first if needed);
    // empty on a big-endian host.
    std::vector<uint8_t> WriteIndex();
    // Uses such a layout in place instead of building the index: the bytes must stay as they are
    // while the identifier is in use. False, with nothing changed, unless they were laid out for
    // exactly the loaded profiles (see CNgramIndex::Attach).
    bool AttachIndex(const void* bytes, size_t size);
    size_t GetIndexBytes() const { return m_index.MemoryBytes(); }
    // Bytes held by the profiles' tables.
    size_t GetTableBytes() const;

    int GetProfileCount() const { return static_cast<int>(m_profiles.size()); }
    const CLangProfile* GetProfile(int index) const { return m_profiles[size_t(index)].get(); }

    // Loads a blob into a new profile and appends it. False, with nothing kept, when the blob is
    // rejected or the list already holds kMaxProfiles profiles. An allocation failure leaves as
    // std::bad_alloc, with nothing kept either.
    bool LoadProfile(const char16_t* displayName, const void* blob, size_t size);

private:
    enum class Path { Index, Lookups };
    std::vector<const CNgramTable*> Tables() const;
    const LangScore* Score(const char16_t* text, Path path);
    void SortResults();
    void ScaleResults();

    std::vector<std::unique_ptr<CLangProfile>> m_profiles;  // in load order
    std::vector<LangScore> m_results;       // the last identification, best first
    CNgramIndex m_index;                    // all profiles' n-grams, for one probe per n-gram
    std::vector<double> m_sums;             // per-profile sums, reused between calls
};
