// tm-build-profiles: builds the 42 profile blobs from the training corpus.
//
//   tm-build-profiles [CORPUS_DIR] [--out DIR] [--threads N] [recipe options]
//
// CORPUS_DIR defaults to the corpus folder beside the repository, --out to res/profiles of the
// repository. The recipe options override the shipped recipe for experiments:
//   --keys N --capital-keys N --capital-every N --shared N --min-count N --slot-factor F
//   --small-share F
#include "LanguageTable.h"
#include "ProfileBuilder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: tm-build-profiles [CORPUS_DIR] [--out DIR] [--threads N]\n"
                 "       [--keys N] [--capital-keys N] [--capital-every N] [--shared N]\n"
                 "       [--min-count N] [--slot-factor F] [--small-share F]\n");
    return 2;
}

uint32_t Le32(const std::vector<uint8_t>& blob, size_t offset)
{
    return uint32_t(blob[offset]) | uint32_t(blob[offset + 1]) << 8 |
           uint32_t(blob[offset + 2]) << 16 | uint32_t(blob[offset + 3]) << 24;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string corpusDir = TM_DEFAULT_CORPUS_DIR;
    std::string outDir = TM_DEFAULT_PROFILE_DIR;
    int threads = int(std::thread::hardware_concurrency());
    BuildRecipe recipe;
    bool corpusGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg.rfind("--", 0) == 0 && !hasValue)
            return Usage();
        if (arg == "--out")
            outDir = argv[++i];
        else if (arg == "--threads")
            threads = std::atoi(argv[++i]);
        else if (arg == "--keys")
            recipe.ordinaryKeys = std::atoi(argv[++i]);
        else if (arg == "--capital-keys")
            recipe.capitalKeys = std::atoi(argv[++i]);
        else if (arg == "--capital-every")
            recipe.capitalEvery = std::atoi(argv[++i]);
        else if (arg == "--shared")
            recipe.sharedLimit = std::atoi(argv[++i]);
        else if (arg == "--min-count")
            recipe.minCount = std::atoi(argv[++i]);
        else if (arg == "--slot-factor")
            recipe.slotFactor = std::atof(argv[++i]);
        else if (arg == "--small-share")
            recipe.smallShare = std::atof(argv[++i]);
        else if (arg.rfind("--", 0) == 0 || corpusGiven)
            return Usage();
        else {
            corpusDir = arg;
            corpusGiven = true;
        }
    }
    if (recipe.ordinaryKeys < 1 || recipe.slotFactor <= 1.0 || threads < 1)
        return Usage();

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::vector<uint8_t>> blobs;
    std::string error;
    if (!BuildProfiles(corpusDir, recipe, threads, blobs, error)) {
        std::fprintf(stderr, "tm-build-profiles: %s\n", error.c_str());
        return 1;
    }

    size_t totalBytes = 0;
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::vector<uint8_t>& blob = blobs[language];
        const std::string name = ResourceName(language);
        const std::string path = outDir + "/" + name + ".bin";
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(blob.data()), std::streamsize(blob.size()));
        if (!file) {
            std::fprintf(stderr, "tm-build-profiles: cannot write %s\n", path.c_str());
            return 1;
        }
        totalBytes += blob.size();
        std::printf("%-20s %8zu bytes  slots %6u  keys %6u  total %8u\n", name.c_str(), blob.size(),
                    Le32(blob, 4), Le32(blob, 8), Le32(blob, 12));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d profiles, %zu bytes in all, built in %.1f s\n", kLanguageCount, totalBytes, seconds);
    return 0;
}
