#pragma once

#include <functional>

#include <QByteArray>
#include <QRectF>
#include <QSet>
#include <QString>

struct Model;
struct ClassGrading;
struct StudentResult;

// Where the corrected sheet stands on the A4 page, in points from the top
// left; the student's figures are written above it.
QRectF feedbackSheetRect();

// A model ready to draw feedback sheets: its bitmaps made and the settings
// file's default colours, so every student's sheet looks the same whatever
// the teacher's own settings.
void prepareFeedbackModel(Model& m);

// The student's sheet read again from its file, corrected against the key
// and built into m.sheetBitmap as "Corregir test" leaves it. False when the
// file can no longer be read or is no longer of the key's test type.
bool drawFeedbackSheet(Model& m, const ClassGrading& grading, const StudentResult& student);

// That sheet on one A4 page under a header with
// the student's hits, misses, blanks and grade. Empty when the file can no
// longer be read.
QByteArray feedbackSheetPdf(Model& m, const ClassGrading& grading, const StudentResult& student);

// The file name of each student's sheet, from the name the class gives the
// student: its base name with ".pdf", in the same folders ("3A/ana.ztest"
// gives "3A/ana.pdf"). A name an earlier student took, whatever its case,
// gets "-2", "-3", ...
QString feedbackFileName(const QString& studentName, QSet<QString>& taken);

enum class SheetProblem {
    // The folder named, or a student's subfolder, could not be made.
    FolderNotMade,
    // The student's file can no longer be read: no sheet for them.
    FileUnreadable,
    NotWritten,
};

// Writes one sheet per student into `folder`, each named by
// feedbackFileName, in subfolders where the name has them. `problem` hears
// of each sheet that is missing and why (with the folder, file or sheet it
// concerns); `progress`, when given, is asked before each sheet with how
// many of how many are done and stops the run by answering false. The
// sheets reach `folder` only once all are written, so a stopped run leaves
// nothing in it. True when every sheet was written.
bool writeFeedbackSheets(const QString& folder, const ClassGrading& grading,
    const std::function<void(SheetProblem, const QString&)>& problem,
    const std::function<bool(int, int)>& progress = {});
