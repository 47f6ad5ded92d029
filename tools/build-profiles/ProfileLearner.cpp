#include "ProfileLearner.h"

#include "LanguageTable.h"
#include "Ngram.h"
#include "Normalise.h"
#include "ProfileBuilder.h"

#include <algorithm>
#include <memory>

uint64_t CSplitMix::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool CutsAtCharacters(int language)
{
    const std::string name = ResourceName(language);
    return name == "CHINESE_SIMPLIFIED" || name == "CHINESE_TRADITIONAL" || name == "JAPANESE" ||
           name == "THAI";
}

namespace {

bool IsWordSpace(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

void CutWindows(const std::u16string& line, bool atCharacters, size_t minLength, size_t maxLength,
                CSplitMix& random, std::vector<std::u16string>& windows)
{
    const size_t n = line.size();
    size_t pos = 0;
    while (true) {
        while (pos < n && IsWordSpace(line[pos]))
            ++pos;
        if (pos >= n)
            return;
        const size_t target = minLength + random.Below(maxLength - minLength + 1);
        size_t end = 0;
        if (atCharacters) {
            end = std::min(n, pos + target);
            if (end < n && IsLowSurrogate(line[end]))
                --end;
        } else {
            // The last word end within the target, else the first one past minLength.
            size_t lastWithin = 0, firstPast = 0;
            for (size_t e = pos + 1; e <= n && e <= pos + maxLength; ++e) {
                if (!(e == n || IsWordSpace(line[e])) || IsWordSpace(line[e - 1]))
                    continue;
                if (e <= pos + target)
                    lastWithin = e;
                if (firstPast == 0 && e >= pos + minLength)
                    firstPast = e;
            }
            end = lastWithin >= pos + minLength ? lastWithin : firstPast;
        }
        if (end >= pos + minLength && end <= pos + maxLength) {
            windows.push_back(line.substr(pos, end - pos));
            pos = end;
            continue;
        }
        // Nothing fits from here: skip a word (or, between characters, the rest of the line).
        if (atCharacters)
            return;
        while (pos < n && !IsWordSpace(line[pos]))
            ++pos;
    }
}

namespace {

size_t HashOf(const PackedNgram& key)
{
    const uint64_t h = (key.low ^ (uint64_t(key.high) * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
    return size_t(h ^ (h >> 29));
}

// Every key of every profile, with the profiles that hold it (its postings) and what each hit of
// theirs adds, in units of 1 / total.
class CLearningIndex
{
public:
    CLearningIndex(const std::vector<std::vector<NgramCount>>& profiles, int32_t total)
    {
        size_t keyCount = 0;
        for (const auto& keys : profiles)
            keyCount += keys.size();
        size_t cells = 1;
        while (cells < 2 * keyCount + 2)
            cells *= 2;
        m_cells.assign(cells, Cell());
        // Postings grouped by key: first count each key's profiles, then fill.
        struct Entry { uint32_t id; uint8_t language; uint32_t index; };
        std::vector<Entry> entries;
        entries.reserve(keyCount);
        for (size_t language = 0; language < profiles.size(); ++language) {
            for (size_t i = 0; i < profiles[language].size(); ++i) {
                const std::u16string& text = profiles[language][i].key;
                const uint32_t id = Insert(PackedNgram::Of(text.data(), text.size()), int(text.size()), total);
                entries.push_back({id, uint8_t(language), uint32_t(i)});
            }
        }
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.id < b.id; });
        m_start.assign(m_keyFloor.size() + 1, 0);
        for (const Entry& e : entries)
            ++m_start[e.id + 1];
        for (size_t k = 1; k < m_start.size(); ++k)
            m_start[k] += m_start[k - 1];
        for (const Entry& e : entries) {
            m_language.push_back(e.language);
            m_profileIndex.push_back(e.index);
            m_term.push_back(m_keyFloor[e.id] - 1 + profiles[e.language][e.index].count);
        }
        m_weighed.assign(m_term.size(), 0);
    }

    // The id of a key, or -1.
    int64_t Find(const PackedNgram& key) const
    {
        const size_t mask = m_cells.size() - 1;
        for (size_t i = HashOf(key) & mask;; i = (i + 1) & mask) {
            if (m_cells[i].id < 0)
                return -1;
            if (m_cells[i].key == key)
                return m_cells[i].id;
        }
    }

    // The hits of a prepared text, as the engine looks them up: at the first five positions the
    // single unit, later every key of 5 down to 1 units that ends there.
    void Hits(const char16_t* units, size_t length, std::vector<uint32_t>& hits) const
    {
        for (size_t p = 0; p < length; ++p) {
            const size_t longest = p < size_t(kMaxNgramLength) ? 1 : size_t(kMaxNgramLength);
            for (size_t n = longest; n >= 1; --n) {
                const int64_t id = Find(PackedNgram::Of(units + p + 1 - n, n));
                if (id >= 0)
                    hits.push_back(uint32_t(id));
            }
        }
    }

    void Score(const uint32_t* hits, size_t count, int64_t* sums) const
    {
        std::fill(sums, sums + kLanguageCount, 0);
        for (size_t h = 0; h < count; ++h)
            for (uint32_t p = m_start[hits[h]]; p < m_start[hits[h] + 1]; ++p)
                sums[m_language[p]] += m_term[p];
    }

    // Adds `delta` to what a hit of `language` on each of the keys adds, never below the key's
    // length weight plus 1 (a stored count of 1). `step` is the number of the window being learnt from (from 1): what
    // each change weighs in the average is kept apart.
    void Adjust(const uint32_t* hits, size_t count, int language, int32_t delta, int64_t step)
    {
        for (size_t h = 0; h < count; ++h) {
            for (uint32_t p = m_start[hits[h]]; p < m_start[hits[h] + 1]; ++p) {
                if (m_language[p] == language) {
                    const int32_t changed = std::max(m_keyFloor[hits[h]], m_term[p] + delta);
                    m_weighed[p] += step * int64_t(changed - m_term[p]);
                    m_term[p] = changed;
                    break;
                }
            }
        }
    }

    // The terms averaged over every window learnt from so far (`steps` of them): the averaged
    // perceptron, steadier than the last terms. Whole numbers, rounded down.
    std::vector<int32_t> Averaged(int64_t steps) const
    {
        std::vector<int32_t> averaged(m_term.size());
        for (uint32_t id = 0; id + 1 < m_start.size(); ++id) {
            for (uint32_t p = m_start[id]; p < m_start[id + 1]; ++p) {
                int64_t part = m_weighed[p] / steps;
                if (m_weighed[p] % steps != 0 && m_weighed[p] < 0)
                    --part;
                averaged[p] = int32_t(std::max<int64_t>(m_term[p] - part, m_keyFloor[id]));
            }
        }
        return averaged;
    }

    const std::vector<int32_t>& Terms() const { return m_term; }
    void SetTerms(const std::vector<int32_t>& terms) { m_term = terms; }

    // Writes the learnt counts back into the profiles.
    void Store(std::vector<std::vector<NgramCount>>& profiles) const
    {
        for (uint32_t id = 0; id + 1 < m_start.size(); ++id)
            for (uint32_t p = m_start[id]; p < m_start[id + 1]; ++p)
                profiles[m_language[p]][m_profileIndex[p]].count = m_term[p] - (m_keyFloor[id] - 1);
    }

private:
    struct Cell
    {
        PackedNgram key;
        int64_t id = -1;
    };

    uint32_t Insert(const PackedNgram& key, int length, int32_t total)
    {
        const size_t mask = m_cells.size() - 1;
        size_t i = HashOf(key) & mask;
        while (m_cells[i].id >= 0 && !(m_cells[i].key == key))
            i = (i + 1) & mask;
        if (m_cells[i].id < 0) {
            m_cells[i].key = key;
            m_cells[i].id = int64_t(m_keyFloor.size());
            m_keyFloor.push_back(int32_t(g_ngramWeights[length]) * total + 1);
        }
        return uint32_t(m_cells[i].id);
    }

    std::vector<Cell> m_cells;          // open addressing, a power of two, at most half full
    std::vector<int32_t> m_keyFloor;    // per key: its length weight plus 1, in units
    std::vector<uint32_t> m_start;      // per key: where its postings start
    std::vector<uint8_t> m_language;    // per posting
    std::vector<uint32_t> m_profileIndex;
    std::vector<int32_t> m_term;        // per posting: what a hit adds, in units
    std::vector<int64_t> m_weighed;     // per posting: its changes, each times its window's number
};

// Windows of all languages, each with its label and its hits.
struct WindowSet
{
    std::vector<uint8_t> language;
    std::vector<size_t> start;  // into hits; one more entry than windows
    std::vector<uint32_t> hits;
    std::vector<uint32_t> length;  // prepared units, for the margin

    WindowSet() : start(1, 0) {}
    size_t Size() const { return language.size(); }

    void Append(const WindowSet& other)
    {
        const size_t base = hits.size();
        language.insert(language.end(), other.language.begin(), other.language.end());
        hits.insert(hits.end(), other.hits.begin(), other.hits.end());
        length.insert(length.end(), other.length.begin(), other.length.end());
        for (size_t w = 1; w < other.start.size(); ++w)
            start.push_back(base + other.start[w]);
    }
};

// The training and the validation lines of one corpus file, cleaned of control characters.
void SplitLines(const std::vector<std::u16string>& lines, const BuildRecipe& recipe,
                std::vector<std::u16string>& training, std::vector<std::u16string>& validation)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsDevelopmentLine(i, lines.size(), recipe.split))
            continue;
        std::u16string clean;
        if (!CleanLine(lines[i], clean))
            continue;
        const size_t block = size_t(uint64_t(i) * 40 / uint64_t(lines.size()));
        (block % 10 == size_t(recipe.validationBlock) ? validation : training).push_back(clean);
    }
}

