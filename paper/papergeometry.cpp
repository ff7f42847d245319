#include "paper/papergeometry.h"

namespace {

// Below the grid, and above the header.
constexpr double kContentMarginMm = 20.0;
// Beside the columns: narrower, so that five answers with a letter clear of
// either cell fit a quarter of the page.
constexpr double kSideMarginMm = 16.0;
constexpr double kNumberWidthMm = 7.5;
constexpr double kLetterWidthMm = 2.8;
constexpr double kHeaderTopMm = 18.0;
// The number grid sits in the middle of the header, between the student's
// lines on the left and the code on the right.
constexpr double kDigitGridLeftMm = 104.0;

double columnLeft(PaperSize size, int column)
{
    const double usable = paperSizeMm(size).width() - 2 * kSideMarginMm;
    return kSideMarginMm + column * usable / kPaperColumns;
}

double rowTop(PaperSize size, int q)
{
    return questionGridTopMm(size) + ((q - 1) % kPaperQuestionsPerColumn) * kRowPitchMm;
}

} // namespace

QSizeF paperSizeMm(PaperSize size)
{
    return size == PaperSize::Letter ? QSizeF(215.9, 279.4) : QSizeF(210.0, 297.0);
}

QPointF markCentreMm(PaperSize size, int corner)
{
    const QSizeF page = paperSizeMm(size);
    const double right = page.width() - kMarkInsetMm;
    const double bottom = page.height() - kMarkInsetMm;
    switch (corner & 3) {
    case 0:
        return {kMarkInsetMm, kMarkInsetMm};
    case 1:
        return {right, kMarkInsetMm};
    case 2:
        return {right, bottom};
    default:
        return {kMarkInsetMm, bottom};
    }
}

QRectF codeRectMm(PaperSize size)
{
    const double right = paperSizeMm(size).width() - kSideMarginMm;
    return {right - kCodeSideMm, kHeaderTopMm, kCodeSideMm, kCodeSideMm};
}

double questionGridTopMm(PaperSize size)
{
    // The grid ends where the bottom marks begin, so the header gets what
    // the paper height leaves: 78 mm on A4, 60 mm on Letter.
    return paperSizeMm(size).height() - kContentMarginMm - kPaperQuestionsPerColumn * kRowPitchMm;
}

QRectF answerCellMm(PaperSize size, int q, int k)
{
    const double slot = columnLeft(size, (q - 1) / kPaperQuestionsPerColumn) + kNumberWidthMm
        + (k - 1) * kAnswerPitchMm;
    const double top = rowTop(size, q) + (kRowPitchMm - kCellMm) / 2;
    return {slot + kLetterWidthMm, top, kCellMm, kCellMm};
}

QRectF answerLetterMm(PaperSize size, int q, int k)
{
    const QRectF cell = answerCellMm(size, q, k);
    return {cell.left() - kLetterWidthMm, cell.top(), kLetterWidthMm, kCellMm};
}

QRectF questionNumberMm(PaperSize size, int q)
{
    const double left = columnLeft(size, (q - 1) / kPaperQuestionsPerColumn);
    return {left, rowTop(size, q), kNumberWidthMm - 1.0, kRowPitchMm};
}

QRectF questionRowMm(PaperSize size, int q, int answers)
{
    const QRectF number = questionNumberMm(size, q);
    const QRectF last = answerCellMm(size, q, answers);
    return {number.left(), number.top(), last.right() + 1.0 - number.left(), kRowPitchMm};
}

QRectF digitCellMm(PaperSize size, int column, int digit)
{
    const double gridTop = questionGridTopMm(size) - 3.0 - 10 * kDigitPitchYMm;
    const double left = kDigitGridLeftMm + column * kDigitPitchXMm;
    const double top = gridTop + digit * kDigitPitchYMm + (kDigitPitchYMm - kCellMm) / 2;
    return {left, top, kCellMm, kCellMm};
}

QRectF digitHeadMm(PaperSize size, int column)
{
    const QRectF zero = digitCellMm(size, column, 0);
    return {zero.left() - 0.4, zero.top() - 6.0, kCellMm + 0.8, 5.2};
}
