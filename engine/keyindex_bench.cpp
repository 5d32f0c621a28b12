// Key lookups and key walks on a 1,000,000-key index in the page cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/fileio.h"
#include "engine/keyindex.h"
#include "engine/state.h"
#include "platform/paths.h"
#include "tools/sharegen/sharegen.h"

namespace {

using namespace zel::engine;
namespace sg = zel::sharegen;

constexpr int kKeys = 1000000;
constexpr std::int32_t kStartBlock = 2;

struct BenchIndex {
    std::shared_ptr<cLogicalFile> file;
    std::vector<std::string> keys;  // in random order
    int levels = 0;
};

std::string Folder() {
    const char* t = std::getenv("TMPDIR");
    static const std::string dir = std::string(t && *t ? t : "/tmp") + "/zel-keyindex-bench";
    return dir;
}

BenchIndex Make(bool extended) {
    if (!Engine().OpenFiles) Engine().OpenFiles = std::make_shared<cOpenFiles>();
    sg::IndexSpec spec;
    spec.keyLength = 8;
    spec.extended = extended;
    spec.blockSize = extended ? 2048 : 512;

    BenchIndex out;
    std::mt19937_64 rng(42);
    std::vector<sg::IndexEntry> entries;
    entries.reserve(kKeys);
    for (int i = 0; i < kKeys; ++i) {
        // Distinct keys: a random high half and the running number as the low half.
        std::string k(8, '\0');
        const std::uint64_t v = (rng() & 0xFFFFFFFF00000000ull) | static_cast<std::uint32_t>(i);
        for (int b = 0; b < 8; ++b)
            k[static_cast<std::size_t>(b)] = static_cast<char>(v >> (56 - 8 * b));
        entries.push_back({k, i + 1});
        out.keys.push_back(k);
    }
    sg::BuiltIndex idx = sg::BuildIndex(spec, std::move(entries));
    out.levels = idx.levels;

    std::filesystem::create_directories(Folder());
    const std::string native = Folder() + (extended ? "/EXTI" : "/PLAINI");
    {
        std::ofstream f(native, std::ios::binary | std::ios::trunc);
        const std::string lead(kStartBlock * 512, '\0');
        f.write(lead.data(), static_cast<std::streamsize>(lead.size()));
        f.write(idx.bytes.data(), static_cast<std::streamsize>(idx.bytes.size()));
    }
    std::string path = zel::platform::WindowsPath(native);
    auto lf = std::make_shared<cLogicalFile>();
    lf->FileName = "BENCHI";
    lf->FileType = "I";
    lf->OpenFile = OpenFile(path);
    lf->Position = kStartBlock;
    lf->RecordLength = spec.blockSize;
    lf->LastRecord = idx.lastRecord;
    lf->IsamPlus = extended;
    out.file = lf;
    return out;
}

const BenchIndex& Plain() {
    static BenchIndex idx = Make(false);
    return idx;
}
const BenchIndex& Extended() {
    static BenchIndex idx = Make(true);
    return idx;
}

void FindLoop(benchmark::State& state, const BenchIndex& idx) {
    std::string buff;
    std::string key;
    std::int32_t rec = 0;
    std::size_t i = 0;
    for (auto _ : state) {
        key = idx.keys[i];
        KFind(idx.file.get(), buff, key, rec);
        if (rec <= 0) state.SkipWithError("key not found");
        if (++i == idx.keys.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["levels"] = idx.levels;
}

void BM_KFind_Plain(benchmark::State& state) { FindLoop(state, Plain()); }
void BM_KFind_Extended(benchmark::State& state) { FindLoop(state, Extended()); }

void NextLoop(benchmark::State& state, const BenchIndex& idx) {
    std::int64_t keys = 0;
    for (auto _ : state) {
        std::string buff, key;
        std::int32_t rec = 0;
        KFind(idx.file.get(), buff, key, rec);
        std::int64_t n = 1;
        for (;;) {
            KNext(idx.file.get(), buff, key, rec);
            if (rec == 0) break;
            ++n;
        }
        if (n != kKeys) state.SkipWithError("walk did not see every key");
        keys += n;
    }
    state.SetItemsProcessed(keys);
}

void BM_KNext_Plain(benchmark::State& state) { NextLoop(state, Plain()); }
void BM_KNext_Extended(benchmark::State& state) { NextLoop(state, Extended()); }

void BM_KCount_Plain(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(KCount(Plain().file.get()));
    state.SetItemsProcessed(state.iterations() * kKeys);
}

BENCHMARK(BM_KFind_Plain);
BENCHMARK(BM_KFind_Extended);
BENCHMARK(BM_KNext_Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KNext_Extended)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KCount_Plain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
