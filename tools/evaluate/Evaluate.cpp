// tm-evaluate: measures how well the profiles identify labelled text.
//
//   tm-evaluate [--profiles DIR] [--capitals] [--mixed] [--threads N] FILE
//       FILE (or - for stdin) holds lines "NAME<TAB>text", NAME a resource name like ENGLISH.
//       Prints the accuracy overall and per length bucket (short 10-30, medium 31-100, long
//       101-400 UTF-16 units), the rate of "判定不能", per-language accuracy and the top confusions.
//       --capitals scores the texts of the languages with letter case in capitals instead;
//       --mixed adds numbers, a URL or punctuation around every text (the same for every run);
//       --errors lists every text that was not identified, with its verdict.
//   tm-evaluate --dev-set [CORPUS_DIR] [--per-language N]
//       Writes the development set: the held-out lines of the corpus (the builder never trains on
//       them), as "NAME<TAB>text" lines, at most N per language (default 1500, evenly spread).
//       --split lines takes every tenth line instead of every tenth block (for comparison; the
//       builder must then be run with the same option).
//
// A text counts as correct when the verdict names a language and the best-ranked one is its label.
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "NgramTable.h"
#include "ProfileBuilder.h"
#include "ProfileCatalogue.h"
#include "Utf8.h"
#include "Verdict.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

const size_t kMinLength = 10;
const size_t kMaxLength = 400;

int LanguageIndex(const std::string& name)
{
    for (int i = 0; i < kLanguageCount; ++i)
        if (ResourceName(i) == name)
            return i;
    return -1;
}

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

int WriteDevelopmentSet(const std::string& corpusDir, size_t perLanguage, SplitRule rule)
{
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::string name = ResourceName(language);
        std::vector<std::u16string> lines;
        if (!ReadCorpusFile(corpusDir + "/" + name + ".txt", lines)) {
            std::fprintf(stderr, "tm-evaluate: cannot read %s/%s.txt\n", corpusDir.c_str(), name.c_str());
            return 1;
        }
        std::vector<std::u16string> samples;
        std::u16string sample;
        for (size_t i = 0; i < lines.size(); ++i)
            if (IsDevelopmentLine(i, lines.size(), rule) && MakeSample(lines[i], sample))
                samples.push_back(sample);
        const size_t n = std::min(perLanguage, samples.size());
        for (size_t k = 0; k < n; ++k)
            std::printf("%s\t%s\n", name.c_str(), EncodeUtf8(samples[k * samples.size() / n]).c_str());
    }
    return 0;
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
    int predicted = -1;  // -1 for "判定不能"
};

int Bucket(size_t length)
{
    if (length < kMinLength || length > kMaxLength)
        return 3;
    return length <= 30 ? 0 : length <= 100 ? 1 : 2;
}

// Every profile must load: `failures` says which did not.
void IdentifyRange(const std::string& profileDir, std::vector<Sample>& samples, size_t from,
                   size_t step, std::string& failures)
{
    CProfileCatalogue catalogue;
    catalogue.Load(profileDir);
    failures = DescribeFailures(catalogue.Failures());
    if (!failures.empty())
        return;
    CLangIdentifier& identifier = catalogue.Identifier();
    std::u16string verdict;
    for (size_t s = from; s < samples.size(); s += step) {
        const LangScore* results = identifier.Identify(samples[s].text.c_str());
        if (!FormatVerdict(results, identifier.GetProfileCount(), verdict))
            continue;
        for (int i = 0; i < kLanguageCount; ++i)
            if (results[0].name == identifier.GetProfile(i)->m_displayName)
                samples[s].predicted = i;
    }
}

double Percent(size_t part, size_t whole)
{
    return whole == 0 ? 0.0 : 100.0 * double(part) / double(whole);
}

