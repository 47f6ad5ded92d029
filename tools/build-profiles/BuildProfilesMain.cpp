// tm-build-profiles: builds the 42 profile blobs from the training corpus.
//
//   tm-build-profiles [CORPUS_DIR] [--out DIR] [--threads N] [recipe options]
//
// CORPUS_DIR defaults to the corpus folder beside the repository, --out to res/profiles of the
// repository. The recipe options override the shipped recipe for experiments:
//   --keys N --capital-keys N --capital-every N --shared N --min-count N --slot-factor F
//   --length-percent P1,P2,P3,P4,P5 --share NAME=F,... --bonus F --split blocks|lines
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
                 "       [--min-count N] [--slot-factor F] [--share NAME=F,...]\n"
                 "       [--length-percent P1,P2,P3,P4,P5] [--bonus F]\n"
                 "       [--split blocks|lines]\n");
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
        if (arg.rfind("--", 0) != 0) {
            if (corpusGiven)
                return Usage();
            corpusDir = arg;
            corpusGiven = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const char* value = argv[++i];
        if (arg == "--out") {
            outDir = value;
        } else if (arg == "--threads") {
            threads = std::atoi(value);
        } else if (arg == "--keys") {
            recipe.ordinaryKeys = std::atoi(value);
        } else if (arg == "--capital-keys") {
            recipe.capitalKeys = std::atoi(value);
        } else if (arg == "--capital-every") {
            recipe.capitalEvery = std::atoi(value);
        } else if (arg == "--shared") {
            recipe.sharedLimit = std::atoi(value);
        } else if (arg == "--bonus") {
            recipe.bonusScale = std::atof(value);
        } else if (arg == "--min-count") {
            recipe.minCount = std::atoi(value);
        } else if (arg == "--slot-factor") {
            recipe.slotFactor = std::atof(value);
        } else if (arg == "--split") {
            recipe.split = std::string(value) == "lines" ? SplitRule::Lines : SplitRule::Blocks;
        } else if (arg == "--length-percent") {
            // five comma-separated percentages, for lengths 1 to 5
            for (int n = 1; n <= 5; ++n) {
                recipe.lengthPercent[n] = std::atoi(value);
                value = std::strchr(value, ',');
                if ((value == nullptr) != (n == 5))
                    return Usage();
                value = value ? value + 1 : value;
            }
        } else if (arg == "--share") {
            // NAME=F[,NAME=F...]; the list given replaces the shipped one
            recipe.shares.clear();
            const std::string list = value;
            for (size_t pos = 0; pos < list.size();) {
                size_t end = list.find(',', pos);
                end = end == std::string::npos ? list.size() : end;
                const std::string item = list.substr(pos, end - pos);
                const size_t eq = item.find('=');
                if (eq == std::string::npos)
                    return Usage();
                recipe.shares.push_back({item.substr(0, eq), std::atof(item.c_str() + eq + 1)});
                pos = end + 1;
            }
        } else {
            return Usage();
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
