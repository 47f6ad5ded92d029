// tm-evaluate: measures how well the profiles identify labelled text.
//
//   tm-evaluate [--profiles DIR] [--capitals] [--mixed] [--errors] [--threads N] FILE...
//       Each FILE (or - for stdin) holds lines "NAME<TAB>text", NAME a resource name like ENGLISH.
//       Prints, for every file and (with several files) for all of them together, the accuracy
//       overall and per length bucket (short 10-30, medium 31-100, long 101-400 UTF-16 units), the
//       rate of "判定不能", per-language accuracy and the top confusions. Texts without a letter
//       are counted apart: no language can be told from them, and 判定不能 is their right answer.
//       --capitals scores the texts of the languages with letter case in capitals instead;
//       --mixed adds numbers, a URL or punctuation around every text (the same for every run);
//       --errors lists every text that was not identified, with its verdict.
//   tm-evaluate --dev-set [CORPUS_DIR] [--per-language N] [--split blocks|lines]
//       Writes the development set of one corpus (default: the first training corpus): its
//       held-out lines (the builder never trains on them), as "NAME<TAB>text" lines, at most N per
//       language (default 1500, evenly spread). A language without a file in the folder has no
//       lines (a later corpus holds only some languages). Every file is read before anything is
//       written. --split lines takes every tenth line instead of every tenth block (for
//       comparison; the builder must then be run with the same option).
//   tm-evaluate --dev-set --windows [CORPUS_DIR...] [--per-language N] [--seed N]
//       Short text from the same held-out lines of every corpus (default: the three training
//       corpora): each line cut into consecutive windows of 10 to 30 UTF-16 units at word ends (at
//       characters in Chinese, Japanese and Thai), at most N windows per language (default 1500),
//       drawn with the seed (default 1). The same seed gives the same windows.
//
// A text counts as correct when the verdict names a language and the best-ranked one is its label.
// --threads is at most 64; the threads share one index. An input that cannot be read or holds no
// NAME<TAB>text line, or no text left to score, is an error (exit 1), not a result of 0 texts.
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "NgramTable.h"
#include "ProfileBuilder.h"
#include "ProfileFolder.h"
#include "ProfileLearner.h"
#include "Utf8.h"
#include "Verdict.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const size_t kMinLength = 10;
const size_t kMaxLength = 400;
const int kMaxThreads = 64;

// A development sample: the held-out line, trimmed of spaces, cut back to a word end when it is
// longer than the long bucket.
bool MakeSample(std::u16string line, std::u16string& sample)
{
    while (!line.empty() && (line.back() == u' ' || line.back() == u'\t'))
        line.pop_back();
    size_t start = 0;
    while (start < line.size() && (line[start] == u' ' || line[start] == u'\t'))
        ++start;
    line.erase(0, start);
    if (line.size() > kMaxLength) {
        size_t cut = line.rfind(u' ', kMaxLength);
        if (cut == std::u16string::npos || cut < kMaxLength / 2)
            cut = kMaxLength;
        line.resize(cut);
    }
    if (line.size() < kMinLength)
        return false;
    sample = line;
    return true;
}

// Standard output must have taken everything: a full disk or a closed pipe is an error.
int FinishOutput()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tm-evaluate: cannot write the output\n");
        return 1;
    }
    return 0;
}

// The held-out lines of every language in one corpus folder; a missing file gives none. False, with
// a message, when a file cannot be read or the folder holds none of the files.
bool ReadDevelopmentLines(const std::string& corpusDir, SplitRule rule,
                          std::vector<std::vector<std::u16string>>& held)
{
    held.assign(kLanguageCount, {});
    bool any = false;
    for (int language = 0; language < kLanguageCount; ++language) {
        std::vector<std::u16string> lines;
        std::string problem;
        if (!ReadCorpusFile(CorpusFilePath(corpusDir, language), lines, &problem)) {
            if (problem == "missing")
                continue;
            std::fprintf(stderr, "tm-evaluate: cannot read %s: %s; nothing written\n",
                         CorpusFilePath(corpusDir, language).c_str(), problem.c_str());
            return false;
        }
        any = true;
        for (size_t i = 0; i < lines.size(); ++i)
            if (IsDevelopmentLine(i, lines.size(), rule))
                held[language].push_back(lines[i]);
    }
    if (!any)
        std::fprintf(stderr, "tm-evaluate: %s holds no corpus file (<NAME>.txt); nothing written\n",
                     corpusDir.c_str());
    return any;
}

// At most `perLanguage` samples of every language, evenly spread.
int WriteSamples(const std::vector<std::vector<std::u16string>>& samples, size_t perLanguage)
{
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::vector<std::u16string>& all = samples[language];
        const size_t n = std::min(perLanguage, all.size());
        for (size_t k = 0; k < n; ++k)
            std::printf("%s\t%s\n", ResourceName(language).c_str(), EncodeUtf8(all[k * all.size() / n]).c_str());
    }
    return FinishOutput();
}

