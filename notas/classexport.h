#pragma once

#include <functional>

#include <QString>
#include <QStringList>

struct GradedClass;

// The window's exports, through the command line's own writers. Each
// replaces its file atomically, so a failed export leaves the previous file
// whole, and refuses a path that is the key or one of the class's answer
// files. False with `error` saying why, in Spanish.
enum class ExportKind { Csv, Workbook, Report };
bool exportClass(ExportKind kind, const QString& path, const GradedClass& graded, QString& error);

// One corrected sheet per student in `folder`, named as the command line
// names them. False with a line per sheet or folder that could not be
// written in `problems`; the other sheets are written all the same.
// `progress` (may be empty) hears after each student how many of how many
// are done, and stops the export by returning false; a stopped export
// leaves the folder as it was.
bool exportFeedbackSheets(const QString& folder, const GradedClass& graded, QStringList& problems,
    const std::function<bool(int, int)>& progress = {});
