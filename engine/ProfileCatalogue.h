// Loading the catalogue's profiles. The program finds each blob among its resources and hands it to
// LoadCatalogueProfile; the tools, tests and benchmarks load a folder of blob files through
// CProfileCatalogue (ProfileFolder.h), which takes the same step for every blob it read.
#pragma once

#include "LangIdentifier.h"
#include "LanguageTable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Why a catalogue row did not load.
enum class ProfileError
{
    None,
    Missing,         // no file (or resource) of that name
    NotRegularFile,  // a folder, a device, a pipe, ...
    Unreadable,      // opening or reading it failed
    TooLarge,        // more than kMaxBlobBytes (ProfileFormat.h)
    Rejected,        // the reader refused the blob
    OutOfMemory,     // an allocation failed while reading or loading it
    ListFull,        // the identifier already holds CLangIdentifier::kMaxProfiles profiles
};

// A few words for messages: "missing", "not a regular file", ...
const char* DescribeProfileError(ProfileError error);

// The step every loader shares: loads `row`'s blob into a new profile and appends it to the
// identifier. An allocation failure is a failed load like any other; nothing of a failed profile
// remains. The table keeps what it needs, so the bytes may be freed as soon as this returns.
ProfileError LoadCatalogueProfile(CLangIdentifier& identifier, const LanguageRow& row,
                                  const void* blob, size_t size);
