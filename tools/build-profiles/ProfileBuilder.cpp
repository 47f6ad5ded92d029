#include "ProfileBuilder.h"

#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "LetterTable.h"
#include "Ngram.h"
#include "Normalise.h"
#include "ProfileFormat.h"
#include "ProfileLearner.h"
#include "ProfileWriter.h"
#include "Utf8.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>
#include <unordered_map>

const char kCorpusDigestName[] = "corpus-digest.txt";

namespace {

// The n-grams are counted as PackedNgram keys, whose order (unit by unit, a prefix first) breaks
// every tie of a ranking.
int GramLength(const PackedNgram& key)
{
    return int(key.Length());
}

std::u16string GramText(const PackedNgram& key)
{
    char16_t units[kMaxNgramLength];
    return std::u16string(units, key.Unpack(units));
}

struct GramKeyHash
{
    size_t operator()(const PackedNgram& key) const
    {
        const uint64_t h = (key.low ^ (uint64_t(key.high) * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
        return size_t(h ^ (h >> 29));
    }
};

// The text of a language comes from two sources that are weighed apart: the first corpus and the
// later corpora together.
enum Source { kFirst = 0, kLater = 1, kSources = 2 };

// Occurrences of one n-gram per source: in all of the training text; in its ordinary lines only;
// and in the upper-cased copies of lines where it holds a unit that upper-casing changed.
struct NgramEntry
{
    PackedNgram key;  // the empty key marks an unused cell
    uint32_t count[kSources] = {};
    uint32_t ordinary[kSources] = {};
    uint32_t capital[kSources] = {};
};

enum class Occurrence { Ordinary, Copy, Capital };

// Open-addressing counter of packed n-grams. Its cell order never reaches a blob: every selection
// sorts with a full tie-break.
class CNgramCounter
{
public:
    CNgramCounter() : m_cells(size_t(1) << 16) {}

    void Add(const PackedNgram& key, Source source, Occurrence kind)
    {
        if (2 * (m_used + 1) > m_cells.size())
            Grow();
        NgramEntry& cell = Find(m_cells, key);
        if (cell.key.low == 0) {
            cell.key = key;
            ++m_used;
        }
        ++cell.count[source];
        if (kind == Occurrence::Ordinary)
            ++cell.ordinary[source];
        else if (kind == Occurrence::Capital)
            ++cell.capital[source];
    }

    const std::vector<NgramEntry>& Cells() const { return m_cells; }

private:
    static NgramEntry& Find(std::vector<NgramEntry>& cells, const PackedNgram& key)
    {
        const size_t mask = cells.size() - 1;
        size_t i = GramKeyHash()(key) & mask;
        while (cells[i].key.low != 0 && !(cells[i].key == key))
            i = (i + 1) & mask;
        return cells[i];
    }

    void Grow()
    {
        std::vector<NgramEntry> bigger(m_cells.size() * 2);
        for (const NgramEntry& cell : m_cells)
            if (cell.key.low != 0)
                Find(bigger, cell.key) = cell;
        m_cells.swap(bigger);
    }

    std::vector<NgramEntry> m_cells;  // a power of two in size, at most half full
    size_t m_used = 0;
};

// Counts every n-gram of 1 to 5 units of a prepared text. For an upper-cased copy `original` is the
// prepared line it was made from (same length, since upper-casing maps unit for unit): n-grams that
// hold a changed unit count as capital occurrences. For an ordinary line it is null.
void CountNgrams(const char16_t* text, size_t length, const char16_t* original, Source source,
                 CNgramCounter& counter)
{
    for (size_t start = 0; start < length; ++start) {
        PackedNgram key;
        bool changed = false;
        for (int n = 1; n <= kMaxNgramLength && start + n <= length; ++n) {
            const char16_t c = text[start + n - 1];
            key = key.Then(c);
            if (original == nullptr) {
                counter.Add(key, source, Occurrence::Ordinary);
                continue;
            }
            changed = changed || c != original[start + n - 1];
            counter.Add(key, source, changed ? Occurrence::Capital : Occurrence::Copy);
        }
    }
}

bool KeyHasLetter(const PackedNgram& key)
{
    const std::u16string text = GramText(key);
    return HasLetter(text.data(), text.size());
}

// Occurrence counts weighed by source: the first corpus counts as it comes, the later ones scaled
// down to their most.
struct SourceWeights
{
    double scale[kSources] = {1, 1};

    double Of(const uint32_t (&counts)[kSources]) const
    {
        return double(counts[kFirst]) * scale[kFirst] + double(counts[kLater]) * scale[kLater];
    }
};

struct RankedKey
{
    PackedNgram key;
    double rankCount;  // what the ranking sorts by
    double count;      // every occurrence in the training text, weighed by source
};

// Highest count first, ties broken by the key.
bool RanksBefore(const RankedKey& a, const RankedKey& b)
{
    return a.rankCount != b.rankCount ? a.rankCount > b.rankCount : a.key < b.key;
}

// The first `limit` keys of a ranking, in ranking order.
std::vector<RankedKey> TopKeys(std::vector<RankedKey> candidates, size_t limit)
{
    limit = std::min(limit, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + limit, candidates.end(), RanksBefore);
    candidates.resize(limit);
    return candidates;
}

// Everything the selection needs to know about one language.
struct LanguageCounts
{
    std::vector<RankedKey> ordinary;  // ranked by ordinary occurrences times the length weight,
                                      // longer than the budget
    std::vector<RankedKey> capital;   // the same for capital occurrences
    bool ordinaryCut = false;         // the ordinary ranking was cut at its room
    int64_t totalCount = 0;           // units of the prepared training text, copies included
    std::string error;                // why the language's text could not be read
};

int Budget(int keys, int language, const BuildRecipe& recipe)
{
    double share = LanguageTable[language].keyShare;
    const std::string name = ResourceName(language);
    for (const auto& replaced : recipe.shares)
        if (replaced.first == name)
            share = replaced.second;
    return int(std::lround(keys * share));
}

}  // namespace

void ForEachLanguage(int threads, const std::function<void(int)>& work)
{
    std::atomic<int> next(0);
    const auto worker = [&]() {
        for (int language = next++; language < kLanguageCount; language = next++)
            work(language);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::max(1, threads); ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool)
        t.join();
}

// Cleaning of a corpus line before it is prepared like scored text. Each rule:
// - a byte-order mark (U+FEFF) is dropped wherever it stands: it is invisible and never typed;
// - other control characters than tab (U+0000 to U+001F, U+007F) become spaces, so that no key holds
//   one (a pasted text carries none but tabs and line breaks);
// - lines that are empty or all spaces after that are skipped; they hold no n-gram but the marker.
// Everything else (digits, punctuation, symbols, letter case) stays: scored text keeps them too.
bool CleanLine(const std::u16string& line, std::u16string& clean)
{
    clean.clear();
    bool any = false;
    for (char16_t c : line) {
        if (c == 0xFEFF)
            continue;
        if ((c < 0x20 && c != u'\t') || c == 0x7F)
            c = u' ';
        if (c != u' ')
            any = true;
        clean.push_back(c);
    }
    return any;
}

namespace {

// Counts the training lines of one corpus file into `counter`; returns the units counted, copies
// included.
int64_t CountFile(const std::vector<std::u16string>& lines, Source source, int language,
                  const BuildRecipe& recipe, CNgramCounter& counter)
{
    const LetterCase letterCase = LanguageTable[language].letterCase;
    const bool capitalCopies = recipe.capitalEvery > 0 && letterCase != LetterCase::None;
    int64_t units = 0;
    std::u16string clean;
    size_t trainingIndex = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsDevelopmentLine(i, lines.size(), recipe.split) || !CleanLine(lines[i], clean))
            continue;
        size_t length = 0;
        std::unique_ptr<char16_t[]> prepared = NormaliseText(clean.c_str(), &length);
        CountNgrams(prepared.get(), length, nullptr, source, counter);
        units += int64_t(length);

