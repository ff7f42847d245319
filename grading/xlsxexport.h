#pragma once

#include <vector>

#include <QString>

struct ClassGrading;
struct ClassSummary;
struct QuestionAnalysis;

// A workbook of three sheets: "Alumnos" (the rows of the CSV), "Preguntas"
// (the analysis of each counted question) and "Resumen" (the class summary
// and the reliability of the test). Figures are stored as numbers; a figure
// the class does not define is an empty cell. False, with `error` set, when
// the file was not replaced.
// What the summary says in place of a reliability the class does not define.
QString reliabilityUndefinedText();

[[nodiscard]] bool writeClassWorkbook(const QString& path, const ClassGrading& grading, const ClassSummary& summary,
    const std::vector<QuestionAnalysis>& questions, QString& error);
