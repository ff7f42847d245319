#include "notas/classrun.h"

#include <sys/stat.h>

#include <QFile>

#include "grading/scoring.h"
#include "sheet/model.h"

namespace {

// What tells a file apart from itself a moment later: which file it is, its
// size and its last change, to the nanosecond.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec changed {};
};

std::optional<FileStamp> stampOf(const QString& path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp { st.st_dev, st.st_ino, st.st_size, st.st_mtim };
}

bool sameStamp(const FileStamp& a, const FileStamp& b)
{
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.changed.tv_sec == b.changed.tv_sec
        && a.changed.tv_nsec == b.changed.tv_nsec;
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
    QString& reason)
{
    GradedClass result;
    ClassGrading& g = result.grading;
    g.keyPath = keyPath;
    std::optional<GradingKey> key = readGradingKey(scratch, keyPath, reason);
    if (!key)
        return std::nullopt;
    g.key = std::move(*key);
    g.rules = scoringRules(options, g.key);

    std::vector<RefusedFile> missing;
    const QStringList files = answerFiles(inputs, keyPath, missing);
    for (const RefusedFile& r : missing)
        result.inputs.push_back({ r.path, InputState::Refused, r.reason });
    g.students.reserve(std::size_t(files.size()));
    result.inputs.reserve(result.inputs.size() + std::size_t(files.size()));
    int done = 0;
    for (const QString& path : files) {
        if (cancel.load(std::memory_order_relaxed))
            return std::nullopt;
        const std::optional<FileStamp> before = stampOf(path);
        QString why;
        std::optional<StudentResult> student = gradeAnswerFile(scratch, path, g.key, g.rules, why);
        const std::optional<FileStamp> after = stampOf(path);
        if (student && (!before || !after || !sameStamp(*before, *after))) {
            student.reset();
            why = after ? QStringLiteral("cambió mientras se calificaba")
                        : QStringLiteral("desapareció mientras se calificaba");
        }
        if (student) {
            g.students.push_back(std::move(*student));
            result.inputs.push_back({ path, InputState::Graded, {} });
        } else {
            g.refused.push_back({ path, why });
            result.inputs.push_back({ path, InputState::Refused, why });
        }
        if (progress)
            progress(++done, int(files.size()));
    }
    nameStudents(g.students);
    g.refused.insert(g.refused.begin(), missing.begin(), missing.end());
    result.summary = summarizeClass(g.students, g.key);
    result.questions = analyseQuestions(g.students, g.key);
    result.doubtfulCells.assign(g.students.size(), 0);
    return result;
}
