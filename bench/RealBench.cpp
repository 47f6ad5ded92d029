// Identification of real prose against the 42 real profiles, through the merged index and through
// the per-profile lookups side by side, and the time and memory to load and index the profiles
// (the blobs read, the tables and index kept, and the process's peak).
//
// The prose is English running text from the training corpus (TM_CORPUS_DIR/ENGLISH.txt, lines
// joined by line feeds, cut to the first N UTF-16 units); bench/cld2-bench.js cuts the same texts.
#include "LangIdentifier.h"
#include "LanguageTable.h"
#include "ProfileFolder.h"
#include "Sections.h"
#include "Utf8.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// All 42 profiles, or nothing.
bool LoadAll(CProfileCatalogue& catalogue)
{
    return catalogue.Load(TM_PROFILE_DIR) && catalogue.Failures().empty();
}

const std::u16string& Prose()
{
    static const std::u16string prose = [] {
        std::ifstream in(std::string(TM_CORPUS_DIR) + "/ENGLISH.txt", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::u16string text = DecodeUtf8(bytes);
        while (!text.empty() && text.size() < 1000000)
            text += text;  // the corpus file is shorter than a million units
        return text;
    }();
    return prose;
}

CLangIdentifier* Identifier()
{
    static CProfileCatalogue* catalogue = [] {
        auto* loaded = new CProfileCatalogue;
        if (!LoadAll(*loaded)) {
            delete loaded;
            return static_cast<CProfileCatalogue*>(nullptr);
        }
        loaded->Identifier().BuildIndex();
        return loaded;
    }();
    return catalogue != nullptr ? &catalogue->Identifier() : nullptr;
}

// The identifier, with the first state.range(0) units of the prose in `text`; null, the benchmark
// skipped, without profiles or corpus.
CLangIdentifier* IdentifierAndProse(benchmark::State& state, std::u16string& text)
{
    CLangIdentifier* identifier = Identifier();
    const size_t length = size_t(state.range(0));
    if (identifier == nullptr || Prose().size() < length) {
        state.SkipWithError("profiles or corpus text not found");
        return nullptr;
    }
    text = Prose().substr(0, length);
    return identifier;
}

template <bool kIndex>
void BM_Prose(benchmark::State& state)
{
    std::u16string text;
    CLangIdentifier* identifier = IdentifierAndProse(state, text);
    if (identifier == nullptr)
        return;
    const size_t length = text.size();
    for (auto _ : state)
        benchmark::DoNotOptimize(kIndex ? identifier->Identify(text.c_str())
                                        : identifier->IdentifyByLookups(text.c_str()));
    state.counters["units/s"] = benchmark::Counter(double(state.iterations()) * double(length),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_Prose, true)->Name("Prose/index")->Arg(30)->Arg(300)->Arg(3000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Prose, false)->Name("Prose/lookups")->Arg(30)->Arg(300)->Arg(3000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// The runs of one language in the same texts (FindLanguageRuns scores each sentence or line with
// Identify), to set beside Prose/index.
void BM_ProseSections(benchmark::State& state)
{
    std::u16string text;
    CLangIdentifier* identifier = IdentifierAndProse(state, text);
    if (identifier == nullptr)
        return;
    const size_t length = text.size();
    identifier->Identify(text.c_str());  // builds the index once, outside the timing
    size_t runs = 0;
    for (auto _ : state)
        runs = FindLanguageRuns(*identifier, text.c_str(), text.size()).size();
    state.counters["runs"] = double(runs);
    state.counters["units/s"] = benchmark::Counter(double(state.iterations()) * double(length),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProseSections)->Name("Prose/sections")->Arg(300)->Arg(3000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// A million units made of the first 3,000 repeated: the same work as the long text with every
// lookup in a warm cache, which tells how much of the long text's time is memory.
void BM_ProseWarm(benchmark::State& state)
{
    CLangIdentifier* identifier = Identifier();
    if (identifier == nullptr || Prose().size() < 3000) {
        state.SkipWithError("profiles or corpus text not found");
        return;
    }
    std::u16string text;
    while (text.size() < 1000000)
        text += Prose().substr(0, 3000);
    text.resize(1000000);
    for (auto _ : state)
        benchmark::DoNotOptimize(identifier->Identify(text.c_str()));
    state.counters["units/s"] = benchmark::Counter(double(state.iterations()) * double(text.size()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProseWarm)->Name("Prose/index/warm/1000000")->Unit(benchmark::kMicrosecond);

// The process's peak resident memory so far, in bytes.
size_t PeakResidentBytes()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return size_t(usage.ru_maxrss) * 1024;
}

void BM_LoadAndIndex(benchmark::State& state)
{
    size_t tables = 0, blobs = 0, index = 0;
    for (auto _ : state) {
        CProfileCatalogue catalogue;
        if (!LoadAll(catalogue)) {
            state.SkipWithError("profiles not found");
            return;
        }
        blobs = catalogue.BlobBytes();
        tables = catalogue.Identifier().GetTableBytes();
        catalogue.Identifier().BuildIndex();
        index = catalogue.Identifier().GetIndexBytes();
        benchmark::DoNotOptimize(catalogue.Identifier().GetProfileCount());
    }
    state.counters["blobs_MB"] = double(blobs) / 1e6;
    state.counters["tables_MB"] = double(tables) / 1e6;
    state.counters["index_MB"] = double(index) / 1e6;
    // Everything the process held at its peak, the prose texts of the other benchmarks included
    // when they ran first: run this one alone (--benchmark_filter=LoadAndIndex) for the loader's.
    state.counters["peak_RSS_MB"] = double(PeakResidentBytes()) / 1e6;
}
BENCHMARK(BM_LoadAndIndex)->Unit(benchmark::kMillisecond)->Iterations(5);


}  // namespace
