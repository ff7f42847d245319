#include "notas/classrun.h"

#include <algorithm>
#include <memory>
#include <thread>

#include <QHash>
#include <QThread>

#include "grading/scoring.h"
#include "notas/paperreview.h"
#include "paper/scanreading.h"
#include "platform/filestamp.h"
#include "sheet/model.h"

namespace {

// Below this many files a class is graded before threads would pay off.
constexpr int kThreadsFrom = 64;
constexpr int kMaxThreads = 4;

struct FileOutcome {
    std::optional<StudentResult> student;
    QString reason;
};

FileOutcome gradeOne(Model& scratch, const QString& path, const GradingKey& key, const ScoringRules& rules)
{
    FileOutcome o;
    const std::optional<FileStamp> before = fileStamp(path);
    o.student = gradeAnswerFile(scratch, path, key, rules, o.reason);
    const std::optional<FileStamp> after = fileStamp(path);
    if (o.student && (!before || !after || *before != *after)) {
        o.student.reset();
        o.reason = after ? QStringLiteral("cambió mientras se calificaba")
                         : QStringLiteral("desapareció mientras se calificaba");
    }
    return o;
}

} // namespace

ScoringRules scoringRules(const GradingOptions& options, const GradingKey& key)
{
    ScoringRules rules;
    rules.scale = options.scale;
    switch (options.penaltyKind) {
    case PenaltyKind::None:
        rules.penalty = 0;
        break;
    case PenaltyKind::Automatic:
        rules.penalty = automaticPenalty(key.answers);
        break;
    case PenaltyKind::Points:
        rules.penalty = options.penaltyPoints;
        break;
    }
    return rules;
}

std::optional<KeyDescription> describeKey(Model& scratch, const QString& keyPath, QString& reason)
{
    const std::optional<GradingKey> key = readGradingKey(scratch, keyPath, reason);
    if (!key)
        return std::nullopt;
    return KeyDescription { testTypeName(key->testType), int(key->questions.size()) };
}

std::optional<GradedClass> gradeInputs(Model& scratch, const QString& keyPath, const QStringList& inputs,
    const GradingOptions& options, const std::atomic<bool>& cancel, const std::function<void(int, int)>& progress,
    QString& reason, PaperReading* paper)
{
    GradedClass result;
    ClassGrading& g = result.grading;
    g.keyPath = keyPath;
    std::optional<GradingKey> key = readGradingKey(scratch, keyPath, reason);
    if (!key)
        return std::nullopt;
    g.key = std::move(*key);
    g.rules = scoringRules(options, g.key);

    QStringList testInputs = inputs;
    QStringList scanInputs;
    if (paper) {
        testInputs.clear();
        splitInputs(inputs, testInputs, scanInputs);
    }
    if (paper && !scanInputs.isEmpty()) {
        if (!paper->read || paper->scanInputs != scanInputs || paper->keyPath != keyPath) {
            paper->sheets = {};
            paper->refused.clear();
            paper->error.clear();
            paper->scanInputs = scanInputs;
            paper->keyPath = keyPath;
            // Only a whole read counts as read: a cancelled one wrote
            // nothing, and the next run reads the scans again.
            paper->read = false;
            // A page reads the same whatever the key: only settling the run,
            // which every read does anew, asks the key.
            if (!paper->readings)
                paper->readings = std::make_shared<ScanReadCache>();
            readPaperSheets(scanInputs, paper->folder, g.key, scratch, paper->sheets, paper->refused, paper->error,
                ScanReadWatch { &cancel, progress }, paper->readings.get());
            if (cancel.load())
                return std::nullopt;
            paper->read = true;
            // The sheets were written anew: the review's decisions so far go
            // back into them.
            replayDecisions(paper->folder);
        }
        if (cancel.load())
            return std::nullopt;
        if (!paper->error.isEmpty())
            result.inputs.push_back({ paper->folder, InputState::Refused, paper->error, {}, -1 });
        for (const RefusedFile& r : paper->refused)
            result.inputs.push_back({ r.path, InputState::Refused, r.reason, {}, -1 });
        g.refused.insert(g.refused.end(), paper->refused.begin(), paper->refused.end());
        testInputs << paper->sheets.files;
        result.scanPages = paper->sheets.sources;
    }
    std::vector<RefusedFile> missing;
    const QStringList files = answerFiles(testInputs, keyPath, missing);
    for (const RefusedFile& r : missing)
        result.inputs.push_back({ r.path, InputState::Refused, r.reason, {}, -1 });
    const int count = int(files.size());
    std::vector<FileOutcome> outcomes(std::size_t(count), FileOutcome {});
    std::atomic<int> next { 0 };
    std::atomic<int> done { 0 };
    // Files are taken in turn by whichever thread is free; only the calling
    // thread reports progress, so `progress` needs no lock.
    const auto work = [&](Model& m, bool reports) {
        for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            if (cancel.load(std::memory_order_relaxed))
                return;
            outcomes[std::size_t(i)] = gradeOne(m, files[i], g.key, g.rules);
            const int finished = done.fetch_add(1) + 1;
            if (reports && progress)
                progress(finished, count);
        }
    };
    const int helpers = count < kThreadsFrom ? 0 : std::clamp(QThread::idealThreadCount(), 1, kMaxThreads) - 1;
    std::vector<std::unique_ptr<Model>> models;
    std::vector<std::thread> threads;
    for (int h = 0; h < helpers; ++h) {
        // A scratch model per thread: the readers fill its tables.
        models.push_back(std::make_unique<Model>());
        threads.emplace_back(work, std::ref(*models.back()), false);
    }
    work(scratch, true);
    for (std::thread& t : threads)
        t.join();
    if (cancel.load())
        return std::nullopt;
    if (progress && count > 0)
        progress(count, count);

    g.students.reserve(std::size_t(count));
    result.inputs.reserve(result.inputs.size() + std::size_t(count));
    QHash<QString, int> pending;
    if (paper && !paper->sheets.files.isEmpty())
        pending = pendingBySheet(pendingReview(paper->folder));
    for (int i = 0; i < count; ++i) {
        FileOutcome& o = outcomes[std::size_t(i)];
        InputRow row { files[i], InputState::Graded, {}, {}, -1 };
        if (paper && paper->sheets.pages.contains(files[i])) {
            row.page = paper->sheets.pages.value(files[i]);
            row.doubts = pending.value(files[i]);
        }
        if (o.student) {
            o.student->doubtfulCells = std::max(row.doubts, 0);
            g.students.push_back(std::move(*o.student));
        } else {
            g.refused.push_back({ row.page.isEmpty() ? files[i] : row.page, o.reason });
            row.state = InputState::Refused;
            row.reason = std::move(o.reason);
        }
        result.inputs.push_back(std::move(row));
    }
    nameStudents(g.students);
    g.refused.insert(g.refused.begin(), missing.begin(), missing.end());
    result.summary = summarizeClass(g.students, g.key);
    result.questions = analyseQuestions(g.students, g.key);
    return result;
}
