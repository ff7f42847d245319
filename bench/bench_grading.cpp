#include <memory>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "bench/classfolder.h"
#include "grading/classgrading.h"
#include "grading/classreport.h"
#include "grading/feedbacksheet.h"
#include "grading/notasprogram.h"
#include "grading/statistics.h"
#include "platform/atomicfile.h"
#include "sheet/model.h"

namespace {

constexpr int kClassSize = 1000;

// One class of 1,000 answer files for every benchmark of the run.
struct Class {
    Class()
    {
        ok = dir.isValid() && writeClassFolder(dir.path(), kClassSize);
        files = QDir(dir.filePath(QStringLiteral("clase"))).entryList(QDir::Files, QDir::Name);
        for (QString& f : files)
            f = dir.filePath(QStringLiteral("clase/") + f);
    }

    QString key() const { return dir.filePath(QStringLiteral("clave.ztest")); }
    QString out(const QString& name) const { return dir.filePath(name); }

    // Graded once, for the benchmarks of what comes after grading.
    const ClassGrading& graded()
    {
        if (!grading) {
            grading = std::make_unique<ClassGrading>();
            auto scratch = std::make_unique<Model>();
            QString reason;
            grading->keyPath = key();
            grading->key = *readGradingKey(*scratch, key(), reason);
            grading->rules.penalty = 0.25;
            gradeClass(*scratch, files, *grading);
        }
        return *grading;
    }

    QTemporaryDir dir;
    bool ok = false;
    QStringList files;
    std::unique_ptr<ClassGrading> grading;
};

Class& theClass()
{
    static Class c;
    return c;
}

// What the program does for `--csv --xlsx` on the class: read the key and
// every file, score, print the table and summary, analyse the questions,
// write both files.
void BM_gradeClassWithCsvAndXlsx(benchmark::State& state)
{
    Class& c = theClass();
    if (!c.ok) {
        state.SkipWithError("the class folder could not be written");
        return;
    }
    NotasOptions o;
    o.key = c.key();
    o.inputs = { c.dir.filePath(QStringLiteral("clase")) };
    o.automaticPenalty = true;
    o.csv = c.out(QStringLiteral("clase.csv"));
    o.xlsx = c.out(QStringLiteral("clase.xlsx"));
    for (auto _ : state) {
        if (!gradesWholeClass(o))
            state.SkipWithError("the class was not graded");
    }
}
BENCHMARK(BM_gradeClassWithCsvAndXlsx)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: only reading the same files whole, with nothing done to them.
void BM_readClassFiles(benchmark::State& state)
{
    Class& c = theClass();
    for (auto _ : state) {
        qint64 bytes = 0;
        for (const QString& path : c.files) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                bytes += f.readAll().size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_readClassFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_classReport(benchmark::State& state)
{
    Class& c = theClass();
    const ClassGrading& g = c.graded();
    for (auto _ : state) {
        const ClassSummary summary = summarizeClass(g.students, g.key);
        const std::vector<QuestionAnalysis> questions = analyseQuestions(g.students, g.key);
        if (!writeClassReport(c.out(QStringLiteral("informe.pdf")), g, summary, questions))
            state.SkipWithError("the report was not written");
    }
}
BENCHMARK(BM_classReport)->Unit(benchmark::kMillisecond)->UseRealTime();

// One student's sheet: read again, corrected, built, put on its page and
// written, as `--hojas` does for each.
void BM_feedbackSheet(benchmark::State& state)
{
    Class& c = theClass();
    const ClassGrading& g = c.graded();
    auto m = std::make_unique<Model>();
    prepareFeedbackModel(*m);
    std::size_t next = 0;
    for (auto _ : state) {
        const StudentResult& s = g.students[next++ % g.students.size()];
        const QByteArray pdf = feedbackSheetPdf(*m, g, s);
        if (pdf.isEmpty() || !writeFileAtomically(c.out(QStringLiteral("hoja.pdf")), pdf))
            state.SkipWithError("the sheet was not written");
    }
}
BENCHMARK(BM_feedbackSheet)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
