#pragma once

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
