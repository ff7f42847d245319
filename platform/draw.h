#pragma once

#include <optional>

#include <QImage>
#include <QRgb>

// Stateless drawing primitives on a QImage. Boxes exclude their right and
// bottom coordinates: the outline of (x1, y1)-(x2, y2) lies on x1..x2-1 and
// y1..y2-1. Everything is aliased and pixel-exact.
enum class Shape { Square, Round };

struct Box {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

void fillWhite(QImage& image);

// One-pixel solid outline in `line`; the inside is painted only when `fill`
// is given. Round is the ellipse that fills the box.
void drawShape(QImage& image, Box box, Shape shape, QRgb line, std::optional<QRgb> fill);