        // An upper-cased copy of every n-th line teaches the profile text typed in capitals (only
        // in scripts with letter case: elsewhere a copy would differ only in stray Latin words).
        ++trainingIndex;
        if (capitalCopies && trainingIndex % size_t(recipe.capitalEvery) == 0) {
            // Preparing never looks at letter case, so the copy of the prepared line is the
            // prepared copy of the line.
            const std::u16string original(prepared.get(), length);
            const std::u16string capitals = ToCapitals(original, letterCase);
            if (capitals != original) {
                CountNgrams(capitals.c_str(), length, original.c_str(), source, counter);
                units += int64_t(length);
            }
        }
    }
    return units;
}

LanguageCounts CountLanguage(const std::vector<std::string>& corpusDirs, int language,
                             const BuildRecipe& recipe)
{
    LanguageCounts result;
    CNgramCounter counter;
    int64_t units[kSources] = {};
    for (size_t corpus = 0; corpus < corpusDirs.size(); ++corpus) {
        const std::string path = CorpusFilePath(corpusDirs[corpus], language);
        const Source source = corpus == 0 ? kFirst : kLater;
        std::vector<std::u16string> lines;
        std::string problem;
        if (!ReadCorpusFile(path, lines, &problem)) {
            // A later corpus need not have every language.
            if (source == kLater && problem == "missing")
                continue;
            result.error = "cannot read " + path + ": " + problem;
            return result;
        }
        units[source] += CountFile(lines, source, language, recipe, counter);
        if (source == kFirst && units[kFirst] == 0) {
            result.error = path + " holds no training text for " + ResourceName(language);
            return result;
        }
    }
    result.totalCount = units[kFirst] + units[kLater];

    // The later text counts as at most recipe.laterUnits units, whatever its amount.
    SourceWeights weights;
    if (units[kLater] > 0 && recipe.laterUnits > 0) {
        weights.scale[kLater] = std::min(1.0, recipe.laterUnits / double(units[kLater]));
        result.totalCount = units[kFirst] + int64_t(std::llround(double(units[kLater]) * weights.scale[kLater]));
    }

    std::vector<RankedKey> ordinary;
    std::vector<RankedKey> capital;
    const uint32_t minCount = uint32_t(std::max(1, recipe.minCount));
    for (const NgramEntry& cell : counter.Cells()) {
        if (cell.key.low == 0 || (!recipe.letterlessKeys && !KeyHasLetter(cell.key)))
            continue;
        const double weight = recipe.lengthPercent[GramLength(cell.key)];
        if (cell.ordinary[kFirst] + cell.ordinary[kLater] >= minCount)
            ordinary.push_back({cell.key, weights.Of(cell.ordinary) * weight, weights.Of(cell.count)});
        if (cell.capital[kFirst] + cell.capital[kLater] >= minCount)
            capital.push_back({cell.key, weights.Of(cell.capital) * weight, weights.Of(cell.count)});
    }
    // Room for the keys that the cross-language rule removes.
    const size_t ordinaryRoom = size_t(Budget(recipe.ordinaryKeys, language, recipe)) * 2 + 1000;
    result.ordinaryCut = ordinary.size() > ordinaryRoom;
    result.ordinary = TopKeys(std::move(ordinary), ordinaryRoom);
    const size_t capitalRoom = size_t(Budget(recipe.capitalKeys, language, recipe)) * 2 + 1000;
    result.capital = TopKeys(std::move(capital), recipe.capitalKeys > 0 ? capitalRoom : 0);
    return result;
}

// Keys that are in the top sets of at least `recipe.sharedLimit` languages, sorted: in the top
// `keys` of the ordinary rankings, or of the capital rankings.
std::vector<PackedNgram> SharedKeys(const std::vector<LanguageCounts>& languages,
                                  std::vector<RankedKey> LanguageCounts::*list, int keys,
                                  const BuildRecipe& recipe)
{
    std::vector<PackedNgram> all;
    for (int language = 0; language < int(languages.size()); ++language) {
        const std::vector<RankedKey>& ranking = languages[language].*list;
        const size_t top = std::min(ranking.size(), size_t(Budget(keys, language, recipe)));
        for (size_t i = 0; i < top; ++i)
            all.push_back(ranking[i].key);
    }
    std::sort(all.begin(), all.end());
    std::vector<PackedNgram> shared;
    for (size_t i = 0; i < all.size();) {
        size_t j = i;
        while (j < all.size() && all[j] == all[i])
            ++j;
        if (int(j - i) >= recipe.sharedLimit)
            shared.push_back(all[i]);
        i = j;
    }
    return shared;
}

// Stored counts that carry a bonus are fractions of this unit.
const int32_t kBonusUnit = 64;

// What every language's rankings know of each key's count, and how often a key they do not hold
// can occur there at most.
struct KnownCounts
{
    std::vector<std::unordered_map<PackedNgram, double, GramKeyHash>> counts;
    std::vector<double> cut;     // rank value of the last ordinary key kept; 0 when none was cut
    std::vector<double> totals;  // units of each language's training text
    const BuildRecipe* recipe = nullptr;

