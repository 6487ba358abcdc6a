// The results: every repetition's time kept by case, and the table of
// comparisons printed from their medians.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/cases.h"

namespace bench {

// Keeps every repetition's time per block, by benchmark name; prints a dot
// per repetition so a long run shows it is alive.
class Collector : public benchmark::BenchmarkReporter {
public:
    std::map<std::string, std::vector<double>> times;
    std::vector<std::string> errors;

    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override;
};

// A case whose iteration does the work of `blocks` blocks: its times are
// divided by that, to read per block.
void countBlocksPerIteration(const std::string& name, double blocks);

// Prints the table, a row per comparison whose cases ran; returns whether
// every row with a target met it and no benchmark failed.
bool printTable(const Collector& collector, std::span<const Comparison> rows);

}  // namespace bench