// Up to `quota` windows cut from the lines, evenly spread over all the windows of `cuts` cuttings of
// every line (each cutting draws other lengths, so the windows start and end elsewhere).
void TakeWindows(const std::vector<std::u16string>& lines, int language, size_t quota,
                 const BuildRecipe& recipe, uint64_t seed, int cuts, std::vector<std::u16string>& taken)
{
    CSplitMix random(seed);
    std::vector<std::u16string> all;
    for (int cut = 0; cut < cuts; ++cut)
        for (const std::u16string& line : lines)
            CutWindows(line, CutsAtCharacters(language), size_t(recipe.learnMin), size_t(recipe.learnMax),
                       random, all);
    const size_t n = std::min(quota, all.size());
    for (size_t k = 0; k < n; ++k)
        taken.push_back(all[k * all.size() / n]);
}

void AddWindow(const CLearningIndex& index, int language, const std::u16string& text, WindowSet& set)
{
    size_t length = 0;
    std::unique_ptr<char16_t[]> prepared = NormaliseText(text.c_str(), &length);
    index.Hits(prepared.get(), length, set.hits);
    set.language.push_back(uint8_t(language));
    set.length.push_back(uint32_t(length));
    set.start.push_back(set.hits.size());
}

// The label's lead over the best other language (the engine ranks ties in catalogue order, so a
// tie with an earlier language is a loss), and that language.
int64_t Lead(const int64_t* sums, int label, int& rival)
{
    rival = -1;
    for (int l = 0; l < kLanguageCount; ++l)
        if (l != label && (rival < 0 || sums[l] > sums[rival]))
            rival = l;
    const int64_t lead = sums[label] - sums[rival];
    return lead == 0 && rival < label ? -1 : lead;
}

