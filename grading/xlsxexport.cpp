#include "grading/xlsxexport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include <QHash>
#include <QLocale>

#include "grading/classgrading.h"
#include "grading/csvexport.h"
#include "grading/statistics.h"
#include "platform/atomicfile.h"
#include "platform/zipwriter.h"
#include "testfile/testfile.h"

namespace {

// The workbook is written as its XML parts straight into the ZIP package:
// rows are compressed as they are made, so a large class costs the size of
// the compressed file, not of its cells.

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kMainNamespace[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelationships[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::array<const char*, 3> kSheetNames { "Alumnos", "Preguntas", "Resumen" };
// Compressed a piece at a time, so the XML of a sheet is never held whole.
constexpr qsizetype kFlushAt = 64 * 1024;

// The cell formats of styles.xml, by index.
enum class Style { Plain = 0, Bold = 1, Decimals = 2 };

// True when `at` starts "_xHHHH_", which a spreadsheet reads as an escape.
bool looksEscaped(const QByteArray& utf8, qsizetype at)
{
    if (at + 7 > utf8.size() || utf8[at] != '_' || utf8[at + 1] != 'x' || utf8[at + 6] != '_')
        return false;
    for (qsizetype i = at + 2; i < at + 6; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(utf8[i])))
            return false;
    }
    return true;
}

// Text as XML character data. Characters XML 1.0 cannot carry (the control
// characters a file name may hold) are written as _xHHHH_, as spreadsheets
// read them; a literal "_xHHHH_" in the text has its "_" escaped so that it
// is not read as one.
void appendEscaped(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (looksEscaped(utf8, i)) {
                out += "_x005F_";
            } else if (std::uint8_t(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                out += "_x00";
                out += QByteArray::number(std::uint8_t(c), 16).rightJustified(2, '0').toUpper();
                out += '_';
            } else {
                out += c;
            }
        }
    }
}

std::array<int, 256> filledWith(int value)
{
    std::array<int, 256> a;
    a.fill(value);
    return a;
}

class SharedStrings {
public:
    int index(const QString& text)
    {
        ++uses_;
        const auto found = indices_.constFind(text);
        if (found != indices_.constEnd())
            return *found;
        const int id = int(indices_.size());
        indices_.insert(text, id);
        items_ += "<si><t xml:space=\"preserve\">";
        appendEscaped(items_, text);
        items_ += "</t></si>";
        return id;
    }

    // A class repeats the same few answers: their letters are looked up once.
    int letters(AnswerMask marked, std::int32_t testType)
    {
        int& id = letterIds_[marked];
        if (id < 0)
            id = index(answerLetters(marked, testType));
        else
            ++uses_;
        return id;
    }

    void write(ZipWriter& zip) const
    {
        zip.beginEntry("xl/sharedStrings.xml");
        zip.write(kXmlDeclaration);
        zip.write(QByteArray("<sst xmlns=\"") + kMainNamespace + "\" count=\"" + QByteArray::number(uses_)
            + "\" uniqueCount=\"" + QByteArray::number(indices_.size()) + "\">");
        zip.write(items_);
        zip.write("</sst>");
    }

private:
    QHash<QString, int> indices_;
    std::array<int, 256> letterIds_ = filledWith(-1);
    QByteArray items_;
    qint64 uses_ = 0;
};

// Cells go out in order: rows top to bottom, cells left to right in a row.
class SheetWriter {
public:
    SheetWriter(ZipWriter& zip, SharedStrings& strings, int sheet)
        : zip_(zip)
        , strings_(strings)
    {
        zip_.beginEntry("xl/worksheets/sheet" + QByteArray::number(sheet) + ".xml");
        xml_ += kXmlDeclaration;
        xml_ += QByteArray("<worksheet xmlns=\"") + kMainNamespace + "\"><sheetData>";
    }

