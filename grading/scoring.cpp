#include "grading/scoring.h"

#include <algorithm>

SheetAnswers sheetAnswers(const AnswerTable& table, int answers)
{
    SheetAnswers result {};
    const int columns = std::min(answers, table.columns());
    for (int q = 1; q <= kQuestions; ++q) {
        AnswerMask mask = 0;
        for (int k = 1; k <= columns; ++k) {
            if (table.at(k, q).marked == 1)
                mask |= AnswerMask(1u << (k - 1));
        }
        result[std::size_t(q - 1)] = mask;
    }
    return result;
}

GradingKey gradingKey(const AnswerTable& table, std::int32_t testType)
{
    GradingKey key;
    key.testType = testType;
    key.cells = table;
    Model probe;
    probe.settings.testType = testType;
    key.answers = answerCount(probe);
    key.marks = sheetAnswers(table, key.answers);
    for (int q = 1; q <= kQuestions; ++q) {
        if (key.marks[std::size_t(q - 1)] != 0)
            key.questions.push_back(q);
    }
    return key;
}

double automaticPenalty(int answers)
{
    return answers > 1 ? 1.0 / double(answers - 1) : 0.0;
}

Outcome questionOutcome(AnswerMask key, AnswerMask marked)
{
    if (marked == 0)
        return Outcome::Blank;
    return marked == key ? Outcome::Hit : Outcome::Miss;
}

StudentResult scoreStudent(const GradingKey& key, const SheetAnswers& answers, const ScoringRules& rules)
{
    StudentResult r;
    r.answers = answers;
    for (const int q : key.questions) {
        switch (questionOutcome(key.marks[std::size_t(q - 1)], answers[std::size_t(q - 1)])) {
        case Outcome::Hit:
            ++r.hits;
            break;
        case Outcome::Miss:
            ++r.misses;
            break;
        case Outcome::Blank:
            ++r.blanks;
            break;
        }
    }
    r.points = r.hits - rules.penalty * r.misses;
    const auto questions = double(key.questions.size());
    r.grade = questions > 0 ? std::max(0.0, r.points) / questions * rules.scale : 0.0;
    // A grade of exactly half the scale passes even when the division leaves
    // it a hair below in binary.
    r.passed = r.grade >= rules.scale / 2 - 1e-9 * std::max(1.0, rules.scale);
    return r;
}

QString answerLetters(AnswerMask marked, std::int32_t testType)
{
    static constexpr char kFive[] = "ABCDE";
    static constexpr char kSpanish[] = "VF";
    static constexpr char kEnglish[] = "TF";
    const char* letters = testType == 1 ? kSpanish : testType == 2 ? kEnglish : kFive;
    const int count = testType == 1 || testType == 2 ? 2 : 5;
    QString text;
    for (int k = 0; k < count; ++k) {
        if (marked & (1u << k))
            text.append(QLatin1Char(letters[k]));
    }
    return text;
}

QString paperReviewText()
{
    return QStringLiteral("a revisar");
}

QString testTypeName(std::int32_t testType)
{
    switch (testType) {
    case 0:
        return QStringLiteral("Test 5 respuestas");
    case 1:
        return QStringLiteral("Test Logica Español");
    case 2:
        return QStringLiteral("Test Boolean Logic English");
    default:
        return QStringLiteral("Test %1").arg(testType);
    }
}
