#include <cmath>
#include <limits>
#include <memory>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "grading/classgrading.h"
#include "grading/csvexport.h"
#include "grading/feedbacksheet.h"
#include "grading/notasprogram.h"
#include "grading/scoring.h"
#include "grading/statistics.h"
#include "grading/xlsxexport.h"
#include "sheet/model.h"
#include "tests/grading/ztestfiles.h"

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

// Answer masks written as letters: "AC" is answers 1 and 3.
AnswerMask mask(const QString& letters)
{
    AnswerMask m = 0;
    for (const QChar c : letters)
        m |= AnswerMask(1u << (c.unicode() - 'A'));
    return m;
}

GradingKey keyOf(const QStringList& letters)
{
    AnswerTable table;
    table.recreate(kMaxAnswers);
    for (int q = 1; q <= letters.size(); ++q) {
        for (const QChar c : letters[q - 1])
            table.at(c.unicode() - 'A' + 1, q).marked = 1;
    }
    return gradingKey(table, 0);
}

std::vector<StudentResult> classOf(const GradingKey& key, const QList<QStringList>& sheets, double penalty = 0)
{
    std::vector<StudentResult> students;
    for (const QStringList& sheet : sheets) {
        SheetAnswers answers {};
        for (int q = 1; q <= sheet.size(); ++q)
            answers[std::size_t(q - 1)] = mask(sheet[q - 1]);
        students.push_back(scoreStudent(key, answers, { penalty, 10 }));
    }
    return students;
}

void compareFigure(std::optional<double> actual, double expected, const char* what)
{
    if (std::isnan(expected)) {
        QVERIFY2(!actual, qPrintable(QStringLiteral("%1 should be undefined").arg(QLatin1String(what))));
        return;
    }
    QVERIFY2(actual, qPrintable(QStringLiteral("%1 is undefined").arg(QLatin1String(what))));
    QVERIFY2(std::abs(*actual - expected) < 1e-9,
        qPrintable(QStringLiteral("%1: %2, expected %3").arg(QLatin1String(what)).arg(*actual).arg(expected)));
}

// RFC 4180 as a spreadsheet reads it: quoted fields may hold commas,
// doubled quotes and line ends.
QList<QStringList> parseCsv(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

} // namespace

class TestGrading : public QObject {
    Q_OBJECT

private slots:
    void scoring_data();
    void scoring();
    void automaticPenaltyFollowsTheAnswers();
    void statistics_data();
    void statistics();
    void discriminationIgnoresClassOrder();
    void refusedAndForeignFilesAreListedAndTheRestGraded();
    void unusableKeys_data();
    void unusableKeys();
    void csvParsesBack();
    void workbookCarriesAnyName();
    void studentNames_data();
    void studentNames();
    void arguments_data();
    void arguments();
};

void TestGrading::scoring_data()
{
    QTest::addColumn<QStringList>("key");
    QTest::addColumn<QStringList>("sheet");
    QTest::addColumn<double>("penalty");
    QTest::addColumn<int>("hits");
    QTest::addColumn<int>("misses");
    QTest::addColumn<int>("blanks");
    QTest::addColumn<double>("grade");
    QTest::addColumn<bool>("passed");

    const QStringList four { "A", "B", "C", "D" };
    QTest::newRow("no penalty") << four << QStringList { "A", "B", "D", "" } << 0.0 << 2 << 1 << 1 << 5.0 << true;
    QTest::newRow("quarter penalty") << four << QStringList { "A", "B", "D", "" } << 0.25 << 2 << 1 << 1 << 4.375
                                     << false;
    QTest::newRow("points below zero grade 0")
        << QStringList { "A", "A" } << QStringList { "B", "C" } << 1.0 << 0 << 2 << 0 << 0.0 << false;
    QTest::newRow("exactly half passes") << QStringList { "A", "B", "C", "D", "E", "A", "B", "C", "D", "E" }
                                         << QStringList { "A", "B", "C", "D", "E", "A", "A", "A", "A", "A" } << 0.25
                                         << 6 << 4 << 0 << 5.0 << true;
    QTest::newRow("multiple-answer key matched exactly")
        << QStringList { "AC", "B" } << QStringList { "AC", "B" } << 0.5 << 2 << 0 << 0 << 10.0 << true;
    QTest::newRow("part or more of a multiple-answer key is a miss")
        << QStringList { "AC", "AC" } << QStringList { "A", "ACD" } << 0.5 << 0 << 2 << 0 << 0.0 << false;
    QTest::newRow("two marks on a one-answer question is a miss")
        << QStringList { "A", "B" } << QStringList { "AB", "B" } << 0.0 << 1 << 1 << 0 << 5.0 << true;
    // Questions the key leaves blank do not count, whatever the student did.
    QTest::newRow("unkeyed questions ignored")
        << QStringList { "A", "", "C" } << QStringList { "A", "E", "" } << 1.0 << 1 << 0 << 1 << 5.0 << true;
}

