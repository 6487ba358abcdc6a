#include "chart_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "drawing.h"
#include "verdict/legend.h"

namespace pictures {

namespace {

constexpr int kLeft = kPanelLeft;
constexpr int kRight = kPanelRight;
constexpr int kMostPlotHeight = 720;
constexpr int kLeastPlotSide = 40;
constexpr int kPlotTop = kBelowCaption;
constexpr int kLegendGap = 76;  // from the plot's bottom edge to the legend
constexpr int kLegendRow = 30;
constexpr int kSwatch = 14;
constexpr int kBarWidth = 160;

constexpr verdict::Colour kMark{255, 255, 255};
constexpr verdict::Colour kPath{255, 255, 255};

using verdict::hatched;

// Legend entries laid out left to right, wrapping at the right edge.
class Legend {
public:
    Legend(Canvas& canvas, int top) : canvas(canvas), y(top) {}

    void swatch(verdict::Colour colour, const std::string& label)
    {
        place(kSwatch + 8 + Canvas::textWidth(label, 2));
        canvas.fill(x, y + 2, kSwatch, kSwatch, colour);
        canvas.text(x + kSwatch + 8, y, label, 2, kDimText);
        x += kSwatch + 8 + Canvas::textWidth(label, 2) + 28;
    }

    // A hatched swatch on a row of its own, its words on as many rows as they have lines.
    void hatchedSwatch(verdict::Colour colour, const std::string& words)
    {
        newRow();
        for (int row = 0; row < kSwatch; ++row)
            for (int column = 0; column < kSwatch; ++column)
                canvas.set(x + column, y + 2 + row, hatched(colour, column, row));
        for (size_t from = 0;;) {
            const size_t end = words.find('\n', from);
            canvas.text(x + kSwatch + 8, y, words.substr(from, end - from), 2, kDimText);
            if (end == std::string::npos) break;
            from = end + 1;
            y += kLegendRow;
        }
        x = kRight;  // the next entry starts a row
    }

    template <typename Shade>
    void bar(const std::string& before, Shade shade, const std::string& after)
    {
        place(Canvas::textWidth(before, 2) + kBarWidth + Canvas::textWidth(after, 2) + 16);
        canvas.text(x, y, before, 2, kDimText);
        x += Canvas::textWidth(before, 2) + 8;
        for (int i = 0; i < kBarWidth; ++i) canvas.fill(x + i, y + 2, 1, kSwatch, shade(double(i) / (kBarWidth - 1)));
        x += kBarWidth + 8;
        canvas.text(x, y, after, 2, kDimText);
        x += Canvas::textWidth(after, 2) + 28;
    }

    void heading(const std::string& text)
    {
        newRow();
        canvas.text(x, y, text, 2, kText);
        x += Canvas::textWidth(text, 2) + 16;
    }

    void newRow()
    {
        if (x == kLeft) return;
        x = kLeft;
        y += kLegendRow;
    }

    int bottom() const { return y + kLegendRow; }

private:
    void place(int width)
    {
        if (x + width > kRight && x != kLeft) {
            x = kLeft + 40;
            y += kLegendRow;
        }
    }

    Canvas& canvas;
    int x = kLeft;
    int y;
};

void drawLegend(Legend& legend, const ChartPlot& s)
{
    for (const verdict::LegendEntry& entry : verdict::legendEntries(s.steps, s.sampleRate)) {
        if (!entry.heading.empty()) legend.heading(entry.heading);
        switch (entry.swatch) {
        case verdict::Swatch::Plain: legend.swatch(entry.colour, entry.words); break;
        case verdict::Swatch::Hatched: legend.hatchedSwatch(entry.colour, entry.words); break;
        case verdict::Swatch::StopsBar:
        case verdict::Swatch::ChaosBar:
            legend.bar(
                entry.before, [&](double share) { return entry.colourAt(share); }, entry.words);
            break;
        }
    }
    legend.newRow();
}

// A line between two pixels, two pixels wide, left out beyond the plot.
void drawSegment(Canvas& canvas, double x0, double y0, double x1, double y1, int left, int top, int right, int bottom)
{
    const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::abs(x1 - x0), std::abs(y1 - y0)))));
    for (int step = 0; step <= steps; ++step) {
        const double t = double(step) / steps;
        const int x = static_cast<int>(std::lround(x0 + (x1 - x0) * t));
        const int y = static_cast<int>(std::lround(y0 + (y1 - y0) * t));
        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 1}, std::pair{1, 1}})
            if (x + dx >= left && x + dx < right && y + dy >= top && y + dy < bottom) canvas.set(x + dx, y + dy, kPath);
    }
}

// Where the plot lies on the page: as wide as the panels, or narrower where
// the chart is tall, never smaller than a few pixels a side.
struct PlotRect {
    int left, width, height;

