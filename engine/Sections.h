// Mixed-language text: which stretches of a text are in which language.
#pragma once

#include <cstddef>
#include <vector>

class CLangIdentifier;

// One stretch of text in one language: [start, end) in UTF-16 units of the text given, and the index
// of the identifier's profile (GetProfile), or kUnknownLanguage where nothing identifies it.
struct LanguageRun
{
    size_t start;
    size_t end;
    int profile;
};

constexpr int kUnknownLanguage = -1;

// Splits a text into runs that cover it whole, back to back, in order. The text is cut into pieces
// at sentence ends, line breaks and changes of script (a piece of at least a few words; a long one
// without any of them into parts of about a line), each piece is scored as Identify scores a text,
// and the sequence of languages that best explains the pieces' scores, with a cost for every change
// of language, is chosen. So a text in one language gives one run, a short piece that does not clearly belong
// elsewhere stays with its neighbours, and a run ends only where the evidence changes. Pieces
// without a clear best language (no letters, or four languages within 0.01, as in the verdict)
// count as evidence for none; a long stretch of them is a run of kUnknownLanguage.
// The text ends at `length` or at its first NUL, whichever comes first; an empty text gives no run,
// as does an identifier without profiles. The identifier's index must be built (BuildIndex); it is
// only read, so threads may share it. Deterministic. Throws std::bad_alloc when memory runs out.
std::vector<LanguageRun> FindLanguageRuns(const CLangIdentifier& identifier, const char16_t* text,
                                          size_t length);
