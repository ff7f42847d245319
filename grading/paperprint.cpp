#include "grading/paperprint.h"

#include <memory>

#include <QFileInfo>
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
std::optional<Exam> examOf(const NotasOptions& o, QTextStream& err)
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
        err << "zelvora-notas: la clave " << o.key << " no se puede usar: " << reason << '\n';
        return std::nullopt;
    }
    if (o.testType >= 0 && o.testType != key->testType) {
        err << "zelvora-notas: --tipo " << o.testType << " no es el tipo de la clave " << o.key << " (" << key->testType
            << ")\n";
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

QString identity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

int printPaperSheets(const NotasOptions& o, QTextStream& out, QTextStream& err)
{
    for (const QString& input : { o.key, o.roster }) {
        if (!input.isEmpty() && identity(input) == identity(o.paper)) {
            err << "zelvora-notas: " << o.paper << " es uno de los ficheros que se leen; no se escribe encima\n";
            return kUsageError;
        }
    }
    const std::optional<Exam> exam = examOf(o, err);
    if (!exam)
        return kUsageError;

    std::vector<RosterStudent> students;
    if (!o.roster.isEmpty()) {
        QString error;
        std::optional<std::vector<RosterStudent>> read = readRoster(o.roster, error);
        if (!read) {
            err << "zelvora-notas: la lista " << o.roster << " no se puede usar: " << error << '\n';
            return kUsageError;
        }
        students = std::move(*read);
    }
    const qsizetype pages = qsizetype(students.size()) + o.copies;
    if (pages > kMaxSheetSerial) {
        err << "zelvora-notas: son " << pages << " hojas; caben " << kMaxSheetSerial << " en una tirada\n";
        return kUsageError;
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

    const QByteArray pdf = paperSheetsPdf(sheets);
    if (pdf.isEmpty() || !writeFileAtomically(o.paper, pdf)) {
        err << "zelvora-notas: no se puede escribir " << o.paper << '\n';
        return kSomeNotGraded;
    }
    out << o.paper << ": " << pages << (pages == 1 ? " hoja" : " hojas");
    if (!students.empty() && o.copies > 0)
        out << " (" << students.size() << " de la lista y " << o.copies << " anónimas)";
    out << ", examen " << sheet.code.examId << ", " << exam->layout.questions
        << (exam->layout.questions == 1 ? " pregunta\n" : " preguntas\n");
    return kAllGraded;
}