    int bottom() const { return kPlotTop + height; }
};

PlotRect plotRect(const ChartPlot& plot)
{
    const int width = plot.width;
    const int height = plot.height;
    int plotWidth = kRight - kLeft;
    int plotHeight = static_cast<int>(std::lround(double(plotWidth) * height / width));
    if (plotHeight > kMostPlotHeight) {
        plotHeight = kMostPlotHeight;
        plotWidth = static_cast<int>(std::lround(double(plotHeight) * width / height));
    }
    plotWidth = std::max(plotWidth, kLeastPlotSide);
    plotHeight = std::max(plotHeight, kLeastPlotSide);
    return {kLeft + (kRight - kLeft - plotWidth) / 2, plotWidth, plotHeight};
}

// Each pixel the colour of the point under it, hatched for a rounding cycle.
void paintPoints(Canvas& canvas, const ChartPlot& plot, const PlotRect& rect)
{
    const int width = plot.width;
    const int height = plot.height;
    for (int row = 0; row < rect.height; ++row) {
        const int up = height - 1 - std::min(height - 1, row * height / rect.height);
        for (int column = 0; column < rect.width; ++column) {
            const int across = std::min(width - 1, column * width / rect.width);
            const analysis::OrbitClass& orbit = plot.points[size_t(up) * width + across];
            const verdict::Colour colour = verdict::chartColour(orbit, plot.steps);
            canvas.set(rect.left + column, kPlotTop + row, orbit.roundingCycle ? hatched(colour, column, row) : colour);
        }
    }
    canvas.frame(rect.left, kPlotTop, rect.width, rect.height, kFrame);
}

// A ring with its label at the marked point, when it lies inside the plot.
void drawMark(Canvas& canvas, const ChartPlot& plot, const Axis& across, const Axis& up, const PlotRect& rect)
{
    if (!(plot.markAcross > plot.acrossLow && plot.markAcross < plot.acrossHigh && plot.markUp > plot.upLow &&
          plot.markUp < plot.upHigh))
        return;
    const int cx = static_cast<int>(std::lround(across.pixel(plot.markAcross)));
    const int cy = static_cast<int>(std::lround(up.pixel(plot.markUp)));
    for (int dy = -8; dy <= 8; ++dy)
        for (int dx = -8; dx <= 8; ++dx) {
            const int distance = dx * dx + dy * dy;
            if (distance >= 30 && distance <= 64) canvas.set(cx + dx, cy + dy, kMark);
        }
    const std::string& label = plot.markLabel;
    const bool leftOfMark = cx + 14 + Canvas::textWidth(label, 2) > rect.left + rect.width;
    const int labelX = leftOfMark ? cx - 14 - Canvas::textWidth(label, 2) : cx + 14;
    canvas.fill(labelX - 3, cy - 11, Canvas::textWidth(label, 2) + 6, 22, kPlotBackground);
    canvas.text(labelX, cy - 9, label, 2, kMark);
}

}  // namespace

void writeChartPng(std::FILE* file, const ChartPlot& plot, const ChartCaption& caption)
{
    const PlotRect rect = plotRect(plot);
    const int plotLeft = rect.left;
    const int plotBottom = rect.bottom();

    // The legend's height is known only once drawn, so it is drawn on a
    // scratch canvas first to size the page.
    Canvas scratch(kPageWidth, 400, kPage);
    Legend measure(scratch, 0);
    drawLegend(measure, plot);
    Canvas canvas(kPageWidth, plotBottom + kLegendGap + measure.bottom() + 10, kPage);
    drawCaption(canvas, caption.title, caption.settings, caption.shares);
    paintPoints(canvas, plot, rect);

    const Axis across{plot.acrossLow, plot.acrossHigh, plotLeft, rect.width, false};
    const Axis up{plot.upLow, plot.upHigh, kPlotTop, rect.height, true};
    drawVerticalAxis(canvas, up, 8, plotLeft);
    drawHorizontalAxis(canvas, across, plotBottom, plot.acrossName + " (V)", plotLeft, plotLeft + rect.width);
    drawSideName(canvas, kPlotTop + rect.height / 2, plot.upName, kText);

    for (size_t point = 1; point < plot.path.size(); ++point)
        drawSegment(canvas, across.pixel(plot.path[point - 1].first), up.pixel(plot.path[point - 1].second),
                    across.pixel(plot.path[point].first), up.pixel(plot.path[point].second), plotLeft, kPlotTop,
                    plotLeft + rect.width, plotBottom);
    drawMark(canvas, plot, across, up, rect);

    Legend legend(canvas, plotBottom + kLegendGap);
    drawLegend(legend, plot);
    canvas.writePng(file);
}

}  // namespace pictures
