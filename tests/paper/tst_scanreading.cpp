// Scans in, test files out: what a class's pile of paper turns into on disk,
// what is refused and why, and how grading shows the sheets to review.

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QtEndian>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

#include "app/commands.h"
#include "grading/notasprogram.h"
#include "paper/scanfolder.h"
#include "paper/scanreading.h"
#include "sheet/model.h"
#include "testfile/testfile.h"
#include "tests/grading/ztestfiles.h"
#include "tests/support/scanmaker.h"
#include "tests/support/testmodel.h"
#include "view/marking.h"

namespace {

constexpr double kDpi = 150;
const QString kExam = QStringLiteral("5E5E0001");

SheetCode sheetCode(int testType, const QString& student = {}, const QString& exam = kExam)
{
    SheetCode c;
    c.examId = exam;
    c.layout.testType = testType;
    c.layout.questions = 20;
    c.studentId = student;
    return c;
}

// A cell smudged grey all over: darker than paper, far lighter than a fill.
struct Smudge {
    int q = 0;
    int k = 0;
};

// A filled page: `answers` holds one letter index (1-based, 0 blank) per
// question, each filled in pen; `number` fills the grid of an anonymous page.
cv::Mat filledPage(const SheetCode& code, const std::vector<int>& answers, const char* number = nullptr,
    const std::vector<Smudge>& smudges = {})
{
    ScanMaker maker(7);
    std::vector<CellFill> fills;
    for (std::size_t q = 0; q < answers.size(); ++q)
        if (answers[q] > 0)
            fills.push_back({ int(q + 1), answers[q], 0, Fill::Pen });
    if (number)
        for (const CellFill& f : maker.studentNumber(QString::fromLatin1(number)))
            fills.push_back(f);
    cv::Mat page = ScanMaker::renderSheet({ code, QStringLiteral("Examen") }, int(kDpi));
    maker.fillCells(page, int(kDpi), code.layout.paper, fills);
    const double scale = kDpi / 25.4;
    for (const Smudge& s : smudges) {
        const QRectF cell = answerCellMm(code.layout.paper, s.q, s.k);
        cv::rectangle(page,
            cv::Rect(int(cell.left() * scale), int(cell.top() * scale), int(cell.width() * scale),
                int(cell.height() * scale)),
            cv::Scalar(140), cv::FILLED);
    }
    return page;
}

QByteArray encoded(const cv::Mat& image, const char* ext)
{
    std::vector<uchar> bytes;
    cv::imencode(ext, image, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::vector<int> pattern(int answers, int seed)
{
    std::vector<int> a(20);
    for (int q = 0; q < 20; ++q)
        a[std::size_t(q)] = q % 7 == 6 ? 0 : 1 + (q * 3 + seed) % answers;
    return a;
}

QByteArray rowOf(const QList<QByteArray>& rows, const QByteArray& start)
{
    for (const QByteArray& r : rows)
        if (r.startsWith(start))
            return r.trimmed();
    return {};
}

QList<QByteArray> csvRows(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> rows = f.readAll().split('\n');
    rows.removeAll(QByteArray());
    return rows;
}

} // namespace

class TestScanReading : public QObject {
    Q_OBJECT

private slots:
    void classFolder()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("escaneos");
        QDir().mkpath(in);
        const std::vector<int> ana = pattern(2, 0);
        const std::vector<int> luis = pattern(2, 1);
        // A roster page, the same student again, and an anonymous page with
        // a half-filled cell, as a three-page PDF; a page of another exam as
        // a photo beside them.
        const cv::Mat anaPage = filledPage(sheetCode(1, "ana.gil"), ana);
        const cv::Mat anaAgain = filledPage(sheetCode(1, "ana.gil"), luis);
        const cv::Mat anonymous = filledPage(sheetCode(1), luis, "40718253", { { 6, 2 } });
        QVERIFY(writeBytes(in + "/clase.pdf", scannedPdf({ anaPage, anaAgain, anonymous }, int(kDpi))));
        QVERIFY(writeBytes(
            in + "/otra.jpg", encoded(filledPage(sheetCode(1, "eva", QStringLiteral("0BADBEEF")), ana), ".jpg")));

        // Two anonymous pages in one TIFF, as some scanners save a batch.
        const std::vector<cv::Mat> tiffPages { filledPage(sheetCode(1), ana, "11111111"),
            filledPage(sheetCode(1), luis, "22222222") };
        QVERIFY(cv::imwritemulti((in + "/lote.tif").toStdString(), tiffPages));

        const QString out = dir.filePath("leidos");
        NotasOptions o;
        o.paperFolder = out;
        o.inputs << in;
        QString text;
        QString errors;
        QTextStream outStream(&text);
        QTextStream errStream(&errors);
        QCOMPARE(runNotas(o, outStream, errStream, false), kSomeNotGraded);

        // What each sheet holds, read back with the program's own reader.
        auto m = std::make_unique<Model>();
        m->testFileName = out + "/ana.gil.ztest";
        QCOMPARE(readTestFile(*m), ReadResult::Accepted);
        QCOMPARE(QFileInfo(m->testFileName).size(), 200 * kTestRecordSize);
        QCOMPARE(m->settings.testType, 1);
        for (int q = 1; q <= 20; ++q)
            for (int k = 1; k <= 2; ++k)
                QCOMPARE(m->answerCells.at(k, q).marked, ana[std::size_t(q - 1)] == k ? 1 : 0);
        // The cell's box is the screen sheet's, as the exam edition saves it.
        QCOMPARE(m->answerCells.at(1, 1).left, 152);
        QCOMPARE(m->answerCells.at(1, 1).top, 75);

        m->testFileName = out + "/ana.gil (2).ztest";
        QCOMPARE(readTestFile(*m), ReadResult::Accepted);
        QCOMPARE(m->answerCells.at(luis[0], 1).marked, 1);

        m->testFileName = out + "/40718253.ztest";
        QCOMPARE(readTestFile(*m), ReadResult::Accepted);
        QCOMPARE(m->answerCells.at(2, 6).marked, 0);
        QVERIFY(!QFile::exists(out + "/eva.ztest"));
        m->testFileName = out + "/22222222.ztest";
        QCOMPARE(readTestFile(*m), ReadResult::Accepted);
        QCOMPARE(m->answerCells.at(luis[0], 1).marked, 1);
        QVERIFY(QFile::exists(out + "/11111111.ztest"));
        QVERIFY(QFile::exists(out + "/revision/40718253-pregunta-6.png"));

        const QList<QByteArray> rows = csvRows(out + "/revision.csv");
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[0].startsWith("Hoja,Alumno,Pregunta,Letra,Relleno (%),Lectura,Motivo"));
        QVERIFY2(rows[1].startsWith("\"clase.pdf, página 2\",ana.gil,,,,,otra hoja del mismo alumno"), rows[1]);
        QVERIFY2(rows[1].contains("se guarda como ana.gil (2).ztest"), rows[1]);
        QVERIFY2(rows[2].startsWith("\"clase.pdf, página 3\",40718253,6,F,"), rows[2]);
        QVERIFY2(rows[2].contains(",no marcada,casilla dudosa,revision/40718253-pregunta-6.png"), rows[2]);
        QVERIFY2(rows[3].startsWith("otra.jpg,eva,,,,,es de otro examen (0BADBEEF)"), rows[3]);
    }

