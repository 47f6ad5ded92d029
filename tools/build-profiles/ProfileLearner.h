// Learning the stored counts of the profiles from their own mistakes, and the short windows of text
// that the learning and the evaluation cut from corpus lines.
//
// Scoring adds the length weight plus count / total for every hit, so with the total a power of two
// every term, and every sum of a short text, is exact in double arithmetic: the engine's ranking is
// the ranking of whole-number sums in units of 1 / total, in any order of addition. The learner
// scores in those units with integers only, so its decisions are the engine's decisions and the
// same on every host and for any number of threads.
#pragma once

#include "ProfileWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct BuildRecipe;

// A small deterministic generator (splitmix64): the same numbers on every host and library.
class CSplitMix
{
public:
    explicit CSplitMix(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    // A number in [0, n), n > 0.
    size_t Below(size_t n) { return size_t(Next() % uint64_t(n)); }

private:
    uint64_t m_state;
};

// Languages written without spaces between words (Chinese, Japanese, Thai): windows are cut at any
// character there.
bool CutsAtCharacters(int language);

// Cuts a line into consecutive windows of minLength to maxLength UTF-16 units, each a target length
// drawn from `random`: from the start of a word to the last word end within the target (the first
// word end past minLength when none is), or at any unit but inside a surrogate pair when
// `atCharacters`. Words that do not fit are skipped; spaces and tabs separate words.
void CutWindows(const std::u16string& line, bool atCharacters, size_t minLength, size_t maxLength,
                CSplitMix& random, std::vector<std::u16string>& windows);

// What the learning did, for the builder's summary.
struct LearningReport
{
    std::vector<size_t> validationRight;  // right validation windows after each epoch (0: before)
    size_t validationWindows = 0;
    size_t trainingWindows = 0;
    int chosenEpoch = 0;
};

// Learns the stored counts of every profile's keys (`profiles`, one per catalogue row, counts in
// units of 1 / `total`, total a power of two). Training windows of recipe.learnMin to
// recipe.learnMax units are cut from the training lines of the corpora (never the development
// lines); the lines of one more block in ten (recipe.validationBlock) are set aside as validation
// windows and only choose the epoch whose counts are kept. An epoch scores every training window,
// in a seeded order, exactly as the engine does; where the label does not lead the best other
// language by the margin, every hit of the label's profile gains the step and every hit of that
// other language loses it (a count never falls below 1). The counts kept are the average over all
// windows learnt from (the averaged perceptron), of the epoch that gets the most validation windows
// right. Counts only change; the keys stay. The windows are cut and looked up on `threads` threads;
// the learning itself is one sequence, so the result does not depend on their number.
void LearnCounts(const std::vector<std::string>& corpusDirs, const BuildRecipe& recipe, int32_t total,
                 int threads, std::vector<std::vector<NgramCount>>& profiles, LearningReport& report);