void TestGrading::scoring()
{
    QFETCH(QStringList, key);
    QFETCH(QStringList, sheet);
    QFETCH(double, penalty);
    const StudentResult s = classOf(keyOf(key), { sheet }, penalty).front();
    QTEST(s.hits, "hits");
    QTEST(s.misses, "misses");
    QTEST(s.blanks, "blanks");
    QFETCH(double, grade);
    QCOMPARE(s.grade, grade);
    QTEST(s.passed, "passed");
}

void TestGrading::automaticPenaltyFollowsTheAnswers()
{
    QCOMPARE(automaticPenalty(5), 0.25);
    QCOMPARE(automaticPenalty(2), 1.0);
}

void TestGrading::statistics_data()
{
    QTest::addColumn<QStringList>("key");
    QTest::addColumn<QList<QStringList>>("sheets");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("deviation");
    QTest::addColumn<int>("passed");
    QTest::addColumn<double>("reliability");
    QTest::addColumn<QList<double>>("correct");
    QTest::addColumn<QList<double>>("discrimination");
    QTest::addColumn<QList<double>>("pointBiserial");
    QTest::addColumn<QList<unsigned>>("review");

    const double u = kUndefined;
    QTest::newRow("all right") << QStringList { "A", "B", "C" }
                               << QList<QStringList> { { "A", "B", "C" }, { "A", "B", "C" } } << 10.0 << 10.0 << 0.0
                               << 2 << u << QList<double> { 1, 1, 1 } << QList<double> { 0, 0, 0 }
                               << QList<double> { u, u, u } << QList<unsigned> { VeryEasy, VeryEasy, VeryEasy };
    QTest::newRow("all blank") << QStringList { "A", "B" } << QList<QStringList> { { "", "" }, { "", "" } } << 0.0
                               << 0.0 << 0.0 << 0 << u << QList<double> { 0, 0 } << QList<double> { 0, 0 }
                               << QList<double> { u, u } << QList<unsigned> { VeryHard, VeryHard };
    QTest::newRow("one student") << QStringList { "A", "A" } << QList<QStringList> { { "A", "B" } } << 5.0 << 5.0 << 0.0
                                 << 1 << u << QList<double> { 1, 0 } << QList<double> { u, u } << QList<double> { u, u }
                                 << QList<unsigned> { VeryEasy, VeryHard };
    // Everyone has one hit: no spread, so no reliability; each question's
    // hit goes with a miss on the other.
    QTest::newRow("constant test") << QStringList { "A", "A" }
                                   << QList<QStringList> { { "A", "B" }, { "B", "A" }, { "A", "B" } } << 5.0 << 5.0
                                   << 0.0 << 3 << u << QList<double> { 2.0 / 3, 1.0 / 3 } << QList<double> { 0, 0 }
                                   << QList<double> { -1, -1 } << QList<unsigned> { 0, 0 };
    // Four students: one place in each group. The two best are tied at two
    // hits and share the top place half and half.
    QTest::newRow("ties at the cut") << QStringList { "A", "A",
        "A" } << QList<QStringList> { { "A", "A", "B" }, { "B", "A", "A" }, { "A", "B", "B" }, { "B", "B", "B" } }
                                     << 12.5 / 3 << 5.0 << std::sqrt(0.6875) * 10 / 3 << 2 << 0.0
                                     << QList<double> { 0.5, 0.5, 0.25 } << QList<double> { 0.5, 1, 0.5 }
                                     << QList<double> { -1 / std::sqrt(11.0), 1 / std::sqrt(3.0), 0 }
                                     << QList<unsigned> { 0, 0, 0 };
    QTest::newRow("multiple-answer key") << QStringList { "AC", "B" }
                                         << QList<QStringList> { { "AC", "B" }, { "A", "B" }, { "ACD", "" } } << 5.0
                                         << 5.0 << std::sqrt(50.0 / 3) << 2 << 2.0 / 3
                                         << QList<double> { 1.0 / 3, 2.0 / 3 } << QList<double> { 1, 1 }
                                         << QList<double> { 0.5, 0.5 } << QList<unsigned> { 0, 0 };
    // The weaker half gets question 3 right and the stronger half wrong, as
    // when the key itself is wrong.
    QTest::newRow("negative discrimination")
        << QStringList { "A", "A", "A" }
        << QList<QStringList> { { "A", "A", "B" }, { "A", "A", "B" }, { "B", "B", "A" }, { "B", "B", "A" } } << 5.0
        << 5.0 << 5.0 / 3 << 2 << -3.0 << QList<double> { 0.5, 0.5, 0.5 } << QList<double> { 1, 1, -1 }
        << QList<double> { u, u, -1 } << QList<unsigned> { 0, 0, NegativeDiscrimination };
}

