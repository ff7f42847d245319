#pragma once

#include <QByteArray>
#include <QString>

struct ClassGrading;

// One row per student (file name, hits, misses, blanks, grade, then the
// letters marked on each counted question) under a header row: RFC 4180,
// UTF-8, CRLF line ends, a decimal point.
QByteArray classCsv(const ClassGrading& grading);
[[nodiscard]] bool writeClassCsv(const QString& path, const ClassGrading& grading);

// A grade as every output shows it: two decimals, a decimal point.
QString gradeText(double grade);
