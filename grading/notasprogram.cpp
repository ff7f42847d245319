#include "grading/notasprogram.h"

#include <array>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include "grading/classgrading.h"
#include "grading/classreport.h"
#include "grading/csvexport.h"
#include "grading/feedbacksheet.h"
#include "grading/paperprint.h"
#include "grading/statistics.h"
#include "grading/xlsxexport.h"
#include "paper/scanfolder.h"
#include "paper/scanreading.h"
#include "platform/atomicfile.h"
#include "sheet/model.h"

namespace {

// Below this many files the run is over before a bar would be read.
constexpr int kProgressFrom = 200;
constexpr int kProgressWidth = 30;
// Longer file names are shown whole but no longer align the table.
constexpr int kNameColumnLimit = 40;
// More anonymous sheets than a school prints for one exam are a typing slip.
constexpr int kMaxCopies = 2000;

// Every option: whether it takes a value, and what it does with it.
struct Option {
    QLatin1StringView name;
    bool takesValue;
    bool (*set)(NotasOptions& o, QStringView name, const QString& value, QString& error);
};

template <QString NotasOptions::*field>
bool setText(NotasOptions& o, QStringView name, const QString& value, QString& error)
{
    if (value.isEmpty()) {
        error = QStringLiteral("%1 no puede estar vacío").arg(name);
        return false;
    }
    o.*field = value;
    return true;
}

template <bool NotasOptions::*field>
bool setFlag(NotasOptions& o, QStringView, const QString&, QString&)
{
    o.*field = true;
    return true;
}

// A decimal number with a point or, as Spanish writes it, a comma.
std::optional<double> number(QString text)
{
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool setPenalty(NotasOptions& o, QStringView, const QString& value, QString& error)
{
    if (value == u"auto") {
        o.automaticPenalty = true;
        return true;
    }
    const std::optional<double> n = number(value);
    if (!n || *n < 0) {
        error = QStringLiteral("--penalizacion espera un número no negativo o «auto», no «%1»").arg(value);
        return false;
    }
    o.automaticPenalty = false;
    o.penalty = *n;
    return true;
}

bool setScale(NotasOptions& o, QStringView, const QString& value, QString& error)
{
    const std::optional<double> n = number(value);
    if (!n || *n <= 0) {
        error = QStringLiteral("--escala espera un número mayor que 0, no «%1»").arg(value);
        return false;
    }
    o.scale = *n;
    return true;
}

bool setTestType(NotasOptions& o, QStringView, const QString& value, QString& error)
{
    if (value != u"0" && value != u"1" && value != u"2") {
        error = QStringLiteral("--tipo espera 0 (A a E), 1 (V y F) o 2 (T y F), no «%1»").arg(value);
        return false;
    }
    o.testType = value.toInt();
    return true;
}

bool setCopies(NotasOptions& o, QStringView, const QString& value, QString& error)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 1 || n > kMaxCopies || value.startsWith(u'+')) {
        error = QStringLiteral("--copias espera un número entero de 1 a %1, no «%2»").arg(kMaxCopies).arg(value);
        return false;
    }
    o.copies = n;
    return true;
}

bool setPaperSize(NotasOptions& o, QStringView, const QString& value, QString& error)
{
    if (value.compare(u"A4", Qt::CaseInsensitive) == 0) {
        o.paperSize = PaperSize::A4;
    } else if (value.compare(u"carta", Qt::CaseInsensitive) == 0) {
        o.paperSize = PaperSize::Letter;
    } else {
        error = QStringLiteral("--tamano espera A4 o carta, no «%1»").arg(value);
        return false;
    }
    return true;
}

