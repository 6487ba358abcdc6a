#include "table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

double median(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void printTableHead()
{
    std::printf("| case | product ns/block | floor ns/block | ratio | target | result |\n");
    std::printf("|---|---:|---:|---:|---:|---|\n");
}

bool printTableRow(const char* name, double product, double floor, double target)
{
    const double ratio = product / floor;
    if (target <= 0) {
        std::printf("| %s | %.0f | %.0f | %.3f | — | — |\n", name, product, floor, ratio);
        return true;
    }
    const bool met = ratio <= target;
    std::printf("| %s | %.0f | %.0f | %.3f | ≤ %.2f | %s |\n", name, product, floor, ratio, target,
                met ? "pass" : "FAIL");
    return met;
}

}  // namespace bench
