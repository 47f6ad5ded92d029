// The 42 built-in languages, in the order their profiles are loaded and scored.
#pragma once

struct LanguageRow
{
    const char16_t* displayName;   // Japanese name, then the English name in parentheses
    const char16_t* resourceName;  // name of the "LANGDATA" resource (and of res/profiles/<name>.bin)
};

constexpr int kLanguageCount = 42;
extern const LanguageRow LanguageTable[kLanguageCount];