int WriteDevelopmentSet(const std::string& corpusDir, size_t perLanguage, SplitRule rule)
{
    // Every file is read first, so that an unreadable one leaves no half-written set behind.
    std::vector<std::vector<std::u16string>> held;
    if (!ReadDevelopmentLines(corpusDir, rule, held))
        return 1;
    std::vector<std::vector<std::u16string>> samples(kLanguageCount);
    std::u16string sample;
    for (int language = 0; language < kLanguageCount; ++language)
        for (const std::u16string& line : held[language])
            if (MakeSample(line, sample))
                samples[language].push_back(sample);
    return WriteSamples(samples, perLanguage);
}

// Short windows of the held-out lines of every corpus. Each language draws from its own generator,
// so its windows do not depend on the other languages' text.
int WriteDevelopmentWindows(const std::vector<std::string>& corpusDirs, size_t perLanguage, uint64_t seed,
                            SplitRule rule)
{
    std::vector<std::vector<std::u16string>> windows(kLanguageCount);
    for (size_t corpus = 0; corpus < corpusDirs.size(); ++corpus) {
        std::vector<std::vector<std::u16string>> held;
        if (!ReadDevelopmentLines(corpusDirs[corpus], rule, held))
            return 1;
        for (int language = 0; language < kLanguageCount; ++language) {
            CSplitMix random(seed * 1000003 + uint64_t(corpus) * 1000 + uint64_t(language));
            std::u16string clean;
            for (const std::u16string& line : held[language])
                if (CleanLine(line, clean))
                    CutWindows(clean, CutsAtCharacters(language), kMinLength, 30, random, windows[language]);
        }
    }
    // Spread over all windows of a language, in a seeded order so that no corpus comes first.
    for (int language = 0; language < kLanguageCount; ++language) {
        std::vector<std::u16string>& all = windows[language];
        CSplitMix random(seed * 7919 + uint64_t(language));
        for (size_t i = all.size(); i > 1; --i)
            std::swap(all[i - 1], all[random.Below(i)]);
    }
    return WriteSamples(windows, perLanguage);
}

// Numbers, a URL or punctuation around a text, chosen by the sample's number so that every run
// scores the same texts.
std::u16string AddMixedContent(const std::u16string& text, size_t number)
{
    switch (number % 6) {
    case 0: return text + u" 2024";
    case 1: return u"(" + text + u")";
    case 2: return text + u" https://example.org/page?id=42";
    case 3: return u"12.5% " + text;
    case 4: return u"- " + text + u" ...";
    default: return u"\"" + text + u"\" 3/4";
    }
}

struct Sample
{
    int language;
    std::u16string text;
    size_t file;         // which input file it came from
    int predicted = -1;  // -1 for "判定不能"
};

int Bucket(size_t length)
{
    if (length < kMinLength || length > kMaxLength)
        return 3;
    return length <= 30 ? 0 : length <= 100 ? 1 : 2;
}

// Identifies every `step`th sample from `from` on through the catalogue's shared identifier, whose
// index is built: each thread keeps its own records.
void IdentifyRange(const CProfileCatalogue& catalogue, std::vector<Sample>& samples, size_t from, size_t step)
{
    const CLangIdentifier& identifier = catalogue.Identifier();
    std::vector<LangScore> records;
    std::vector<double> sums;
    std::u16string verdict;
    for (size_t s = from; s < samples.size(); s += step) {
        const LangScore* results = identifier.IdentifyInto(samples[s].text.c_str(), records, sums);
        if (!FormatVerdict(results, identifier.GetProfileCount(), verdict))
            continue;
        samples[s].predicted = catalogue.LanguageOf(results[0].profile);
    }
}

double Percent(size_t part, size_t whole)
{
    return whole == 0 ? 0.0 : 100.0 * double(part) / double(whole);
}