int Evaluate(const std::string& path, const std::string& profileDir, bool capitals, bool mixed,
             int threads, bool showErrors)
{
    std::vector<std::u16string> lines;
    if (path == "-") {
        const std::string tmp = "/dev/stdin";
        if (!ReadCorpusFile(tmp, lines))
            return 1;
    } else if (!ReadCorpusFile(path, lines)) {
        std::fprintf(stderr, "tm-evaluate: cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<Sample> samples;
    for (const std::u16string& line : lines) {
        const size_t tab = line.find(u'\t');
        if (tab == std::u16string::npos)
            continue;
        std::string name;
        for (size_t i = 0; i < tab; ++i)
            name.push_back(char(line[i]));
        const int language = LanguageIndex(name);
        if (language < 0) {
            std::fprintf(stderr, "tm-evaluate: unknown language %s\n", name.c_str());
            return 1;
        }
        std::u16string text = line.substr(tab + 1);
        if (capitals) {
            if (!HasLetterCase(language))
                continue;
            text = ToCapitals(text, name == "TURKEY");
        }
        if (mixed)
            text = AddMixedContent(text, samples.size());
        if (!text.empty())
            samples.push_back({language, text});
    }

    std::vector<std::thread> pool;
    std::vector<std::string> failures(static_cast<size_t>(threads));
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(IdentifyRange, profileDir, std::ref(samples), size_t(t), size_t(threads),
                          std::ref(failures[size_t(t)]));
    for (std::thread& t : pool)
        t.join();
    for (const std::string& failed : failures) {
        if (!failed.empty()) {
            std::fprintf(stderr, "tm-evaluate: not loaded from %s: %s\n", profileDir.c_str(), failed.c_str());
            return 1;
        }
    }

    const char* bucketNames[] = {"short 10-30", "medium 31-100", "long 101-400", "other lengths"};
    size_t bucketTotal[4] = {}, bucketRight[4] = {};
    size_t right = 0, undecided = 0;
    std::vector<size_t> languageTotal(kLanguageCount), languageRight(kLanguageCount);
    std::map<std::pair<int, int>, size_t> confusions;
    for (const Sample& s : samples) {
        const int bucket = Bucket(s.text.size());
        const bool ok = s.predicted == s.language;
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

    if (showErrors)
        for (const Sample& s : samples)
            if (s.predicted != s.language)
                std::printf("%s -> %s\t%s\n", ResourceName(s.language).c_str(),
                            s.predicted < 0 ? "?" : ResourceName(s.predicted).c_str(),
                            EncodeUtf8(s.text).c_str());
    std::printf("texts %zu  accuracy %.2f %%  undecided (判定不能) %.3f %%\n", samples.size(),
                Percent(right, samples.size()), Percent(undecided, samples.size()));
    for (int b = 0; b < 4; ++b)
        if (bucketTotal[b] > 0)
            std::printf("  %-14s %7zu texts  %.2f %%\n", bucketNames[b], bucketTotal[b],
                        Percent(bucketRight[b], bucketTotal[b]));

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
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: tm-evaluate [--profiles DIR] [--capitals] [--mixed] [--errors] [--threads N] FILE\n"
                 "       tm-evaluate --dev-set [CORPUS_DIR] [--per-language N] [--split blocks|lines]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string profileDir = TM_DEFAULT_PROFILE_DIR;
    std::string corpusDir = TM_DEFAULT_CORPUS_DIR;
    std::string file;
    bool devSet = false, capitals = false, mixed = false, showErrors = false;
    long perLanguage = 1500;
    SplitRule rule = SplitRule::Blocks;
    int threads = std::max(1, int(std::thread::hardware_concurrency()));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dev-set") {
            devSet = true;
        } else if (arg == "--capitals") {
            capitals = true;
        } else if (arg == "--split" && i + 1 < argc) {
            rule = std::string(argv[++i]) == "lines" ? SplitRule::Lines : SplitRule::Blocks;
        } else if (arg == "--errors") {
            showErrors = true;
        } else if (arg == "--mixed") {
            mixed = true;
        } else if (arg == "--profiles" && i + 1 < argc) {
            profileDir = argv[++i];
        } else if (arg == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (arg == "--per-language" && i + 1 < argc) {
            perLanguage = std::atol(argv[++i]);
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return Usage();
        } else if (file.empty()) {
            file = arg;
        } else {
            return Usage();
        }
    }
    if (threads < 1 || perLanguage < 1)
        return Usage();
    if (devSet)
        return WriteDevelopmentSet(file.empty() ? corpusDir : file, size_t(perLanguage), rule);
    if (file.empty())
        return Usage();
    return Evaluate(file, profileDir, capitals, mixed, threads, showErrors);
}
