#include "drawing.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <png.h>

#include "glyphs.h"
#include "verdict/figures.h"

namespace pictures {

Canvas::Canvas(int width, int height, verdict::Colour background)
    : width(width), height(height), rgb(size_t(width) * height * 3)
{
    fill(0, 0, width, height, background);
}

void Canvas::set(int x, int y, verdict::Colour c)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void Canvas::fill(int x, int y, int w, int h, verdict::Colour c)
{
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) set(column, row, c);
}

void Canvas::frame(int x, int y, int w, int h, verdict::Colour c)
{
    fill(x - 1, y - 1, w + 2, 1, c);
    fill(x - 1, y + h, w + 2, 1, c);
    fill(x - 1, y - 1, 1, h + 2, c);
    fill(x + w, y - 1, 1, h + 2, c);
}

int Canvas::textWidth(const std::string& text, int scale)
{
    return text.empty() ? 0 : (int(text.size()) * kGlyphAdvance - 1) * scale;
}

void Canvas::text(int x, int y, std::string text, int scale, verdict::Colour c)
{
    const int room = (width - 20 - x) / (kGlyphAdvance * scale);
    if (room >= 3 && int(text.size()) > room) text = text.substr(0, room - 3) + "...";
    for (char character : text) {
        const uint8_t* rows = glyphRows(character);
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int column = 0; column < kGlyphWidth; ++column)
                if (rows[row] & (0x10 >> column)) fill(x + column * scale, y + row * scale, scale, scale, c);
        x += kGlyphAdvance * scale;
    }
}

void Canvas::textRight(int right, int y, const std::string& s, int scale, verdict::Colour c)
{
    text(right - textWidth(s, scale), y, s, scale, c);
}

void Canvas::textCentred(int centre, int y, const std::string& s, int scale, verdict::Colour c)
{
    text(centre - textWidth(s, scale) / 2, y, s, scale, c);
}

void Canvas::writePng(std::FILE* file) const
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_stdio(&image, file, 0, rgb.data(), width * 3, nullptr))
        throw std::runtime_error(std::string("cannot encode the picture: ") + image.message);
    png_image_free(&image);
}

std::string formatNumber(double value, int decimals, bool exponent)
{
    char text[32];
    if (exponent) std::snprintf(text, sizeof text, "%.3g", value);
    else std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double Axis::pixel(double v) const
{
    const double f = (v - low) / (high - low) * length;
    return flip ? origin + length - f : origin + f;
}

void drawVerticalAxis(Canvas& canvas, const Axis& axis, int ticks, int left)
{
    const verdict::Ticks t = verdict::ticksFor(axis.low, axis.high, ticks);
    for (double v : t.values) {
        const int y = static_cast<int>(std::lround(axis.pixel(v)));
        canvas.fill(left - 1 - kTickLength, y, kTickLength, 1, kFrame);
        canvas.textRight(left - kTickLength - 6, y - 7, t.text(v), 2, kDimText);
    }
}

void drawHorizontalAxis(Canvas& canvas, const Axis& axis, int top, const std::string& name, int left, int right)
{
    const verdict::Ticks t = verdict::ticksFor(axis.low, axis.high, 10);
    for (double v : t.values) {
        const int x = static_cast<int>(std::lround(axis.pixel(v)));
        canvas.fill(x, top + 1, 1, kTickLength, kFrame);
        canvas.textCentred(x, top + kTickLength + 4, t.text(v), 2, kDimText);
    }
    canvas.textCentred((left + right) / 2, top + kTickLength + 26, name, 2, kText);
}

void drawCaption(Canvas& canvas, const std::string& title, const std::string& second, const std::string& third)
{
    canvas.text(20, 14, title, 3, kText);
    canvas.text(20, 54, second, 2, kDimText);
    canvas.text(20, 78, third, 2, kDimText);
}

void drawSideName(Canvas& canvas, int centreY, const std::string& name, verdict::Colour colour)
{
    canvas.textCentred(30, centreY - 22, name, name.size() > 2 ? 2 : 3, colour);  // "reset" fits the margin
    canvas.textCentred(30, centreY + 10, "(V)", 2, kDimText);
}

}  // namespace pictures
