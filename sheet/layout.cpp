#include "sheet/layout.h"

#include <QPainter>

#include "platform/color.h"
#include "render/cells.h"
#include "render/page.h"
#include "render/rows.h"
#include "render/sheetfont.h"
#include "sheet/model.h"

namespace {

void drawRows(Model& m, RowVariant variant, int n)
{
    loadSheetFont(m.sheetFont);
    QPainter painter(&m.sheetBitmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(m.sheetFont.font);
    painter.setBackgroundMode(Qt::TransparentMode);
    RowCanvas canvas { m.sheetBitmap, painter, m.sheetFont };

    RowStyle style;
    style.labelWidth = kLabelWidth;
    style.cellHeight = kCellSize;
    style.cellWidth = kCellSize;
    style.gap = kCellGap;
    style.textColor = rgbFromColorRef(std::uint32_t(m.settings.textColor));
    const std::int32_t letterCase = m.settings.letterCase;
    const std::int32_t cellShape = m.settings.cellShape;
    for (int c = 0; c < kSheetColumns; ++c)
        for (int r = 0; r < kRowsPerColumn; ++r) {
            const int q = kRowsPerColumn * c + r + 1;
            drawQuestionRow(m, canvas, variant, numberLabel(m.sheetFont, q), kFirstLabelX + kColumnStep * c,
                kFirstRowY + kRowStep * r, style, n, letterCase, cellShape);
        }
}

} // namespace

void buildSheet(Model& m, int withFrame)
{
    clearToWhite(m.sheetBitmap);
    if (withFrame == 1)
        drawPageFrame(m.sheetBitmap);
    const std::optional<RowVariant> variant = rowVariantFor(m.settings.testType);
    const int n = answerCount(m);
    if (variant && !m.sheetBitmap.isNull())
        drawRows(m, *variant, n);
    if (m.viewSink.refresh)
        m.viewSink.refresh(m);
    if (variant)
        drawMarks(m, n, withFrame);
}