const std::array<Option, 16> kOptions { {
    { QLatin1StringView("--clave"), true, setText<&NotasOptions::key> },
    { QLatin1StringView("--penalizacion"), true, setPenalty },
    { QLatin1StringView("--escala"), true, setScale },
    { QLatin1StringView("--csv"), true, setText<&NotasOptions::csv> },
    { QLatin1StringView("--xlsx"), true, setText<&NotasOptions::xlsx> },
    { QLatin1StringView("--informe"), true, setText<&NotasOptions::report> },
    { QLatin1StringView("--hojas"), true, setText<&NotasOptions::sheets> },
    { QLatin1StringView("--leer-papel"), true, setText<&NotasOptions::paperFolder> },
    { QLatin1StringView("--papel"), true, setText<&NotasOptions::paper> },
    { QLatin1StringView("--lista"), true, setText<&NotasOptions::roster> },
    { QLatin1StringView("--copias"), true, setCopies },
    { QLatin1StringView("--tipo"), true, setTestType },
    { QLatin1StringView("--titulo"), true, setText<&NotasOptions::title> },
    { QLatin1StringView("--tamano"), true, setPaperSize },
    { QLatin1StringView("--help"), false, setFlag<&NotasOptions::help> },
    { QLatin1StringView("--version"), false, setFlag<&NotasOptions::version> },
} };

// The first option given that only printing sheets uses, or empty.
QString paperOnlyOption(const NotasOptions& o)
{
    if (!o.roster.isEmpty())
        return QStringLiteral("--lista");
    if (o.copies > 0)
        return QStringLiteral("--copias");
    if (o.testType >= 0)
        return QStringLiteral("--tipo");
    if (!o.title.isEmpty())
        return QStringLiteral("--titulo");
    if (o.paperSize)
        return QStringLiteral("--tamano");
    return {};
}

// The first output of grading given with --papel, or empty.
QString gradingOnlyOption(const NotasOptions& o)
{
    if (!o.csv.isEmpty())
        return QStringLiteral("--csv");
    if (!o.xlsx.isEmpty())
        return QStringLiteral("--xlsx");
    if (!o.report.isEmpty())
        return QStringLiteral("--informe");
    if (!o.sheets.isEmpty())
        return QStringLiteral("--hojas");
    if (!o.paperFolder.isEmpty())
        return QStringLiteral("--leer-papel");
    return {};
}

class ProgressBar {
public:
    ProgressBar(QTextStream& err, bool shown)
        : err_(err)
        , shown_(shown)
    {
    }

    void update(int done, int total)
    {
        if (!shown_ || total < kProgressFrom)
            return;
        const int percent = done * 100 / total;
        if (percent == last_)
            return;
        last_ = percent;
        const int filled = done * kProgressWidth / total;
        err_ << '\r' << '[' << QString(filled, QLatin1Char('#')) << QString(kProgressWidth - filled, QLatin1Char(' '))
             << "] " << percent << " % (" << done << '/' << total << ')';
        if (done == total)
            err_ << '\r' << QString(kProgressWidth + 30, QLatin1Char(' ')) << '\r';
        err_.flush();
    }

private:
    QTextStream& err_;
    bool shown_;
    int last_ = -1;
};

void printTable(QTextStream& out, const ClassGrading& g)
{
    int width = 7;
    for (const StudentResult& s : g.students)
        width = std::max(width, std::min<int>(int(s.name.size()), kNameColumnLimit));
    out << QStringLiteral("Fichero").leftJustified(width) << "  Aciertos  Fallos  En blanco    Nota\n";
    for (const StudentResult& s : g.students) {
        out << s.name.leftJustified(width) << "  " << QString::number(s.hits).rightJustified(8) << "  "
            << QString::number(s.misses).rightJustified(6) << "  " << QString::number(s.blanks).rightJustified(9)
            << "  " << gradeText(s.grade).rightJustified(6);
        if (s.doubtfulCells > 0)
            out << "  " << paperReviewText();
        out << '\n';
    }
}

QString figure(std::optional<double> value)
{
    return value ? gradeText(*value) : QStringLiteral("—");
}

