#include "render/cells.h"

#include <algorithm>

#include "platform/color.h"
#include "render/page.h"

Shape cellShapeOf(std::int32_t cellShape)
{
    return cellShape == 0 ? Shape::Square : Shape::Round;
}

void drawCellOutline(QImage& target, int x, int y, int width, int height, QRgb colour, std::int32_t cellShape)
{
    drawShape(target, Box { x, y, x + width, y + height }, cellShapeOf(cellShape), colour, std::nullopt);
}

void paintMark(Model& m, const AnswerCell& cell, ColorRef colour)
{
    const QRgb rgb = rgbFromColorRef(colour);
    const Box box { cell.left + 2, cell.top + 2, cell.left + 13, cell.top + 13 };
    drawShape(m.sheetBitmap, box, cellShapeOf(m.settings.cellShape), rgb, rgb);
}

void drawMarks(Model& m, int n, int withFrame)
{
    // Only 1 counts as marked: a record read from a file may hold anything.
    const int last = std::min(n, m.answerCells.columns());
    for (int k = 1; k <= last; ++k)
        for (int q = 1; q <= kQuestions; ++q) {
            const AnswerCell& cell = m.answerCells.at(k, q);
            if (cell.marked == 1)
                paintMark(m, cell, cell.markColor);
        }
    if (withFrame == 1)
        drawPageFrame(m.sheetBitmap);
    if (m.viewSink.update)
        m.viewSink.update(m);
}