void TestGrading::statistics()
{
    QFETCH(QStringList, key);
    QFETCH(QList<QStringList>, sheets);
    const GradingKey k = keyOf(key);
    const std::vector<StudentResult> students = classOf(k, sheets);

    const ClassSummary c = summarizeClass(students, k);
    QCOMPARE(c.students, int(sheets.size()));
    QFETCH(double, mean);
    QFETCH(double, median);
    QFETCH(double, deviation);
    QFETCH(double, reliability);
    compareFigure(c.mean, mean, "mean");
    compareFigure(c.median, median, "median");
    compareFigure(c.deviation, deviation, "deviation");
    compareFigure(c.reliability, reliability, "reliability");
    QTEST(c.passed, "passed");

    QFETCH(QList<double>, correct);
    QFETCH(QList<double>, discrimination);
    QFETCH(QList<double>, pointBiserial);
    QFETCH(QList<unsigned>, review);
    const std::vector<QuestionAnalysis> questions = analyseQuestions(students, k);
    QCOMPARE(int(questions.size()), int(key.size()));
    for (std::size_t i = 0; i < questions.size(); ++i) {
        compareFigure(questions[i].correct, correct[qsizetype(i)], "share correct");
        compareFigure(questions[i].discrimination, discrimination[qsizetype(i)], "discrimination");
        compareFigure(questions[i].pointBiserial, pointBiserial[qsizetype(i)], "point-biserial");
        QCOMPARE(questions[i].review, review[qsizetype(i)]);
    }
}

void TestGrading::discriminationIgnoresClassOrder()
{
    const GradingKey k = keyOf({ "A", "A", "A" });
    const QList<QStringList> sheets { { "A", "A", "B" }, { "B", "A", "A" }, { "A", "B", "B" }, { "B", "B", "B" },
        { "A", "A", "A" }, { "B", "A", "B" }, { "A", "B", "A" } };
    QList<QStringList> reversed(sheets.rbegin(), sheets.rend());
    const std::vector<QuestionAnalysis> forward = analyseQuestions(classOf(k, sheets), k);
    const std::vector<QuestionAnalysis> backward = analyseQuestions(classOf(k, reversed), k);
    for (std::size_t i = 0; i < forward.size(); ++i)
        QCOMPARE(*forward[i].discrimination, *backward[i].discrimination);
}

