// Building the 42 language profiles from training corpora: reading and splitting the corpora,
// counting the n-grams of the prepared text and choosing the keys of every profile.
//
// A corpus is a folder of <NAME>.txt files, one per catalogue row, one text a line. The first
// corpus must have text for every language; a later one (running text, say) may lack a file or
// leave it empty. The training text of a language is its files minus their development lines,
// each line cleaned and prepared exactly like scored text (NormaliseText: the ". " marker, line
// breaks, sentence marks and runs collapsed), plus the upper-cased copies of some lines. What a
// blob stores as count / total starts as the key's frequency per position plus the bonus described
// with the recipe; the learning then corrects it from the mistakes it causes on short windows of
// the training text (ProfileLearner.h).
#pragma once

#include "LanguageTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct LearningReport;

// Which corpus lines are held out of training (see IsDevelopmentLine).
enum class SplitRule { Blocks, Lines };

// How the keys of every profile are chosen. The defaults are the recipe of the shipped profiles;
// the command-line builder can override each field to try another recipe.
//
// The recipe in short: every language ranks its n-grams by frequency, with trigrams nearly last (a
// trigram hit weighs 4 against 30 and 40 for the 4- and 5-grams that it is part of) and 5-grams at
// 40 % (a 5-gram mostly repeats the evidence of the 4-grams inside it, and the room buys more
// 4-grams, which match more text); a key that holds no letter (digits, punctuation, spaces, the
// ". " marker alone) says nothing about the language and is never taken, so that a text without
// letters matches no profile; a key in the top sets of 10 or more languages (the space
// after a common letter, ". " before one) is left out everywhere, since it adds the same to all
// of them; each profile takes the first 19,500 keys of what remains, plus 7,000 keys that text
// typed in capitals needs (learnt from an upper-cased copy of every second training line, ranked
// and thinned out the same way). Languages alone in their script need far fewer keys (the share
// of the catalogue), and the room they leave keeps all 42 blobs within 12 MB. Scoring adds
// count / total to a hit's length weight, so the stored counts carry a bonus for keys that the
// language uses far more often than any other (twice the cube of the log of that ratio, the log at
// most 5), so that distinctive keys outweigh the ones close languages share. (The shared keys
// include English's commonest, " the" and "and ", which the untranslated strings of other
// languages' software text put in their top sets. Keeping every shared key and letting the learning
// weigh them gained 0.2 point on short windows but lost Norwegian to Danish in mixed text and
// running text with numbers around it, and took 1.6 times as long to build.)
//
// The later corpora count as at most 300,000 units of prepared text for every language; a language
// with more has each of their occurrences scaled down, so that a language with far more running
// text than a close neighbour does not win the neighbour's sentences for that reason alone. The
// learning then corrects the counts where they still lead to mistakes. (At 90,000 units, the
// amount before the learning, the short everyday sentences moved little; counting everything
// scored best on the validation windows but lost software text.)
struct BuildRecipe
{
    int ordinaryKeys = 19500;  // keys taken from the language's own ranking
    int capitalKeys = 7000;    // extra keys for capitals: ranked by their occurrences in the
                               // upper-cased copies, where they hold an upper-cased unit
    int capitalEvery = 2;      // every n-th training line also enters upper-cased; 0 for none
    int sharedLimit = 10;      // a key in the top sets of this many languages or more is left out
                               // of every profile (each refills from its own ranking); 0 for none
    double bonusScale = 2;     // weight of a key's lead over other languages in its stored count;
                               // 0 stores plain counts and the text's length as total
    int minCount = 2;          // keys seen fewer times than this are never taken
    double slotFactor = 2.5;   // slots: the smallest prime above slotFactor times the key count
    int lengthPercent[6] = {0, 100, 100, 1, 100, 40};  // ranking weight by key length, percent
    double laterUnits = 300000;  // the most the later corpora of a language count as, in units of
                                // prepared text, copies included; 0: as much as they hold
    bool letterlessKeys = false;  // also take keys without a letter (for comparison only)
    // Key shares that replace the catalogue's for single languages (resource name, factor).
    std::vector<std::pair<std::string, double>> shares;
    SplitRule split = SplitRule::Blocks;  // which lines are held out of training

    // Learning the stored counts from the profiles' own mistakes (see ProfileLearner.h). The
    // counts above are where it starts.
    int learnEpochs = 8;       // passes over the training windows; 0 keeps the counts above
    int learnWindows = 200000;  // training windows per language at most (a quarter as many for
                                // validation), from all its corpora alike where they have enough
    int learnMin = 10;         // window lengths, in UTF-16 units
    int learnMax = 30;
    int learnCuts = 4;         // each training line is cut into windows this many times
    int learnStep = 128;       // what one mistake moves a hit's stored count, in 1 / 64
    int learnMargin = 512;     // the lead per prepared unit below which a window counts as a mistake
    int learnSeed = 1;
    int validationBlock = 3;   // lines of blocks 3, 13, 23 and 33 of 40: the learning only
                               // validates on them (they still count for keys and counts)
};

