// The Notas window's own costs: sorting a class of 10,000 in its table, and
// grading 1,000 files on its thread beside the command line on the same
// files.
#include <memory>
#include <random>

#include <QEventLoop>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include "bench/classfolder.h"
#include "grading/notasprogram.h"
#include "notas/gradingjob.h"
#include "notas/studenttable.h"

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

struct Class {
    Class() { ok = dir.isValid() && writeClassFolder(dir.path(), kClassSize); }
    QString key() const { return dir.filePath(QStringLiteral("clave.ztest")); }
    QString folder() const { return dir.filePath(QStringLiteral("clase")); }

    QTemporaryDir dir;
    bool ok = false;
};

Class& theClass()
{
    static Class c;
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
        job.start(c.key(), { c.folder() }, options);
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
    o.inputs = { c.folder() };
    o.automaticPenalty = true;
    for (auto _ : state) {
        QString table;
        QString errors;
        QTextStream out(&table);
        QTextStream err(&errors);
        if (runNotas(o, out, err, false) != kAllGraded)
            state.SkipWithError("the class was not graded");
    }
}
BENCHMARK(BM_gradeOnCommandLine)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
