// The module's process entry under host conditions, each case next to its
// floor (cases.*). Every case is reported as product time ÷ floor time, both
// measured in the same run, so the figure survives a busy machine; the
// medians of interleaved repetitions go into the table printed at the end
// (report.*). The set-up is checked before and after (checks.*).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/cases.h"
#include "bench/checks.h"
#include "bench/report.h"

namespace {

bool hasFlag(int argc, char** argv, const char* prefix)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Interleaved short repetitions, unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=15";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string minTime = "--benchmark_min_time=0.05";
    if (!hasFlag(argc, argv, "--benchmark_repetitions")) args.push_back(repetitions.data());
    if (!hasFlag(argc, argv, "--benchmark_enable_random_interleaving")) args.push_back(interleave.data());
    if (!hasFlag(argc, argv, "--benchmark_min_time")) args.push_back(minTime.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    if (!bench::checkSetup()) return 1;
    bench::registerCases();
    bench::Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    std::fputc('\n', stderr);
    const bool allMet = bench::printTable(collector, bench::comparisons());
    const bool kept = bench::hostCallsKept();
    benchmark::Shutdown();
    return allMet && kept ? 0 : 1;
}