// Calls work(language) for every catalogue row on `threads` threads (this one included), each row
// once, in no fixed order: the work writes only its own row's results.
void ForEachLanguage(int threads, const std::function<void(int)>& work);

// The largest corpus file read. While a file is counted the builder holds its bytes, its lines and
// the counts of its distinct n-grams: up to some 35 times the file's size for text as varied as
// all the languages' corpora together, and that for each language counted at once. So a file beyond
// this is refused.
constexpr uint64_t kMaxCorpusFileBytes = uint64_t(64) << 20;

// Reads one corpus file as UTF-16 lines: UTF-8 decoded (a malformed sequence becomes U+FFFD, code
// points above U+FFFF become surrogate pairs), split at LF. False when the file cannot be read,
// with the reason in `problem`: "missing", "not a regular file", "too large (over 64 MiB)" or
// "unreadable" (with the system's reason when it gives one).
bool ReadCorpusFile(const std::string& path, std::vector<std::u16string>& lines,
                    std::string* problem = nullptr);

// The lines of UTF-8 text, decoded and split as ReadCorpusFile does.
std::vector<std::u16string> SplitCorpusText(const std::string& bytes);

// The file of a catalogue row in a corpus folder: <dir>/<NAME>.txt.
std::string CorpusFilePath(const std::string& corpusDir, int language);

// The development split. Every file is cut into 40 blocks of consecutive lines and every tenth
// block (numbers 7, 17, 27 and 37) is held out. The files are grouped by source, so contiguous
// blocks keep most of a held-out document or catalogue away from training. The other rule, every
// tenth line (numbers 7, 17, ...), is for comparison only: it holds out text of the same documents
// that training sees, and so flatters.
bool IsDevelopmentLine(size_t index, size_t lineCount, SplitRule rule = SplitRule::Blocks);

// Cleans a corpus line before it is prepared like scored text; false for a line with nothing but
// spaces left (see ProfileBuilder.cpp for the rules).
bool CleanLine(const std::u16string& line, std::u16string& clean);

// The text as typed in capitals: every lower-case letter of the Latin, Greek and Cyrillic blocks
// becomes its capital, one unit for one unit (letters whose capital would need more units, like
// "ß", stay as they are). With Turkic letter case "i" becomes the dotted capital "İ".
std::u16string ToCapitals(const std::u16string& text, LetterCase letterCase);

// True when the UTF-16 text holds a letter or a mark (Unicode general category L or M, so Thai and
// Devanagari vowel signs count; digits, punctuation, symbols and spaces do not). A surrogate pair
// counts by its code point; a lone surrogate is no letter.
bool HasLetter(const char16_t* text, size_t length);

// The resource name of a catalogue row as ASCII ("ENGLISH").
std::string ResourceName(int language);
// The catalogue row of a resource name, -1 for none.
int LanguageOfResourceName(const std::string& name);

// Builds the blobs of all catalogue rows, in catalogue order, from the corpus folders (the first
// one required for every language, the later ones where they have text), using `threads` worker
// threads. The result does not depend on the number of threads. False, with a message in `error`,
// when a folder is missing, a file of the first corpus is missing, unreadable or holds no training
// text, or a file of a later corpus exists but cannot be read.
// What the learning did goes into `report` when given.
bool BuildProfiles(const std::vector<std::string>& corpusDirs, const BuildRecipe& recipe, int threads,
                   std::vector<std::vector<uint8_t>>& blobs, std::string& error,
                   LearningReport* report = nullptr);

// Whether the reader takes every blob (one per LanguageTable row, in table order); false, with a
// message in `error` naming the language, when a blob does not load (its row then in `refused`,
// when given).
bool CheckBlobsLoad(const std::vector<std::vector<uint8_t>>& blobs, std::string& error, int* refused = nullptr);

// One line per corpus file, "<folder name>/<NAME>.txt<TAB><bytes><TAB><digest>" (a 64-bit FNV-1a
// of the bytes, in hex), or "<folder name>/<NAME>.txt<TAB>missing": what the builder read. The
// builder stores it beside the blobs, so that a rebuild that differs can first name the input
// files that changed.
std::string DescribeCorpusFiles(const std::vector<std::string>& corpusDirs);

// The name of that description beside the blobs.
extern const char kCorpusDigestName[];
