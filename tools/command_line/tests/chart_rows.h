// The chart's CSV read back as the tests compare it: rows of cells, and a
// cell's volts as the signal the tool fed the module.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "host/session/drive.h"
#include "tool_run.h"

namespace tool_run {

inline std::vector<std::vector<std::string>> readCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines(text)) {
        std::vector<std::string> cells;
        std::stringstream stream(line);
        for (std::string cell; std::getline(stream, cell, ',');) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.push_back("");
        rows.push_back(cells);
    }
    return rows;
}

inline float signalOf(const std::string& volts) { return host::signalFromVolts(std::strtod(volts.c_str(), nullptr)); }

}  // namespace tool_run
