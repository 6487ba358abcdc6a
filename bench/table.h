// The table every benchmark prints: a row per case next to its floor, each
// time the median of its repetitions.
#pragma once

#include <vector>

namespace bench {

double median(std::vector<double> values);

void printTableHead();
// One row; returns whether it met its target (0: shown for information, in parentheses).
bool printTableRow(const char* name, double product, double floor, double target);

}  // namespace bench
