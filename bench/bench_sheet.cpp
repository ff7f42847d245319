#include <cstring>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "platform/winmsg.h"
#include "render/page.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "view/marking.h"
#include "view/view.h"
#include "view/viewcontrol.h"

using namespace winmsg;

namespace {

// The model as the main window leaves it after opening, with a view control
// of its own in a window that is shown, so every refresh also repaints.
struct Sheet {
    Sheet()
    {
        m.settings.letterCase = 1;
        m.settings.fillColor = 0x0000FF;
        attachView(m, new ViewControl(m, &window));
        recreatePages(m);
        createBitmaps(m);
        m.answerCells.recreate(5);
        resetPageRecord(m);
        window.resize(kViewWidth + 10, kViewHeight + 10);
        window.show();
        QApplication::processEvents();
        buildSheet(m, 1);
    }

    QWidget window;
    Model m;
};

void markOnePerQuestion(Model& m)
{
    for (int q = 1; q <= kQuestions; ++q) {
        AnswerCell& cell = m.answerCells.at(1 + q % kMaxAnswers, q);
        cell.marked = 1;
        cell.markColor = 0x0000FF;
    }
}

void BM_buildSheet(benchmark::State& state)
{
    Sheet s;
    markOnePerQuestion(s.m);
    for (auto _ : state)
        buildSheet(s.m, 1);
    benchmark::DoNotOptimize(s.m.sheetBitmap.constBits());
}
BENCHMARK(BM_buildSheet)->Unit(benchmark::kMillisecond);

// Each click toggles question 1, answer 1: marks and clears in turn.
void BM_click(benchmark::State& state)
{
    Sheet s;
    const LParam point = makeLong(160, 80);
    for (auto _ : state)
        viewHandler(s.m, kLButtonDown, 1, point);
    benchmark::DoNotOptimize(s.m.answerCells.at(1, 1).marked);
}
BENCHMARK(BM_click)->Unit(benchmark::kMicrosecond);

// The click's own drawing without the refresh that follows it: what the
// click adds to one refresh.
void BM_clickDrawing(benchmark::State& state)
{
    Sheet s;
    for (auto _ : state) {
        toggleMark(s.m, 1, 1);
        drawPageFrame(s.m.sheetBitmap);
    }
    benchmark::DoNotOptimize(s.m.answerCells.at(1, 1).marked);
}
BENCHMARK(BM_clickDrawing)->Unit(benchmark::kMicrosecond);

// Down and Up in turn: every message is one step with its refresh.
void BM_scrollStep(benchmark::State& state)
{
    Sheet s;
    bool down = true;
    for (auto _ : state) {
        viewHandler(s.m, kKeyDown, down ? kVkDown : kVkUp, 1);
        down = !down;
    }
    benchmark::DoNotOptimize(pageRecord(s.m).originY);
}
BENCHMARK(BM_scrollStep)->Unit(benchmark::kMicrosecond);

// The baseline the click and the scroll step are measured against: one plain
// copy of the whole view bitmap.
void BM_plainViewCopy(benchmark::State& state)
{
    Sheet s;
    QImage copy(s.m.viewBitmap.size(), s.m.viewBitmap.format());
    for (auto _ : state) {
        std::memcpy(copy.bits(), s.m.viewBitmap.constBits(), std::size_t(s.m.viewBitmap.sizeInBytes()));
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(copy.constBits());
}
BENCHMARK(BM_plainViewCopy)->Unit(benchmark::kMicrosecond);

} // namespace
