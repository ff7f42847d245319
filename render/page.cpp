#include "render/page.h"

#include <optional>

#include <QImage>

#include "platform/draw.h"
#include "sheet/model.h"

void clearToWhite(QImage& bitmap)
{
    fillWhite(bitmap);
}

void drawPageFrame(QImage& bitmap)
{
    drawShape(bitmap, Box { 0, 0, kSheetWidth, kSheetHeight }, Shape::Square, qRgb(0, 0, 0), std::nullopt);
}