    // A sheet read from paper is the very file the exam edition saves after
    // the student clicks the same cells under the same settings.
    void sheetAsTheExamEditionSavesIt_data()
    {
        QTest::addColumn<int>("typeItem");
        QTest::addColumn<int>("shapeItem");
        QTest::addColumn<int>("caseItem");
        QTest::newRow("A to E, square, capitals")
            << int(command::kTest5Respuestas) << int(command::kCeldasCuadradas) << int(command::kLetraMayuscula);
        QTest::newRow("V/F, round, small letters")
            << int(command::kTestLogicaEspanol) << int(command::kCeldasRedondas) << int(command::kLetraMinuscula);
        QTest::newRow("T/F, round, capitals")
            << int(command::kTestBooleanLogic) << int(command::kCeldasRedondas) << int(command::kLetraMayuscula);
    }

    void sheetAsTheExamEditionSavesIt()
    {
        QFETCH(int, typeItem);
        QFETCH(int, shapeItem);
        QFETCH(int, caseItem);
        TestModel t;
        t.m.edition = Edition::Exam;
        for (const int item : { typeItem, shapeItem, caseItem })
            dispatchCommand(t.m, std::uint16_t(item));
        ScannedPage page;
        SheetCode code = sheetCode(t.m.settings.testType, QStringLiteral("ana"));
        code.layout.cellShape = t.m.settings.cellShape;
        code.layout.letterCase = t.m.settings.letterCase;
        page.code = code;
        const int answers = paperAnswers(code.layout.testType);
        for (int q = 1; q <= 100; q += 3) {
            const int k = 1 + q % answers;
            toggleMark(t.m, k, q);
            page.marked[std::size_t(q - 1)] |= std::uint8_t(1u << (k - 1));
        }
        QByteArray saved(kMaxWrittenRecords * kTestRecordSize, Qt::Uninitialized);
        saved.truncate(encodeTestFile(t.m, saved.data()));
        QCOMPARE(saved.size(), answers * 100 * kTestRecordSize);

        auto scratch = std::make_unique<Model>();
        QCOMPARE(scannedTestFile(page, *scratch), saved);
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const cv::Mat page = filledPage(sheetCode(0, "ana"), pattern(5, 0));
        const QByteArray png = encoded(page, ".png");
        const QByteArray pdf = scannedPdf({ page }, int(kDpi));
        QTest::newRow("truncated PDF") << "a.pdf" << pdf.left(pdf.size() / 3) << "no es un PDF o está dañado";
        QTest::newRow("not a PDF") << "b.pdf" << QByteArray("%PDF-1.4 nada más") << "no es un PDF o está dañado";
        QTest::newRow("truncated PNG") << "c.png" << png.left(png.size() / 2) << "dañada o incompleta";
        QTest::newRow("not an image") << "d.png" << QByteArray("texto") << "no es una imagen PNG, JPEG o TIFF";
        QByteArray huge = png.left(33);
        // The header of a 60000 × 60000 PNG: refused before any decoding.
        qToBigEndian<quint32>(60000, huge.data() + 16);
        qToBigEndian<quint32>(60000, huge.data() + 20);
        QTest::newRow("huge image") << "e.png" << huge << "demasiado grande";
        QTest::newRow("blank page") << "f.png" << encoded(cv::Mat(1754, 1240, CV_8UC1, cv::Scalar(255)), ".png")
                                    << "no se encuentran las cuatro marcas";
        cv::Mat letter(1754, 1240, CV_8UC1, cv::Scalar(255));
        for (int y = 200; y < 1500; y += 40)
            cv::putText(letter, "Querida familia: os escribo desde el instituto", { 100, y }, cv::FONT_HERSHEY_SIMPLEX,
                1.0, cv::Scalar(0), 2);
        QTest::newRow("a letter") << "g.png" << encoded(letter, ".png") << "no se encuentran las cuatro marcas";
        QTest::newRow("half the page cut off")
            << "h.jpg" << encoded(page(cv::Rect(0, 0, page.cols, page.rows / 2)), ".jpg")
            << "no se encuentran las cuatro marcas";
        // Another tool's sheet: marks in the corners, a code of its own.
        cv::Mat foreign = page.clone();
        const CodeMatrix other = sheetCodeMatrix("https://example.org/hoja/17");
        const QRectF square = codeRectMm(PaperSize::A4);
        const double scale = kDpi / 25.4;
        const double module = square.width() / other.size * scale;
        const cv::Point origin(int(square.left() * scale), int(square.top() * scale));
        cv::rectangle(foreign, cv::Rect(origin, cv::Size(int(square.width() * scale), int(square.height() * scale))),
            cv::Scalar(255), cv::FILLED);
        for (int y = 0; y < other.size; ++y)
            for (int x = 0; x < other.size; ++x)
                if (other.at(x, y))
                    cv::rectangle(foreign,
                        cv::Rect(origin + cv::Point(int(x * module), int(y * module)),
                            origin + cv::Point(int((x + 1) * module), int((y + 1) * module))),
                        cv::Scalar(0), cv::FILLED);
        QTest::newRow("another tool's sheet")
            << "j.png" << encoded(foreign, ".png") << "no es el de una hoja de respuestas de Zelvora";
        QTest::newRow("anonymous page without a number")
            << "i.png" << encoded(filledPage(sheetCode(0), pattern(5, 0)), ".png") << "número de alumno";
    }