size_t CountRight(const CLearningIndex& index, const WindowSet& set)
{
    size_t right = 0;
    int64_t sums[kLanguageCount];
    for (size_t w = 0; w < set.Size(); ++w) {
        index.Score(set.hits.data() + set.start[w], set.start[w + 1] - set.start[w], sums);
        int rival = 0;
        right += Lead(sums, set.language[w], rival) > 0 ? 1 : 0;
    }
    return right;
}

// The training and validation windows of one language, with their hits.
void PrepareWindows(const std::vector<std::string>& corpusDirs, const BuildRecipe& recipe,
                    const CLearningIndex& index, int language, WindowSet& training, WindowSet& validation)
{
    std::vector<std::vector<std::u16string>> trainingLines, validationLines;
    for (const std::string& dir : corpusDirs) {
        std::vector<std::u16string> lines;
        if (!ReadCorpusFile(CorpusFilePath(dir, language), lines) || lines.empty())
            continue;  // the builder has already refused what it could not read
        trainingLines.emplace_back();
        validationLines.emplace_back();
        SplitLines(lines, recipe, trainingLines.back(), validationLines.back());
    }
    const LetterCase letterCase = LanguageTable[language].letterCase;
    const auto add = [&](const std::vector<std::vector<std::u16string>>& sources, size_t quota,
                         uint64_t seed, int cuts, WindowSet& set) {
        std::vector<std::u16string> windows;
        for (size_t s = 0; s < sources.size(); ++s)
            TakeWindows(sources[s], language, quota / sources.size(), recipe,
                        seed + 1000 * uint64_t(language) + s, cuts, windows);
        for (size_t w = 0; w < windows.size(); ++w) {
            // Some windows typed in capitals, so that the keys for capitals learn too.
            const bool capitals = recipe.capitalEvery > 0 && letterCase != LetterCase::None &&
                                  w % 5 == 4;
            AddWindow(index, language, capitals ? ToCapitals(windows[w], letterCase) : windows[w], set);
        }
    };
    add(trainingLines, size_t(recipe.learnWindows), 1, recipe.learnCuts, training);
    add(validationLines, size_t(recipe.learnWindows) / 4, 500000, 1, validation);
}

}  // namespace

