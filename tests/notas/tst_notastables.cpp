// The Notas window's pieces without the window: the table models on a small
// class made by hand, the options graded against the command line on the
// same files, the exports under a failing write, and the remembered options.
#include <csignal>

#include <sys/resource.h>

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QDir>
#include <QFile>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "grading/csvexport.h"
#include "grading/notasprogram.h"
#include "notas/classexport.h"
#include "notas/classrun.h"
#include "notas/notasmemory.h"
#include "notas/questiontable.h"
#include "notas/studenttable.h"
#include "sheet/model.h"
#include "tests/grading/ztestfiles.h"

namespace {

StudentResult student(const QString& name, int hits, double grade)
{
    StudentResult s;
    s.name = name;
    s.path = name + QStringLiteral(".ztest");
    s.hits = hits;
    s.misses = 10 - hits;
    s.grade = grade;
    return s;
}

// Carlos and Bea tie on the mark; Bea's paper sheet has two doubtful cells.
std::shared_ptr<GradedClass> smallClass()
{
    auto c = std::make_shared<GradedClass>();
    c->grading.students = { student(QStringLiteral("Carlos"), 5, 5), student(QStringLiteral("ana"), 8, 8),
        student(QStringLiteral("Bea"), 5, 5), student(QStringLiteral("Dimitri"), 2, 2) };
    c->grading.students[2].doubtfulCells = 2;
    return c;
}

QStringList names(const StudentTableModel& m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.data(m.index(r, StudentTableModel::Name)).toString();
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files larger than `bytes` cannot be written while it lives: the write
// fails as on a full disk, for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_ {};
};

} // namespace

class TestNotasTables : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void studentsSort_data();
    void studentsSort();
    void studentsFilterAndKeepTheSelection();
    void questionsShowTheAnalysis();
    void optionsGradeAsTheCommandLine_data();
    void optionsGradeAsTheCommandLine();
    void failedExportKeepsTheOldFile_data();
    void failedExportKeepsTheOldFile();
    void exportNeverOverwritesAnInput();
    void rememberedOptions_data();
    void rememberedOptions();

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    std::optional<GradedClass> grade(const GradingOptions& options, const QString& folder = QStringLiteral("clase"));

    QTemporaryDir dir_;
};

void TestNotasTables::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY(QDir().mkpath(path(QStringLiteral("clase"))));
    QVERIFY(writeBytes(path(QStringLiteral("clave.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "C", "D" }))));
    const QList<QStringList> answers { { "A", "B", "C", "D" }, { "A", "C", "", "D" }, { "B", "C", "D", "" },
        { "", "", "", "" }, { "A", "B", "E", "E" } };
    for (int i = 0; i < answers.size(); ++i)
        QVERIFY(writeBytes(
            path(QStringLiteral("clase/alumno%1.ztest").arg(i)), ztestFile(0, marksFromLetters(answers[i]))));
    QVERIFY(writeBytes(path(QStringLiteral("clase/roto.ztest")), QByteArray(40, 'x')));

    // Large enough to be graded on several threads, every student different
    // from the next, a refused file among them.
    QVERIFY(QDir().mkpath(path(QStringLiteral("grande"))));
    const QStringList letters { "A", "B", "C", "D", "E", "" };
    for (int i = 0; i < 150; ++i) {
        const QStringList sheet { letters[i % 6], letters[(i / 6) % 6], letters[(i / 36) % 6], letters[(i / 7) % 6] };
        QVERIFY(writeBytes(path(QStringLiteral("grande/%1.ztest").arg(i, 3, 10, QLatin1Char('0'))),
            ztestFile(0, marksFromLetters(sheet))));
    }
    QVERIFY(writeBytes(path(QStringLiteral("grande/077b.ztest")), QByteArray(64, 'x')));
}

std::optional<GradedClass> TestNotasTables::grade(const GradingOptions& options, const QString& folder)
{
    auto scratch = std::make_unique<Model>();
    const std::atomic<bool> cancel { false };
    QString reason;
    return gradeInputs(*scratch, path(QStringLiteral("clave.ztest")), { path(folder) }, options, cancel, {}, reason);
}

void TestNotasTables::studentsSort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("name, whatever the case")
        << int(StudentTableModel::Name) << Qt::AscendingOrder << QStringList { "ana", "Bea", "Carlos", "Dimitri" };
    // Equal marks keep the class's order both ways round.
    QTest::newRow("mark up") << int(StudentTableModel::Grade) << Qt::AscendingOrder
                             << QStringList { "Dimitri", "Carlos", "Bea", "ana" };
    QTest::newRow("mark down") << int(StudentTableModel::Grade) << Qt::DescendingOrder
                               << QStringList { "ana", "Carlos", "Bea", "Dimitri" };
    QTest::newRow("to review first") << int(StudentTableModel::Review) << Qt::DescendingOrder
                                     << QStringList { "Bea", "Carlos", "ana", "Dimitri" };
}

void TestNotasTables::studentsSort()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, expected);
    StudentTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setClass(smallClass());
    model.sort(column, order);
    QCOMPARE(names(model), expected);
}

