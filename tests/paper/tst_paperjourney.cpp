// A class on paper from start to end, through the built program: the sheets
// printed by --papel, rendered from the PDF, filled by hand, scanned,
// photographed or turned, then read and graded with --clave beside a sheet
// saved on screen. Each test type has its own round.

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgcodecs.hpp>

#include "tests/grading/ztestfiles.h"
#include "tests/support/notasprocess.h"
#include "tests/support/scanmaker.h"

namespace {

using Run = NotasRun;

Run notas(const QString& folder, const QStringList& arguments)
{
    return runNotasProcess(QStringLiteral(NOTAS_EXE), folder, arguments);
}

// Pen fills for the letters of each question ("A", "" for a blank...).
std::vector<CellFill> penFills(const QStringList& answers, const QString& letters)
{
    std::vector<CellFill> fills;
    for (qsizetype q = 0; q < answers.size(); ++q)
        for (const QChar c : answers[q])
            fills.push_back({ int(q + 1), int(letters.indexOf(c)) + 1, 0, Fill::Pen });
    return fills;
}

} // namespace

class TestPaperJourney : public QObject {
    Q_OBJECT

private slots:
    void printFillReadGrade_data()
    {
        QTest::addColumn<int>("testType");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QStringList>("key");
        QTest::addColumn<QStringList>("wrong");
        QTest::newRow("A to E") << 0 << "ABCDE" << QStringList { "A", "C", "E", "B", "D", "A", "", "B" }
                                << QStringList { "B", "C", "E", "B", "", "A", "", "B" };
        QTest::newRow("V/F") << 1 << "VF" << QStringList { "V", "F", "F", "V", "", "F", "V", "V" }
                             << QStringList { "F", "F", "F", "V", "", "F", "", "V" };
        QTest::newRow("T/F") << 2 << "TF" << QStringList { "T", "T", "F", "", "F", "F", "T", "F" }
                             << QStringList { "T", "T", "F", "", "T", "F", "T", "F" };
    }

    void printFillReadGrade()
    {
        QFETCH(int, testType);
        QFETCH(QString, letters);
        QFETCH(QStringList, key);
        QFETCH(QStringList, wrong);
        QTemporaryDir dir;
        const auto path = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
        QVERIFY(writeBytes(path("clave.ztest"), ztestFile(testType, marksFromLetters(key, letters), testType ? 2 : 5)));
        QVERIFY(
            writeBytes(path("pantalla.ztest"), ztestFile(testType, marksFromLetters(key, letters), testType ? 2 : 5)));
        QVERIFY(writeBytes(path("alumnos.csv"), QByteArray("id;nombre\nana;Ana Ruiz\nluis;Luis Gil\n")));

        const Run printed = notas(dir.path(),
            { "--papel", "hojas.pdf", "--clave", "clave.ztest", "--lista", "alumnos.csv", "--copias", "1" });
        QVERIFY2(printed.status == 0, qPrintable(printed.err));
        QFile pdfFile(path("hojas.pdf"));
        QVERIFY(pdfFile.open(QIODevice::ReadOnly));
        const QByteArray pdf = pdfFile.readAll();

        // Ana answers as the key, on a flatbed scan; Luis misses some, on a
        // phone; the anonymous student answers as the key, upside down.
        constexpr int kDpi = 150;
        ScanMaker maker(unsigned(testType) + 40);
        QDir().mkpath(path("escaneos"));
        cv::Mat ana = ScanMaker::renderPdf(pdf, 0, kDpi);
        maker.fillCells(ana, kDpi, PaperSize::A4, penFills(key, letters));
        QVERIFY(cv::imwrite(path("escaneos/ana.png").toStdString(), ana));
        cv::Mat luis = ScanMaker::renderPdf(pdf, 1, kDpi);
        maker.fillCells(luis, kDpi, PaperSize::A4, penFills(wrong, letters));
        QVERIFY(writeBytes(path("escaneos/luis.jpg"), ScanMaker::jpeg(maker.phonePhoto(luis), 85)));
        cv::Mat anonymous = ScanMaker::renderPdf(pdf, 2, kDpi);
        maker.fillCells(anonymous, kDpi, PaperSize::A4, penFills(key, letters));
        maker.fillCells(anonymous, kDpi, PaperSize::A4, maker.studentNumber(QStringLiteral("20261210")));
        QVERIFY(cv::imwrite(path("escaneos/otra.tif").toStdString(), ScanMaker::rotateQuarterTurns(anonymous, 2)));

        const Run graded
            = notas(dir.path(), { "--clave", "clave.ztest", "--leer-papel", "leidos", "pantalla.ztest", "escaneos" });
        QVERIFY2(graded.status == 0, qPrintable(graded.out + graded.err));
        const QString table = graded.out.simplified();
        const int questions = int(key.size() - key.count(QString()));
        const QString full = QStringLiteral("%1 0 0 10.00").arg(questions);
        QVERIFY2(table.contains(QStringLiteral("pantalla.ztest ") + full), qPrintable(table));
        QVERIFY2(table.contains(QStringLiteral("ana.ztest ") + full), qPrintable(table));
        QVERIFY2(table.contains(QStringLiteral("20261210.ztest ") + full), qPrintable(table));
        int hits = 0;
        for (qsizetype q = 0; q < key.size(); ++q)
            hits += !key[q].isEmpty() && wrong[q] == key[q];
        QVERIFY2(table.contains(QRegularExpression(QStringLiteral("luis\\.ztest %1 ").arg(hits))), qPrintable(table));
        QVERIFY(QFile::exists(path("leidos/revision.csv")));

        // Reading alone, without a key, writes the same sheets.
        const Run read = notas(dir.path(), { "--leer-papel", "solo", "escaneos" });
        QVERIFY2(read.status == 0, qPrintable(read.out + read.err));
        for (const char* name : { "ana.ztest", "luis.ztest", "20261210.ztest" })
            QCOMPARE(QFile(path("solo/") + name).size(), QFile(path("leidos/") + name).size());
    }
};

QTEST_MAIN(TestPaperJourney)
#include "tst_paperjourney.moc"
