#include "platform/draw.h"

#include <algorithm>

#include <QPainter>

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

void drawRound(QImage& image, Box b, QRgb line, std::optional<QRgb> fill)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(line), 1));
    p.setBrush(fill ? QBrush(QColor(*fill)) : QBrush(Qt::NoBrush));
    p.drawEllipse(QRect(b.x1, b.y1, b.x2 - b.x1 - 1, b.y2 - b.y1 - 1));
}

} // namespace

void drawShape(QImage& image, Box box, Shape shape, QRgb line, std::optional<QRgb> fill)
{
    if (shape == Shape::Square)
        drawSquare(image, box, line, fill);
    else
        drawRound(image, box, line, fill);
}
