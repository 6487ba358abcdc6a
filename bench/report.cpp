#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

namespace {

std::map<std::string, double>& blocksPerIteration()
{
    static std::map<std::string, double> blocks;
    return blocks;
}

double median(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

void countBlocksPerIteration(const std::string& name, double blocks) { blocksPerIteration()[name] = blocks; }

void Collector::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.error_occurred) {
            errors.push_back(run.run_name.function_name + ": " + run.error_message);
        } else if (run.run_type == Run::RT_Iteration) {
            const auto blocks = blocksPerIteration().find(run.run_name.function_name);
            const double per = blocks == blocksPerIteration().end() ? 1.0 : blocks->second;
            times[run.run_name.function_name].push_back(run.GetAdjustedCPUTime() / per);
        }
    }
    std::fputc('.', stderr);
}

bool printTable(const Collector& collector, std::span<const Comparison> rows)
{
    const auto medianOf = [&](const char* name) {
        const auto found = collector.times.find(name);
        return found == collector.times.end() ? NAN : median(found->second);
    };
    bool allMet = true;
    std::printf("| case | product ns/block | floor ns/block | ratio | target | result |\n");
    std::printf("|---|---:|---:|---:|---:|---|\n");
    for (const Comparison& row : rows) {
        const double product = medianOf(row.product);
        const double floor = medianOf(row.floor);
        const double ratio = product / floor;
        if (std::isnan(ratio)) continue;  // filtered out, or failed: the errors are listed below
        const bool met = ratio <= row.target;
        if (row.target > 0) {
            allMet = allMet && met;
            std::printf("| %s | %.0f | %.0f | %.3f | ≤ %.2f | %s |\n", row.name, product, floor,
                        ratio, row.target, met ? "pass" : "FAIL");
        } else {
            std::printf("| %s | %.0f | %.0f | %.3f | — | — |\n", row.name, product, floor, ratio);
        }
    }
    for (const std::string& error : collector.errors) std::printf("error: %s\n", error.c_str());
    return allMet && collector.errors.empty();
}

}  // namespace bench
