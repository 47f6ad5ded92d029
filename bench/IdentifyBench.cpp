// Identification and loading speed against 42 synthetic profiles of the shipped shape: about 5,000
// keys of 1 to 5 units each, in 18,169 to 54,413 slots.
#include "LangIdentifier.h"
#include "ProfileWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

const int32_t kSlotCounts[] = {18169, 21817, 31469, 37781, 45341, 54413};
const char16_t kLetters[] = u"etaoinshrdlucmfwypvbgkjqxz .,";

std::u16string RandomText(std::mt19937& rng, size_t length)
{
    std::u16string text;
    std::uniform_int_distribution<int> letter(0, int(sizeof kLetters / sizeof kLetters[0]) - 2);
    while (text.size() < length)
        text += kLetters[letter(rng)];
    return text;
}

const std::vector<std::vector<uint8_t>>& Blobs()
{
    static const std::vector<std::vector<uint8_t>> blobs = [] {
        std::vector<std::vector<uint8_t>> out;
        std::mt19937 rng(42);
        for (int p = 0; p < 42; ++p) {
            // Keys drawn from a per-profile text, so frequent n-grams come first as in real ones.
            const std::u16string source = RandomText(rng, 40000);
            std::vector<NgramCount> keys;
            std::vector<std::u16string> seen;
            for (size_t i = 0; keys.size() < 5000 && i + 5 < source.size(); ++i) {
                const std::u16string key = source.substr(i, 1 + (i * 7 + p) % 5);
                bool duplicate = false;
                for (size_t k = keys.size() > 64 ? keys.size() - 64 : 0; k < keys.size() && !duplicate; ++k)
                    duplicate = keys[k].key == key;
                if (!duplicate)
                    keys.push_back({key, int32_t(1 + i % 97)});
            }
            // Drop exact duplicates further apart; the placement needs unique keys.
            std::vector<NgramCount> unique;
            std::vector<std::u16string> sorted;
            for (const NgramCount& k : keys) {
                auto it = std::lower_bound(sorted.begin(), sorted.end(), k.key);
                if (it != sorted.end() && *it == k.key)
                    continue;
                sorted.insert(it, k.key);
                unique.push_back(k);
            }
            out.push_back(WriteBlob(PlaceKeys(unique, kSlotCounts[p % 6]), 160000));
        }
        return out;
    }();
    return blobs;
}

void LoadAll(CLangIdentifier& identifier)
{
    for (const std::vector<uint8_t>& blob : Blobs())
        identifier.LoadProfile(u"synthetic", blob.data(), blob.size());
}

void BM_Identify(benchmark::State& state)
{
    CLangIdentifier identifier;
    LoadAll(identifier);
    std::mt19937 rng(7);
    const std::u16string text = RandomText(rng, size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(identifier.Identify(text.c_str()));
    state.counters["units/s"] = benchmark::Counter(double(state.iterations()) * double(state.range(0)),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Identify)->Arg(100)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_LoadProfiles(benchmark::State& state)
{
    Blobs();
    size_t tables = 0, index = 0;
    for (auto _ : state) {
        CLangIdentifier identifier;
        LoadAll(identifier);
        identifier.BuildIndex();
        tables = identifier.GetTableBytes();
        index = identifier.GetIndexBytes();
        benchmark::DoNotOptimize(identifier.GetProfileCount());
    }
    state.counters["tables_MB"] = double(tables) / 1e6;
    state.counters["index_MB"] = double(index) / 1e6;
}
BENCHMARK(BM_LoadProfiles)->Name("LoadAndIndex")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
