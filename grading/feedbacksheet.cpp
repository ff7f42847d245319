#include "grading/feedbacksheet.h"

#include <cstdio>
#include <memory>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "grading/classgrading.h"
#include "grading/csvexport.h"
#include "platform/atomicfile.h"
#include "settings/settingsfile.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "testfile/correction.h"
#include "testfile/testfile.h"

namespace {

constexpr double kPageWidth = 595.276;
constexpr double kSheetTop = 100;
constexpr double kSheetBottom = 820;

void headerText(QPainter& p, double y, const QString& text, double size, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(size);
    font.setBold(bold);
    p.setFont(font);
    p.drawText(QPointF(50, y), text);
}

} // namespace

QRectF feedbackSheetRect()
{
    const double height = kSheetBottom - kSheetTop;
    const double width = height * kSheetWidth / kSheetHeight;
    return QRectF((kPageWidth - width) / 2, kSheetTop, width, height);
}

void prepareFeedbackModel(Model& m)
{
    m.settings = defaultSettings();
    recreatePages(m);
    createBitmaps(m);
    resetPageRecord(m);
}

bool drawFeedbackSheet(Model& m, const ClassGrading& grading, const StudentResult& student)
{
    m.testFileName = student.path;
    if (readTestFile(m) != ReadResult::Accepted || m.settings.testType != grading.key.testType)
        return false;
    m.keyCells = grading.key.cells;
    correctTest(m);
    buildSheet(m, 1);
    return true;
}

QByteArray feedbackSheetPdf(Model& m, const ClassGrading& grading, const StudentResult& student)
{
    if (!drawFeedbackSheet(m, grading, student))
        return {};

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(student.name);
        writer.setCreator(QStringLiteral("zelvora-notas"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        QPainter p(&writer);
        // The marks' colours are what the student reads; JPEG would smear them.
        p.setRenderHint(QPainter::LosslessImageRendering);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        headerText(p, 50, student.name, 14, true);
        headerText(p, 72,
            QStringLiteral("Aciertos: %1    Fallos: %2    En blanco: %3    Nota: %4 de %5%6")
                .arg(student.hits)
                .arg(student.misses)
                .arg(student.blanks)
                .arg(gradeText(student.grade), QString::number(grading.rules.scale, 'g', 6),
                    student.passed ? QStringLiteral(" (aprobado)") : QString()),
            11, false);
        headerText(p, 90, QStringLiteral("Clave: %1").arg(fileNameOf(grading.keyPath)), 9, false);
        p.drawImage(feedbackSheetRect(), m.sheetBitmap);
    }
    return bytes;
}

QString feedbackFileName(const QString& studentName, QSet<QString>& taken)
{
    const qsizetype slash = studentName.lastIndexOf(QLatin1Char('/'));
    const QString folder = studentName.left(slash + 1);
    const QString base = folder + QFileInfo(studentName.mid(slash + 1)).completeBaseName();
    QString name = base + QStringLiteral(".pdf");
    // Compared without case: the sheets may go to a memory stick whose file
    // system does not tell "Ana.pdf" from "ana.pdf".
    for (int n = 2; taken.contains(name.toLower()); ++n)
        name = QStringLiteral("%1-%2.pdf").arg(base).arg(n);
    taken.insert(name.toLower());
    return name;
}

bool writeFeedbackSheets(const QString& folder, const ClassGrading& grading,
    const std::function<void(SheetProblem, const QString&)>& problem, const std::function<bool(int, int)>& progress)
{
    if (!QDir().mkpath(folder)) {
        problem(SheetProblem::FolderNotMade, folder);
        return false;
    }
    // The sheets are written into a hidden folder inside `folder` and moved
    // into place once every one is written: a run stopped half way leaves
    // nothing of itself, and the folder never mixes half a class's new
    // sheets with an older export's. Inside `folder`, each move is a rename
    // on one file system.
    QTemporaryDir staging(QDir(folder).filePath(QStringLiteral(".zelvora-hojas-XXXXXX")));
    if (!staging.isValid()) {
        problem(SheetProblem::NotWritten, folder);
        return false;
    }
    auto m = std::make_unique<Model>();
    prepareFeedbackModel(*m);
    QSet<QString> taken;
    QStringList written;
    bool whole = true;
    const int total = int(grading.students.size());
    int done = 0;
    for (const StudentResult& s : grading.students) {
        if (progress && !progress(done++, total))
            return false;
        const QString name = feedbackFileName(s.name, taken);
        const QString staged = staging.filePath(name);
        // Students named by their folders get their sheets in the same folders.
        if (name.contains(QLatin1Char('/')) && !QDir().mkpath(QFileInfo(staged).path())) {
            problem(SheetProblem::NotWritten, QDir(folder).filePath(name));
            whole = false;
            continue;
        }
        const QByteArray pdf = feedbackSheetPdf(*m, grading, s);
        if (pdf.isEmpty()) {
            problem(SheetProblem::FileUnreadable, s.path);
            whole = false;
        } else if (!writeFileAtomically(staged, pdf)) {
            problem(SheetProblem::NotWritten, QDir(folder).filePath(name));
            whole = false;
        } else {
            written << name;
        }
    }
    for (const QString& name : std::as_const(written)) {
        const QString path = QDir(folder).filePath(name);
        if (name.contains(QLatin1Char('/')) && !QDir().mkpath(QFileInfo(path).path())) {
            problem(SheetProblem::FolderNotMade, QFileInfo(path).path());
            whole = false;
        } else if (::rename(QFile::encodeName(staging.filePath(name)).constData(), QFile::encodeName(path).constData())
            != 0) {
            problem(SheetProblem::NotWritten, path);
            whole = false;
        }
    }
    return whole;
}