void TestGrading::refusedAndForeignFilesAreListedAndTheRestGraded()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString key = dir.filePath(QStringLiteral("clase/clave.ztest"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("clase/otra"))));
    QVERIFY(writeBytes(key, ztestFile(0, marksFromLetters({ "A", "B", "C" }))));
    // Only marked = 1 counts: question 2 is blank.
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("clase/ana.ztest")),
        ztestFile(0, { { 1, 1, 1, 0 }, { 2, 2, 2, 0 }, { 3, 3, 1, 0 } })));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("clase/logica.ztest")), ztestFile(1, { { 1, 1, 1, 0 } }, 2)));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("clase/corto.ztest")), QByteArray(33, 'x')));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("clase/vacio.ztest")), QByteArray()));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("clase/notas.txt")), QByteArray(32, 'x')));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("clase/otra/luis.ztest")), ztestFile(0, {})));

    auto scratch = std::make_unique<Model>();
    QString reason;
    ClassGrading g;
    g.key = *readGradingKey(*scratch, key, reason);
    QCOMPARE(g.key.questions, std::vector<int>({ 1, 2, 3 }));
    const QStringList inputs { dir.filePath(QStringLiteral("clase")), dir.filePath(QStringLiteral("clase/ana.ztest")),
        dir.filePath(QStringLiteral("nadie.ztest")) };
    const QStringList files = answerFiles(inputs, key, g.refused);
    gradeClass(*scratch, files, g);

    QCOMPARE(int(g.students.size()), 1);
    QCOMPARE(g.students[0].name, QStringLiteral("ana.ztest"));
    QCOMPARE(g.students[0].hits, 2);
    QCOMPARE(g.students[0].blanks, 1);
    QStringList refused;
    for (const RefusedFile& r : g.refused)
        refused << QFileInfo(r.path).fileName() + QStringLiteral(": ") + r.reason;
    QCOMPARE(refused,
        QStringList({ QStringLiteral("nadie.ztest: no existe"),
            QStringLiteral("corto.ztest: no es un test: su longitud (33 bytes) no es múltiplo de 32"),
            QStringLiteral(
                "logica.ztest: es de otro tipo de test (Test Logica Español) que la clave (Test 5 respuestas)"),
            QStringLiteral("vacio.ztest: está vacío") }));
}

void TestGrading::unusableKeys_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("31 bytes") << QByteArray(31, '\0')
                              << QStringLiteral("no es un test: su longitud (31 bytes) no es múltiplo de 32");
    QTest::newRow("no answer marked") << ztestFile(0, { { 4, 1, 2, 0 } })
                                      << QStringLiteral("no marca ninguna respuesta");
    QTest::newRow("test type without rows")
        << ztestFile(7, { { 1, 1, 1, 0 } }) << QStringLiteral("su tipo de test (7) no existe");
}

void TestGrading::unusableKeys()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("clave.ztest"));
    QVERIFY(writeBytes(key, bytes));
    auto scratch = std::make_unique<Model>();
    QString reason;
    QVERIFY(!readGradingKey(*scratch, key, reason));
    QTEST(reason, "reason");
}

void TestGrading::csvParsesBack()
{
    ClassGrading g;
    g.key = keyOf({ "A", "", "AC" });
    const QStringList names { QStringLiteral("a,b.ztest"), QStringLiteral("dijo \"hola\".ztest"),
        QStringLiteral("ñandú.ztest") };
    const QList<QStringList> sheets { { "A", "", "AC" }, { "B", "", "" }, { "", "", "C" } };
    g.students = classOf(g.key, sheets, 0.5);
    for (std::size_t i = 0; i < g.students.size(); ++i)
        g.students[i].name = names[qsizetype(i)];

    const QList<QStringList> rows = parseCsv(classCsv(g));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0], QStringList({ "Fichero", "Aciertos", "Fallos", "En blanco", "Nota", "P1", "P3" }));
    QCOMPARE(rows[1], QStringList({ names[0], "2", "0", "0", "10.00", "A", "AC" }));
    QCOMPARE(rows[2], QStringList({ names[1], "0", "1", "1", "0.00", "B", "" }));
    QCOMPARE(rows[3], QStringList({ names[2], "0", "1", "1", "0.00", "", "C" }));
}