void printSummary(QTextStream& out, const ClassSummary& c)
{
    const auto line = [&out](const QString& label, const QString& value) {
        out << (label + QLatin1Char(':')).leftJustified(20) << value << '\n';
    };
    out << '\n';
    line(QStringLiteral("Alumnos"), QString::number(c.students));
    line(QStringLiteral("Media"), figure(c.mean));
    line(QStringLiteral("Mediana"), figure(c.median));
    line(QStringLiteral("Desviación típica"), figure(c.deviation));
    line(QStringLiteral("Mínima"), figure(c.lowest));
    line(QStringLiteral("Máxima"), figure(c.highest));
    line(QStringLiteral("Aprobados"), QStringLiteral("%1 de %2").arg(c.passed).arg(c.students));
}

// An output named like the key or an answer file would overwrite what the
// teacher is grading; the inputs are never written.
QString outputOverInput(const NotasOptions& o, const QStringList& files)
{
    std::vector<std::pair<FileIdentity, QString>> outputs;
    for (const QString& output : { o.csv, o.xlsx, o.report }) {
        if (const std::optional<FileIdentity> id = output.isEmpty() ? std::nullopt : fileIdentity(output))
            outputs.emplace_back(*id, output);
    }
    // An output that does not exist yet is no input; the inputs are looked
    // at only when some output already exists.
    if (outputs.empty())
        return {};
    QStringList inputs = files;
    inputs.prepend(o.key);
    for (const QString& input : inputs) {
        const std::optional<FileIdentity> id = fileIdentity(input);
        for (const auto& [outputId, output] : outputs) {
            if (id == outputId)
                return output;
        }
    }
    return {};
}

bool writeSheets(const QString& folder, const ClassGrading& g, QTextStream& err)
{
    return writeFeedbackSheets(folder, g, [&err](SheetProblem problem, const QString& what) {
        switch (problem) {
        case SheetProblem::FolderNotMade:
            err << "zelvora-notas: no se puede crear la carpeta " << what << '\n';
            break;
        case SheetProblem::FileUnreadable:
            err << "zelvora-notas: " << what << ": ya no se puede leer; falta su hoja\n";
            break;
        case SheetProblem::NotWritten:
            err << "zelvora-notas: no se puede escribir " << what << '\n';
            break;
        }
    });
}

// Reads the scans into the folder and says, per page, what became of it.
int readPaperOnly(const NotasOptions& o, QTextStream& out, QTextStream& err)
{
    std::vector<ScannedPage> missing;
    const QStringList files = scanFiles(o.inputs, missing);
    std::vector<ScannedPage> pages = readScans(files);
    pages.insert(pages.begin(), missing.begin(), missing.end());
    auto scratch = std::make_unique<Model>();
    ScanFolderResult written;
    QString error;
    const bool ok = writeScanFolder(o.paperFolder, pages, *scratch, written, error);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const ScannedPage& p = pages[i];
        const QString& file = written.testFiles[qsizetype(i)];
        out << pageLabel(p) << ": ";
        if (!file.isEmpty())
            out << QFileInfo(file).fileName();
        if (!p.problem.isEmpty())
            out << (file.isEmpty() ? "" : "; ") << p.problem;
        else if (!p.doubts.empty())
            out << QStringLiteral(" (%1 casillas dudosas)").arg(p.doubts.size());
        out << '\n';
    }
    out << '\n'
        << QStringLiteral("Hojas leídas: %1 de %2; casillas dudosas: %3")
               .arg(written.sheetsWritten
                   - std::count_if(pages.begin(), pages.end(), [](const ScannedPage& p) { return p.repeated; }))
               .arg(pages.size())
               .arg(written.doubtfulCells)
        << '\n';
    if (written.listed > 0)
        out << QStringLiteral("Revisar: %1").arg(QDir(o.paperFolder).filePath(QString::fromLatin1(kReviewFileName)))
            << '\n';
    out.flush();
    if (!ok) {
        err << "zelvora-notas: " << error << '\n';
        err.flush();
    }
    if (pages.empty()) {
        err << "zelvora-notas: no hay ningún PDF ni imagen que leer\n";
        err.flush();
        return kSomeNotGraded;
    }
    return ok && written.listed == 0 ? kAllGraded : kSomeNotGraded;
}

} // namespace

