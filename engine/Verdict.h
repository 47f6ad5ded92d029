// The one-line verdict shown in the result label.
#pragma once

#include <string>

struct LangScore;

// Turns the ranked records of CLangIdentifier::Identify (null allowed) into the verdict text.
// Returns true when a language was named; false with "判定不能" when there are no results, the best
// score is not positive, or the four best scores lie within 0.01 of each other. With fewer than four records a missing record
// counts as a score of 0.0 (a language that matched nothing); no record past `count` is read.
bool FormatVerdict(const LangScore* results, int count, std::u16string& text);
