// tm-build-profiles: builds the 42 profile blobs from the training corpora.
//
//   tm-build-profiles [CORPUS_DIR...] [--out DIR] [--threads N] [recipe options]
//
// The corpus folders default to the three beside the repository (software strings and documentation,
// running text, short sentences), --out to res/profiles of the repository. The recipe options override the
// shipped recipe for experiments:
//   --keys N --capital-keys N --capital-every N --shared N --min-count N --slot-factor F
//   --length-percent P1,P2,P3,P4,P5 --share NAME=F,... --bonus F --later-units N
//   --letterless-keys --split blocks|lines
//   --learn-epochs N --learn-windows N --learn-step N --learn-margin N --learn-max N --learn-cuts N
// Any recipe option, or corpus folders other than the default ones, need an explicit --out, so that
// an experiment never overwrites the committed profiles. The blobs and the list of the corpus files
// read (corpus-digest.txt) replace the old ones together or not at all, through a journal that the
// next run on the folder finishes should this one be killed (see ReplaceFiles.h). The output folder
// is locked for the whole run: a second builder on it is refused. A corpus file may hold at most
// kMaxCorpusFileBytes (64 MiB).
#include "LanguageTable.h"
#include "ProfileBuilder.h"
#include "ProfileFormat.h"
#include "ProfileFolder.h"
#include "ProfileLearner.h"
#include "ReplaceFiles.h"

#include <chrono>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// More worker threads than languages would only wait.
const int kMaxThreads = 64;

int Usage(std::FILE* to = stderr, int status = 2)
{
    std::fprintf(to,
                 "usage: tm-build-profiles [CORPUS_DIR...] [--out DIR] [--threads N (1-%d)]\n"
                 "       [--keys N] [--capital-keys N] [--capital-every N] [--shared N]\n"
                 "       [--min-count N] [--slot-factor F] [--share NAME=F,...]\n"
                 "       [--length-percent P1,P2,P3,P4,P5] [--bonus F] [--later-units N]\n"
                 "       [--letterless-keys] [--split blocks|lines]\n"
                 "       [--learn-epochs N] [--learn-windows N] [--learn-step N] [--learn-margin N]\n"
                 "       [--learn-max N] [--learn-cuts N]\n"
                 "Recipe options and corpus folders other than the defaults need --out.\n"
                 "A corpus file may hold at most %d MiB.\n",
                 kMaxThreads, int(kMaxCorpusFileBytes >> 20));
    return status;
}

int Refuse(const std::string& option, const char* value, const std::string& expected)
{
    std::fprintf(stderr, "tm-build-profiles: %s wants %s, not '%s'\n", option.c_str(), expected.c_str(),
                 value);
    return 2;
}

// A whole decimal integer within [low, high].
bool ParseInt(const char* text, long low, long high, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || n < low || n > high)
        return false;
    value = int(n);
    return true;
}

// A whole finite number within [low, high].
bool ParseNumber(const char* text, double low, double high, double& value)
{
    char* end = nullptr;
    const double x = std::strtod(text, &end);
    if (end == text || *end != 0 || !std::isfinite(x) || x < low || x > high)
        return false;
    value = x;
    return true;
}

