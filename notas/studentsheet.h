#pragma once

#include <QDialog>
#include <QImage>

struct ClassGrading;
struct StudentResult;

// One student's corrected sheet as the feedback sheet draws it, under the
// student's figures. A sheet read from paper shows its scan beside it, with
// the cells as read outlined on it.
class StudentSheetDialog : public QDialog {
    Q_OBJECT

public:
    StudentSheetDialog(const QImage& sheet, const ClassGrading& grading, const StudentResult& student,
        const QImage& scan = {}, QWidget* parent = nullptr);
};
