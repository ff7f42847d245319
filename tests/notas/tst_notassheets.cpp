// The window's paper sheets dialog: the PDF it saves is the one
// `--papel` writes, and a refused list or an unwritable file is told and
// leaves the previous PDF whole.
#include <memory>

#include <poppler/cpp/poppler-document.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "notas/papersheetsdialog.h"
#include "tests/grading/ztestfiles.h"
#include "tests/notas/dialogcontrols.h"
#include "tests/notas/scripteddialogs.h"

namespace {

int pdfPages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(bytes.constData(), int(bytes.size())));
    return doc ? doc->pages() : -1;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestNotasSheets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void savesRosterAndAnonymousPages();
    void refusalKeepsThePreviousPdf_data();
    void refusalKeepsThePreviousPdf();
    void keyboardAndScreenReader();

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

void TestNotasSheets::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY(writeBytes(path(QStringLiteral("clave.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "C" }))));
    QVERIFY(writeBytes(path(QStringLiteral("alumnos.csv")), "id;nombre\n1;Ana Pérez\n2;Luis Gómez\n"));
    QVERIFY(writeBytes(path(QStringLiteral("mala.csv")), "id;nombre\n1;Ana\n2;\"Luis\n"));
}

void TestNotasSheets::savesRosterAndAnonymousPages()
{
    ScriptedDialogs dialogs;
    const QString pdf = path(QStringLiteral("hojas.pdf"));
    dialogs.files = { path(QStringLiteral("alumnos.csv")), pdf };
    PaperSheetsDialog dialog(dialogs, path(QStringLiteral("clave.ztest")), dir_.path());
    dialog.setTitle(QStringLiteral("Física"));
    dialog.chooseRoster();
    dialog.setCopies(1);
    dialog.setLetterPaper(true);
    QVERIFY(dialog.savePdf());
    QCOMPARE(dialogs.warnings, QStringList());
    QCOMPARE(dialogs.notices.size(), 1);
    QVERIFY2(dialogs.notices.front().contains(QStringLiteral("3 hojas (2 de la lista y 1 anónimas)")),
        qPrintable(dialogs.notices.front()));
    QVERIFY2(dialogs.notices.front().contains(QStringLiteral("3 preguntas")), qPrintable(dialogs.notices.front()));
    QCOMPARE(pdfPages(pdf), 3);
    QCOMPARE(dialog.folder(), dir_.path());
}

void TestNotasSheets::refusalKeepsThePreviousPdf_data()
{
    QTest::addColumn<QString>("roster");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("warning");

    QTest::newRow("list with an open quote")
        << QStringLiteral("mala.csv") << 0 << QStringLiteral("previo.pdf") << QStringLiteral("línea 3");
    QTest::newRow("list that does not exist")
        << QStringLiteral("no-existe.csv") << 0 << QStringLiteral("previo.pdf") << QStringLiteral("no-existe.csv");
    QTest::newRow("folder that cannot be made")
        << QString() << 2 << QStringLiteral("alumnos.csv/hojas.pdf") << QStringLiteral("No se puede escribir");
    QTest::newRow("over the list it reads") << QStringLiteral("alumnos.csv") << 0 << QStringLiteral("alumnos.csv")
                                            << QStringLiteral("no se escribe encima");
}

void TestNotasSheets::refusalKeepsThePreviousPdf()
{
    QFETCH(QString, roster);
    QFETCH(int, copies);
    QFETCH(QString, target);
    QFETCH(QString, warning);

    const QByteArray previous = "%PDF-1.4 the previous run\n";
    QVERIFY(writeBytes(path(QStringLiteral("previo.pdf")), previous));
    const QByteArray list = contents(path(QStringLiteral("alumnos.csv")));
    ScriptedDialogs dialogs;
    dialogs.files = { path(target) };
    PaperSheetsDialog dialog(dialogs, path(QStringLiteral("clave.ztest")), dir_.path());
    if (!roster.isEmpty())
        dialog.setRoster(path(roster));
    dialog.setCopies(copies);
    QVERIFY(!dialog.savePdf());
    QCOMPARE(dialogs.notices, QStringList());
    QCOMPARE(dialogs.warnings.size(), 1);
    QVERIFY2(dialogs.warnings.front().contains(warning), qPrintable(dialogs.warnings.front()));
    QCOMPARE(contents(path(QStringLiteral("previo.pdf"))), previous);
    QCOMPARE(contents(path(QStringLiteral("alumnos.csv"))), list);
}

void TestNotasSheets::keyboardAndScreenReader()
{
    ScriptedDialogs dialogs;
    PaperSheetsDialog dialog(dialogs, path(QStringLiteral("clave.ztest")), dir_.path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QStringList faults = dialogControlFaults(dialog);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

QTEST_MAIN(TestNotasSheets)
#include "tst_notassheets.moc"