    double Bound(size_t language, const PackedNgram& key) const
    {
        if (cut[language] == 0)
            return std::max(0.5, double(recipe->minCount - 1));  // below the minimum count
        const int percent = recipe->lengthPercent[GramLength(key)];
        return percent > 0 ? cut[language] / percent : totals[language];
    }

    // The highest frequency of the key in any other language's training text, or the bound of it.
    double HighestElsewhere(const PackedNgram& key, int language) const
    {
        double highest = 0;
        for (size_t other = 0; other < counts.size(); ++other) {
            if (int(other) == language)
                continue;
            const auto it = counts[other].find(key);
            const double count = it != counts[other].end() ? it->second : Bound(other, key);
            highest = std::max(highest, count / totals[other]);
        }
        return highest;
    }
};

// The keys of a profile with their stored counts (fractions of kBonusUnit when they carry a bonus,
// plain occurrences otherwise), in the order they are inserted.
std::vector<NgramCount> ChooseKeys(const LanguageCounts& counts, int language,
                                   const std::vector<PackedNgram>& shared, const KnownCounts& known,
                                   const BuildRecipe& recipe)
{
    std::vector<RankedKey> chosen;
    const size_t budget = size_t(Budget(recipe.ordinaryKeys, language, recipe));
    for (const RankedKey& k : counts.ordinary) {
        if (chosen.size() == budget)
            break;
        if (!std::binary_search(shared.begin(), shared.end(), k.key))
            chosen.push_back(k);
    }

    // Then the keys that capitals bring, skipping the ones already taken.
    std::vector<PackedNgram> taken;
    for (const RankedKey& k : chosen)
        taken.push_back(k.key);
    std::sort(taken.begin(), taken.end());
    const size_t capitalBudget = chosen.size() + size_t(Budget(recipe.capitalKeys, language, recipe));
    for (const RankedKey& k : counts.capital) {
        if (chosen.size() == capitalBudget)
            break;
        if (!std::binary_search(taken.begin(), taken.end(), k.key) &&
            !std::binary_search(shared.begin(), shared.end(), k.key))
            chosen.push_back(k);
    }

    // Inserted by stored count, highest first, so that frequent keys sit nearest their start slot.
    std::vector<RankedKey> order = chosen;
    for (RankedKey& k : order)
        k.rankCount = k.count;
    std::sort(order.begin(), order.end(), RanksBefore);
    std::vector<NgramCount> keys;
    keys.reserve(order.size());
    if (recipe.bonusScale > 0) {
        // Scoring adds count / total to the length weight of every hit, so the stored count can
        // carry a bonus. The key's lead is the log of how much more often this language uses it
        // than any other does, between 0 and 5; the bonus is the scale times the cube of the lead
        // (keys a close language uses about as often get almost nothing, keys hardly anyone else
        // uses up to 250 at the shipped scale of 2), plus the key's own frequency. The total is
        // the unit of that fraction.
        const double unit = double(kBonusUnit);
        for (const RankedKey& k : order) {
            const double own = k.count / known.totals[language];
            const double ratio = own / known.HighestElsewhere(k.key, language);
            const double lead = std::min(5.0, std::max(0.0, std::log(ratio)));
            const double bonus = recipe.bonusScale * lead * lead * lead + own;
            const double count = std::min(std::round(bonus * unit), double(INT32_MAX));  // any scale fits
            keys.push_back({GramText(k.key), int32_t(std::max(1.0, count))});
        }
    } else {
        for (const RankedKey& k : order)
            keys.push_back({GramText(k.key), int32_t(std::max(1.0, std::round(k.count)))});
    }
    return keys;
}

// 64-bit FNV-1a: enough to tell that a file changed, not a defence against anyone.
uint64_t Fnv1a(const std::string& bytes)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// The last component of a folder path, trailing separators ignored.
std::string FolderName(std::string dir)
{
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\'))
        dir.pop_back();
    return std::filesystem::path(dir).filename().string();
}

// The bytes of a regular file. False, with the reason in `problem`, when it is missing, not a
// regular file (a folder or a FIFO would throw or never end) or cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string* problem)
{
    std::string why;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        why = "missing";
    } else if (ec) {
        why = "unreadable: " + ec.message();  // a loop of symbolic links, a folder not searchable
    } else if (!std::filesystem::is_regular_file(status)) {
        why = "not a regular file";
    } else if (std::filesystem::file_size(path, ec) > kMaxCorpusFileBytes) {
        why = "too large (over " + std::to_string(kMaxCorpusFileBytes >> 20) + " MiB)";
    } else {
        std::ifstream file(path, std::ios::binary);
        try {
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        } catch (const std::ios_base::failure&) {
            file.setstate(std::ios::badbit);
        }
        if (!file.is_open() || file.bad())
            why = "unreadable";
    }
    if (why.empty())
        return true;
    if (problem != nullptr)
        *problem = why;
    return false;
}

}  // namespace