// The workbook read back with nothing but Python's zipfile and XML parser,
// and the spreadsheet escape _xHHHH_ undone as the format says: names that
// XML cannot carry as they are still arrive whole, and every part parses.
void TestGrading::workbookCarriesAnyName()
{
    ClassGrading g;
    g.key = keyOf({ "A", "B" });
    const QStringList names { QStringLiteral("a&b <c> \"d\".ztest"), QStringLiteral("tab\tbell\x01.ztest"),
        QStringLiteral("_x0041_.ztest"), QStringLiteral("ñandú.ztest") };
    g.students = classOf(g.key, { { "A", "B" }, { "A", "" }, { "", "" }, { "B", "A" } });
    for (std::size_t i = 0; i < g.students.size(); ++i)
        g.students[i].name = names[qsizetype(i)];
    const ClassSummary summary = summarizeClass(g.students, g.key);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("libro.xlsx"));
    QString error;
    QVERIFY2(writeClassWorkbook(book, g, summary, analyseQuestions(g.students, g.key), error), qPrintable(error));

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import json, re, sys, zipfile, xml.etree.ElementTree as ET\n"
                           "ns = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}\n"
                           "z = zipfile.ZipFile(sys.argv[1])\n"
                           "assert z.testzip() is None\n"
                           "parts = {n: ET.fromstring(z.read(n)) for n in z.namelist()}\n"
                           "unescape = lambda t: re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), t)\n"
                           "shared = [unescape(''.join(t.text or '' for t in si.iter('{%s}t' % ns['m'])))\n"
                           "          for si in parts['xl/sharedStrings.xml'].findall('m:si', ns)]\n"
                           "column = [shared[int(c.find('m:v', ns).text)]\n"
                           "          for c in parts['xl/worksheets/sheet1.xml'].iterfind('.//m:c', ns)\n"
                           "          if c.get('r').startswith('A') and c.get('r')[1].isdigit()]\n"
                           "print(json.dumps(column))\n"),
            book });
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    QStringList column;
    for (const QJsonValue v : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        column << v.toString();
    QCOMPARE(column, QStringList { QStringLiteral("Fichero") } + names);
}

void TestGrading::studentNames_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sheets");

    QTest::newRow("different names stay bare")
        << QStringList { "3A/ana.ztest", "3B/bea.ztest" } << QStringList { "ana.ztest", "bea.ztest" }
        << QStringList { "ana.pdf", "bea.pdf" };
    QTest::newRow("one name in two folders names everyone by folder")
        << QStringList { "3A/ana.ztest", "3B/ana.ztest", "3A/bea.ztest" }
        << QStringList { "3A/ana.ztest", "3B/ana.ztest", "3A/bea.ztest" }
        << QStringList { "3A/ana.pdf", "3B/ana.pdf", "3A/bea.pdf" };
    QTest::newRow("a folder whose name begins another's")
        << QStringList { "/x/3A/ana.ztest", "/x/3AB/ana.ztest" } << QStringList { "3A/ana.ztest", "3AB/ana.ztest" }
        << QStringList { "3A/ana.pdf", "3AB/ana.pdf" };
    QTest::newRow("different depths") << QStringList { "clase/ana.ztest", "clase/extra/ana.ztest" }
                                      << QStringList { "ana.ztest", "extra/ana.ztest" }
                                      << QStringList { "ana.pdf", "extra/ana.pdf" };
    QTest::newRow("dot-dot and absolute spellings")
        << QStringList { "3A/../3B/ana.ztest", QDir::currentPath() + "/3A/ana.ztest" }
        << QStringList { "3B/ana.ztest", "3A/ana.ztest" } << QStringList { "3B/ana.pdf", "3A/ana.pdf" };
    // Two names on Linux, but one file on a memory stick's file system.
    QTest::newRow("names differing in case only")
        << QStringList { "x/Ana.ztest", "x/ana.ztest" } << QStringList { "Ana.ztest", "ana.ztest" }
        << QStringList { "Ana.pdf", "ana-2.pdf" };
}

