#include "notas/classexport.h"

#include <memory>

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "grading/classreport.h"
#include "grading/csvexport.h"
#include "grading/feedbacksheet.h"
#include "grading/xlsxexport.h"
#include "notas/classrun.h"
#include "platform/atomicfile.h"
#include "sheet/model.h"

namespace {

bool isAnInput(const QString& path, const GradedClass& graded)
{
    const std::optional<FileIdentity> target = fileIdentity(path);
    if (!target)
        return false;
    if (fileIdentity(graded.grading.keyPath) == target)
        return true;
    for (const InputRow& input : graded.inputs) {
        if (fileIdentity(input.path) == target)
            return true;
    }
    return false;
}

} // namespace

bool exportClass(ExportKind kind, const QString& path, const GradedClass& graded, QString& error)
{
    if (isAnInput(path, graded)) {
        error = QStringLiteral("%1 es uno de los ficheros que se califican; no se escribe encima").arg(path);
        return false;
    }
    bool ok = false;
    switch (kind) {
    case ExportKind::Csv:
        ok = writeClassCsv(path, graded.grading);
        break;
    case ExportKind::Workbook: {
        QString why;
        ok = writeClassWorkbook(path, graded.grading, graded.summary, graded.questions, why);
        if (!ok) {
            error = QStringLiteral("No se puede escribir %1: %2").arg(path, why);
            return false;
        }
        break;
    }
    case ExportKind::Report:
        ok = writeClassReport(path, graded.grading, graded.summary, graded.questions);
        break;
    }
    if (!ok)
        error = QStringLiteral("No se puede escribir %1.").arg(path);
    return ok;
}

bool exportFeedbackSheets(const QString& folder, const GradedClass& graded, QStringList& problems,
    const std::function<bool(int, int)>& progress)
{
    if (!QDir().mkpath(folder)) {
        problems << QStringLiteral("No se puede crear la carpeta %1.").arg(folder);
        return false;
    }
    auto m = std::make_unique<Model>();
    prepareFeedbackModel(*m);
    QSet<QString> taken;
    const int total = int(graded.grading.students.size());
    int done = 0;
    for (const StudentResult& s : graded.grading.students) {
        if (progress && !progress(done++, total))
            return false;
        const QString path = QDir(folder).filePath(feedbackFileName(s.name, taken));
        // Students named by their folders get their sheets in the same folders.
        if (s.name.contains(QLatin1Char('/')) && !QDir().mkpath(QFileInfo(path).path())) {
            problems << QStringLiteral("No se puede crear la carpeta %1.").arg(QFileInfo(path).path());
            continue;
        }
        const QByteArray pdf = feedbackSheetPdf(*m, graded.grading, s);
        if (pdf.isEmpty())
            problems << QStringLiteral("%1 ya no se puede leer; falta su hoja.").arg(s.path);
        else if (!writeFileAtomically(path, pdf))
            problems << QStringLiteral("No se puede escribir %1.").arg(path);
    }
    return problems.isEmpty();
}
