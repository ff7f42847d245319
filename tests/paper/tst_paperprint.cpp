// zelvora-notas --papel as a teacher runs it: the built program, its exit
// statuses and messages, and the pages it writes read back by Poppler and
// the QR library's own reader.

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "paper/sheetcode.h"
#include "tests/grading/ztestfiles.h"
#include "tests/support/notasprocess.h"
#include "tests/support/pdfpages.h"
#include "tests/support/qrread.h"

namespace {

using Run = NotasRun;

// Sets the cell shape and letter case that every record of a test file
// carries.
QByteArray withLook(QByteArray file, int shape, int letterCase)
{
    for (qsizetype at = 0; at + 32 <= file.size(); at += 32) {
        file[at + 20] = char(shape);
        file[at + 24] = char(letterCase);
    }
    return file;
}

} // namespace

class TestPaperPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatuses_data();
    void exitStatuses();
    void pagesFollowTheKeyAndTheList();

private:
    Run notas(const QStringList& arguments);
    QString path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    QStringList keyAnswers_;
};

// A Spanish logic key that answers up to question 37, round cells and
// small letters; a list of two students.
void TestPaperPrint::initTestCase()
{
    QVERIFY(dir_.isValid());
    keyAnswers_ = QStringList(37, QString());
    keyAnswers_[0] = QStringLiteral("V");
    keyAnswers_[5] = QStringLiteral("F");
    keyAnswers_[36] = QStringLiteral("VF");
    QVERIFY(writeBytes(path(QStringLiteral("logica.ztest")),
        withLook(ztestFile(1, marksFromLetters(keyAnswers_, QStringLiteral("VF")), 2), 1, 0)));
    QVERIFY(writeBytes(path(QStringLiteral("vacia.ztest")), ztestFile(0, {})));
    QVERIFY(writeBytes(path(QStringLiteral("alumnos.csv")),
        QByteArray("\xEF\xBB\xBFnombre;id\r\n\"Núñez, Begoña\";a1\r\nLuis Gil;b2\r\n")));
    QVERIFY(writeBytes(path(QStringLiteral("mala.csv")), QByteArray("id,nombre\n1,Ana\n1,Eva\n")));
}

Run TestPaperPrint::notas(const QStringList& arguments)
{
    return runNotasProcess(QStringLiteral(NOTAS_EXE), dir_.path(), arguments, 60000);
}

