// zelvora-notas as a teacher runs it: the built program on a folder of
// answer files, without a display or a chosen Qt platform, its outputs read
// back by tools that have nothing to do with this project.

#include <cmath>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "grading/classreport.h"
#include "tests/grading/ztestfiles.h"
#include "tests/support/notasprocess.h"

namespace {

using Run = NotasRun;

// Where the design puts things, worked out here rather than asked of the
// code under test, so that a fault in its geometry cannot move the probe
// along with what it measures.
//
// A feedback page is A4 (595.276 pt wide); the sheet (794 x 1122 pixels)
// fills its height from 100 pt to 820 pt, centred across it. Cell k of
// question q (1 to 25, the first column) lies at x 152 + 22 (k - 1),
// y 75 + 40 (q - 1) of the sheet, 15 x 15.
QPoint cellCentre(int q, int k, int dpi)
{
    const double scale = 720.0 / 1122;
    const double left = (595.276 - 794 * scale) / 2;
    const double x = 152 + 22 * (k - 1) + 7.5;
    const double y = 75 + 40 * (q - 1) + 7.5;
    return QPoint(int((left + x * scale) * dpi / 72), int((100 + y * scale) * dpi / 72));
}

// The report's chart of hits, on A4 rendered at 72 dpi (a pixel a point):
// `count` slots share x 50 to 545, each bar filling the middle 70 % of its
// slot and rising from y 760, 200 for all hits. The point at `across` (0 to
// 1) of slot `index` and `share` of the full height.
QPoint chartPoint(int index, int count, double across, double share)
{
    const double slot = 495.0 / count;
    return QPoint(int(50 + slot * (index + across)), int(760 - 200 * share));
}

// Close enough to tell the hit, miss and fill colours apart after the PDF
// viewer's scaling.
bool near(QRgb actual, QRgb expected)
{
    return std::abs(qRed(actual) - qRed(expected)) < 40 && std::abs(qGreen(actual) - qGreen(expected)) < 40
        && std::abs(qBlue(actual) - qBlue(expected)) < 40;
}

} // namespace

class TestNotas : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatuses_data();
    void exitStatuses();
    void workbookReadByOpenpyxl();
    void reportAndFeedbackSheetsShowTheirColours();
    void sameNameInTwoFoldersIsToldApart();

private:
    Run notas(const QStringList& arguments);
    QJsonObject readWorkbook(const QString& xlsx);
    QString pdfText(const QString& pdf);
    QImage renderPage(const QString& pdf, int dpi);
    QString path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