std::vector<std::u16string> SplitCorpusText(const std::string& bytes)
{
    // Lines end at LF; every CR is dropped, so a CR LF line end counts as one line end.
    std::vector<std::u16string> lines;
    std::string line;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        const bool last = end == std::string::npos;
        if (last)
            end = bytes.size();
        line.assign(bytes, start, end - start);
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (!last || !line.empty())
            lines.push_back(DecodeUtf8(line));
        start = end + 1;
    }
    return lines;
}

bool ReadCorpusFile(const std::string& path, std::vector<std::u16string>& lines, std::string* problem)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes, problem))
        return false;

    lines = SplitCorpusText(bytes);
    return true;
}

std::string CorpusFilePath(const std::string& corpusDir, int language)
{
    return corpusDir + "/" + ResourceName(language) + ".txt";
}

bool IsDevelopmentLine(size_t index, size_t lineCount, SplitRule rule)
{
    if (rule == SplitRule::Lines)
        return index % 10 == 7;
    const size_t block = size_t(uint64_t(index) * 40 / uint64_t(lineCount));
    return block % 10 == 7;
}

namespace {

char16_t CapitalOf(char16_t c, bool turkish)
{
    if (c >= u'a' && c <= u'z')
        return turkish && c == u'i' ? char16_t(0x0130) : char16_t(c - 0x20);
    if (c < 0x00E0)
        return c;
    if (c <= 0x00FE)
        return c == 0x00F7 ? c : char16_t(c - 0x20);
    if (c == 0x00FF)
        return 0x0178;
    if (c == 0x0131)  // dotless i
        return u'I';
    // Latin Extended-A: pairs with the capital first, except two runs with the small letter first.
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177))
        return (c & 1) ? char16_t(c - 1) : c;
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
        return (c & 1) ? c : char16_t(c - 1);
    if (c == 0x01A1 || c == 0x01B0)  // Vietnamese ơ ư
        return char16_t(c - 1);
    if (c >= 0x0200 && c <= 0x0233 && c != 0x0220 && c != 0x0221)  // Romanian ș ț among them
        return (c & 1) ? char16_t(c - 1) : c;
    // Greek.
    if (c == 0x03AC)
        return 0x0386;
    if (c >= 0x03AD && c <= 0x03AF)
        return char16_t(c - 0x25);
    if (c == 0x03C2)  // final sigma
        return 0x03A3;
    if (c >= 0x03B1 && c <= 0x03CB)
        return char16_t(c - 0x20);
    if (c == 0x03CC)
        return 0x038C;
    if (c == 0x03CD || c == 0x03CE)
        return char16_t(c - 0x3F);
    // Cyrillic.
    if (c >= 0x0430 && c <= 0x044F)
        return char16_t(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F)
        return char16_t(c - 0x50);
    if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x052F))
        return (c & 1) ? char16_t(c - 1) : c;
    if (c >= 0x04C1 && c <= 0x04CE)
        return (c & 1) ? c : char16_t(c - 1);
    // Latin Extended Additional (Vietnamese among them).
    if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF))
        return (c & 1) ? char16_t(c - 1) : c;
    return c;
}

}  // namespace