std::optional<NotasOptions> parseNotasArguments(const QStringList& arguments, QString& error)
{
    NotasOptions o;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1String("--"))) {
            o.inputs << argument;
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        const auto option = std::find_if(
            kOptions.begin(), kOptions.end(), [&](const Option& v) { return v.name == name; });
        if (option == kOptions.end() || (!option->takesValue && equals >= 0)) {
            error = QStringLiteral("opción desconocida: %1").arg(argument);
            return std::nullopt;
        }
        QString value;
        if (!option->takesValue || equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = QStringLiteral("falta el valor de %1").arg(name);
            return std::nullopt;
        }
        if (!option->set(o, name, value, error))
            return std::nullopt;
    }
    if (o.help || o.version)
        return o;
    if (!o.paper.isEmpty()) {
        if (!o.inputs.isEmpty()) {
            error = QStringLiteral("--papel escribe hojas y no califica: sobra «%1»").arg(o.inputs.front());
            return std::nullopt;
        }
        if (const QString other = gradingOnlyOption(o); !other.isEmpty()) {
            error = QStringLiteral("%1 no se usa con --papel").arg(other);
            return std::nullopt;
        }
        if (o.roster.isEmpty() && o.copies == 0) {
            error = QStringLiteral("--papel necesita la lista de la clase (--lista ALUMNOS.csv) o un número de "
                                   "hojas anónimas (--copias N)");
            return std::nullopt;
        }
        return o;
    }
    if (const QString other = paperOnlyOption(o); !other.isEmpty()) {
        error = QStringLiteral("%1 solo se usa con --papel").arg(other);
        return std::nullopt;
    }
    if (o.key.isEmpty() && !o.paperFolder.isEmpty()) {
        NotasOptions reading = o;
        reading.paperFolder.clear();
        if (const QString other = gradingOnlyOption(reading); !other.isEmpty()) {
            error = QStringLiteral("%1 necesita la clave (--clave CLAVE.ztest)").arg(other);
            return std::nullopt;
        }
    }
    if (o.key.isEmpty() && o.paperFolder.isEmpty()) {
        error = QStringLiteral("falta la clave (--clave CLAVE.ztest)");
        return std::nullopt;
    }
    if (o.inputs.isEmpty()) {
        error = o.key.isEmpty() ? QStringLiteral("faltan los PDF, imágenes o carpetas que leer")
                                : QStringLiteral("faltan los ficheros o carpetas que calificar");
        return std::nullopt;
    }
    return o;
}

