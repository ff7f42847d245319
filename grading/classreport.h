#pragma once

#include <vector>

#include <QByteArray>
#include <QRectF>
#include <QRgb>
#include <QString>

struct ClassGrading;
struct ClassSummary;
struct QuestionAnalysis;

// The report is laid out in points on A4 (595 x 842), origin at the top
// left of the page.
inline constexpr QRgb kReportBarColor = 0xFF4678B4;
inline constexpr QRgb kReportReviewColor = 0xFFD23C28;

// The chart of hits per question on the first page: the bar of question
// number `index` (from 0) of `count`, filled to `share` (0 to 1).
QRectF questionBarRect(int index, int count, double share);
// The histogram of grades on the first page: bin `index` of ten, holding
// `students` of a tallest bin of `tallest`.
QRectF gradeBinRect(int index, int students, int tallest);
// Which of the ten bins a grade falls in; the top grade joins the last bin.
int gradeBin(double grade, double scale);

// The printable class report (A4, Spanish): the summary, the histogram of
// grades, the chart of hits per question with the questions to review in
// their own colour, and the table of every counted question.
QByteArray classReportPdf(
    const ClassGrading& grading, const ClassSummary& summary, const std::vector<QuestionAnalysis>& questions);
[[nodiscard]] bool writeClassReport(const QString& path, const ClassGrading& grading, const ClassSummary& summary,
    const std::vector<QuestionAnalysis>& questions);
