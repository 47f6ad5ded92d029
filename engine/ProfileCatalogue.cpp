// The per-blob step of every catalogue loader; the program links only this part.
#include "ProfileCatalogue.h"

#include <new>

const char* DescribeProfileError(ProfileError error)
{
    switch (error) {
    case ProfileError::None: return "loaded";
    case ProfileError::Missing: return "missing";
    case ProfileError::NotRegularFile: return "not a regular file";
    case ProfileError::Unreadable: return "unreadable";
    case ProfileError::TooLarge: return "too large";
    case ProfileError::Rejected: return "rejected by the reader";
    case ProfileError::OutOfMemory: return "out of memory";
    case ProfileError::ListFull: return "too many profiles";
    }
    return "unknown";
}

ProfileError LoadCatalogueProfile(CLangIdentifier& identifier, const LanguageRow& row,
                                  const void* blob, size_t size)
{
    if (identifier.GetProfileCount() >= CLangIdentifier::kMaxProfiles)
        return ProfileError::ListFull;
    try {
        return identifier.LoadProfile(row.displayName, blob, size) ? ProfileError::None
                                                                  : ProfileError::Rejected;
    } catch (const std::bad_alloc&) {
        return ProfileError::OutOfMemory;
    }
}