QString notasHelpText()
{
    return QStringLiteral("Uso: zelvora-notas --clave CLAVE.ztest [opciones] ENTRADA...\n"
                          "     zelvora-notas --papel HOJAS.pdf [--clave CLAVE.ztest | --tipo N]\n"
                          "                   [--lista ALUMNOS.csv] [--copias N] [--titulo TEXTO]\n"
                          "                   [--tamano A4|carta]\n"
                          "     zelvora-notas --leer-papel CARPETA ENTRADA...\n"
                          "\n"
                          "Califica los tests .ztest de una clase contra una clave. Cada ENTRADA es\n"
                          "un fichero .ztest o una carpeta (se toman sus ficheros .ztest, no los de\n"
                          "sus subcarpetas). Muestra una línea por alumno y el resumen de la clase.\n"
                          "Si dos ficheros se llaman igual, cada alumno se nombra por su ruta desde\n"
                          "la carpeta que contiene todos (3A/ana.ztest).\n"
                          "\n"
                          "Las hojas de papel escaneadas o fotografiadas también son ENTRADA: un PDF\n"
                          "(se leen todas sus páginas), una imagen PNG, JPEG o TIFF, o una carpeta\n"
                          "que las contenga. Cada hoja se convierte en el test que el alumno habría\n"
                          "grabado en pantalla (ID.ztest en las hojas con nombre, NUMERO.ztest en\n"
                          "las anónimas) y se califica con los demás. Una casilla dudosa (medio\n"
                          "rellena, borrada, manchada) se toma como no marcada y el alumno queda\n"
                          "«a revisar» en la tabla, el CSV, el libro y el informe.\n"
                          "\n"
                          "Opciones:\n"
                          "  --clave FICHERO        el test con las respuestas correctas\n"
                          "  --penalizacion N       lo que resta cada fallo (por defecto 0); «auto»\n"
                          "                         resta 1/(respuestas - 1): 0.25 en el test de 5\n"
                          "                         respuestas, 1 en los de 2\n"
                          "  --escala N             la nota máxima (por defecto 10); aprueba quien\n"
                          "                         llega a la mitad\n"
                          "  --csv FICHERO          la tabla de alumnos en CSV (UTF-8)\n"
                          "  --xlsx FICHERO         un libro con las hojas Alumnos, Preguntas y Resumen\n"
                          "  --informe FICHERO.pdf  el informe de la clase para imprimir (A4)\n"
                          "  --hojas CARPETA        un PDF por alumno con su hoja corregida (3A/ana.pdf\n"
                          "                         si se nombra por su ruta)\n"
                          "  --leer-papel CARPETA   deja en CARPETA los tests leídos del papel,\n"
                          "                         revision.csv (cada casilla dudosa y cada hoja\n"
                          "                         que no se pudo leer, con su motivo) y una imagen\n"
                          "                         de cada fila dudosa; sin --clave solo lee\n"
                          "\n"
                          "Hojas para imprimir:\n"
                          "  --papel FICHERO.pdf    escribe hojas de respuestas para rellenar a mano,\n"
                          "                         una por página, en lugar de calificar\n"
                          "  --clave FICHERO        con --papel, da el tipo de test, la forma de las\n"
                          "                         celdas y las letras; las hojas llegan hasta la\n"
                          "                         última pregunta que responde la clave\n"
                          "  --tipo N               sin clave, el tipo de test: 0 respuestas A a E\n"
                          "                         (por defecto), 1 V y F, 2 T y F; las hojas\n"
                          "                         llevan las 100 preguntas\n"
                          "  --lista FICHERO.csv    una hoja por alumno, con su nombre y su id; el\n"
                          "                         CSV (UTF-8, separado por comas o por puntos y\n"
                          "                         coma) tiene las columnas id y nombre\n"
                          "  --copias N             N hojas anónimas, con una línea para el nombre\n"
                          "                         y casillas para un número de alumno de 8 cifras\n"
                          "  --titulo TEXTO         el título impreso en todas las hojas\n"
                          "  --tamano A4|carta      el tamaño del papel (por defecto A4)\n"
                          "\n"
                          "  --help                 muestra esta ayuda y termina\n"
                          "  --version              muestra la versión y termina\n"
                          "\n"
                          "Cuenta cada pregunta en la que la clave marca alguna respuesta: acierto\n"
                          "si las marcas son exactamente las de la clave, en blanco si no hay\n"
                          "ninguna, fallo en otro caso.\n"
                          "  puntos = aciertos - penalización x fallos\n"
                          "  nota = max(0, puntos) / preguntas x escala\n"
                          "\n"
                          "Estado de salida: 0 si se calificaron todos los ficheros; 1 si alguno no\n"
                          "se pudo calificar (los demás se califican igual), si alguna hoja de papel\n"
                          "tiene casillas dudosas o no se pudo escribir una salida; 2 si la orden\n"
                          "está mal escrita o la clave no se puede usar. Sin --clave, con\n"
                          "--leer-papel: 0 si todo el papel se leyó sin dudas y 1 si revision.csv\n"
                          "lista algo.\n"
                          "Con --papel: 0 si se escribieron las hojas; 1 si no se pudo escribir el\n"
                          "PDF; 2 si la orden está mal escrita o la clave o la lista no se pueden\n"
                          "usar.\n");
}

