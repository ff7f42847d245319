#include "notas/studentsheet.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "grading/classgrading.h"
#include "grading/csvexport.h"

StudentSheetDialog::StudentSheetDialog(
    const QImage& sheet, const ClassGrading& grading, const StudentResult& student, const QImage& scan, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("%1 — Zelvora Notas").arg(student.name));
    setAccessibleName(QStringLiteral("Hoja corregida de %1").arg(student.name));

    auto* figures = new QLabel(QStringLiteral("Aciertos: %1    Fallos: %2    En blanco: %3    Nota: %4 de %5%6")
                                   .arg(student.hits)
                                   .arg(student.misses)
                                   .arg(student.blanks)
                                   .arg(gradeText(student.grade), QString::number(grading.rules.scale, 'g', 6),
                                       student.passed ? QStringLiteral(" (aprobado)") : QString()),
        this);
    figures->setAccessibleName(QStringLiteral("Resultado del alumno"));
    figures->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    auto* image = new QLabel(this);
    image->setPixmap(QPixmap::fromImage(sheet));
    image->setAccessibleName(QStringLiteral("Hoja corregida"));
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(image);
    scroll->setAccessibleName(QStringLiteral("Hoja corregida"));
    // Arrow keys and Re Pág/Av Pág scroll the sheet from the keyboard.
    scroll->setFocusPolicy(Qt::StrongFocus);

    auto* sheets = new QHBoxLayout;
    sheets->addWidget(scroll);
    if (!scan.isNull()) {
        // At the corrected sheet's height, so the two read side by side.
        auto* page = new QLabel(this);
        page->setPixmap(QPixmap::fromImage(scan.scaledToHeight(std::max(sheet.height(), 1), Qt::SmoothTransformation)));
        page->setAccessibleName(QStringLiteral("Página escaneada"));
        auto* pageScroll = new QScrollArea(this);
        pageScroll->setWidget(page);
        pageScroll->setAccessibleName(QStringLiteral("Página escaneada con las casillas leídas"));
        pageScroll->setFocusPolicy(Qt::StrongFocus);
        sheets->addWidget(pageScroll);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setAccessibleName(QStringLiteral("Cerrar"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(figures);
    layout->addLayout(sheets, 1);
    layout->addWidget(buttons);
    resize(sheet.width() * (scan.isNull() ? 1 : 2) + 80, 800);
    scroll->setFocus();
}

#include "moc_studentsheet.cpp"
