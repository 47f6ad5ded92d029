// Building the 42 language profiles from the training corpus: reading and splitting the corpus,
// counting the n-grams of the prepared text and choosing the keys of every profile.
//
// The training text of a language is its corpus file minus the development lines, each line cleaned
// and prepared exactly like scored text (NormaliseText: the ". " marker, line breaks, sentence marks
// and runs collapsed), plus the upper-cased copies of some lines. Keys are ranked by the number of
// their occurrences in that text. What a blob stores as count / total is the key's frequency per
// position (occurrences over the units of the text) plus the bonus described with the recipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Which corpus lines are held out of training (see IsDevelopmentLine).
enum class SplitRule { Blocks, Lines };

// How the keys of every profile are chosen. The defaults are the recipe of the shipped profiles;
// the command-line builder can override each field to try another recipe.
//
// The recipe in short: every language ranks its n-grams by count, with trigrams nearly last (a
// trigram hit weighs 4 against 30 and 40 for the 4- and 5-grams that it is part of) and 5-grams at
// 40 % of their count (a 5-gram mostly repeats the evidence of the 4-grams inside it, and the room
// buys more 4-grams, which match more text); a key in the top sets of 10 or more languages (the
// space, ". ", common letters and digits) is left out everywhere, since it adds the same to all of
// them; each profile takes the first 19,500 keys of what remains, plus 7,000 keys that text typed
// in capitals needs (learnt from an upper-cased copy of every second training line, ranked and
// thinned out the same way). Languages alone in their script need far
// fewer keys, and the room they leave keeps all 42 blobs within 12 MB. Scoring adds count / total
// to a hit's length weight, so the stored counts carry a bonus for keys that the language uses far
// more often than any other (twice the cube of the log of that ratio, the log at most 5), so that
// distinctive keys outweigh the ones close languages share.
struct BuildRecipe
{
    int ordinaryKeys = 19500;  // keys taken from the language's own ranking
    int capitalKeys = 7000;    // extra keys for capitals: ranked by their occurrences in the
                               // upper-cased copies, where they hold an upper-cased unit
    int capitalEvery = 2;      // every n-th training line also enters upper-cased; 0 for none
    int sharedLimit = 10;      // a key in the top sets of this many languages or more is left out
                               // of every profile (each refills from its own ranking); 0 for none
    double bonusScale = 2;     // weight of a key's lead over other languages in its stored count;
                               // 0 stores plain occurrence counts and the text's length as total
    int minCount = 2;          // keys seen fewer times than this are never taken
    double slotFactor = 2.5;   // slots: the smallest prime above slotFactor times the key count
    int lengthPercent[6] = {0, 100, 100, 1, 100, 40};  // ranking weight by key length, percent
    // Share of both key budgets for single languages (resource name, factor); others take 1.
    std::vector<std::pair<std::string, double>> shares = {
        {"GREEK", 0.3}, {"HEBREW", 0.3}, {"KOREAN", 0.3}, {"THAI", 0.3},
        {"VIETNAMESE", 0.5}, {"ARABIC", 0.5}, {"PERSIAN", 0.5}, {"JAPANESE", 0.4},
        {"CHINESE_SIMPLIFIED", 0.6}, {"CHINESE_TRADITIONAL", 0.6}};
    SplitRule split = SplitRule::Blocks;  // which lines are held out of training
};

// Reads one corpus file as UTF-16 lines: UTF-8 decoded (a malformed sequence becomes U+FFFD, code
// points above U+FFFF become surrogate pairs), split at LF. False when the file cannot be read.
bool ReadCorpusFile(const std::string& path, std::vector<std::u16string>& lines);

// The development split. Every file is cut into 40 blocks of consecutive lines and every tenth
// block (numbers 7, 17, 27 and 37) is held out. The files are grouped by source, so contiguous
// blocks keep most of a held-out document or catalogue away from training. The other rule, every
// tenth line (numbers 7, 17, ...), is for comparison only: it holds out text of the same documents
// that training sees, and so flatters.
bool IsDevelopmentLine(size_t index, size_t lineCount, SplitRule rule = SplitRule::Blocks);

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