    void header(int row, int col, const QString& text) { put(row, col, text, Style::Bold); }
    // An empty cell for a blank answer.
    void letters(int row, int col, AnswerMask marked, std::int32_t testType)
    {
        if (marked != 0)
            sharedCell(row, col, strings_.letters(marked, testType), Style::Plain);
    }
    void text(int row, int col, const QString& text) { put(row, col, text, Style::Plain); }
    void number(int row, int col, double value) { numberCell(row, col, value, Style::Plain); }
    void decimal(int row, int col, std::optional<double> value)
    {
        if (value)
            numberCell(row, col, *value, Style::Decimals);
    }

    void finish()
    {
        if (row_ >= 0)
            xml_ += "</row>";
        xml_ += "</sheetData></worksheet>";
        zip_.write(xml_);
        xml_.clear();
    }

private:
    void put(int row, int col, const QString& text, Style style)
    {
        if (!text.isEmpty())
            sharedCell(row, col, strings_.index(text), style);
    }

    // Hundreds of thousands of cells in a large class: each is made in a
    // buffer on the stack and appended once.
    void sharedCell(int row, int col, int id, Style style)
    {
        Cell c;
        open(c, row, col, style);
        c.put(" t=\"s\"><v>");
        c.number(id);
        c.put("</v></c>");
        xml_.append(c.text, c.size);
    }

    void numberCell(int row, int col, double value, Style style)
    {
        // A spreadsheet has no number for these; the cell stays empty.
        if (!std::isfinite(value))
            return;
        Cell c;
        open(c, row, col, style);
        c.put("><v>");
        xml_.append(c.text, c.size);
        xml_ += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        xml_ += "</v></c>";
    }

    struct Cell {
        // Enough for the longest cell made here: a 3-letter column, a 10-digit
        // row and a 10-digit string index.
        char text[80];
        int size = 0;

        void put(std::string_view s)
        {
            std::memcpy(text + size, s.data(), s.size());
            size += int(s.size());
        }
        void number(int n) { size = int(std::to_chars(text + size, text + sizeof text, n).ptr - text); }
    };

    void open(Cell& c, int row, int col, Style style)
    {
        if (row != row_) {
            if (row_ >= 0)
                xml_ += "</row>";
            if (xml_.size() >= kFlushAt) {
                zip_.write(xml_);
                xml_.clear();
            }
            row_ = row;
            rowNumber_ = QByteArray::number(row + 1);
            xml_ += "<row r=\"" + rowNumber_ + "\">";
        }
        c.put("<c r=\"");
        // "A" for column 0, "Z" for 25, "AA" for 26; spreadsheets end at
        // "XFD", three letters.
        char name[4];
        int length = 0;
        for (int n = col + 1; n > 0 && length < 3; n = (n - 1) / 26)
            name[length++] = char('A' + (n - 1) % 26);
        while (length > 0)
            c.text[c.size++] = name[--length];
        c.put(std::string_view(rowNumber_.constData(), std::size_t(rowNumber_.size())));
        c.put("\"");
        if (style != Style::Plain) {
            c.put(" s=\"");
            c.text[c.size++] = char('0' + int(style));
            c.put("\"");
        }
    }

    ZipWriter& zip_;
    SharedStrings& strings_;
    QByteArray xml_;
    int row_ = -1;
    QByteArray rowNumber_;
};

