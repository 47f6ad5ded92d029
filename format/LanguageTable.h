// The 42 built-in languages, in the order their profiles are loaded and scored, with what the
// profile builder needs to know of each.
#pragma once

// Whether a language's script has capitals, and how its "i" is written in capitals.
enum class LetterCase
{
    None,    // no capitals (Arabic, Chinese, Hebrew, Japanese, Korean, Persian, Thai)
    Plain,   // i <-> I
    Turkic,  // i <-> İ (dotted capital) and ı <-> I
};

struct LanguageRow
{
    const char16_t* displayName;   // Japanese name, then the English name in parentheses
    const char16_t* resourceName;  // name of the "LANGDATA" resource (and of res/profiles/<name>.bin)
    LetterCase letterCase;         // how text typed in capitals looks (the builder learns it too)
    double keyShare;               // share of the builder's key budgets: a language alone in its
                                   // script tells itself apart with fewer keys
};

constexpr int kLanguageCount = 42;
extern const LanguageRow LanguageTable[kLanguageCount];