void TestNotasTables::studentsFilterAndKeepTheSelection()
{
    StudentTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setClass(smallClass());
    model.sort(StudentTableModel::Grade, Qt::DescendingOrder);
    // A selected row follows its student when the table is sorted again.
    const QPersistentModelIndex dimitri = model.index(3, StudentTableModel::Grade);
    model.sort(StudentTableModel::Grade, Qt::AscendingOrder);
    QCOMPARE(dimitri.row(), 0);
    QCOMPARE(model.data(model.index(dimitri.row(), StudentTableModel::Name)).toString(), QStringLiteral("Dimitri"));

    model.sort(StudentTableModel::Grade, Qt::DescendingOrder);
    model.setFilter(QStringLiteral("A"), false);
    QCOMPARE(names(model), (QStringList { "ana", "Carlos", "Bea" }));
    model.setFilter(QStringLiteral("a"), true);
    QCOMPARE(names(model), QStringList { "Bea" });
    QCOMPARE(model.data(model.index(0, StudentTableModel::Review)).toString(), QStringLiteral("a revisar (2 dudas)"));
    QCOMPARE(model.studentAt(0), 2);
    model.setFilter(QStringLiteral("zz"), false);
    QCOMPARE(model.rowCount(), 0);
    model.setFilter({}, false);
    QCOMPARE(names(model), (QStringList { "ana", "Carlos", "Bea", "Dimitri" }));
}

void TestNotasTables::questionsShowTheAnalysis()
{
    auto c = std::make_shared<GradedClass>();
    c->grading.key.testType = 1;
    c->grading.key.answers = 2;
    QuestionAnalysis easy;
    easy.question = 1;
    easy.key = 0b01;
    easy.correct = 0.95;
    easy.discrimination = 0.1;
    easy.pointBiserial = 0.2;
    easy.chosen = { 19, 1 };
    easy.review = VeryEasy;
    QuestionAnalysis plain;
    plain.question = 2;
    plain.key = 0b10;
    plain.correct = 0.5;
    plain.blank = 3;
    c->questions = { easy, plain };

    QuestionTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setClass(c);
    QCOMPARE(model.columnCount(), QuestionTableModel::FirstLetter + 2 + 2);
    QCOMPARE(model.headerData(QuestionTableModel::FirstLetter, Qt::Horizontal).toString(), QStringLiteral("V"));
    QCOMPARE(model.headerData(QuestionTableModel::FirstLetter + 1, Qt::Horizontal).toString(), QStringLiteral("F"));
    const auto text = [&](int row, int column) { return model.data(model.index(row, column)).toString(); };
    QCOMPARE(text(0, QuestionTableModel::Key), QStringLiteral("V"));
    QCOMPARE(text(1, QuestionTableModel::Key), QStringLiteral("F"));
    QCOMPARE(text(0, QuestionTableModel::Correct), QStringLiteral("95.0 %"));
    QCOMPARE(text(0, QuestionTableModel::FirstLetter), QStringLiteral("19"));
    QCOMPARE(text(1, model.blankColumn()), QStringLiteral("3"));
    QCOMPARE(text(0, model.reviewColumn()), QStringLiteral("muy fácil"));
    // A figure the class does not define is a dash, not a made-up 0.
    QCOMPARE(text(1, QuestionTableModel::Discrimination), QStringLiteral("—"));
    QVERIFY(model.data(model.index(0, 0), Qt::BackgroundRole).value<QBrush>().color() == QColor::fromRgb(kReviewShade));
    QVERIFY(!model.data(model.index(1, 0), Qt::BackgroundRole).isValid());

    QSortFilterProxyModel order;
    order.setSourceModel(&model);
    order.setSortRole(Qt::UserRole);
    order.sort(QuestionTableModel::Correct, Qt::AscendingOrder);
    QCOMPARE(order.data(order.index(0, QuestionTableModel::Question)).toInt(), 2);
}

void TestNotasTables::optionsGradeAsTheCommandLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("points");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("students");

    const QString small = QStringLiteral("clase");
    QTest::newRow("ninguna") << int(PenaltyKind::None) << 0.0 << 10.0 << QStringList {} << small << 5;
    QTest::newRow("automática") << int(PenaltyKind::Automatic) << 0.0 << 10.0
                                << QStringList { "--penalizacion", "auto" } << small << 5;
    QTest::newRow("un número y otra escala") << int(PenaltyKind::Points) << 0.5 << 20.0
                                             << QStringList { "--penalizacion", "0,5", "--escala", "20" } << small << 5;
    // The number left in the box does not count once "ninguna" is chosen.
    QTest::newRow("ninguna con un número escrito")
        << int(PenaltyKind::None) << 3.0 << 10.0 << QStringList {} << small << 5;
    // Graded on several threads, yet in the command line's order.
    QTest::newRow("a large class") << int(PenaltyKind::Automatic) << 0.0 << 10.0
                                   << QStringList { "--penalizacion", "auto" } << QStringLiteral("grande") << 150;
}

