#include "view/view.h"

#include <algorithm>
#include <cstring>

#include "platform/draw.h"
#include "render/page.h"
#include "sheet/model.h"
#include "view/marking.h"
#include "view/viewcontrol.h"

using namespace winmsg;

void composeView(Model& m, int x, int y)
{
    QImage& view = m.viewBitmap;
    const QImage& sheet = m.sheetBitmap;
    // The view was just filled white, so laying the sheet on it by AND is a
    // plain copy of the overlapping rectangle.
    const int left = std::max(0, x);
    const int right = std::min(view.width(), x + sheet.width());
    const int top = std::max(0, y);
    const int bottom = std::min(view.height(), y + sheet.height());
    if (left >= right || top >= bottom)
        return;
    const std::size_t bytes = std::size_t(right - left) * sizeof(QRgb);
    for (int row = top; row < bottom; ++row) {
        const auto* src = reinterpret_cast<const QRgb*>(sheet.constScanLine(row - y)) + (left - x);
        auto* dst = reinterpret_cast<QRgb*>(view.scanLine(row)) + left;
        std::memcpy(dst, src, bytes);
    }
}

namespace {

// Whitening the view and then laying the sheet on it gives the same pixels
// as whitening only the rows the sheet leaves uncovered, when the sheet is
// as wide as the view; that saves a whole pass over the view per scroll
// step or click.
void whitenUncoveredRows(QImage& view, int sheetTop, int sheetHeight)
{
    const int coveredTop = std::clamp(sheetTop, 0, view.height());
    const int coveredBottom = std::clamp(sheetTop + sheetHeight, 0, view.height());
    const std::size_t rowBytes = std::size_t(view.bytesPerLine());
    for (int row = 0; row < view.height(); ++row)
        if (row < coveredTop || row >= coveredBottom)
            std::memset(view.scanLine(row), 0xFF, rowBytes);
}

} // namespace

void updateViewImage(Model& m)
{
    const int y = pageRecord(m).originY;
    if (m.sheetBitmap.width() >= m.viewBitmap.width())
        whitenUncoveredRows(m.viewBitmap, y, m.sheetBitmap.height());
    else
        clearToWhite(m.viewBitmap);
    composeView(m, 0, y);
    // The control paints from the view bitmap itself; every row may have
    // moved or changed.
    if (m.viewControl)
        m.viewControl->viewRowsChanged(0, m.viewBitmap.height());
}

void refreshView(Model& m)
{
    updateViewImage(m);
    if (m.viewControl)
        m.viewControl->repaint();
}

void attachView(Model& m, ViewControl* control)
{
    m.viewControl = control;
    m.viewSink.update = updateViewImage;
    m.viewSink.refresh = refreshView;
}

namespace {

void keyDown(Model& m, std::uint32_t key)
{
    std::int32_t& offset = pageRecord(m).originY;
    // The guards test the bounds but the steps are taken whole, so one step
    // may carry the offset past a bound.
    switch (key) {
    case kVkDown:
        if (offset <= kLowestOffset)
            return;
        offset -= 1;
        break;
    case kVkUp:
        if (offset >= kHighestOffset)
            return;
        offset += 1;
        break;
    case kVkNext:
        if (offset <= kLowestOffset)
            return;
        offset -= 100;
        break;
    case kVkPrior:
        if (offset >= kHighestOffset)
            return;
        offset += 100;
        break;
    case kVkEnd:
        offset = kLowestOffset;
        break;
    case kVkHome:
        offset = kHighestOffset;
        break;
    default:
        return;
    }
    refreshView(m);
}

void wheel(Model& m, WParam wParam)
{
    std::int32_t& offset = pageRecord(m).originY;
    const std::uint32_t delta = highWord(wParam);
    if (delta > 32768) {
        if (offset > kLowestOffset)
            offset -= 15;
    } else if (offset < kHighestOffset) {
        offset += 15;
    }
    refreshView(m);
}

} // namespace

void viewHandler(Model& m, std::uint32_t message, WParam wParam, LParam lParam)
{
    switch (message) {
    case kKeyDown:
        keyDown(m, lowWord(wParam));
        break;
    case kMouseWheel:
        wheel(m, wParam);
        break;
    case kLButtonDown:
        leftButtonDown(m, lParam);
        break;
    case kLButtonUp:
        leftButtonUp(m);
        break;
    default:
        break;
    }
}