// Reads the labelled lines of one input into `samples`; false, with a message, when the input
// cannot be read or a label is not a resource name.
bool ReadSamples(const std::string& path, size_t file, bool capitals, bool mixed,
                 std::vector<Sample>& samples)
{
    std::vector<std::u16string> lines;
    std::string problem;
    if (path == "-") {
        std::string bytes;
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;)
            bytes.append(chunk, n);
        if (std::ferror(stdin)) {
            std::fprintf(stderr, "tm-evaluate: cannot read standard input: %s\n", std::strerror(errno));
            return false;
        }
        lines = SplitCorpusText(bytes);
    } else if (!ReadCorpusFile(path, lines, &problem)) {
        std::fprintf(stderr, "tm-evaluate: cannot read %s: %s\n", path.c_str(), problem.c_str());
        return false;
    }
    bool labelled = false;
    for (const std::u16string& line : lines) {
        const size_t tab = line.find(u'\t');
        if (tab == std::u16string::npos)
            continue;
        labelled = true;
        const std::string name = EncodeUtf8(line.substr(0, tab));
        const int language = LanguageOfResourceName(name);
        if (language < 0) {
            std::fprintf(stderr, "tm-evaluate: %s: unknown language %s\n", path.c_str(), name.c_str());
            return false;
        }
        std::u16string text = line.substr(tab + 1);
        if (capitals) {
            if (LanguageTable[language].letterCase == LetterCase::None)
                continue;
            text = ToCapitals(text, LanguageTable[language].letterCase);
        }
        if (mixed)
            text = AddMixedContent(text, samples.size());
        if (!text.empty())
            samples.push_back({language, text, file});
    }
    if (!labelled)
        std::fprintf(stderr, "tm-evaluate: %s holds no NAME<TAB>text line\n",
                     path == "-" ? "standard input" : path.c_str());
    return labelled;
}

// The figures of the samples of one input file, or of all of them (file < 0).
void Report(const std::vector<Sample>& samples, long file)
{
    const char* bucketNames[] = {"short 10-30", "medium 31-100", "long 101-400", "other lengths"};
    size_t bucketTotal[4] = {}, bucketRight[4] = {};
    size_t total = 0, right = 0, undecided = 0, letterless = 0, letterlessUndecided = 0;
    std::vector<size_t> languageTotal(kLanguageCount), languageRight(kLanguageCount);
    std::map<std::pair<int, int>, size_t> confusions;
    for (const Sample& s : samples) {
        if (file >= 0 && s.file != size_t(file))
            continue;
        if (!HasLetter(s.text.data(), s.text.size())) {
            ++letterless;
            letterlessUndecided += s.predicted < 0 ? 1 : 0;
            continue;
        }
        const int bucket = Bucket(s.text.size());
        const bool ok = s.predicted == s.language;
        ++total;
        ++bucketTotal[bucket];
        ++languageTotal[s.language];
        if (ok) {
            ++right;
            ++bucketRight[bucket];
            ++languageRight[s.language];
        } else if (s.predicted < 0) {
            ++undecided;
        } else {
            ++confusions[{s.language, s.predicted}];
        }
    }

    std::printf("texts %zu  accuracy %.2f %%  undecided (判定不能) %.3f %%\n", total,
                Percent(right, total), Percent(undecided, total));
    for (int b = 0; b < 4; ++b)
        if (bucketTotal[b] > 0)
            std::printf("  %-14s %7zu texts  %.2f %%\n", bucketNames[b], bucketTotal[b],
                        Percent(bucketRight[b], bucketTotal[b]));
    if (letterless > 0)
        std::printf("without letters %zu texts (not counted above), %zu of them 判定不能\n", letterless,
                    letterlessUndecided);

    std::vector<int> order;
    for (int i = 0; i < kLanguageCount; ++i)
        if (languageTotal[i] > 0)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return Percent(languageRight[a], languageTotal[a]) < Percent(languageRight[b], languageTotal[b]);
    });
    std::printf("per language, weakest first:\n");
    for (int i : order)
        std::printf("  %-20s %6zu texts  %.2f %%\n", ResourceName(i).c_str(), languageTotal[i],
                    Percent(languageRight[i], languageTotal[i]));

    std::vector<std::pair<size_t, std::pair<int, int>>> ranked;
    for (const auto& c : confusions)
        ranked.push_back({c.second, c.first});
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::printf("top confusions (label -> verdict):\n");
    for (size_t i = 0; i < ranked.size() && i < 15; ++i)
        std::printf("  %-20s -> %-20s %5zu\n", ResourceName(ranked[i].second.first).c_str(),
                    ResourceName(ranked[i].second.second).c_str(), ranked[i].first);
}

