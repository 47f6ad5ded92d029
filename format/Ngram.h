// The facts about n-grams that the profiles, the scoring and the profile builder share.
#pragma once

// Scoring looks up the n-grams of one to this many units ending at each position of a text; a
// profile may hold longer keys, but they are never looked up while scoring.
constexpr int kMaxNgramLength = 5;

// Weight of a hit by n-gram length, added to count / total; length 0 is never used.
inline constexpr double g_ngramWeights[kMaxNgramLength + 1] = {0, 7, 8, 4, 30, 40};
