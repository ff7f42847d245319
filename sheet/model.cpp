#include "sheet/model.h"

#include "platform/pagebitmap.h"

#include <algorithm>

void AnswerTable::recreate(int answerColumns)
{
    columns_ = std::clamp(answerColumns, 1, kMaxAnswers);
    cells_.fill(AnswerCell{});
}

int answerCount(const Model& m)
{
    switch (m.settings.testType) {
    case 0:
        return 5;
    case 1:
    case 2:
        return 2;
    default:
        return 0;
    }
}

void clearAnswerCells(Model& m, int n)
{
    const int last = std::min(n, m.answerCells.columns());
    for (int k = 1; k <= last; ++k)
        for (int q = 1; q <= kQuestions; ++q)
            m.answerCells.at(k, q) = AnswerCell{};
}

void recreatePages(Model& m)
{
    m.pages.fill(PageRecord{});
}

void resetPageRecord(Model& m)
{
    pageRecord(m) = PageRecord{0, 0, kSheetWidth, kSheetHeight, kWhite};
}

void createBitmaps(Model& m)
{
    // A fresh allocation only when the old one is gone; every later rebuild
    // draws into the same pixels.
    if (m.sheetBitmap.size() != QSize(kSheetWidth, kSheetHeight))
        m.sheetBitmap = makePageBitmap(kSheetWidth, kSheetHeight);
    if (m.viewBitmap.size() != QSize(kViewWidth, kViewHeight))
        m.viewBitmap = makePageBitmap(kViewWidth, kViewHeight);
    m.sheetBitmap.fill(Qt::white);
    m.viewBitmap.fill(Qt::white);
}

void releaseBitmaps(Model& m)
{
    m.sheetBitmap = QImage();
    m.viewBitmap = QImage();
}
