#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "sheet/model.h"
#include "testfile/testfile.h"

namespace {

// A five-answer sheet with marks spread over it: the largest file the
// program writes, 500 records.
void fillSheet(Model& m, const QString& path)
{
    m.settings.testType = 0;
    m.settings.cellShape = 1;
    m.settings.letterCase = 1;
    m.answerCells.recreate(5);
    for (int q = 1; q <= kQuestions; ++q) {
        for (int k = 1; k <= kMaxAnswers; ++k) {
            AnswerCell& cell = m.answerCells.at(k, q);
            cell = AnswerCell { std::int16_t(40 * k), std::int16_t(40 * k + 15), std::int16_t(10 * q),
                std::int16_t(10 * q + 15), (k + q) % 3 == 0 ? 1 : 0, 0x00FF8800 };
        }
    }
    m.testFileName = path;
}

void saveFiveHundredRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    Model m;
    fillSheet(m, dir.filePath(QStringLiteral("bench.ztest")));
    for (auto _ : state) {
        if (!writeTestFile(m))
            state.SkipWithError("save failed");
    }
}
BENCHMARK(saveFiveHundredRecords)->Unit(benchmark::kMicrosecond);

void readFiveHundredRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    Model m;
    fillSheet(m, dir.filePath(QStringLiteral("bench.ztest")));
    if (!writeTestFile(m))
        state.SkipWithError("save failed");
    for (auto _ : state) {
        if (readTestFile(m) != ReadResult::Accepted)
            state.SkipWithError("read refused");
    }
}
BENCHMARK(readFiveHundredRecords)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