std::u16string ToCapitals(const std::u16string& text, LetterCase letterCase)
{
    std::u16string out = text;
    for (char16_t& c : out)
        c = CapitalOf(c, letterCase == LetterCase::Turkic);
    return out;
}

bool HasLetter(const char16_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            continue;  // a lone surrogate
        }
        const LetterRange* end = kLetterRanges + kLetterRangeCount;
        const LetterRange* range = std::upper_bound(
            kLetterRanges, end, c, [](char32_t value, const LetterRange& r) { return value < r.first; });
        if (range != kLetterRanges && c <= (range - 1)->last)
            return true;
    }
    return false;
}

std::string ResourceName(int language)
{
    std::string name;
    for (const char16_t* p = LanguageTable[language].resourceName; *p != 0; ++p)
        name.push_back(char(*p));
    return name;
}

bool BuildProfiles(const std::vector<std::string>& corpusDirs, const BuildRecipe& recipe, int threads,
                   std::vector<std::vector<uint8_t>>& blobs, std::string& error, LearningReport* report)
{
    if (corpusDirs.empty()) {
        error = "no corpus folder given";
        return false;
    }
    for (const std::string& dir : corpusDirs) {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(dir, ec);
        if (!std::filesystem::is_directory(status)) {
            error = "corpus folder " + dir +
                    (status.type() == std::filesystem::file_type::not_found ? " not found"
                     : ec ? ": " + ec.message()
                          : " is not a folder");
            return false;
        }
    }

    // Counting is independent per language and runs on the workers; each result lands in its own
    // row, so the outcome does not depend on which worker took which language.
    std::vector<LanguageCounts> counts(kLanguageCount);
    ForEachLanguage(threads, [&](int language) { counts[language] = CountLanguage(corpusDirs, language, recipe); });

    for (int language = 0; language < kLanguageCount; ++language) {
        if (!counts[language].error.empty()) {
            error = counts[language].error;
            return false;
        }
    }

    std::vector<PackedNgram> shared;
    if (recipe.sharedLimit > 0) {
        shared = SharedKeys(counts, &LanguageCounts::ordinary, recipe.ordinaryKeys, recipe);
        const std::vector<PackedNgram> capital =
            SharedKeys(counts, &LanguageCounts::capital, recipe.capitalKeys, recipe);
        const size_t ordinaryEnd = shared.size();
        shared.insert(shared.end(), capital.begin(), capital.end());
        std::inplace_merge(shared.begin(), shared.begin() + ordinaryEnd, shared.end());
    }
    KnownCounts known;
    known.recipe = &recipe;
    if (recipe.bonusScale > 0) {
        known.counts.resize(kLanguageCount);
        for (int language = 0; language < kLanguageCount; ++language) {
            for (const std::vector<RankedKey>* list : {&counts[language].ordinary, &counts[language].capital})
                for (const RankedKey& k : *list)
                    known.counts[language][k.key] = k.count;

            const bool cut = counts[language].ordinaryCut && !counts[language].ordinary.empty();
            known.cut.push_back(cut ? counts[language].ordinary.back().rankCount : 0);
            known.totals.push_back(double(std::max<int64_t>(1, counts[language].totalCount)));
        }
    }
    std::vector<std::vector<NgramCount>> profiles;
    for (int language = 0; language < kLanguageCount; ++language)
        profiles.push_back(ChooseKeys(counts[language], language, shared, known, recipe));
    LearningReport learnt;
    // Learning needs the bonus's total, a power of two, so that the engine's sums are exact.
    if (recipe.bonusScale > 0 && recipe.learnEpochs > 0)
        LearnCounts(corpusDirs, recipe, kBonusUnit, threads, profiles, learnt);
    if (report != nullptr)
        *report = learnt;

    blobs.clear();
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::vector<NgramCount>& keys = profiles[size_t(language)];
        const int32_t slots = NextPrimeAbove(int32_t(std::ceil(recipe.slotFactor * double(keys.size()))));
        const int32_t total = recipe.bonusScale > 0 ? kBonusUnit : int32_t(counts[language].totalCount);
        blobs.push_back(WriteBlob(PlaceKeys(keys, slots), total));
    }
    return true;
}