int Evaluate(const std::vector<std::string>& paths, const std::string& profileDir, bool capitals,
             bool mixed, int threads, bool showErrors)
{
    // Every input is read and checked before any scoring.
    std::vector<Sample> samples;
    for (size_t f = 0; f < paths.size(); ++f)
        if (!ReadSamples(paths[f], f, capitals, mixed, samples))
            return 1;
    if (samples.empty()) {
        std::fprintf(stderr, "tm-evaluate: no text to score%s\n",
                     capitals ? " (--capitals leaves out the languages without letter case)" : "");
        return 1;
    }

    // Every profile must load. One index serves every thread.
    CProfileCatalogue catalogue;
    catalogue.Load(profileDir);
    if (!catalogue.FolderProblem().empty()) {
        std::fprintf(stderr, "tm-evaluate: cannot load profiles from %s: %s\n", profileDir.c_str(),
                     catalogue.FolderProblem().c_str());
        return 1;
    }
    const std::string failures = DescribeFailures(catalogue.Failures());
    if (!failures.empty()) {
        std::fprintf(stderr, "tm-evaluate: not loaded from %s: %s\n", profileDir.c_str(), failures.c_str());
        return 1;
    }
    catalogue.Identifier().BuildIndex();
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(IdentifyRange, std::cref(catalogue), std::ref(samples), size_t(t),
                          size_t(threads));
    for (std::thread& t : pool)
        t.join();

    if (showErrors)
        for (const Sample& s : samples)
            if (s.predicted != s.language && HasLetter(s.text.data(), s.text.size()))
                std::printf("%s -> %s\t%s\n", ResourceName(s.language).c_str(),
                            s.predicted < 0 ? "?" : ResourceName(s.predicted).c_str(),
                            EncodeUtf8(s.text).c_str());
    for (size_t f = 0; f < paths.size(); ++f) {
        if (paths.size() > 1)
            std::printf("== %s\n", paths[f].c_str());
        Report(samples, long(f));
    }
    if (paths.size() > 1) {
        std::printf("== together\n");
        Report(samples, -1);
    }
    return FinishOutput();
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: tm-evaluate [--profiles DIR] [--capitals] [--mixed] [--errors]\n"
                 "                   [--threads N (1-%d)] FILE...\n"
                 "       tm-evaluate --dev-set [CORPUS_DIR] [--per-language N] [--split blocks|lines]\n"
                 "       tm-evaluate --dev-set --windows [CORPUS_DIR...] [--per-language N] [--seed N]\n",
                 kMaxThreads);
    return 2;
}

// A whole decimal number within [low, high]; otherwise a message and false.
bool ParseCount(const std::string& option, const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || n < low || n > high) {
        std::fprintf(stderr, "tm-evaluate: %s wants a whole number from %ld to %ld, not '%s'\n",
                     option.c_str(), low, high, text);
        return false;
    }
    value = n;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string profileDir = TM_DEFAULT_PROFILE_DIR;
    std::vector<std::string> files;
    bool devSet = false, windows = false, capitals = false, mixed = false, showErrors = false;
    long perLanguage = 1500;
    long seed = 1;
    SplitRule rule = SplitRule::Blocks;
    long threads = std::min(kMaxThreads, std::max(1, int(std::thread::hardware_concurrency())));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valued = arg == "--split" || arg == "--profiles" || arg == "--threads" ||
                            arg == "--per-language" || arg == "--seed";
        if (valued && i + 1 >= argc) {
            std::fprintf(stderr, "tm-evaluate: %s needs a value\n", arg.c_str());
            return Usage();
        }
        if (arg == "--dev-set") {
            devSet = true;
        } else if (arg == "--windows") {
            windows = true;
        } else if (arg == "--seed") {
            if (!ParseCount(arg, argv[++i], 0, 1000000000, seed))
                return 2;
        } else if (arg == "--capitals") {
            capitals = true;
        } else if (arg == "--split") {
            const std::string value = argv[++i];
            if (value != "blocks" && value != "lines") {
                std::fprintf(stderr, "tm-evaluate: --split wants blocks or lines, not '%s'\n", value.c_str());
                return 2;
            }
            rule = value == "lines" ? SplitRule::Lines : SplitRule::Blocks;
        } else if (arg == "--errors") {
            showErrors = true;
        } else if (arg == "--mixed") {
            mixed = true;
        } else if (arg == "--profiles") {
            profileDir = argv[++i];
        } else if (arg == "--threads") {
            if (!ParseCount(arg, argv[++i], 1, kMaxThreads, threads))
                return 2;
        } else if (arg == "--per-language") {
            if (!ParseCount(arg, argv[++i], 1, 100000000, perLanguage))
                return 2;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "tm-evaluate: unknown option %s\n", arg.c_str());
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (windows) {
        if (!devSet)
            return Usage();
        if (files.empty())
            files = {TM_DEFAULT_CORPUS_DIR, TM_DEFAULT_RUNNING_CORPUS_DIR, TM_DEFAULT_SENTENCES_CORPUS_DIR};
        return WriteDevelopmentWindows(files, size_t(perLanguage), uint64_t(seed), rule);
    }
    if (devSet) {
        if (files.size() > 1)
            return Usage();
        return WriteDevelopmentSet(files.empty() ? TM_DEFAULT_CORPUS_DIR : files[0], size_t(perLanguage), rule);
    }
    if (files.empty())
        return Usage();
    return Evaluate(files, profileDir, capitals, mixed, int(threads), showErrors);
}
