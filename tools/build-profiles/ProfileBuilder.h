// Building the 42 language profiles from the training corpus: reading and splitting the corpus,
// counting the n-grams of the prepared text and choosing the keys of every profile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How the keys of every profile are chosen. The defaults are the recipe of the shipped profiles;
// the command-line builder can override each field to try another recipe.
struct BuildRecipe
{
    int ordinaryKeys = 20000;  // keys taken from the language's own ranking by count
    int capitalKeys = 0;       // extra keys that occur only in the upper-cased copies of lines
    int capitalEvery = 0;      // every n-th training line also enters upper-cased; 0 for none
    int sharedLimit = 0;       // a key in the top sets of this many languages or more is left out
                               // of every profile (each refills from its own ranking); 0 for none
    int minCount = 1;          // keys seen fewer times than this are never taken
    double slotFactor = 5.0;   // slots: the smallest prime above slotFactor times the key count
    double smallShare = 1.0;   // share of both key budgets for the languages in small scripts
};

// Reads one corpus file as UTF-16 lines: UTF-8 decoded (a malformed sequence becomes U+FFFD, code
// points above U+FFFF become surrogate pairs), split at LF. False when the file cannot be read.
bool ReadCorpusFile(const std::string& path, std::vector<std::u16string>& lines);

// The development split. Every file is cut into 40 blocks of consecutive lines and every tenth
// block (numbers 7, 17, 27 and 37) is held out. The files are grouped by source, so contiguous
// blocks keep most of a held-out document or catalogue away from training.
bool IsDevelopmentLine(size_t index, size_t lineCount);

// The text as typed in capitals: every lower-case letter of the Latin, Greek and Cyrillic blocks
// becomes its capital, one unit for one unit (letters whose capital would need more units, like
// "ß", stay as they are). For Turkish "i" becomes the dotted capital "İ".
std::u16string ToCapitals(const std::u16string& text, bool turkish);

// True for a catalogue row whose script has letter case.
bool HasLetterCase(int language);

// The resource name of a catalogue row as ASCII ("ENGLISH").
std::string ResourceName(int language);

// Builds the blobs of all catalogue rows, in catalogue order, from <corpusDir>/<NAME>.txt, using
// `threads` worker threads. The result does not depend on the number of threads. False, with a
// message in `error`, when a corpus file is missing or unreadable.
bool BuildProfiles(const std::string& corpusDir, const BuildRecipe& recipe, int threads,
                   std::vector<std::vector<uint8_t>>& blobs, std::string& error);
