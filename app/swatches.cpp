#include "app/swatches.h"

#include "platform/color.h"

QImage makeSwatch(ColorRef color)
{
    QImage swatch(kSwatchSize, kSwatchSize, QImage::Format_RGB32);
    swatch.fill(Qt::white);
    const QRgb black = qRgb(0, 0, 0);
    const QRgb fill = rgbFromColorRef(color);
    constexpr int last = kSwatchSize - 1;
    // Row by row: the border's straight runs start two pixels in from each
    // corner, and one diagonal pixel closes each rounded corner.
    for (int y = 0; y <= last; ++y) {
        for (int x = 0; x <= last; ++x) {
            const int dx = std::min(x, last - x);
            const int dy = std::min(y, last - y);
            if (dx + dy < 2)
                continue;
            const bool border = dx == 0 || dy == 0 || (dx == 1 && dy == 1);
            swatch.setPixel(x, y, border ? black : fill);
        }
    }
    return swatch;
}