int LanguageOfResourceName(const std::string& name)
{
    for (int language = 0; language < kLanguageCount; ++language)
        if (ResourceName(language) == name)
            return language;
    return -1;
}

std::string DescribeCorpusFiles(const std::vector<std::string>& corpusDirs)
{
    std::string text;
    for (const std::string& dir : corpusDirs) {
        for (int language = 0; language < kLanguageCount; ++language) {
            text += FolderName(dir) + "/" + ResourceName(language) + ".txt\t";
            std::string bytes, problem;
            if (!ReadFileBytes(CorpusFilePath(dir, language), bytes, &problem)) {
                text += problem + "\n";
                continue;
            }
            char digest[17];
            std::snprintf(digest, sizeof digest, "%016llx", (unsigned long long)Fnv1a(bytes));
            text += std::to_string(bytes.size()) + "\t" + digest + "\n";
        }
    }
    return text;
}

bool CheckBlobsLoad(const std::vector<std::vector<uint8_t>>& blobs, std::string& error, int* refused)
{
    CLangIdentifier identifier;
    for (size_t language = 0; language < blobs.size(); ++language) {
        if (language >= size_t(kLanguageCount) ||
            !identifier.LoadProfile(LanguageTable[language].displayName, blobs[language].data(),
                                    blobs[language].size())) {
            if (language >= size_t(kLanguageCount)) {
                error = "more blobs than languages";
                return false;
            }
            // A profile with no key at all is what the reader refuses most likely.
            const bool keyless = blobs[language].size() >= 12 && ReadLe32(blobs[language].data() + 8) == 0;
            error = "the profile built for " + ResourceName(int(language)) + " is refused by the reader" +
                    (keyless ? ": no n-gram of its training text was kept" : "");
            if (refused != nullptr)
                *refused = int(language);
            return false;
        }
    }
    return true;
}
