#pragma once

#include <QString>

struct NotasOptions;

// Writes a key (`clave.ztest`, five-answer test, one answer per question)
// and `students` answer files of 500 records into `folder`/clase, each
// student right on about two questions in three, wrong or blank on the
// rest. The same seed gives the same class. False when a file could not be
// written.
bool writeClassFolder(const QString& folder, int students, unsigned seed = 15);

// The command line's grading of `options`, its table and messages kept in
// memory as the benchmarks want them out of the way. True when every file
// was graded.
bool gradesWholeClass(const NotasOptions& options);
