// UTF-8 and UTF-16 conversions for the command-line tools, the profile builder and the benchmarks.
#pragma once

#include <string>

// Decodes UTF-8; each maximal subpart of an ill-formed sequence becomes one U+FFFD.
std::u16string DecodeUtf8(const std::string& bytes);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(const std::u16string& text);
