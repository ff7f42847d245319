// The Notas window's own costs: sorting a class of 10,000 in its table,
// grading 1,000 files on its thread beside the command line on the same
// files, and how the window's thread fares while a 100-page scan is read
// and when that read is cancelled.
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <random>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "bench/classfolder.h"
#include "bench/scanpages.h"
#include "grading/notasprogram.h"
#include "notas/gradingjob.h"
#include "notas/studenttable.h"
#include "paper/sheetcode.h"

namespace {

constexpr int kTableSize = 10000;
constexpr int kClassSize = 1000;

std::shared_ptr<GradedClass> largeClass()
{
    auto c = std::make_shared<GradedClass>();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> hits(0, 40);
    c->grading.students.resize(kTableSize);
    for (int i = 0; i < kTableSize; ++i) {
        StudentResult& s = c->grading.students[std::size_t(i)];
        s.name = QStringLiteral("alumno%1.ztest").arg(i, 5, 10, QLatin1Char('0'));
        s.hits = hits(random);
        s.misses = 40 - s.hits;
        s.grade = s.hits / 4.0;
    }
    return c;
}

// Sorting by mark as a click on the header does it: the model reorders and
// the shown table lays out and paints its rows again. Up and down in turn,
// so every sort moves every row.
void BM_sortStudentsByMark(benchmark::State& state)
{
    StudentTableModel model;
    model.setClass(largeClass());
    QTableView view;
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.setModel(&model);
    view.resize(800, 600);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        state.SkipWithError("the table was not shown");
        return;
    }
    bool up = true;
    for (auto _ : state) {
        view.sortByColumn(StudentTableModel::Grade, up ? Qt::AscendingOrder : Qt::DescendingOrder);
        view.repaint();
        up = !up;
    }
}
BENCHMARK(BM_sortStudentsByMark)->Unit(benchmark::kMillisecond)->UseRealTime();

// A class written once per run into a temporary folder by `write`: its
// key, and beside it what the benchmark grades.
struct Class {
    explicit Class(const std::function<bool(const QString&)>& write) { ok = dir.isValid() && write(dir.path()); }
    QString key() const { return file(QStringLiteral("clave.ztest")); }
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    bool ok = false;
};

Class& theClass()
{
    static Class c([](const QString& folder) { return writeClassFolder(folder, kClassSize); });
    return c;
}

// The window's grading: on its own thread, from start to the result handed
// back to the window's thread, summary and analysis of the questions done.
void BM_gradeInWindow(benchmark::State& state)
{
    Class& c = theClass();
    GradingJob job;
    GradingOptions options;
    options.penaltyKind = PenaltyKind::Automatic;
    QEventLoop loop;
    std::size_t students = 0;
    QObject::connect(&job, &GradingJob::finished, &loop, [&](std::shared_ptr<const GradedClass> graded) {
        students = graded->grading.students.size();
        loop.quit();
    });
    for (auto _ : state) {
        job.start(c.key(), { c.file(QStringLiteral("clase")) }, options);
        loop.exec();
        if (students != kClassSize)
            state.SkipWithError("the class was not graded");
    }
}
BENCHMARK(BM_gradeInWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the command line on the same files, table and summary printed.
void BM_gradeOnCommandLine(benchmark::State& state)
{
    Class& c = theClass();
    NotasOptions o;
    o.key = c.key();
    o.inputs = { c.file(QStringLiteral("clase")) };
    o.automaticPenalty = true;
    for (auto _ : state) {
        if (!gradesWholeClass(o))
            state.SkipWithError("the class was not graded");
    }
}
BENCHMARK(BM_gradeOnCommandLine)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kScanPages = 100;
constexpr double kScanDpi = 200;
// The window's thread is asked to do something this often while it waits.
constexpr int kTickMs = 5;

Class& theScans()
{
    static Class c([](const QString& folder) {
        return writeClassFolder(folder, 0)
            && writeScannedPdf(QDir(folder).filePath(QStringLiteral("escaneo.pdf")), kScanPages, kScanDpi,
                examId(QStringLiteral("Examen"), SheetLayout {}, {}));
    });
    return c;
}

// Starts the job on the scan, read into a folder of its own as a class
// added anew would be.
std::shared_ptr<PaperReading> startScanRead(GradingJob& job, const Class& c, const QString& folder)
{
    auto paper = std::make_shared<PaperReading>();
    paper->folder = c.file(folder);
    job.start(c.key(), { c.file(QStringLiteral("escaneo.pdf")) }, {}, paper);
    return paper;
}

// Counts how late the window's thread comes to a timer that fires every
// few milliseconds: the longest wait is how long a click would wait.
struct StallWatch {
    StallWatch()
    {
        timer.setInterval(kTickMs);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, since.restart());
        });
        since.start();
        timer.start();
    }
    QTimer timer;
    QElapsedTimer since;
    qint64 longest = 0;
};

// A 100-page scan read and graded by the window's job, its pages written
// into a fresh folder each time as a class added anew would be. Reported
// beside the time: the longest the window's thread went without running
// a 5 ms timer (`stall_ms`, the worst iteration).
void BM_readScanInWindow(benchmark::State& state)
{
    Class& c = theScans();
    if (!c.ok) {
        state.SkipWithError("the scans were not written");
        return;
    }
    GradingJob job;
    QEventLoop loop;
    std::size_t students = 0;
    QObject::connect(&job, &GradingJob::finished, &loop, [&](std::shared_ptr<const GradedClass> graded) {
        students = graded->grading.students.size();
        loop.quit();
    });
    qint64 stall = 0;
    int run = 0;
    for (auto _ : state) {
        StallWatch watch;
        startScanRead(job, c, QStringLiteral("leido-%1").arg(run++));
        loop.exec();
        stall = std::max(stall, watch.longest);
        if (students != kScanPages)
            state.SkipWithError("the scan was not read whole");
    }
    state.counters["stall_ms"] = double(stall);
}
BENCHMARK(BM_readScanInWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Cancel a quarter of the way through the same read: the time from the
// cancel to the window's thread hearing of it, which is also how long
// replacing a run (a changed option, new inputs) may hold the window.
void BM_cancelScanRead(benchmark::State& state)
{
    Class& c = theScans();
    if (!c.ok) {
        state.SkipWithError("the scans were not written");
        return;
    }
    GradingJob job;
    QEventLoop loop;
    QElapsedTimer sinceCancel;
    qint64 heard = 0;
    qint64 longest = 0;
    QObject::connect(&job, &GradingJob::progress, &job, [&](int done, int total) {
        if (done * 4 >= total && !sinceCancel.isValid()) {
            sinceCancel.start();
            job.cancel();
        }
    });
    QObject::connect(&job, &GradingJob::cancelled, &loop, [&] {
        heard = sinceCancel.elapsed();
        longest = std::max(longest, heard);
        loop.quit();
    });
    int run = 0;
    for (auto _ : state) {
        sinceCancel.invalidate();
        const std::shared_ptr<PaperReading> paper
            = startScanRead(job, c, QStringLiteral("cancelado-%1").arg(run++));
        loop.exec();
        state.SetIterationTime(double(heard) / 1000);
        if (QFileInfo::exists(paper->folder))
            state.SkipWithError("the cancelled read wrote its folder");
    }
    state.counters["longest_ms"] = double(longest);
}
BENCHMARK(BM_cancelScanRead)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
