// Memory and time of INI documents held in memory, for the shapes a planted or hostile document
// takes. The floor is the document's own size, measured in the same run: "peak_x" is the most
// heap the document took while it was read, asked and written (its bytes included), and
// "held_x" what it keeps afterwards, both as multiples of its size; a counting operator new
// in this binary measures them. Time per MB is reported as bytes/s, at two sizes per shape, so
// that a cost that grows faster than the document shows as a lower rate at the larger size.
//  - BM_Document/<shape>/<MB>: a ProfileDocument of those bytes read, asked a key, given a new
//    section's key (what the time log gets) and its bytes taken once (what a save writes).
//  - BM_Reader/<shape>/<MB>: a ProfileReader of those bytes asked a key.
//  - BM_ManyWrites/<shape>/<MB>: as BM_Document, then 20,000 keys of their own written into
//    "[Time]" and each written once more (an answer's many keys, or a run done again).
// Shapes: 0 blank lines, 1 headers of one name "[s]", 2 headers of distinct names, 3 one long
// line, 4 many keys in one section, 5 bare item sections "[POITEMSn]"; and the time log's own
// section planted large, so that the write goes into it: 6 "[Time]" and blank lines, 7 "[Time]"
// and many keys. Names an outsider makes to share one value of the standard library's hash
// (platform/test_support.h), against names of the same size and bytes that do not, as the
// floor of the same run (goal: within 2x of it): 8 headers of 16-byte names, 9 the same names
// colliding; 10 "[Time]" and keys of 16-byte names, 11 the same keys colliding. These four are
// measured at 1 and 16 MB.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/profile_document.h"
#include "platform/test_support.h"

namespace {

std::atomic<long long> gHeld{0};
std::atomic<long long> gPeak{0};

void Count(long long delta) {
    const long long now = gHeld.fetch_add(delta, std::memory_order_relaxed) + delta;
    long long peak = gPeak.load(std::memory_order_relaxed);
    while (now > peak && !gPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

}  // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (!p) throw std::bad_alloc();
    Count(static_cast<long long>(malloc_usable_size(p)));
    return p;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    Count(-static_cast<long long>(malloc_usable_size(p)));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using zel::platform::ProfileDocument;
using zel::platform::ProfileReader;

// Enough 16-byte names for a document of `size` bytes, made once per shape and size.
const std::vector<std::string>& Names(bool colliding, std::size_t size) {
    static std::map<std::pair<bool, std::size_t>, std::vector<std::string>> made;
    auto& names = made[{colliding, size}];
    if (names.empty()) names = zel::platform::testing::SixteenByteNames(size / 20 + 1, colliding);
    return names;
}

std::string Shape(int shape, std::size_t size) {
    std::string bytes;
    bytes.reserve(size + 64);
    std::size_t n = 0;
    if (shape >= 8) {
        const bool keys = shape >= 10;
        if (keys) bytes += "[Time]\r\n";
        for (const std::string& name : Names(shape % 2 == 1, size)) {
            if (bytes.size() >= size) break;
            bytes += keys ? name + "=v\r\n" : "[" + name + "]\r\n";
        }
        return bytes;
    }
    if (shape == 4) bytes += "[k]\r\n";
    if (shape >= 6) bytes += "[Time]\r\n";
    while (bytes.size() < size) {
        switch (shape) {
            case 0: bytes += "\r\n"; break;
            case 1: bytes += "[s]\r\n"; break;
            case 2: bytes += "[s" + std::to_string(n++) + "]\r\n"; break;
            case 3: bytes.append(size - bytes.size(), 'x'); break;
            case 4:
            case 7: bytes += "k" + std::to_string(n++) + "=v\r\n"; break;
            case 6: bytes += "\r\n"; break;
            default: bytes += "[POITEMS" + std::to_string(++n) + "]\r\n"; break;
        }
    }
    return bytes;
}

void Report(benchmark::State& state, std::size_t size, long long base, long long peak,
            long long held) {
    state.counters["peak_x"] = static_cast<double>(peak - base) / static_cast<double>(size);
    state.counters["held_x"] = static_cast<double>(held - base) / static_cast<double>(size);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// Runs `work` on a document of the benchmark's shape and size, made anew for each iteration
// outside the timing; what `work` returns is still alive when what stays held is measured.
template <class Work>
void Measure(benchmark::State& state, Work work) {
    const int shape = static_cast<int>(state.range(0));
    const std::size_t size = static_cast<std::size_t>(state.range(1)) << 20;
    long long base = 0, peak = 0, held = 0;
    // The names are made before anything is counted: they are not the document's.
    if (shape >= 8) Names(shape % 2 == 1, size);
    for (auto _ : state) {
        state.PauseTiming();
        base = gHeld.load();
        std::string bytes = Shape(shape, size);
        gPeak.store(gHeld.load());
        state.ResumeTiming();
        const auto kept = work(std::move(bytes));
        state.PauseTiming();
        held = gHeld.load();
        peak = gPeak.load();
        state.ResumeTiming();
    }
    Report(state, size, base, peak, held);
}

void BM_Document(benchmark::State& state) {
    Measure(state, [](std::string bytes) {
        ProfileDocument doc = ProfileDocument::FromBytes(std::move(bytes));
        benchmark::DoNotOptimize(doc.GetString("Time", "Start Time:", "", 100));
        doc.WriteString("Time", "End Time:", "12:00:00");
        benchmark::DoNotOptimize(doc.Bytes().size());
        return doc;
    });
}

void BM_Reader(benchmark::State& state) {
    Measure(state, [](std::string bytes) {
        ProfileReader reader(std::move(bytes));
        benchmark::DoNotOptimize(reader.GetString("COUNT", "POItemCount", "", 100));
        return reader;
    });
}

void BM_ManyWrites(benchmark::State& state) {
    Measure(state, [](std::string bytes) {
        ProfileDocument doc = ProfileDocument::FromBytes(std::move(bytes));
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 20000; ++i)
                doc.WriteString("Time", "Key" + std::to_string(i),
                                "value of round " + std::to_string(round));
        }
        benchmark::DoNotOptimize(doc.Bytes().size());
        return doc;
    });
}

// Shapes `first` to `last`, each at 8 and 32 MB.
void Shapes(benchmark::internal::Benchmark* b, int first, int last) {
    for (int shape = first; shape <= last; ++shape) {
        b->Args({shape, 8});
        b->Args({shape, 32});
    }
    b->Unit(benchmark::kMillisecond)->Iterations(2);
}

// Shapes `first` to `last`, each at 1 and 16 MB.
void NameShapes(benchmark::internal::Benchmark* b, int first, int last) {
    for (int shape = first; shape <= last; ++shape) {
        b->Args({shape, 1});
        b->Args({shape, 16});
    }
    b->Unit(benchmark::kMillisecond)->Iterations(3);
}

BENCHMARK(BM_Document)->Apply([](benchmark::internal::Benchmark* b) { Shapes(b, 0, 7); });
BENCHMARK(BM_Reader)->Apply([](benchmark::internal::Benchmark* b) { Shapes(b, 0, 7); });
BENCHMARK(BM_Document)->Apply([](benchmark::internal::Benchmark* b) { NameShapes(b, 8, 11); });
BENCHMARK(BM_Reader)->Apply([](benchmark::internal::Benchmark* b) { NameShapes(b, 8, 9); });
BENCHMARK(BM_ManyWrites)->Apply([](benchmark::internal::Benchmark* b) { Shapes(b, 6, 7); });

}  // namespace

BENCHMARK_MAIN();