std::vector<std::string> SplitAtCommas(const std::string& list)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    for (size_t comma; (comma = list.find(',', pos)) != std::string::npos; pos = comma + 1)
        parts.push_back(list.substr(pos, comma - pos));
    parts.push_back(list.substr(pos));
    return parts;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // Past a file size limit a write should fail and be reported, not kill the builder.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string> defaultCorpora = {TM_DEFAULT_CORPUS_DIR, TM_DEFAULT_RUNNING_CORPUS_DIR,
                                                     TM_DEFAULT_SENTENCES_CORPUS_DIR};
    std::vector<std::string> corpusDirs;
    std::string outDir = TM_DEFAULT_PROFILE_DIR;
    bool outGiven = false;
    bool recipeGiven = false;
    int threads = std::min(kMaxThreads, std::max(1, int(std::thread::hardware_concurrency())));
    BuildRecipe recipe;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            corpusDirs.push_back(arg);
            continue;
        }
        if (arg == "--help")
            return Usage(stdout, 0);
        if (arg == "--letterless-keys") {
            recipe.letterlessKeys = true;
            recipeGiven = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tm-build-profiles: %s needs a value\n", arg.c_str());
            return Usage();
        }
        const char* value = argv[++i];
        const bool recipeOption = arg != "--out" && arg != "--threads";
        recipeGiven = recipeGiven || recipeOption;
        bool ok = true;
        std::string expected = "a whole number of at least 0";
        if (arg == "--out") {
            outDir = value;
            outGiven = true;
        } else if (arg == "--threads") {
            expected = "a whole number from 1 to " + std::to_string(kMaxThreads);
            ok = ParseInt(value, 1, kMaxThreads, threads);
        } else if (arg == "--keys") {
            expected = "a whole number from 1 to 1000000";
            ok = ParseInt(value, 1, 1000000, recipe.ordinaryKeys);
        } else if (arg == "--capital-keys") {
            ok = ParseInt(value, 0, 1000000, recipe.capitalKeys);
        } else if (arg == "--capital-every") {
            ok = ParseInt(value, 0, 1000000, recipe.capitalEvery);
        } else if (arg == "--shared") {
            ok = ParseInt(value, 0, 1000, recipe.sharedLimit);
        } else if (arg == "--min-count") {
            ok = ParseInt(value, 0, 1000000, recipe.minCount);
        } else if (arg == "--bonus") {
            expected = "a number from 0 to 1000";
            ok = ParseNumber(value, 0, 1000, recipe.bonusScale);
        } else if (arg == "--later-units") {
            expected = "a number of units from 0 to 1e9";
            ok = ParseNumber(value, 0, 1e9, recipe.laterUnits);
        } else if (arg == "--learn-epochs") {
            ok = ParseInt(value, 0, 1000, recipe.learnEpochs);
        } else if (arg == "--learn-windows") {
            expected = "a whole number from 4 to 1000000";
            ok = ParseInt(value, 4, 1000000, recipe.learnWindows);
        } else if (arg == "--learn-step") {
            expected = "a whole number from 1 to 100000";
            ok = ParseInt(value, 1, 100000, recipe.learnStep);
        } else if (arg == "--learn-max") {
            expected = "a whole number from 11 to 1000";
            ok = ParseInt(value, 11, 1000, recipe.learnMax);
        } else if (arg == "--learn-cuts") {
            expected = "a whole number from 1 to 100";
            ok = ParseInt(value, 1, 100, recipe.learnCuts);
        } else if (arg == "--learn-margin") {
            ok = ParseInt(value, 0, 1000000, recipe.learnMargin);
        } else if (arg == "--slot-factor") {
            expected = "a number above 1 and at most 100";
            ok = ParseNumber(value, 1, 100, recipe.slotFactor) && recipe.slotFactor > 1;
        } else if (arg == "--split") {
            expected = "blocks or lines";
            ok = std::string(value) == "blocks" || std::string(value) == "lines";
            recipe.split = std::string(value) == "lines" ? SplitRule::Lines : SplitRule::Blocks;
        } else if (arg == "--length-percent") {
            // five comma-separated percentages, for lengths 1 to 5
            expected = "five whole numbers from 0 to 1000, separated by commas";
            const std::vector<std::string> parts = SplitAtCommas(value);
            ok = parts.size() == 5;
            for (int n = 1; n <= 5 && ok; ++n)
                ok = ParseInt(parts[size_t(n - 1)].c_str(), 0, 1000, recipe.lengthPercent[n]);
        } else if (arg == "--share") {
            // NAME=F[,NAME=F...]; each replaces the catalogue's share of that language
            expected = "NAME=F pairs (F from 0 to 10) separated by commas";
            for (const std::string& item : SplitAtCommas(value)) {
                const size_t eq = item.find('=');
                double share = 0;
                ok = ok && eq != std::string::npos && ParseNumber(item.c_str() + eq + 1, 0, 10, share);
                if (ok && LanguageOfResourceName(item.substr(0, eq)) < 0) {
                    std::fprintf(stderr, "tm-build-profiles: --share: %s is not a language's resource "
                                         "name (ENGLISH, ...)\n", item.substr(0, eq).c_str());
                    return 2;
                }
                recipe.shares.push_back({item.substr(0, eq), share});
            }
        } else {
            std::fprintf(stderr, "tm-build-profiles: unknown option %s\n", arg.c_str());
            return Usage();
        }
        if (!ok)
            return Refuse(arg, value, expected);
    }
    const bool otherCorpora = !corpusDirs.empty() && corpusDirs != defaultCorpora;
    if ((recipeGiven || otherCorpora) && !outGiven) {
        std::fprintf(stderr, "tm-build-profiles: %s: give --out DIR (the profiles in %s are built "
                             "with the default recipe and corpora only)\n",
                     recipeGiven ? "a recipe option" : "other corpus folders", outDir.c_str());
        return 2;
    }
    if (corpusDirs.empty())
        corpusDirs = defaultCorpora;

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::vector<uint8_t>> blobs;
    std::string error;
    std::vector<std::string> names;
    for (int language = 0; language < kLanguageCount; ++language)
        names.push_back(ResourceName(language) + ".bin");
    names.push_back(kCorpusDigestName);
    // The output folder is ours until the end: a second builder on it is refused at once. What an
    // interrupted run left there is settled before anything else.
    CFolderLock lock;
    std::string note;
    if (!lock.Acquire(outDir, error) || !FinishReplacement(outDir, names, note, error)) {
        std::fprintf(stderr, "tm-build-profiles: %s\n", error.c_str());
        return 1;
    }
    if (!note.empty())
        std::fprintf(stderr, "tm-build-profiles: %s\n", note.c_str());
    LearningReport learnt;
    if (!BuildProfiles(corpusDirs, recipe, threads, blobs, error, &learnt)) {
        std::fprintf(stderr, "tm-build-profiles: %s\n", error.c_str());
        return 1;
    }

    std::vector<std::pair<std::string, std::string>> files;
    for (int language = 0; language < kLanguageCount; ++language)
        files.push_back({names[size_t(language)], std::string(blobs[language].begin(), blobs[language].end())});
    files.push_back({kCorpusDigestName, DescribeCorpusFiles(corpusDirs)});
    int refused = -1;
    if (!CheckBlobsLoad(blobs, error, &refused)) {
        std::string sources;
        for (const std::string& dir : corpusDirs)
            sources += (sources.empty() ? "" : ", ") + CorpusFilePath(dir, refused);
        if (refused >= 0)
            error += " (built from " + sources + ")";
        std::fprintf(stderr, "tm-build-profiles: %s; nothing was written\n", error.c_str());
        return 1;
    }
    if (!ReplaceFiles(outDir, files, error)) {
        std::fprintf(stderr, "tm-build-profiles: %s\n", error.c_str());
        return 1;
    }

    size_t totalBytes = 0;
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::vector<uint8_t>& blob = blobs[language];
        totalBytes += blob.size();
        std::printf("%-20s %8zu bytes  slots %6u  keys %6u  total %8u\n", ResourceName(language).c_str(),
                    blob.size(), ReadLe32(&blob[4]), ReadLe32(&blob[8]), ReadLe32(&blob[12]));
    }
    if (!learnt.validationRight.empty()) {
        std::printf("learnt from %zu windows; validation windows right by epoch (of %zu):",
                    learnt.trainingWindows, learnt.validationWindows);
        for (size_t right : learnt.validationRight)
            std::printf(" %zu", right);
        std::printf("; kept epoch %d\n", learnt.chosenEpoch);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d profiles, %zu bytes in all, built in %.1f s\n", kLanguageCount, totalBytes, seconds);
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        std::fprintf(stderr, "tm-build-profiles: the profiles were written, but the summary could not be\n");
        return 1;
    }
    return 0;
}
