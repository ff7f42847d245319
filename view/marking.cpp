#include "view/marking.h"

#include <algorithm>
#include <limits>

#include "render/cells.h"
#include "render/page.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "view/view.h"
#include "view/viewcontrol.h"

namespace {

// Five answer positions in every test type.
constexpr int kGridAnswers = 5;
// Both ends of a 15-pixel cell count: 16 pixels from left to right.
constexpr int kHitExtent = kCellSize;

int clampToInt(std::int64_t v)
{
    return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

CellIndex hitCell(int px, int py)
{
    if (px < kFirstCellX || py < kFirstRowY)
        return {};
    const int x = px - kFirstCellX;
    const int block = x / kColumnStep;
    const int answer = (x % kColumnStep) / kCellStep;
    if (block >= kSheetColumns || answer >= kGridAnswers || (x % kColumnStep) % kCellStep > kHitExtent)
        return {};
    const int y = py - kFirstRowY;
    const int row = y / kRowStep;
    if (row >= kRowsPerColumn || y % kRowStep > kHitExtent)
        return {};
    return { answer + 1, kRowsPerColumn * block + row + 1 };
}

bool acceptsAnswer(std::int32_t testType, int k)
{
    if (testType == 0)
        return k >= 1 && k <= 5;
    if (testType > 0)
        return k == 1 || k == 2;
    return false;
}

void toggleMark(Model& m, int k, int q)
{
    AnswerCell& cell = m.answerCells.at(k, q);
    if (cell.marked == 0) {
        cell.marked = 1;
        cell.markColor = ColorRef(m.settings.fillColor);
        paintMark(m, cell, cell.markColor);
    } else {
        cell.marked = 0;
        paintMark(m, cell, kWhite);
        cell.markColor = kWhite;
    }
}

void leftButtonDown(Model& m, winmsg::LParam lParam)
{
    const PageRecord& page = pageRecord(m);
    const std::int64_t x = winmsg::lowWord(lParam);
    const std::int64_t y = winmsg::highWord(lParam);
    const CellIndex hit = hitCell(clampToInt(x - page.originX), clampToInt(y - page.originY));
    // The table may have fewer columns than the grid: a click never reaches
    // a record outside it.
    if (acceptsAnswer(m.settings.testType, hit.k) && m.answerCells.contains(hit.k, hit.q))
        toggleMark(m, hit.k, hit.q);
    drawPageFrame(m.sheetBitmap);
    refreshView(m);
}

void leftButtonUp(Model& m)
{
    if (m.viewControl)
        m.viewControl->setCursor(Qt::ArrowCursor);
}