void TestGrading::studentNames()
{
    QFETCH(QStringList, paths);
    std::vector<StudentResult> students(std::size_t(paths.size()));
    for (qsizetype i = 0; i < paths.size(); ++i)
        students[std::size_t(i)].path = paths[i];
    nameStudents(students);
    QStringList names;
    QStringList sheets;
    QSet<QString> taken;
    for (const StudentResult& s : students) {
        names << s.name;
        sheets << feedbackFileName(s.name, taken);
    }
    QTEST(names, "names");
    QTEST(sheets, "sheets");
}

void TestGrading::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<double>("penalty");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QStringList>("inputs");

    const QStringList noInputs;
    QTest::newRow("defaults") << QStringList { "--clave", "k.ztest", "a.ztest", "clase" } << QString() << 0.0 << false
                              << 10.0 << QStringList { "a.ztest", "clase" };
    QTest::newRow("equals and comma") << QStringList { "--clave=k.ztest", "--penalizacion=0,5", "--escala", "20", "x" }
                                      << QString() << 0.5 << false << 20.0 << QStringList { "x" };
    QTest::newRow("automatic penalty") << QStringList { "--penalizacion", "auto", "--clave", "k", "x" } << QString()
                                       << 0.0 << true << 10.0 << QStringList { "x" };
    QTest::newRow("inputs after --") << QStringList { "--clave", "k", "--", "--raro.ztest" } << QString() << 0.0
                                     << false << 10.0 << QStringList { "--raro.ztest" };
    QTest::newRow("no key") << QStringList { "x" } << QStringLiteral("falta la clave (--clave CLAVE.ztest)") << 0.0
                            << false << 10.0 << noInputs;
    QTest::newRow("no inputs") << QStringList { "--clave", "k" }
                               << QStringLiteral("faltan los ficheros o carpetas que calificar") << 0.0 << false << 10.0
                               << noInputs;
    QTest::newRow("negative penalty") << QStringList { "--clave", "k", "--penalizacion", "-1", "x" }
                                      << QStringLiteral("--penalizacion espera un número no negativo o «auto», no «-1»")
                                      << 0.0 << false << 10.0 << noInputs;
    QTest::newRow("zero scale") << QStringList { "--clave", "k", "--escala", "0", "x" }
                                << QStringLiteral("--escala espera un número mayor que 0, no «0»") << 0.0 << false
                                << 10.0 << noInputs;
    QTest::newRow("value missing") << QStringList { "x", "--clave" } << QStringLiteral("falta el valor de --clave")
                                   << 0.0 << false << 10.0 << noInputs;
    QTest::newRow("empty output") << QStringList { "--clave", "k", "--csv=", "x" }
                                  << QStringLiteral("--csv no puede estar vacío") << 0.0 << false << 10.0 << noInputs;
    QTest::newRow("unknown option") << QStringList { "--clave", "k", "--color", "x" }
                                    << QStringLiteral("opción desconocida: --color") << 0.0 << false << 10.0
                                    << noInputs;
}

void TestGrading::arguments()
{
    QFETCH(QStringList, arguments);
    QString error;
    const std::optional<NotasOptions> o = parseNotasArguments(arguments, error);
    QTEST(error, "error");
    QCOMPARE(o.has_value(), error.isEmpty());
    if (!o)
        return;
    QTEST(o->penalty, "penalty");
    QTEST(o->automaticPenalty, "automatic");
    QTEST(o->scale, "scale");
    QTEST(o->inputs, "inputs");
}

QTEST_GUILESS_MAIN(TestGrading)
#include "tst_grading.moc"