// Five questions; the weakest student alone gets question 5 right, as if its
// key were wrong.
void TestNotas::initTestCase()
{
    for (const char* tool : { "pdftoppm", "pdftotext" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL("poppler-utils is missing: bash scripts/deps.sh test installs it");
    }
    QVERIFY(dir_.isValid());
    QVERIFY(QDir().mkpath(path(QStringLiteral("clase"))));
    QVERIFY(QDir().mkpath(path(QStringLiteral("mixta"))));
    QVERIFY(
        writeBytes(path(QStringLiteral("clave.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "C", "D", "E" }))));
    const QList<std::pair<QString, QStringList>> students {
        { QStringLiteral("ana"), { "A", "B", "C", "D", "A" } },
        { QStringLiteral("bea"), { "A", "B", "C", "E", "" } },
        { QStringLiteral("carlos"), { "A", "", "E", "D", "" } },
        { QStringLiteral("dani"), { "B", "B", "", "", "E" } },
    };
    for (const auto& [name, answers] : students)
        QVERIFY(writeBytes(path(QStringLiteral("clase/%1.ztest").arg(name)), ztestFile(0, marksFromLetters(answers))));
    QVERIFY(writeBytes(path(QStringLiteral("mixta/roto.ztest")), QByteArray(40, 'x')));

    // A Spanish logic test, two answers per question, saved two columns wide.
    QVERIFY(QDir().mkpath(path(QStringLiteral("logica/clase"))));
    const QString vf = QStringLiteral("VF");
    QVERIFY(writeBytes(
        path(QStringLiteral("logica/clave.ztest")), ztestFile(1, marksFromLetters({ "V", "F", "V" }, vf), 2)));
    QVERIFY(writeBytes(
        path(QStringLiteral("logica/clase/eva.ztest")), ztestFile(1, marksFromLetters({ "V", "F", "F" }, vf), 2)));
}

Run TestNotas::notas(const QStringList& arguments)
{
    return runNotasProcess(QStringLiteral(NOTAS_EXE), dir_.path(), arguments, 60000);
}

// Every sheet of the workbook as rows of cell values, read by openpyxl.
QJsonObject TestNotas::readWorkbook(const QString& xlsx)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import json, sys, openpyxl\n"
                           "book = openpyxl.load_workbook(sys.argv[1])\n"
                           "print(json.dumps({s.title: [[c.value for c in row] for row in s.iter_rows()]"
                           " for s in book.worksheets}))\n"),
            xlsx });
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QString TestNotas::pdfText(const QString& pdf)
{
    QProcess text;
    text.start(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") });
    if (!text.waitForFinished(60000))
        return {};
    return QString::fromUtf8(text.readAllStandardOutput()).simplified();
}

QImage TestNotas::renderPage(const QString& pdf, int dpi)
{
    const QString prefix = pdf + QStringLiteral(".page");
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
            QStringLiteral("1"), QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf, prefix });
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

void TestNotas::exitStatuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("every file graded") << QStringList { "--clave", "clave.ztest", "clase" } << 0
                                       << QStringLiteral("ana.ztest 4 1 0 8.00 bea.ztest 3 1 1 6.00") << QString();
    QTest::newRow("summary") << QStringList { "--clave", "clave.ztest", "clase" } << 0
                             << QStringLiteral("Mediana: 5.00 Desviación típica: 1.66") << QString();
    QTest::newRow("a refused file, the rest graded")
        << QStringList { "--clave", "clave.ztest", "clase", "mixta" } << 1 << QStringLiteral("dani.ztest 2 1 2 4.00")
        << QStringLiteral("roto.ztest: no es un test: su longitud (40 bytes) no es múltiplo de 32");
    // Automatic penalty for two answers: a miss takes a whole point.
    QTest::newRow("two-answer test") << QStringList { "--clave", "logica/clave.ztest", "--penalizacion", "auto",
        "logica/clase" } << 0 << QStringLiteral("eva.ztest 2 1 0 3.33")
                                     << QString();
    QTest::newRow("missing key") << QStringList { "--clave", "nada.ztest", "clase" } << 2 << QString()
                                 << QStringLiteral("la clave nada.ztest no se puede usar: no existe");
    QTest::newRow("key of no test") << QStringList { "--clave", "mixta/roto.ztest", "clase" } << 2 << QString()
                                    << QStringLiteral("no se puede usar");
    QTest::newRow("no key given") << QStringList { "clase" } << 2 << QString() << QStringLiteral("falta la clave");
    QTest::newRow("output over an answer file")
        << QStringList { "--clave", "clave.ztest", "clase", "--csv", "clase/ana.ztest" } << 2 << QString()
        << QStringLiteral("clase/ana.ztest es uno de los ficheros que se califican");
    QTest::newRow("help") << QStringList { "--help" } << 0 << QStringLiteral("Uso: zelvora-notas --clave") << QString();
    QTest::newRow("paper to read, none named") << QStringList { "--leer-papel", "leidos" } << 2 << QString()
                                               << QStringLiteral("faltan los PDF, imágenes o carpetas que leer");
    QTest::newRow("grading output without a key")
        << QStringList { "--leer-papel", "leidos", "--csv", "notas.csv", "clase" } << 2 << QString()
        << QStringLiteral("--csv necesita la clave");
    QTest::newRow("no scans to read") << QStringList { "--leer-papel", "leidos", "clase" } << 1
                                      << QStringLiteral("Hojas leídas: 0 de 0")
                                      << QStringLiteral("no hay ningún PDF ni imagen que leer");
    QTest::newRow("output that cannot be written")
        << QStringList { "--clave", "clave.ztest", "clase", "--csv", "no/hay/carpeta.csv" } << 1
        << QStringLiteral("Alumnos: 4") << QStringLiteral("no se puede escribir no/hay/carpeta.csv");
}

void TestNotas::exitStatuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = notas(arguments);
    QTEST(run.status, "status");
    // Columns are aligned with spaces; the figures are what counts.
    QVERIFY2(run.out.simplified().contains(out), qPrintable(run.out));
    // Nothing but what went wrong goes to stderr: no progress bar off a terminal.
    if (err.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

void TestNotas::workbookReadByOpenpyxl()
{
    const Run run = notas({ "--clave", "clave.ztest", "--penalizacion", "auto", "--xlsx", "clase.xlsx", "clase" });
    QCOMPARE(run.status, 0);

    const QJsonObject book = readWorkbook(path(QStringLiteral("clase.xlsx")));
    QCOMPARE(book.keys(), QStringList({ "Alumnos", "Preguntas", "Resumen" }));

    const QJsonArray students = book[QStringLiteral("Alumnos")].toArray();
    QCOMPARE(students.size(), 5);
    QCOMPARE(students[0].toArray(),
        QJsonArray({ "Fichero", "Aciertos", "Fallos", "En blanco", "Nota", "P1", "P2", "P3", "P4", "P5" }));
    // Penalty 0.25: 3 - 0.25 = 2.75 of 5.
    QCOMPARE(students[2].toArray(), QJsonArray({ "bea.ztest", 3, 1, 1, 5.5, "A", "B", "C", "E", QJsonValue() }));

    const QJsonArray questions = book[QStringLiteral("Preguntas")].toArray();
    QCOMPARE(questions.size(), 6);
    QCOMPARE(questions[0].toArray()[2], QJsonValue("% acierto"));
    // Question 5: only dani (E) hit it; ana chose A; two blanks. The top
    // group (ana) missed it, the bottom group (carlos and dani, tied)
    // half hit it.
    const QJsonArray q5 = questions[5].toArray();
    QCOMPARE(q5[0].toDouble(), 5.0);
    QCOMPARE(q5[1].toString(), QStringLiteral("E"));
    QCOMPARE(q5[2].toDouble(), 25.0);
    QCOMPARE(q5[3].toDouble(), -0.5);
    QCOMPARE(q5[5].toDouble(), 1.0);
    QCOMPARE(q5[9].toDouble(), 1.0);
    QCOMPARE(q5[10].toDouble(), 2.0);
    QCOMPARE(q5[11].toString(), QStringLiteral("discriminación negativa"));

    QJsonObject summary;
    for (const QJsonValue row : book[QStringLiteral("Resumen")].toArray())
        summary[row.toArray()[0].toString()] = row.toArray()[1];
    QCOMPARE(summary[QStringLiteral("Alumnos")].toDouble(), 4.0);
    QCOMPARE(summary[QStringLiteral("Penalización")].toDouble(), 0.25);
    QCOMPARE(summary[QStringLiteral("Media")].toDouble(), 5.0);
    QCOMPARE(summary[QStringLiteral("Aprobados")].toDouble(), 2.0);
    // KR-20 by hand: hits per student 4, 3, 2, 2 (mean 2.75, variance
    // 0.6875); per question p = 3/4, 3/4, 1/2, 1/2, 1/4, so the sum of p q
    // is 1.0625; 5/4 x (1 - 1.0625 / 0.6875) = -15/22. Negative, as a wrong
    // key makes it.
    QVERIFY(std::abs(summary[QStringLiteral("Fiabilidad KR-20")].toDouble() + 15.0 / 22) < 1e-9);

    // One student: no spread of hits, and the summary says why there is no
    // reliability instead of giving a number.
    QCOMPARE(notas({ "--clave", "clave.ztest", "--xlsx", "una.xlsx", "clase/ana.ztest" }).status, 0);
    const QJsonArray one = readWorkbook(path(QStringLiteral("una.xlsx")))[QStringLiteral("Resumen")].toArray();
    QVERIFY(!one.isEmpty());
    QVERIFY2(one.last().toArray()[1].toString().startsWith(QStringLiteral("indefinida")),
        qPrintable(one.last().toArray()[1].toString()));
}

void TestNotas::reportAndFeedbackSheetsShowTheirColours()
{
    const Run run = notas({ "--clave", "clave.ztest", "--informe", "informe.pdf", "--hojas", "hojas", "clase" });
    QCOMPARE(run.status, 0);

    const QImage report = renderPage(path(QStringLiteral("informe.pdf")), 72);
    QVERIFY(!report.isNull());
    // Question 1 (75 % hit) is fine, question 5 (25 %) is to be reviewed;
    // each bar ends at its share, and its slot is white beside it.
    QVERIFY(near(report.pixel(chartPoint(0, 5, 0.5, 0.70)), kReportBarColor));
    QVERIFY(near(report.pixel(chartPoint(0, 5, 0.5, 0.80)), qRgb(255, 255, 255)));
    QVERIFY(near(report.pixel(chartPoint(0, 5, 0.05, 0.40)), qRgb(255, 255, 255)));
    QVERIFY(near(report.pixel(chartPoint(4, 5, 0.5, 0.20)), kReportReviewColor));
    QVERIFY(near(report.pixel(chartPoint(4, 5, 0.5, 0.30)), qRgb(255, 255, 255)));
    QVERIFY(near(report.pixel(chartPoint(4, 5, 0.95, 0.10)), qRgb(255, 255, 255)));

    QCOMPARE(QDir(path(QStringLiteral("hojas"))).entryList(QDir::Files),
        QStringList({ "ana.pdf", "bea.pdf", "carlos.pdf", "dani.pdf" }));
    const int dpi = 150;
    const QImage sheet = renderPage(path(QStringLiteral("hojas/bea.pdf")), dpi);
    QVERIFY(!sheet.isNull());
    // Bea: A B C E and a blank against A B C D E. Hits in the settings
    // file's default green, key answers she lacks in its red, her own wrong
    // mark in its own colour (black in her file), untouched cells white.
    QVERIFY(near(sheet.pixel(cellCentre(1, 1, dpi)), qRgb(0, 255, 0)));
    QVERIFY(near(sheet.pixel(cellCentre(3, 3, dpi)), qRgb(0, 255, 0)));
    QVERIFY(near(sheet.pixel(cellCentre(4, 4, dpi)), qRgb(255, 0, 0)));
    QVERIFY(near(sheet.pixel(cellCentre(4, 5, dpi)), qRgb(0, 0, 0)));
    QVERIFY(near(sheet.pixel(cellCentre(5, 5, dpi)), qRgb(255, 0, 0)));
    QVERIFY(near(sheet.pixel(cellCentre(1, 2, dpi)), qRgb(255, 255, 255)));

    const QString header = pdfText(path(QStringLiteral("hojas/bea.pdf")));
    for (const char* figure : { "Aciertos: 3", "Fallos: 1", "En blanco: 1", "Nota: 6.00 de 10 (aprobado)" })
        QVERIFY2(header.contains(QString::fromUtf8(figure)), qPrintable(header));
}

// Two students called ana in two groups, and a name that CSV and XML must
// carry as it is: everyone is named by group, in every output.
void TestNotas::sameNameInTwoFoldersIsToldApart()
{
    for (const char* group : { "grupos/3A", "grupos/3B" })
        QVERIFY(QDir().mkpath(path(QString::fromLatin1(group))));
    QVERIFY(writeBytes(
        path(QStringLiteral("grupos/3A/ana.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "C", "D", "E" }))));
    QVERIFY(writeBytes(path(QStringLiteral("grupos/3B/ana.ztest")), ztestFile(0, marksFromLetters({ "A", "B" }))));
    QVERIFY(writeBytes(path(QStringLiteral("grupos/3B/a&b <c>.ztest")), ztestFile(0, marksFromLetters({ "A" }))));

    const Run run = notas({ "--clave", "clave.ztest", "--csv", "grupos.csv", "--xlsx", "grupos.xlsx", "--hojas",
        "hojas-grupos", "grupos/3A", "grupos/3B" });
    QCOMPARE(run.status, 0);
    const QString table = run.out.simplified();
    for (const char* line : { "3A/ana.ztest 5 0 0 10.00", "3B/ana.ztest 2 0 3 4.00", "3B/a&b <c>.ztest 1 0 4 2.00" })
        QVERIFY2(table.contains(QString::fromUtf8(line)), qPrintable(run.out));

    const QStringList names { "Fichero", "3A/ana.ztest", "3B/a&b <c>.ztest", "3B/ana.ztest" };
    QFile csv(path(QStringLiteral("grupos.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QStringList csvNames;
    for (const QByteArray& line : csv.readAll().split('\n')) {
        if (!line.isEmpty())
            csvNames << QString::fromUtf8(line.left(line.indexOf(',')));
    }
    QCOMPARE(csvNames, names);

    QStringList bookNames;
    for (const QJsonValue row : readWorkbook(path(QStringLiteral("grupos.xlsx")))[QStringLiteral("Alumnos")].toArray())
        bookNames << row.toArray()[0].toString();
    QCOMPARE(bookNames, names);

    QCOMPARE(QDir(path(QStringLiteral("hojas-grupos/3A"))).entryList(QDir::Files), QStringList({ "ana.pdf" }));
    QCOMPARE(QDir(path(QStringLiteral("hojas-grupos/3B"))).entryList(QDir::Files, QDir::Name),
        QStringList({ "a&b <c>.pdf", "ana.pdf" }));
    const QString header = pdfText(path(QStringLiteral("hojas-grupos/3B/ana.pdf")));
    QVERIFY2(header.contains(QStringLiteral("3B/ana.ztest")) && header.contains(QStringLiteral("Nota: 4.00")),
        qPrintable(header));
}

QTEST_GUILESS_MAIN(TestNotas)
#include "tst_notas.moc"