    void badInput()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(writeBytes(path, bytes));
        const std::vector<ScannedPage> pages = readScans({ path }, 1);
        QCOMPARE(pages.size(), std::size_t(1));
        QVERIFY2(pages[0].problem.contains(reason), qPrintable(pages[0].problem));

        auto m = std::make_unique<Model>();
        ScanFolderResult result;
        QString error;
        QVERIFY(writeScanFolder(dir.filePath("out"), pages, *m, result, error));
        QCOMPARE(result.sheetsWritten, 0);
        QCOMPARE(result.listed, 1);
        QCOMPARE(QFile(path).size(), bytes.size());
    }

    // A class read again after a page was added: files read before and
    // unchanged since come from the cache, while the run is still settled
    // whole, in its new order.
    void unchangedFilesAreNotReadAgain()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.png");
        const QString b = dir.filePath("b.png");
        const QString c = dir.filePath("c.png");
        QVERIFY(writeBytes(a, encoded(filledPage(sheetCode(0), pattern(5, 0), "11111111"), ".png")));
        const QByteArray second = encoded(filledPage(sheetCode(0), pattern(5, 1), "22222222"), ".png");
        QVERIFY(writeBytes(b, second));
        ScanReadCache cache;
        QCOMPARE(readScans({ a }, 1, nullptr, {}, &cache).at(0).student, QStringLiteral("11111111"));

        // Junk written in place, of the same size and change time to the
        // nanosecond: only a reader that opened the file again would see it.
        struct stat was { };
        QVERIFY(::stat(QFile::encodeName(a).constData(), &was) == 0);
        QVERIFY(writeBytes(a, QByteArray(QFileInfo(a).size(), 'x')));
        const timespec times[2] { was.st_atim, was.st_mtim };
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(a).constData(), times, 0) == 0);
        int emptyCounts = 0;
        ScanReadWatch watch;
        watch.progress = [&emptyCounts](int, int total) { emptyCounts += total == 0; };
        std::vector<ScannedPage> pages = readScans({ a, b }, 1, nullptr, {}, &cache);
        QCOMPARE(pages.size(), std::size_t(2));
        QVERIFY2(pages[0].problem.isEmpty(), qPrintable(pages[0].problem));
        QCOMPARE(pages[0].student, QStringLiteral("11111111"));
        QCOMPARE(pages[1].student, QStringLiteral("22222222"));

        // The same student twice: whichever comes later is the repeat, so
        // the cache keeps pages as read, not as one run settled them.
        QVERIFY(writeBytes(c, second));
        pages = readScans({ b, c }, 1, nullptr, {}, &cache);
        QVERIFY(!pages[0].repeated && pages[1].repeated);
        // Every page from the cache: nothing read, and no count of nothing
        // for a caller to divide by.
        pages = readScans({ c, b }, 1, nullptr, watch, &cache);
        QVERIFY(!pages[0].repeated && pages[1].repeated);
        QCOMPARE(emptyCounts, 0);

        // Changed since: read again, and refused as the junk it is.
        const timespec later[2] { was.st_atim, { was.st_mtim.tv_sec + 1, was.st_mtim.tv_nsec } };
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(a).constData(), later, 0) == 0);
        pages = readScans({ a, b }, 1, nullptr, {}, &cache);
        QVERIFY(!pages[0].problem.isEmpty());
        QCOMPARE(pages[1].student, QStringLiteral("22222222"));
    }

    // A folder that cannot be made: said, and nothing read is lost track of.
    void unwritableFolder()
    {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("ocupado"), "un fichero"));
        QVERIFY(writeBytes(dir.filePath("hoja.png"), encoded(filledPage(sheetCode(0, "ana"), pattern(5, 0)), ".png")));
        NotasOptions o;
        o.paperFolder = dir.filePath("ocupado");
        o.inputs << dir.filePath("hoja.png");
        QString text;
        QString errors;
        QTextStream out(&text);
        QTextStream err(&errors);
        QCOMPARE(runNotas(o, out, err, false), kSomeNotGraded);
        QVERIFY2(errors.contains("no se puede crear la carpeta"), qPrintable(errors));
    }

    // Paper graded beside a screen sheet: the doubtful student is marked,
    // a page of another test type is refused like such a file.
    void gradesPaperBesideFiles()
    {
        QTemporaryDir dir;
        const std::vector<int> key = pattern(5, 0);
        QStringList letters;
        for (const int k : key)
            letters << (k ? QString(QChar('A' + k - 1)) : QString());
        QVERIFY(writeBytes(dir.filePath("clave.ztest"), ztestFile(0, marksFromLetters(letters))));
        QVERIFY(writeBytes(dir.filePath("pantalla.ztest"), ztestFile(0, marksFromLetters(letters))));
        // Printed from this key, and one page printed for a V/F test.
        std::vector<unsigned> keyMarks;
        for (const int k : key)
            keyMarks.push_back(k ? 1u << (k - 1) : 0u);
        const QString exam = examId(QStringLiteral("Examen"), sheetCode(0).layout, keyMarks);
        QVERIFY(writeBytes(dir.filePath("hojas.pdf"),
            scannedPdf({ filledPage(sheetCode(0, "luz", exam), key),
                filledPage(sheetCode(0, "mar", exam), key, nullptr, { { 3, 5 } }),
                filledPage(sheetCode(1, "sol", exam), pattern(2, 0)) }, int(kDpi))));

        NotasOptions o;
        o.key = dir.filePath("clave.ztest");
        o.csv = dir.filePath("notas.csv");
        o.xlsx = dir.filePath("notas.xlsx");
        o.report = dir.filePath("informe.pdf");
        o.paperFolder = dir.filePath("papel");
        o.inputs << dir.filePath("pantalla.ztest") << dir.filePath("hojas.pdf");
        QString text;
        QString errors;
        QTextStream out(&text);
        QTextStream err(&errors);
        QCOMPARE(runNotas(o, out, err, false), kSomeNotGraded);
        QVERIFY2(text.contains(QRegularExpression("luz\\.ztest +18 +0 +0 +10\\.00\\n")), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("mar\\.ztest +18 +0 +0 +10\\.00  a revisar\\n")), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("pantalla\\.ztest .*10\\.00\\n")), qPrintable(text));
        QVERIFY2(errors.contains(
                     QRegularExpression("hojas.pdf, página 3: es de otro examen .*: no se imprimió para esta clave")),
            qPrintable(errors));
        const QList<QByteArray> csv = csvRows(o.csv);
        QVERIFY(csv[0].trimmed().endsWith(",Revisión"));
        QVERIFY(rowOf(csv, "mar.ztest").endsWith(",a revisar"));
        QVERIFY(rowOf(csv, "luz.ztest").endsWith(","));

        // The workbook's strings and the report's text, read by tools of
        // their own.
        QProcess unzip;
        unzip.start(QStringLiteral("/usr/bin/python3"),
            { QStringLiteral("-c"),
                QStringLiteral("import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                               "print(''.join(z.read(n).decode() for n in z.namelist() if n.startswith('xl/')))"),
                o.xlsx });
        QVERIFY(unzip.waitForFinished(60000));
        const QString strings = QString::fromUtf8(unzip.readAllStandardOutput());
        QVERIFY2(strings.contains("Revisión") && strings.contains("a revisar"), qPrintable(strings));
        const std::unique_ptr<poppler::document> report(poppler::document::load_from_file(o.report.toStdString()));
        QVERIFY(report);
        QString reportText;
        for (int i = 0; i < report->pages(); ++i) {
            const std::unique_ptr<poppler::page> page(report->create_page(i));
            const poppler::byte_array utf8 = page->text().to_utf8();
            reportText += QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        }
        QVERIFY2(reportText.contains("mar.ztest") && reportText.contains("a revisar: 1 casillas dudosas"),
            qPrintable(reportText));
        QVERIFY(!reportText.contains("luz.ztest"));
    }
};

QTEST_MAIN(TestScanReading)
#include "tst_scanreading.moc"
