#include "notas/classexport.h"

#include "grading/classgrading.h"
#include "grading/classreport.h"
#include "grading/csvexport.h"
#include "grading/feedbacksheet.h"
#include "grading/xlsxexport.h"
#include "notas/classrun.h"

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
    const auto told = [&problems](SheetProblem problem, const QString& what) {
        switch (problem) {
        case SheetProblem::FolderNotMade:
            problems << QStringLiteral("No se puede crear la carpeta %1.").arg(what);
            break;
        case SheetProblem::FileUnreadable:
            problems << QStringLiteral("%1 ya no se puede leer; falta su hoja.").arg(what);
            break;
        case SheetProblem::NotWritten:
            problems << QStringLiteral("No se puede escribir %1.").arg(what);
            break;
        }
    };
    return writeFeedbackSheets(folder, graded.grading, told, progress);
}
