// The benchmark cases: the module's process entry under host conditions, and
// the floors each is measured against, registered with Google Benchmark under
// the names the comparisons below use.
#pragma once

#include <span>

namespace bench {

void registerCases();
// A take patched with moving signals and the same take held (modulation_bench.cpp).
void registerModulationCases();
// The chart's points judged several at once, whole and stepping alone (chart_bench.cpp).
void registerChartCases();

// One row of the results: a product case next to its floor, and the ratio
// of their times it must stay within.
struct Comparison {
    const char* name;
    const char* product;
    const char* floor;
    double target;  // 0: shown for information
};

std::span<const Comparison> comparisons();

}  // namespace bench
