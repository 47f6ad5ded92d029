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

// The file beside the blobs that holds their merged index laid out at build time
// (CLangIdentifier::WriteIndex), which the program attaches from its resources instead of building.
extern const char kIndexFileName[];

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

    // How the profiles are taken. Made: each as its table, for tools that look keys up profile by
    // profile (IdentifyByLookups). FromLayout: where every row loads and the folder's laid-out
    // index (kIndexFileName) was made from exactly these blobs, judged by their digests, as the
    // program takes its own: the blobs' headers and that index, with no table made or index built;
    // otherwise as Made.
    enum class Tables { Made, FromLayout };

    // Tries every row; true when at least one profile loaded. Call once. Unless the layout was
    // taken, the identifier builds its index at the first identification, or when its BuildIndex is
    // called. A folder that is not one (missing, a file, an empty name) or holds an unfinished
    // replacement is refused whole, with FolderProblem saying why and no row tried.
    bool Load(const std::string& folder, Tables tables = Tables::Made);

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
    // Takes every row from its blob's header and the folder's layout; false, with nothing taken,
    // when a blob or the layout cannot be read or the layout was made for other blobs.
    bool TakeLayout(const std::string& folder);

    size_t m_blobBytes = 0;
    std::string m_folderProblem;
    std::vector<uint64_t> m_layout;  // the laid-out index the identifier reads in place, if taken
    CLangIdentifier m_identifier;
    std::vector<int> m_languages;               // one per loaded profile
    std::vector<ProfileFailure> m_failures;
};