void TestNotasTables::optionsGradeAsTheCommandLine()
{
    QFETCH(int, kind);
    QFETCH(double, points);
    QFETCH(double, scale);
    QFETCH(QStringList, flags);
    QFETCH(QString, folder);
    QFETCH(int, students);

    const QString csv = path(QStringLiteral("cli.csv"));
    QString error;
    const std::optional<NotasOptions> cli
        = parseNotasArguments(QStringList { "--clave", path(QStringLiteral("clave.ztest")), "--csv", csv } + flags
                + QStringList { path(folder) },
            error);
    QVERIFY2(cli, qPrintable(error));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QCOMPARE(runNotas(*cli, outStream, errStream, false), kSomeNotGraded);

    const std::optional<GradedClass> window = grade({ PenaltyKind(kind), points, scale }, folder);
    QVERIFY(window);
    QCOMPARE(window->grading.students.size(), std::size_t(students));
    QCOMPARE(window->grading.refused.size(), std::size_t(1));
    QCOMPARE(window->inputs.size(), std::size_t(students + 1));
    QCOMPARE(QString::fromUtf8(classCsv(window->grading)), QString::fromUtf8(readAll(csv)));
}

void TestNotasTables::failedExportKeepsTheOldFile_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("CSV") << int(ExportKind::Csv);
    QTest::newRow("libro") << int(ExportKind::Workbook);
    QTest::newRow("informe") << int(ExportKind::Report);
}

void TestNotasTables::failedExportKeepsTheOldFile()
{
    QFETCH(int, kind);
    const std::optional<GradedClass> graded = grade({});
    QVERIFY(graded);
    const QString target = path(QStringLiteral("salida-%1").arg(kind));
    const QByteArray old("la exportación de ayer");
    QVERIFY(writeBytes(target, old));
    QString error;
    bool written = false;
    {
        const FileSizeLimit limit(64);
        written = exportClass(ExportKind(kind), target, *graded, error);
    }
    QVERIFY(!written);
    QVERIFY(error.contains(target));
    QCOMPARE(readAll(target), old);
    // No half-written temporary file is left beside it either.
    QCOMPARE(QDir(dir_.path()).entryList({ QFileInfo(target).fileName() + u'*' }, QDir::Files | QDir::Hidden),
        QStringList { QFileInfo(target).fileName() });

    QVERIFY2(exportClass(ExportKind(kind), target, *graded, error), qPrintable(error));
    QVERIFY(readAll(target) != old);
}

void TestNotasTables::exportNeverOverwritesAnInput()
{
    const std::optional<GradedClass> graded = grade({});
    QVERIFY(graded);
    for (const QString& input : { path(QStringLiteral("clave.ztest")), path(QStringLiteral("clase/alumno1.ztest")),
             path(QStringLiteral("clase/roto.ztest")) }) {
        const QByteArray before = readAll(input);
        QString error;
        QVERIFY(!exportClass(ExportKind::Csv, input, *graded, error));
        QVERIFY(error.contains(QStringLiteral("no se escribe encima")));
        QCOMPARE(readAll(input), before);
    }
}

void TestNotasTables::rememberedOptions_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("points");
    QTest::addColumn<double>("scale");

    QTest::newRow("automática") << QByteArray("[opciones]\npenalizacion=automatica\nescala=20\n")
                                << int(PenaltyKind::Automatic) << 0.0 << 20.0;
    QTest::newRow("un número") << QByteArray("[opciones]\npenalizacion=0.25\n") << int(PenaltyKind::Points) << 0.25
                               << 10.0;
    QTest::newRow("nonsense keeps the defaults")
        << QByteArray("[opciones]\npenalizacion=mucha\nescala=-3\n") << int(PenaltyKind::None) << 0.0 << 10.0;
    QTest::newRow("not an INI at all") << QByteArray("\x01\x02\xff\n=") << int(PenaltyKind::None) << 0.0 << 10.0;
}

void TestNotasTables::rememberedOptions()
{
    QFETCH(QByteArray, file);
    QFETCH(int, kind);
    QFETCH(double, points);
    QFETCH(double, scale);

    const QString ini = path(QStringLiteral("notas.ini"));
    QVERIFY(writeBytes(ini, file));
    NotasMemory m = readNotasMemory(ini);
    QCOMPARE(int(m.options.penaltyKind), kind);
    QCOMPARE(m.options.penaltyPoints, points);
    QCOMPARE(m.options.scale, scale);

    // What is written is read back alike, folders with any letters included.
    m.answersFolder = QStringLiteral("/home/profe/3ºB, Ñandú; «x»=1");
    QVERIFY(writeNotasMemory(ini, m));
    const NotasMemory again = readNotasMemory(ini);
    QCOMPARE(again.answersFolder, m.answersFolder);
    QCOMPARE(int(again.options.penaltyKind), kind);
    QCOMPARE(again.options.scale, scale);
}

QTEST_MAIN(TestNotasTables)
#include "tst_notastables.moc"