void TestPaperPrint::exitStatuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("anonymous sheets") << QStringList { "--papel", "a.pdf", "--copias", "3" } << 0
                                      << QStringLiteral("a.pdf: 3 hojas, examen ") << QString();
    QTest::newRow("the list with a key") << QStringList { "--papel=b.pdf", "--clave", "logica.ztest", "--lista",
        "alumnos.csv" } << 0 << QStringLiteral("b.pdf: 2 hojas, examen")
                                         << QString();
    QTest::newRow("neither list nor copies") << QStringList { "--papel", "c.pdf", "--tipo", "1" } << 2 << QString()
                                             << QStringLiteral("--papel necesita la lista de la clase");
    QTest::newRow("copies 0") << QStringList { "--papel", "c.pdf", "--copias", "0" } << 2 << QString()
                              << QStringLiteral("--copias espera un número entero de 1 a 2000, no «0»");
    QTest::newRow("test type 3") << QStringList { "--papel", "c.pdf", "--copias", "1", "--tipo", "3" } << 2 << QString()
                                 << QStringLiteral("--tipo espera 0 (A a E), 1 (V y F) o 2 (T y F)");
    QTest::newRow("paper A5") << QStringList { "--papel", "c.pdf", "--copias", "1", "--tamano", "A5" } << 2 << QString()
                              << QStringLiteral("--tamano espera A4 o carta, no «A5»");
    QTest::newRow("empty title") << QStringList { "--papel", "c.pdf", "--copias", "1", "--titulo=" } << 2 << QString()
                                 << QStringLiteral("--titulo no puede estar vacío");
    QTest::newRow("a list without --papel") << QStringList { "--clave", "logica.ztest", "--lista", "alumnos.csv", "." }
                                            << 2 << QString() << QStringLiteral("--lista solo se usa con --papel");
    QTest::newRow("files to grade with --papel") << QStringList { "--papel", "c.pdf", "--copias", "1",
        "clase" } << 2 << QString() << QStringLiteral("--papel escribe hojas y no califica: sobra «clase»");
    QTest::newRow("grading output with --papel") << QStringList { "--papel", "c.pdf", "--copias", "1", "--csv",
        "x.csv" } << 2 << QString() << QStringLiteral("--csv no se usa con --papel");
    QTest::newRow("type against the key")
        << QStringList { "--papel", "c.pdf", "--clave", "logica.ztest", "--tipo", "2", "--copias", "1" } << 2
        << QString() << QStringLiteral("--tipo 2 no es el tipo de la clave logica.ztest (1)");
    QTest::newRow("key without answers") << QStringList { "--papel", "c.pdf", "--clave", "vacia.ztest", "--copias",
        "1" } << 2 << QString() << QStringLiteral("la clave vacia.ztest no se puede usar: no marca ninguna respuesta");
    QTest::newRow("missing list") << QStringList { "--papel", "c.pdf", "--lista", "nada.csv" } << 2 << QString()
                                  << QStringLiteral("la lista nada.csv no se puede usar: no se puede leer");
    QTest::newRow("malformed list") << QStringList { "--papel", "c.pdf", "--lista", "mala.csv" } << 2 << QString()
                                    << QStringLiteral("la lista mala.csv no se puede usar: línea 3: el id «1» ya está");
    QTest::newRow("output over the list") << QStringList { "--papel", "alumnos.csv", "--lista",
        "alumnos.csv" } << 2 << QString() << QStringLiteral("alumnos.csv es uno de los ficheros que se leen");
    QTest::newRow("output that cannot be written") << QStringList { "--papel", "no/hay/carpeta.pdf", "--copias",
        "1" } << 1 << QString() << QStringLiteral("no se puede escribir no/hay/carpeta.pdf");
    QTest::newRow("help") << QStringList { "--help" } << 0 << QStringLiteral("--papel FICHERO.pdf") << QString();
}

void TestPaperPrint::exitStatuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = notas(arguments);
    QTEST(run.status, "status");
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    if (err.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
}

// The list's students first, in its order, then the anonymous pages; every
// page on Letter paper with the key's layout, up to its last question.
void TestPaperPrint::pagesFollowTheKeyAndTheList()
{
    const Run run = notas({ "--papel", "clase.pdf", "--clave", "logica.ztest", "--lista", "alumnos.csv", "--copias",
        "2", "--titulo", "Lógica 1º", "--tamano", "carta" });
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(QStringLiteral("4 hojas (2 de la lista y 2 anónimas)")), qPrintable(run.out));
    QFile file(path(QStringLiteral("clase.pdf")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QCOMPARE(pdfPageCount(pdf), 4);

    const SheetLayout layout { 1, 1, 0, 37, PaperSize::Letter };
    std::vector<unsigned> marked(37, 0);
    marked[0] = 1;
    marked[5] = 2;
    marked[36] = 3;
    const QString exam = examId(QStringLiteral("Lógica 1º"), layout, marked);
    const QList<std::pair<QString, QString>> students {
        { QStringLiteral("a1"), QStringLiteral("Núñez, Begoña") },
        { QStringLiteral("b2"), QStringLiteral("Luis Gil") },
        { QString(), QString() },
        { QString(), QString() },
    };
    for (int page = 0; page < 4; ++page) {
        const QSizeF size = pdfPageSizePt(pdf, page);
        QVERIFY(std::abs(size.width() - 612) < 0.5 && std::abs(size.height() - 792) < 0.5);
        QString reason;
        const std::optional<SheetCode> code = decodeSheetCode(readQrPayload(renderPdfPage(pdf, page, 150)), reason);
        QVERIFY2(code, qPrintable(reason));
        const SheetCode expected { exam, layout, page + 1, students[page].first, students[page].second };
        QCOMPARE(*code, expected);
    }
}

QTEST_MAIN(TestPaperPrint)
#include "tst_paperprint.moc"
