#include "grading/xlsxexport.h"

#include <algorithm>
#include <optional>

#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include "grading/classgrading.h"
#include "grading/csvexport.h"
#include "grading/statistics.h"
#include "platform/atomicfile.h"
#include "testfile/testfile.h"

namespace {

// Rows go out in order, one sheet after another: the workbook is written in
// constant-memory mode, so a large class costs disk, not memory.
class SheetWriter {
public:
    SheetWriter(lxw_worksheet* sheet, lxw_format* header, lxw_format* decimals)
        : sheet_(sheet)
        , header_(header)
        , decimals_(decimals)
    {
    }

    void header(lxw_row_t row, lxw_col_t col, const QString& text) { put(row, col, text, header_); }
    void text(lxw_row_t row, lxw_col_t col, const QString& text) { put(row, col, text, nullptr); }
    void number(lxw_row_t row, lxw_col_t col, double value)
    {
        worksheet_write_number(sheet_, row, col, value, nullptr);
    }
    void decimal(lxw_row_t row, lxw_col_t col, std::optional<double> value)
    {
        if (value)
            worksheet_write_number(sheet_, row, col, *value, decimals_);
    }

private:
    void put(lxw_row_t row, lxw_col_t col, const QString& text, lxw_format* format)
    {
        if (!text.isEmpty())
            worksheet_write_string(sheet_, row, col, text.toUtf8().constData(), format);
    }

    lxw_worksheet* sheet_;
    lxw_format* header_;
    lxw_format* decimals_;
};

void writeStudents(SheetWriter& w, const ClassGrading& g)
{
    const QStringList titles { QStringLiteral("Fichero"), QStringLiteral("Aciertos"), QStringLiteral("Fallos"),
        QStringLiteral("En blanco"), QStringLiteral("Nota") };
    lxw_col_t col = 0;
    for (const QString& t : titles)
        w.header(0, col++, t);
    for (const int q : g.key.questions)
        w.header(0, col++, QStringLiteral("P%1").arg(q));
    const bool review
        = std::any_of(g.students.begin(), g.students.end(), [](const StudentResult& s) { return s.doubtfulCells > 0; });
    if (review)
        w.header(0, col, QStringLiteral("Revisión"));
    lxw_row_t row = 1;
    for (const StudentResult& s : g.students) {
        w.text(row, 0, s.name);
        w.number(row, 1, s.hits);
        w.number(row, 2, s.misses);
        w.number(row, 3, s.blanks);
        w.decimal(row, 4, s.grade);
        col = 5;
        for (const int q : g.key.questions)
            w.text(row, col++, answerLetters(s.answers[std::size_t(q - 1)], g.key.testType));
        if (s.doubtfulCells > 0)
            w.text(row, col, paperReviewText());
        ++row;
    }
}

void writeQuestions(SheetWriter& w, const ClassGrading& g, const std::vector<QuestionAnalysis>& questions)
{
    QStringList titles { QStringLiteral("Pregunta"), QStringLiteral("Clave"), QStringLiteral("% acierto"),
        QStringLiteral("Discriminación"), QStringLiteral("Correlación punto-biserial") };
    for (int k = 0; k < g.key.answers; ++k)
        titles << answerLetters(AnswerMask(1u << k), g.key.testType);
    titles << QStringLiteral("En blanco") << QStringLiteral("Revisar");
    for (int col = 0; col < titles.size(); ++col)
        w.header(0, lxw_col_t(col), titles[col]);
    lxw_row_t row = 1;
    for (const QuestionAnalysis& a : questions) {
        w.number(row, 0, a.question);
        w.text(row, 1, answerLetters(a.key, g.key.testType));
        w.decimal(row, 2, a.correct ? std::optional<double>(*a.correct * 100) : std::nullopt);
        w.decimal(row, 3, a.discrimination);
        w.decimal(row, 4, a.pointBiserial);
        lxw_col_t col = 5;
        for (int k = 0; k < g.key.answers; ++k)
            w.number(row, col++, a.chosen[std::size_t(k)]);
        w.number(row, col++, a.blank);
        w.text(row, col, reviewText(a.review));
        ++row;
    }
}

void writeSummary(SheetWriter& w, const ClassGrading& g, const ClassSummary& c)
{
    lxw_row_t row = 0;
    const auto line = [&](const QString& label) {
        w.header(row, 0, label);
        return row++;
    };
    w.text(line(QStringLiteral("Clave")), 1, fileNameOf(g.keyPath));
    w.text(line(QStringLiteral("Tipo de test")), 1, testTypeName(g.key.testType));
    w.number(line(QStringLiteral("Preguntas")), 1, double(g.key.questions.size()));
    w.decimal(line(QStringLiteral("Penalización")), 1, g.rules.penalty);
    w.decimal(line(QStringLiteral("Escala")), 1, g.rules.scale);
    w.number(line(QStringLiteral("Alumnos")), 1, c.students);
    w.number(line(QStringLiteral("No calificados")), 1, double(g.refused.size()));
    w.decimal(line(QStringLiteral("Media")), 1, c.mean);
    w.decimal(line(QStringLiteral("Mediana")), 1, c.median);
    w.decimal(line(QStringLiteral("Desviación típica")), 1, c.deviation);
    w.decimal(line(QStringLiteral("Mínima")), 1, c.lowest);
    w.decimal(line(QStringLiteral("Máxima")), 1, c.highest);
    w.number(line(QStringLiteral("Aprobados")), 1, c.passed);
    const lxw_row_t kr20 = line(QStringLiteral("Fiabilidad KR-20"));
    if (c.reliability)
        w.decimal(kr20, 1, c.reliability);
    else
        w.text(kr20, 1, reliabilityUndefinedText());
}

} // namespace

QString reliabilityUndefinedText()
{
    return QStringLiteral("indefinida: hacen falta dos preguntas y alumnos con distinto número de aciertos");
}

bool writeClassWorkbook(const QString& path, const ClassGrading& grading, const ClassSummary& summary,
    const std::vector<QuestionAnalysis>& questions, QString& error)
{
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        error = QStringLiteral("no se puede crear una carpeta temporal");
        return false;
    }
    const QByteArray folder = QFile::encodeName(scratch.path());
    const QByteArray book = QFile::encodeName(scratch.filePath(QStringLiteral("libro.xlsx")));
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder.constData());
    lxw_workbook* workbook = workbook_new_opt(book.constData(), &options);
    if (!workbook) {
        error = QStringLiteral("no se puede crear el libro");
        return false;
    }
    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    lxw_format* decimals = workbook_add_format(workbook);
    format_set_num_format(decimals, "0.00");

    SheetWriter students(workbook_add_worksheet(workbook, "Alumnos"), header, decimals);
    writeStudents(students, grading);
    SheetWriter items(workbook_add_worksheet(workbook, "Preguntas"), header, decimals);
    writeQuestions(items, grading, questions);
    SheetWriter totals(workbook_add_worksheet(workbook, "Resumen"), header, decimals);
    writeSummary(totals, grading, summary);

    const lxw_error closed = workbook_close(workbook);
    if (closed != LXW_NO_ERROR) {
        error = QString::fromUtf8(lxw_strerror(closed));
        return false;
    }
    QFile written(QString::fromLocal8Bit(book));
    if (!written.open(QIODevice::ReadOnly)) {
        error = written.errorString();
        return false;
    }
    if (!writeFileAtomically(path, written.readAll())) {
        error = QStringLiteral("no se puede escribir");
        return false;
    }
    return true;
}