int runNotas(const NotasOptions& options, QTextStream& out, QTextStream& err, bool terminal)
{
    if (!options.paper.isEmpty())
        return printPaperSheets(options, out, err);
    if (options.key.isEmpty())
        return readPaperOnly(options, out, err);
    auto scratch = std::make_unique<Model>();
    ClassGrading g;
    g.keyPath = options.key;
    QString reason;
    std::optional<GradingKey> key = readGradingKey(*scratch, options.key, reason);
    if (!key) {
        err << "zelvora-notas: la clave " << options.key << " no se puede usar: " << reason << '\n';
        return kUsageError;
    }
    g.key = std::move(*key);
    g.rules.penalty = options.automaticPenalty ? automaticPenalty(g.key.answers) : options.penalty;
    g.rules.scale = options.scale;

    QStringList testInputs;
    QStringList scanInputs;
    splitInputs(options.inputs, testInputs, scanInputs);
    // Sheets read from paper need a folder to live in while they are graded
    // (the feedback sheets read them again); without one named, a temporary
    // one goes away at the end.
    QTemporaryDir temporary;
    PaperSheets paper;
    bool written = true;
    if (!scanInputs.isEmpty()) {
        const QString folder = options.paperFolder.isEmpty() ? temporary.path() : options.paperFolder;
        QString error;
        if (!readPaperSheets(scanInputs, folder, g.key, *scratch, paper, g.refused, error)) {
            err << "zelvora-notas: " << error << '\n';
            written = false;
        }
    }
    const QStringList files = answerFiles(testInputs + paper.files, options.key, g.refused);
    if (const QString clash = outputOverInput(options, files); !clash.isEmpty()) {
        err << "zelvora-notas: " << clash << " es uno de los ficheros que se califican; no se escribe encima\n";
        return kUsageError;
    }
    ProgressBar bar(err, terminal);
    gradeClass(*scratch, files, g, [&bar](int done, int total) { bar.update(done, total); });
    // A sheet from paper that grading refuses (another test type than the
    // key) is named by its page: its file may lie in a temporary folder.
    for (RefusedFile& r : g.refused)
        if (paper.pages.contains(r.path))
            r.path = paper.pages.value(r.path);
    int doubtful = 0;
    for (StudentResult& s : g.students) {
        s.doubtfulCells = paper.doubtfulCells.value(s.path);
        doubtful += s.doubtfulCells;
    }

    const ClassSummary summary = summarizeClass(g.students, g.key);
    printTable(out, g);
    printSummary(out, summary);
    out.flush();

    if (!options.csv.isEmpty() && !writeClassCsv(options.csv, g)) {
        err << "zelvora-notas: no se puede escribir " << options.csv << '\n';
        written = false;
    }
    std::vector<QuestionAnalysis> questions;
    if (!options.xlsx.isEmpty() || !options.report.isEmpty())
        questions = analyseQuestions(g.students, g.key);
    if (!options.xlsx.isEmpty()) {
        QString error;
        if (!writeClassWorkbook(options.xlsx, g, summary, questions, error)) {
            err << "zelvora-notas: no se puede escribir " << options.xlsx << ": " << error << '\n';
            written = false;
        }
    }
    if (!options.report.isEmpty() && !writeClassReport(options.report, g, summary, questions)) {
        err << "zelvora-notas: no se puede escribir " << options.report << '\n';
        written = false;
    }
    if (!options.sheets.isEmpty() && !writeSheets(options.sheets, g, err))
        written = false;

    if (!g.refused.empty()) {
        err << "\nNo calificados:\n";
        for (const RefusedFile& r : g.refused)
            err << "  " << r.path << ": " << r.reason << '\n';
    }
    if (doubtful > 0) {
        err << QStringLiteral("\nHojas de papel %1: %2 casillas dudosas, leídas como no marcadas; ")
                   .arg(paperReviewText())
                   .arg(doubtful);
        if (options.paperFolder.isEmpty())
            err << "--leer-papel CARPETA deja la lista en CARPETA/" << kReviewFileName << '\n';
        else
            err << "véase " << QDir(options.paperFolder).filePath(QString::fromLatin1(kReviewFileName)) << '\n';
    }
    if (files.isEmpty() && g.refused.empty())
        err << "zelvora-notas: no hay ningún fichero .ztest que calificar\n";
    err.flush();
    return g.refused.empty() && written && !files.isEmpty() && doubtful == 0 ? kAllGraded : kSomeNotGraded;
}
