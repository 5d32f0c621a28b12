// Cost of preparing a payload for the hub and of reading a fetched document back.
#include <benchmark/benchmark.h>

#include "agent/cipher/cipher.h"
#include "agent/http.h"
#include "agent/message.h"

namespace {

using namespace zel::agent;

std::string Document(std::size_t size) {
    std::string d;
    d.reserve(size);
    while (d.size() < size) d += "[zelInfo]\r\nDOCTYPE=QUERY\r\nPART=AB-1234 5/8\r\nQTY=10\r\n";
    d.resize(size);
    return d;
}

void BM_EncryptAndEncode(benchmark::State& state) {
    const std::string doc = Document(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(UrlEncodeBody(EncryptData(doc, 1234)));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncryptAndEncode)->Arg(1024)->Arg(64 * 1024)->Arg(4 * 1024 * 1024);

void BM_ParseFetchedDocument(benchmark::State& state) {
    const std::string cipher =
        EncryptData(Document(static_cast<std::size_t>(state.range(0))), 1234);
    const std::string reply =
        "Action=RESPONSE\r\nDocType=QUERY\r\nVersion=2.0\r\nDocId=77\r\n"
        "DataLength=" +
        std::to_string(cipher.size()) + "\r\nEncryption=DESede\r\nData=" + cipher;
    for (auto _ : state) {
        TZELMessage m;
        m.ParseReply(reply, 1234);
        benchmark::DoNotOptimize(m.Data);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseFetchedDocument)->Arg(1024)->Arg(64 * 1024)->Arg(4 * 1024 * 1024);

// A hostile reply of nothing but line breaks: reading its fields must cost no memory per line.
void BM_ParseReplyOfEmptyLines(benchmark::State& state) {
    const std::string reply =
        "Action=RESPONSE\r\n" + std::string(static_cast<std::size_t>(state.range(0)), '\n');
    for (auto _ : state) {
        TZELMessage m;
        m.ParseReply(reply, 1234);
        benchmark::DoNotOptimize(m.DocType);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseReplyOfEmptyLines)->Arg(4 * 1024 * 1024);

}  // namespace
BENCHMARK_MAIN();
