#include "grading/statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QStringList>

namespace {

bool isHit(const GradingKey& key, const StudentResult& s, int q)
{
    const auto i = std::size_t(q - 1);
    return s.answers[i] != 0 && s.answers[i] == key.marks[i];
}

std::optional<double> median(std::vector<double> values)
{
    if (values.empty())
        return std::nullopt;
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(half), values.end());
    const double upper = values[half];
    if (values.size() % 2 != 0)
        return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + std::ptrdiff_t(half));
    return (lower + upper) / 2;
}

// Weight of each student (by index) in a group of `size` students taken
// from one end of the ranking. Students tied at the cut share the places
// left, so the file order of the class never decides who is in the group.
std::vector<double> groupWeights(const std::vector<int>& scores, double size, bool top)
{
    std::vector<int> sorted = scores;
    if (top)
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
    else
        std::sort(sorted.begin(), sorted.end());
    const int cut = sorted[std::size_t(size) - 1];
    const auto beyond = [&](int s) { return top ? s > cut : s < cut; };
    int inside = 0;
    int tied = 0;
    for (const int s : scores) {
        if (beyond(s))
            ++inside;
        else if (s == cut)
            ++tied;
    }
    const double share = (size - inside) / tied;
    std::vector<double> weights(scores.size(), 0.0);
    for (std::size_t i = 0; i < scores.size(); ++i)
        weights[i] = beyond(scores[i]) ? 1.0 : scores[i] == cut ? share : 0.0;
    return weights;
}

} // namespace

ClassSummary summarizeClass(const std::vector<StudentResult>& students, const GradingKey& key)
{
    ClassSummary c;
    c.students = int(students.size());
    if (students.empty())
        return c;
    std::vector<double> grades;
    grades.reserve(students.size());
    for (const StudentResult& s : students) {
        grades.push_back(s.grade);
        c.passed += s.passed ? 1 : 0;
    }
    const double n = double(grades.size());
    const double mean = std::accumulate(grades.begin(), grades.end(), 0.0) / n;
    double squares = 0;
    for (const double g : grades)
        squares += (g - mean) * (g - mean);
    c.mean = mean;
    c.deviation = std::sqrt(squares / n);
    c.lowest = *std::min_element(grades.begin(), grades.end());
    c.highest = *std::max_element(grades.begin(), grades.end());
    c.median = median(std::move(grades));

    const auto k = double(key.questions.size());
    double hitMean = 0;
    for (const StudentResult& s : students)
        hitMean += s.hits;
    hitMean /= n;
    double hitVariance = 0;
    for (const StudentResult& s : students)
        hitVariance += (s.hits - hitMean) * (s.hits - hitMean);
    hitVariance /= n;
    if (k >= 2 && hitVariance > 1e-12) {
        double pq = 0;
        for (const int q : key.questions) {
            int hits = 0;
            for (const StudentResult& s : students)
                hits += isHit(key, s, q) ? 1 : 0;
            const double p = hits / n;
            pq += p * (1 - p);
        }
        c.reliability = k / (k - 1) * (1 - pq / hitVariance);
    }
    return c;
}

std::vector<QuestionAnalysis> analyseQuestions(const std::vector<StudentResult>& students, const GradingKey& key)
{
    std::vector<QuestionAnalysis> result;
    result.reserve(key.questions.size());
    const std::size_t count = students.size();
    const double n = double(count);

    std::vector<int> scores(count);
    for (std::size_t i = 0; i < count; ++i)
        scores[i] = students[i].hits;
    const double groupSize = std::max(1.0, std::round(kGroupShare * n));
    std::vector<double> topWeights;
    std::vector<double> bottomWeights;
    if (count >= 2) {
        topWeights = groupWeights(scores, groupSize, true);
        bottomWeights = groupWeights(scores, groupSize, false);
    }

    for (const int q : key.questions) {
        QuestionAnalysis a;
        a.question = q;
        a.key = key.marks[std::size_t(q - 1)];
        double hits = 0, top = 0, bottom = 0, rest = 0, restSquares = 0, hitRest = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const AnswerMask marked = students[i].answers[std::size_t(q - 1)];
            for (int letter = 0; letter < kMaxAnswers; ++letter)
                a.chosen[std::size_t(letter)] += (marked >> letter) & 1u;
            a.blank += marked == 0 ? 1 : 0;
            const int hit = isHit(key, students[i], q) ? 1 : 0;
            const double others = scores[i] - hit;
            hits += hit;
            rest += others;
            restSquares += others * others;
            hitRest += hit * others;
            if (count >= 2) {
                top += topWeights[i] * hit;
                bottom += bottomWeights[i] * hit;
            }
        }
        if (count > 0) {
            const double p = hits / n;
            a.correct = p;
            if (p < kVeryHardBelow)
                a.review |= VeryHard;
            if (p > kVeryEasyAbove)
                a.review |= VeryEasy;
            const double restMean = rest / n;
            const double restVariance = restSquares / n - restMean * restMean;
            const double hitVariance = p * (1 - p);
            if (restVariance > 1e-12 && hitVariance > 1e-12)
                a.pointBiserial = (hitRest / n - p * restMean) / std::sqrt(hitVariance * restVariance);
        }
        if (count >= 2) {
            a.discrimination = (top - bottom) / groupSize;
            if (*a.discrimination < -1e-12)
                a.review |= NegativeDiscrimination;
        }
        result.push_back(a);
    }
    return result;
}

QString reviewText(unsigned review)
{
    QStringList reasons;
    if (review & VeryHard)
        reasons << QStringLiteral("muy difícil");
    if (review & VeryEasy)
        reasons << QStringLiteral("muy fácil");
    if (review & NegativeDiscrimination)
        reasons << QStringLiteral("discriminación negativa");
    return reasons.join(QStringLiteral(", "));
}
