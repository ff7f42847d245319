#include "platform/draw.h"

#include <algorithm>
#include <cstdint>


void fillWhite(QImage& image)
{
    image.fill(Qt::white);
}

namespace {

void fillSpan(QImage& image, int x1, int x2, int y, QRgb colour)
{
    if (y < 0 || y >= image.height())
        return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, image.width() - 1);
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = x1; x <= x2; ++x)
        row[x] = colour;
}

void drawSquare(QImage& image, Box b, QRgb line, std::optional<QRgb> fill)
{
    const int right = b.x2 - 1;
    const int bottom = b.y2 - 1;
    if (right < b.x1 || bottom < b.y1)
        return;
    if (fill)
        for (int y = b.y1 + 1; y < bottom; ++y)
            fillSpan(image, b.x1 + 1, right - 1, y, *fill);
    fillSpan(image, b.x1, right, b.y1, line);
    fillSpan(image, b.x1, right, bottom, line);
    for (int y = b.y1 + 1; y < bottom; ++y) {
        fillSpan(image, b.x1, b.x1, y, line);
        fillSpan(image, right, right, y, line);
    }
}

// Pixel (x, y) belongs to the ellipse when its centre lies inside the
// ellipse inscribed in the box, taken a twentieth in. Without that margin a
// plain centre test puts lone pixels at the quarter points, and an 11-pixel
// mark then meets the ring of its 15-pixel cell corner to corner; with it
// the mark keeps one clear pixel all round, diagonals included, and the
// figure still reaches all four edges of the box. Doubled coordinates keep
// every centre and radius an integer, so the test is exact and the figure
// mirror-symmetric in both axes (and in the diagonal for a square box).
// The outline is every inside pixel with a horizontal or vertical neighbour
// outside: a one-pixel, 8-connected ring.
void drawRound(QImage& image, Box b, QRgb line, std::optional<QRgb> fill)
{
    const std::int64_t w = b.x2 - b.x1;
    const std::int64_t h = b.y2 - b.y1;
    // Beyond this the exact test would overflow; no image is that large.
    constexpr std::int64_t kLargest = 1 << 14;
    if (w <= 0 || h <= 0 || w > kLargest || h > kLargest)
        return;
    const auto inside = [&](std::int64_t x, std::int64_t y) {
        if (x < b.x1 || x >= b.x2 || y < b.y1 || y >= b.y2)
            return false;
        const std::int64_t dx = 2 * x + 1 - (b.x1 + b.x2);
        const std::int64_t dy = 2 * y + 1 - (b.y1 + b.y2);
        return 20 * (dx * dx * h * h + dy * dy * w * w) <= 19 * w * w * h * h;
    };
    const int top = std::max(b.y1, 0);
    const int bottom = std::min(b.y2, image.height());
    const int left = std::max(b.x1, 0);
    const int right = std::min(b.x2, image.width());
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = left; x < right; ++x) {
            if (!inside(x, y))
                continue;
            const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (edge)
                row[x] = line;
            else if (fill)
                row[x] = *fill;
        }
    }
}

} // namespace

void drawShape(QImage& image, Box box, Shape shape, QRgb line, std::optional<QRgb> fill)
{
    if (shape == Shape::Square)
        drawSquare(image, box, line, fill);
    else
        drawRound(image, box, line, fill);
}
