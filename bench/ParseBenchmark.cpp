#include "Generate837.h"

#include "core/parse/X12Parser.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr std::size_t mebibyte = 1024 * 1024;

/// The generated interchange of about that many MiB, made once per size and kept for the run.
const std::string &interchange(std::size_t megabytes)
{
    static std::map<std::size_t, std::string> cache;
    auto it = cache.find(megabytes);
    if (it == cache.end())
        it = cache.emplace(megabytes, generate837(megabytes * mebibyte)).first;
    return it->second;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times the parse alone: parse() takes its text by value, so each iteration copies the text
// first, and the document is freed after the clock stops.
void benchParse(benchmark::State &state)
{
    const std::string &text = interchange(std::size_t(state.range(0)));
    std::size_t segments = 0;
    for (auto _ : state) {
        std::string copy = text;
        const auto start = std::chrono::steady_clock::now();
        auto document = X12Parser::parse(std::move(copy), "generated.837");
        if (document)
            (*document)->listChildren(); // as the window's open does
        state.SetIterationTime(secondsSince(start));
        if (!document) {
            state.SkipWithError("the generated interchange did not parse");
            break;
        }
        segments = (*document)->segments().size();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
    state.counters["segments"] = double(segments);
}
BENCHMARK(benchParse)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(benchParse)->Arg(100)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

void benchSplitWithBestDelimiters(benchmark::State &state)
{
    const std::string &text = interchange(std::size_t(state.range(0)));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto split = X12Parser::splitWithBestDelimiters(text);
        state.SetIterationTime(secondsSince(start));
        benchmark::DoNotOptimize(split);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(benchSplitWithBestDelimiters)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime();

// Stops after the ISA header, so its time does not grow with the file: the byte rate is per
// text handed in, not per byte read.
void benchDetectDelimiters(benchmark::State &state)
{
    const std::string &text = interchange(std::size_t(state.range(0)));
    for (auto _ : state) {
        auto delimiters = X12Parser::detectDelimiters(text);
        benchmark::DoNotOptimize(delimiters);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(benchDetectDelimiters)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
#ifdef __GLIBC__
    // glibc raises its mmap threshold whenever it frees a large block, so whether a parse writes
    // into fresh or recycled pages (up to 3x apart in parse time) would depend on which
    // benchmarks ran before. A fixed threshold gives every parse fresh pages, as the first file a
    // process opens gets.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
