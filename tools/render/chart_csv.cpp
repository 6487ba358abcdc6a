#include "chart_csv.h"

#include <array>
#include <vector>

#include "host/session/volts_text.h"
#include "numbers/write.h"
#include "scenario.h"

namespace render {

using host::voltsText;

bool writeChartCsv(std::FILE* file, const Chart& chart)
{
    std::vector<std::string> acrossTexts, upTexts;
    for (float value : chart.across) acrossTexts.push_back(voltsText(value));
    for (float value : chart.up) upTexts.push_back(voltsText(value));
    const ChartSettings& s = chart.settings;
    const std::array<std::string, 4> fixed{voltsText(s.a), voltsText(s.b), voltsText(s.x0), voltsText(s.y0)};

    if (chart.firstRow == 0) std::fputs("a,b,x0,y0,outcome,period,steps,lyapunov,settle\n", file);
    const size_t width = chart.across.size();
    for (size_t point = 0; point < chart.points.size(); ++point) {
        const std::string& h = acrossTexts[point % width];
        const std::string& v = upTexts[size_t(chart.firstRow) + point / width];
        const bool ab = s.plane == Plane::AB;
        const analysis::OrbitClass& orbit = chart.points[point];
        const bool exponent = orbit.outcome == analysis::Outcome::Quasi || orbit.outcome == analysis::Outcome::Chaos;
        const std::string lyapunov = exponent ? numbers::fixedText(orbit.lyapunov, 6) : "";
        const std::string settle = orbit.settle >= 0 ? std::to_string(orbit.settle) : "";
        std::fprintf(file, "%s,%s,%s,%s,%s,%d,%lld,%s,%s\n", (ab ? h : fixed[0]).c_str(), (ab ? v : fixed[1]).c_str(),
                     (ab ? fixed[2] : h).c_str(), (ab ? fixed[3] : v).c_str(), analysis::outcomeName(orbit.outcome),
                     static_cast<int>(orbit.period), static_cast<long long>(orbit.steps), lyapunov.c_str(),
                     settle.c_str());
    }
    return std::ferror(file) == 0;
}

}  // namespace render
