#pragma once

#include <QDialog>
#include <QImage>

struct ClassGrading;
struct StudentResult;

// One student's corrected sheet as the feedback sheet draws it, under the
// student's figures. Sheets read from paper will show their scan beside it.
class StudentSheetDialog : public QDialog {
    Q_OBJECT

public:
    StudentSheetDialog(
        const QImage& sheet, const ClassGrading& grading, const StudentResult& student, QWidget* parent = nullptr);
};