void writePackageParts(ZipWriter& zip)
{
    QByteArray types = kXmlDeclaration;
    types += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Override PartName=\"/xl/workbook.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (std::size_t i = 1; i <= kSheetNames.size(); ++i) {
        types += "<Override PartName=\"/xl/worksheets/sheet" + QByteArray::number(qulonglong(i))
            + ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    types += "<Override PartName=\"/xl/styles.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
             "<Override PartName=\"/xl/sharedStrings.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
             "</Types>";
    zip.beginEntry("[Content_Types].xml");
    zip.write(types);

    zip.beginEntry("_rels/.rels");
    zip.write(QByteArray(kXmlDeclaration)
        + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\""
        + kRelationships + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");

    QByteArray workbook = kXmlDeclaration;
    workbook += QByteArray("<workbook xmlns=\"") + kMainNamespace + "\" xmlns:r=\"" + kRelationships + "\"><sheets>";
    QByteArray links = kXmlDeclaration;
    links += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int id = 1;
    for (const char* name : kSheetNames) {
        const QByteArray n = QByteArray::number(id++);
        workbook += QByteArray("<sheet name=\"") + name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        links += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRelationships + "/worksheet\" Target=\"worksheets/sheet"
            + n + ".xml\"/>";
    }
    workbook += "</sheets></workbook>";
    links += "<Relationship Id=\"rId" + QByteArray::number(id++) + "\" Type=\"" + kRelationships
        + "/styles\" Target=\"styles.xml\"/>";
    links += "<Relationship Id=\"rId" + QByteArray::number(id) + "\" Type=\"" + kRelationships
        + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    zip.beginEntry("xl/workbook.xml");
    zip.write(workbook);
    zip.beginEntry("xl/_rels/workbook.xml.rels");
    zip.write(links);

    // Style 0 plain, 1 bold, 2 two decimals (built-in number format 2, "0.00").
    zip.beginEntry("xl/styles.xml");
    zip.write(QByteArray(kXmlDeclaration) + "<styleSheet xmlns=\"" + kMainNamespace
        + "\">"
          "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
          "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
          "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
          "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
          "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
          "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
          "<cellXfs count=\"3\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
          "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
          "<xf numFmtId=\"2\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
          "</cellXfs>"
          "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
          "</styleSheet>");
}

void writeStudents(SheetWriter& w, const ClassGrading& g)
{
    const QStringList titles { QStringLiteral("Fichero"), QStringLiteral("Aciertos"), QStringLiteral("Fallos"),
        QStringLiteral("En blanco"), QStringLiteral("Nota") };
    int col = 0;
    for (const QString& t : titles)
        w.header(0, col++, t);
    for (const int q : g.key.questions)
        w.header(0, col++, QStringLiteral("P%1").arg(q));
    // As in the CSV, the column appears only where a paper sheet needs a look.
    const bool review
        = std::any_of(g.students.begin(), g.students.end(), [](const StudentResult& s) { return s.doubtfulCells > 0; });
    if (review)
        w.header(0, col, QStringLiteral("Revisión"));
    int row = 1;
    for (const StudentResult& s : g.students) {
        w.text(row, 0, s.name);
        w.number(row, 1, s.hits);
        w.number(row, 2, s.misses);
        w.number(row, 3, s.blanks);
        w.decimal(row, 4, s.grade);
        col = 5;
        for (const int q : g.key.questions)
            w.letters(row, col++, s.answers[std::size_t(q - 1)], g.key.testType);
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
        w.header(0, int(col), titles[col]);
    int row = 1;
    for (const QuestionAnalysis& a : questions) {
        w.number(row, 0, a.question);
        w.text(row, 1, answerLetters(a.key, g.key.testType));
        w.decimal(row, 2, a.correct ? std::optional<double>(*a.correct * 100) : std::nullopt);
        w.decimal(row, 3, a.discrimination);
        w.decimal(row, 4, a.pointBiserial);
        int col = 5;
        for (int k = 0; k < g.key.answers; ++k)
            w.number(row, col++, a.chosen[std::size_t(k)]);
        w.number(row, col++, a.blank);
        w.text(row, col, reviewText(a.review));
        ++row;
    }
}

void writeSummary(SheetWriter& w, const ClassGrading& g, const ClassSummary& c)
{
    int row = 0;
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
    const int kr20 = line(QStringLiteral("Fiabilidad KR-20"));
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
    ZipWriter zip;
    writePackageParts(zip);
    SharedStrings strings;
    SheetWriter students(zip, strings, 1);
    writeStudents(students, grading);
    students.finish();
    SheetWriter items(zip, strings, 2);
    writeQuestions(items, grading, questions);
    items.finish();
    SheetWriter totals(zip, strings, 3);
    writeSummary(totals, grading, summary);
    totals.finish();
    strings.write(zip);

    const QByteArray book = zip.finish();
    if (book.isEmpty()) {
        error = QStringLiteral("el libro es demasiado grande");
        return false;
    }
    if (!writeFileAtomically(path, book)) {
        error = QStringLiteral("no se puede escribir");
        return false;
    }
    return true;
}