void LearnCounts(const std::vector<std::string>& corpusDirs, const BuildRecipe& recipe, int32_t total,
                 int threads, std::vector<std::vector<NgramCount>>& profiles, LearningReport& report)
{
    CLearningIndex index(profiles, total);
    // The windows of every language on worker threads, then in catalogue order.
    std::vector<WindowSet> trainingOf(kLanguageCount), validationOf(kLanguageCount);
    ForEachLanguage(threads, [&](int language) {
        PrepareWindows(corpusDirs, recipe, index, language, trainingOf[size_t(language)],
                       validationOf[size_t(language)]);
    });
    WindowSet training, validation;
    size_t trainingHits = 0, validationHits = 0;
    for (int language = 0; language < kLanguageCount; ++language) {
        trainingHits += trainingOf[size_t(language)].hits.size();
        validationHits += validationOf[size_t(language)].hits.size();
    }
    training.hits.reserve(trainingHits);
    validation.hits.reserve(validationHits);
    for (int language = 0; language < kLanguageCount; ++language) {
        training.Append(trainingOf[size_t(language)]);
        validation.Append(validationOf[size_t(language)]);
        trainingOf[size_t(language)] = WindowSet();
        validationOf[size_t(language)] = WindowSet();
    }
    report.trainingWindows = training.Size();
    report.validationWindows = validation.Size();
    report.validationRight.assign(1, CountRight(index, validation));
    report.chosenEpoch = 0;
    std::vector<int32_t> best = index.Terms();

    std::vector<size_t> order(training.Size());
    for (size_t w = 0; w < order.size(); ++w)
        order[w] = w;
    CSplitMix random(uint64_t(recipe.learnSeed));
    int64_t sums[kLanguageCount];
    int64_t step = 0;
    for (int epoch = 1; epoch <= recipe.learnEpochs; ++epoch) {
        for (size_t i = order.size(); i > 1; --i)
            std::swap(order[i - 1], order[random.Below(i)]);
        for (size_t w : order) {
            ++step;
            const uint32_t* hits = training.hits.data() + training.start[w];
            const size_t count = training.start[w + 1] - training.start[w];
            index.Score(hits, count, sums);
            int rival = 0;
            const int label = training.language[w];
            if (Lead(sums, label, rival) > int64_t(recipe.learnMargin) * training.length[w])
                continue;
            index.Adjust(hits, count, label, recipe.learnStep, step);
            index.Adjust(hits, count, rival, -recipe.learnStep, step);
        }
        // The averaged terms are judged on the validation windows; the learning goes on from the
        // last ones.
        const std::vector<int32_t> last = index.Terms();
        const std::vector<int32_t> averaged = index.Averaged(step + 1);
        index.SetTerms(averaged);
        const size_t right = CountRight(index, validation);
        index.SetTerms(last);
        report.validationRight.push_back(right);
        if (right > report.validationRight[size_t(report.chosenEpoch)]) {
            report.chosenEpoch = epoch;
            best = averaged;
        }
    }
    index.SetTerms(best);
    index.Store(profiles);
}
