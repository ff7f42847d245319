#include "platform/draw.h"

#include <algorithm>
#include <cstdint>

void fillWhite(QImage& image)
{
    image.fill(Qt::white);
}

namespace {

// Paints x1..x2 (both included) of one row, clipped to the image.
void paintSpan(QRgb* row, int width, int x1, int x2, QRgb colour)
{
    x1 = std::max(x1, 0);
    x2 = std::min(x2, width - 1);
    for (int x = x1; x <= x2; ++x)
        row[x] = colour;
}

// Rows are reached through bits() once per figure: scanLine() checks for a
// shared copy on every call, which dominates for small figures.
QRgb* rowOf(uchar* bits, qsizetype bytesPerLine, int y)
{
    return reinterpret_cast<QRgb*>(bits + bytesPerLine * y);
}

void drawSquare(QImage& image, Box b, QRgb line, std::optional<QRgb> fill)
{
    const int right = b.x2 - 1;
    const int bottom = b.y2 - 1;
    if (right < b.x1 || bottom < b.y1)
        return;
    const int top = std::max(b.y1, 0);
    const int last = std::min(bottom, image.height() - 1);
    if (top > last)
        return;
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int width = image.width();
    for (int y = top; y <= last; ++y) {
        QRgb* row = rowOf(bits, stride, y);
        if (y == b.y1 || y == bottom) {
            paintSpan(row, width, b.x1, right, line);
            continue;
        }
        if (fill)
            paintSpan(row, width, b.x1 + 1, right - 1, *fill);
        paintSpan(row, width, b.x1, b.x1, line);
        paintSpan(row, width, right, right, line);
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
// Each row of the figure is one span; the outline is every pixel of a span
// with a horizontal or vertical neighbour outside the figure: a one-pixel,
// 8-connected ring.
class EllipseRows {
public:
    explicit EllipseRows(Box b)
        : b_(b)
        , w_(b.x2 - b.x1)
        , h_(b.y2 - b.y1)
    {
    }

    struct Span {
        int x1 = 0;
        int x2 = -1; // empty when x2 < x1
    };

    Span span(int y) const
    {
        if (y < b_.y1 || y >= b_.y2)
            return {};
        const std::int64_t dy = 2 * std::int64_t(y) + 1 - (b_.y1 + b_.y2);
        const std::int64_t room = 19 * w_ * w_ * h_ * h_ - 20 * dy * dy * w_ * w_;
        // The span is symmetric about the centre: find its left end.
        int x = b_.x1;
        const int centre = b_.x1 + int((w_ - 1) / 2);
        while (x <= centre) {
            const std::int64_t dx = 2 * std::int64_t(x) + 1 - (b_.x1 + b_.x2);
            if (20 * dx * dx * h_ * h_ <= room)
                break;
            ++x;
        }
        if (x > centre)
            return {};
        return { x, b_.x1 + b_.x2 - 1 - x };
    }

private:
    Box b_;
    std::int64_t w_;
    std::int64_t h_;
};

void drawRound(QImage& image, Box b, QRgb line, std::optional<QRgb> fill)
{
    const std::int64_t w = b.x2 - b.x1;
    const std::int64_t h = b.y2 - b.y1;
    // Beyond this the exact test would overflow; no image is that large.
    constexpr std::int64_t kLargest = 1 << 14;
    if (w <= 0 || h <= 0 || w > kLargest || h > kLargest)
        return;
    const int top = std::max(b.y1, 0);
    const int bottom = std::min(b.y2, image.height());
    if (top >= bottom)
        return;
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int width = image.width();
    const EllipseRows rows(b);
    EllipseRows::Span above = rows.span(top - 1);
    EllipseRows::Span here = rows.span(top);
    for (int y = top; y < bottom; ++y) {
        const EllipseRows::Span below = rows.span(y + 1);
        if (here.x2 >= here.x1) {
            // Inside pixels whose four neighbours are inside too.
            const int inner1 = std::max({ here.x1 + 1, above.x1, below.x1 });
            const int inner2 = std::min({ here.x2 - 1, above.x2, below.x2 });
            QRgb* row = rowOf(bits, stride, y);
            if (inner1 > inner2) {
                paintSpan(row, width, here.x1, here.x2, line);
            } else {
                paintSpan(row, width, here.x1, inner1 - 1, line);
                paintSpan(row, width, inner2 + 1, here.x2, line);
                if (fill)
                    paintSpan(row, width, inner1, inner2, *fill);
            }
        }
        above = here;
        here = below;
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
