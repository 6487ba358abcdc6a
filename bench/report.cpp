#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bench/table.h"

namespace bench {

namespace {

std::map<std::string, double>& blocksPerIteration()
{
    static std::map<std::string, double> blocks;
    return blocks;
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
    printTableHead();
    for (const Comparison& row : rows) {
        const double product = medianOf(row.product);
        const double floor = medianOf(row.floor);
        if (std::isnan(product / floor)) continue;  // filtered out, or failed: the errors are listed below
        allMet = printTableRow(row.name, product, floor, row.target) && allMet;
    }
    for (const std::string& error : collector.errors) std::printf("error: %s\n", error.c_str());
    return allMet && collector.errors.empty();
}

}  // namespace bench
