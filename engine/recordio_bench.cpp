// Speed of the record codecs and of record reads against a bare pread of the same bytes.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/fileio.h"
#include "engine/packing.h"
#include "engine/state.h"
#include "engine/text.h"

namespace {

using namespace zel::engine;

constexpr std::int32_t kRecords = 100000;
constexpr std::int32_t kRecordLength = 256;
constexpr std::int32_t kStartBlock = 4;

std::string RecordImage() {
    std::string rec(kRecordLength, '\0');
    std::mt19937 rng(7);
    for (char& c : rec) c = static_cast<char>(rng() & 0xFF);
    return rec;
}

// A mix of field codes at their positions, as a record class walks them.
struct Field {
    char code;
    std::int32_t pos;
};
std::vector<Field> Fields() {
    const char codes[] = "BCDIJKL";
    std::vector<Field> f;
    std::int32_t pos = 1;
    for (int i = 0; pos + 4 <= kRecordLength; ++i) {
        f.push_back({codes[i % 7], pos});
        pos += 1 + i % 4;
    }
    return f;
}

void BM_Unpack(benchmark::State& state) {
    const std::string rec = RecordImage();
    const auto fields = Fields();
    std::string op = "C";
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const auto& f : fields) {
            op[0] = f.code;
            sum += Unpack(op, rec, f.pos);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(fields.size()));
}
BENCHMARK(BM_Unpack);

void BM_Pack(benchmark::State& state) {
    std::string rec = RecordImage();
    const auto fields = Fields();
    std::string op = "C";
    std::int32_t v = 12345;
    for (auto _ : state) {
        for (const auto& f : fields) {
            op[0] = f.code;
            Pack(op, rec, v++, f.pos);
        }
        benchmark::DoNotOptimize(rec.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(fields.size()));
}
BENCHMARK(BM_Pack);

std::string AlphabetText(std::size_t len) {
    const std::string alphabet = kDefaultCrmAlphabet;
    std::string text;
    for (std::size_t i = 0; i < len; ++i) text += alphabet[(i * 13) % 40];
    return text;
}

// Compressed fields of typical width (30 characters: a description or name line) and long.
void BM_Crm(benchmark::State& state) {
    const auto len = static_cast<std::size_t>(state.range(0));
    const std::string text = AlphabetText(len);
    for (auto _ : state) {
        std::string source = text;
        benchmark::DoNotOptimize(Crm(source));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(len));
    state.SetLabel("items = characters");
}
BENCHMARK(BM_Crm)->Arg(30)->Arg(3000);

void BM_Ucm(benchmark::State& state) {
    const auto len = static_cast<std::size_t>(state.range(0));
    std::string text = AlphabetText(len);
    const std::string packed = Crm(text);
    for (auto _ : state) {
        std::string source = packed;
        benchmark::DoNotOptimize(Ucm(source));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(len));
    state.SetLabel("items = characters");
}
BENCHMARK(BM_Ucm)->Arg(30)->Arg(3000);

// ---- record reads ----

struct RecordFile {
    std::string path;
    RecordFile() {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/zel-recordio-bench.db";
        const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        const std::string rec = RecordImage();
        std::string block(static_cast<std::size_t>(kStartBlock) * 512, '\0');
        ssize_t ok = ::write(fd, block.data(), block.size());
        for (std::int32_t r = 0; r <= kRecords && ok >= 0; ++r) {
            ok = ::write(fd, rec.data(), rec.size());
        }
        ::close(fd);
    }
    ~RecordFile() { std::remove(path.c_str()); }
};

RecordFile& File() {
    static RecordFile f;
    return f;
}

std::vector<std::int32_t> RecordOrder(bool random) {
    std::vector<std::int32_t> order(kRecords);
    for (std::int32_t i = 0; i < kRecords; ++i) order[static_cast<std::size_t>(i)] = i + 1;
    if (random) std::shuffle(order.begin(), order.end(), std::mt19937(11));
    return order;
}

void BM_LreadFile(benchmark::State& state) {
    Engine().OpenFiles = std::make_shared<cOpenFiles>();
    std::string name = "Z:" + File().path;
    for (char& c : name) c = c == '/' ? '\\' : c;
    cLogicalFile lf;
    lf.FileName = "BENCH";
    lf.FileType = "L";
    lf.OpenFile = OpenFile(name);
    lf.Position = kStartBlock;
    lf.RecordLength = kRecordLength;
    lf.LastRecord = kRecords;
    if (!lf.OpenFile) {
        state.SkipWithError("cannot open the record file");
        return;
    }
    const auto order = RecordOrder(state.range(0) != 0);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LreadFile(&lf, order[i]));
        if (++i == order.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    Engine().OpenFiles.reset();
}
BENCHMARK(BM_LreadFile)->Arg(0)->Arg(1)->ArgName("random");

void BM_BarePread(benchmark::State& state) {
    const int fd = ::open(File().path.c_str(), O_RDONLY);
    const auto order = RecordOrder(state.range(0) != 0);
    std::string buffer(kRecordLength, ' ');
    std::size_t i = 0;
    for (auto _ : state) {
        const off_t at = static_cast<off_t>(order[i]) * kRecordLength + kStartBlock * 512;
        benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), at));
        if (++i == order.size()) i = 0;
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarePread)->Arg(0)->Arg(1)->ArgName("random");

}  // namespace

BENCHMARK_MAIN();
