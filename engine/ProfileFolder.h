// The catalogue loaded from a folder of blob files, one <resource name>.bin per row (res/profiles is
// one): for the tools, tests and benchmarks.
#pragma once

#include "ProfileCatalogue.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Where a folder keeps the blob of LanguageTable row `language`: <folder>/<resource name>.bin.
std::string BlobPath(const std::string& folder, int language);

// The journal that the profile builder keeps in a folder while it replaces the folder's files, which
// may then be a mix of two sets. The loaders refuse a folder that holds one; the builder's next run
// on the folder finishes the replacement and removes it.
extern const char kReplaceJournalName[];

// Reads a whole blob file: a regular file (or a link to one) of at most kMaxBlobBytes. Anything else
// is refused without being opened, so a pipe cannot stall the load. `bytes` is empty on failure.
ProfileError ReadBlobFile(const std::string& path, std::vector<uint8_t>& bytes);

struct ProfileFailure
{
    int language;  // the row in LanguageTable
    ProfileError error;
};

// The failures for a message, grouped by reason in table order ("missing: DANISH WELSH; not a
// regular file: ENGLISH"), or "all 42 missing" when every row failed alike.
std::string DescribeFailures(const std::vector<ProfileFailure>& failures);

// The catalogue loaded from a folder: an identifier with every profile that loaded, in table order,
// and the reason for every row that did not. Each file's bytes are freed once its profile is loaded.
class CProfileCatalogue
{
public:
    CProfileCatalogue() = default;
    CProfileCatalogue(const CProfileCatalogue&) = delete;
    CProfileCatalogue& operator=(const CProfileCatalogue&) = delete;

    // Tries every row; true when at least one profile loaded. Call once. The identifier builds its
    // index at the first identification, or when its BuildIndex is called. A folder that is not one
    // (missing, a file, an empty name) or holds an unfinished replacement is refused whole, with
    // FolderProblem saying why and no row tried.
    bool Load(const std::string& folder);

    CLangIdentifier& Identifier() { return m_identifier; }
    const CLangIdentifier& Identifier() const { return m_identifier; }
    // The LanguageTable row of the identifier's profile number `profile`.
    int LanguageOf(int profile) const { return m_languages[size_t(profile)]; }
    // Every row that did not load, in table order.
    const std::vector<ProfileFailure>& Failures() const { return m_failures; }
    // The bytes of the blobs that loaded.
    size_t BlobBytes() const { return m_blobBytes; }
    // Why the folder was refused whole; empty when its rows were tried.
    const std::string& FolderProblem() const { return m_folderProblem; }

private:
    size_t m_blobBytes = 0;
    std::string m_folderProblem;
    CLangIdentifier m_identifier;
    std::vector<int> m_languages;               // one per loaded profile
    std::vector<ProfileFailure> m_failures;
};
