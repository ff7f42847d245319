#include "grading/paperprint.h"

#include <memory>

#include <QTextStream>

#include "grading/classgrading.h"
#include "grading/notasprogram.h"
#include "paper/papersheet.h"
#include "paper/roster.h"
#include "platform/atomicfile.h"
#include "settings/settingsfile.h"
#include "sheet/model.h"

namespace {

struct Exam {
    SheetLayout layout;
    std::vector<unsigned> marked;
};

// The layout of the key, or of the options and the program's default
// settings without one. Empty, with the reason said, when the key cannot be
// used or contradicts --tipo.
std::optional<Exam> examOf(const NotasOptions& o, QString& error)
{
    Exam exam;
    exam.layout.paper = o.paperSize.value_or(PaperSize::A4);
    if (o.key.isEmpty()) {
        const Settings defaults = defaultSettings();
        exam.layout.testType = std::max(o.testType, 0);
        exam.layout.cellShape = defaults.cellShape != 0 ? 1 : 0;
        exam.layout.letterCase = defaults.letterCase != 0 ? 1 : 0;
        exam.layout.questions = kQuestions;
        return exam;
    }
    auto scratch = std::make_unique<Model>();
    QString reason;
    const std::optional<GradingKey> key = readGradingKey(*scratch, o.key, reason);
    if (!key) {
        error = QStringLiteral("la clave %1 no se puede usar: %2").arg(o.key, reason);
        return std::nullopt;
    }
    if (o.testType >= 0 && o.testType != key->testType) {
        error = QStringLiteral("--tipo %1 no es el tipo de la clave %2 (%3)")
                    .arg(QString::number(o.testType), o.key, QString::number(key->testType));
        return std::nullopt;
    }
    // Reading the key adopted its shape and letter case, as opening it in
    // the program would.
    exam.layout.testType = key->testType;
    exam.layout.cellShape = scratch->settings.cellShape != 0 ? 1 : 0;
    exam.layout.letterCase = scratch->settings.letterCase != 0 ? 1 : 0;
    exam.layout.questions = key->questions.back();
    for (int q = 1; q <= exam.layout.questions; ++q)
        exam.marked.push_back(key->marks[std::size_t(q - 1)]);
    return exam;
}

} // namespace

std::optional<PaperRun> composePaperSheets(const NotasOptions& o, QString& error)
{
    if (!o.paper.isEmpty()) {
        // A PDF not there yet is no file that is read.
        const std::optional<FileIdentity> output = fileIdentity(o.paper);
        for (const QString& input : { o.key, o.roster }) {
            if (output && !input.isEmpty() && fileIdentity(input) == output) {
                error = QStringLiteral("%1 es uno de los ficheros que se leen; no se escribe encima").arg(o.paper);
                return std::nullopt;
            }
        }
    }
    const std::optional<Exam> exam = examOf(o, error);
    if (!exam)
        return std::nullopt;

    std::vector<RosterStudent> students;
    if (!o.roster.isEmpty()) {
        QString reason;
        std::optional<std::vector<RosterStudent>> read = readRoster(o.roster, reason);
        if (!read) {
            error = QStringLiteral("la lista %1 no se puede usar: %2").arg(o.roster, reason);
            return std::nullopt;
        }
        students = std::move(*read);
    }
    const qsizetype pages = qsizetype(students.size()) + o.copies;
    if (pages == 0) {
        error = QStringLiteral("no hay ninguna hoja que hacer");
        return std::nullopt;
    }
    if (pages > kMaxSheetSerial) {
        error = QStringLiteral("son %1 hojas; caben %2 en una tirada").arg(pages).arg(kMaxSheetSerial);
        return std::nullopt;
    }

    PaperSheet sheet;
    sheet.title = o.title;
    sheet.code.examId = examId(o.title, exam->layout, exam->marked);
    sheet.code.layout = exam->layout;
    std::vector<PaperSheet> sheets;
    sheets.reserve(std::size_t(pages));
    for (const RosterStudent& s : students) {
        sheet.code.serial = int(sheets.size()) + 1;
        sheet.code.studentId = s.id;
        sheet.code.studentName = s.name;
        sheets.push_back(sheet);
    }
    sheet.code.studentId.clear();
    sheet.code.studentName.clear();
    for (int i = 0; i < o.copies; ++i) {
        sheet.code.serial = int(sheets.size()) + 1;
        sheets.push_back(sheet);
    }

    PaperRun run;
    run.pdf = paperSheetsPdf(sheets);
    if (run.pdf.isEmpty()) {
        error = QStringLiteral("no se pueden componer las hojas");
        return std::nullopt;
    }
    run.fromRoster = int(students.size());
    run.anonymous = o.copies;
    run.examId = sheet.code.examId;
    run.questions = exam->layout.questions;
    return run;
}

QString paperRunSummary(const PaperRun& run)
{
    QString text = run.pages() == 1 ? QStringLiteral("1 hoja") : QStringLiteral("%1 hojas").arg(run.pages());
    if (run.fromRoster > 0 && run.anonymous > 0)
        text += QStringLiteral(" (%1 de la lista y %2 anónimas)").arg(run.fromRoster).arg(run.anonymous);
    text += QStringLiteral(", examen %1, %2").arg(run.examId).arg(run.questions);
    text += run.questions == 1 ? QStringLiteral(" pregunta") : QStringLiteral(" preguntas");
    return text;
}

int printPaperSheets(const NotasOptions& o, QTextStream& out, QTextStream& err)
{
    QString error;
    const std::optional<PaperRun> run = composePaperSheets(o, error);
    if (!run) {
        err << "zelvora-notas: " << error << '\n';
        return kUsageError;
    }
    if (!writeFileAtomically(o.paper, run->pdf)) {
        err << "zelvora-notas: no se puede escribir " << o.paper << '\n';
        return kSomeNotGraded;
    }
    out << o.paper << ": " << paperRunSummary(*run) << '\n';
    return kAllGraded;
}
