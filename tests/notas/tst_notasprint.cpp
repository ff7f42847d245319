// "Imprimir informe" through the private CUPS schedulers the print tests
// start: "main", whose default queue "zelvora" takes many copies and whose
// "rejecting" refuses jobs, and "single", which takes one copy a job.
#include <optional>

#include <cups/cups.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "notas/notaswindow.h"
#include "notas/papersheetsdialog.h"
#include "tests/grading/ztestfiles.h"
#include "tests/notas/scripteddialogs.h"
#include "tests/print/printjobs.h"

namespace {

const QString kState = QStringLiteral(ZELVORA_CUPS_STATE);

void useScheduler(const QString& name, const QString& queue)
{
    const QString dir = kState + QLatin1Char('/') + name;
    qputenv("CUPS_SERVER", QFile::encodeName(dir + QStringLiteral("/cups.sock")));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(dir + QStringLiteral("/etc")));
    qputenv("PRINTER", queue.toUtf8());
    // The library keeps the server it found first; make it look again.
    cupsSetServer(nullptr);
}

// Every job of the queue; none when the scheduler did not answer.
QList<Job> jobsOf(const QString& queue)
{
    return jobs(queue).value_or(QList<Job>());
}

// Other suites print on the same schedulers meanwhile; the report's jobs
// are told apart by their name.
const QString kJobName = QStringLiteral("Informe de la clase");

int lastReportId(const QString& queue, const QString& name = kJobName)
{
    int id = 0;
    for (const Job& job : jobsOf(queue)) {
        if (job.name == name)
            id = std::max(id, job.id);
    }
    return id;
}

std::optional<Job> finishedReportAfter(const QString& queue, int previous, const QString& name = kJobName)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (const Job& job : jobsOf(queue)) {
            if (job.name == name && job.id > previous && job.state >= IPP_JSTATE_CANCELED)
                return job;
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

} // namespace

class TestNotasPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void printReport_data();
    void printReport();
    void printPaperSheets();

private:
    QTemporaryDir dir_;
};

void TestNotasPrint::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("clase"))));
    QVERIFY(writeBytes(dir_.filePath(QStringLiteral("clave.ztest")), ztestFile(0, marksFromLetters({ "A", "B" }))));
    QVERIFY(writeBytes(dir_.filePath(QStringLiteral("clase/ana.ztest")), ztestFile(0, marksFromLetters({ "A", "C" }))));
}

void TestNotasPrint::printReport_data()
{
    QTest::addColumn<QString>("scheduler");
    QTest::addColumn<QString>("queue");
    // 0: the copies are not asked for.
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("warning");

    QTest::newRow("two copies") << QStringLiteral("main") << QStringLiteral("zelvora") << 2
                                << QStringLiteral("Informe enviado a la impresora zelvora (2 copias).") << QString();
    QTest::newRow("a queue that refuses jobs")
        << QStringLiteral("main") << QStringLiteral("rejecting") << 0 << QString()
        << QStringLiteral("No hay ninguna impresora predeterminada que acepte trabajos.");
    QTest::newRow("more copies than the queue allows")
        << QStringLiteral("single") << QStringLiteral("zelvora") << 3 << QString()
        << QStringLiteral("No se ha impreso el informe. La impresora zelvora imprime una sola copia por trabajo.");
}

void TestNotasPrint::printReport()
{
    QFETCH(QString, scheduler);
    QFETCH(QString, queue);
    QFETCH(int, copies);
    QFETCH(QString, notice);
    QFETCH(QString, warning);

    useScheduler(scheduler, queue);
    const int previous = lastReportId(queue);
    ScriptedDialogs dialogs;
    if (copies > 0)
        dialogs.copies = { copies };
    NotasWindow window(dialogs, dir_.filePath(QStringLiteral("notas.ini")));
    window.setKey(dir_.filePath(QStringLiteral("clave.ztest")));
    window.addInputs({ dir_.filePath(QStringLiteral("clase")) });
    QVERIFY(QTest::qWaitFor([&window] { return !window.grading(); }, 60000));

    window.printReport();
    QCOMPARE(dialogs.notices, notice.isEmpty() ? QStringList() : QStringList { notice });
    QCOMPARE(dialogs.warnings, warning.isEmpty() ? QStringList() : QStringList { warning });
    if (notice.isEmpty()) {
        QCOMPARE(lastReportId(queue), previous);
        return;
    }
    QCOMPARE(dialogs.printers, QStringList { queue });
    const std::optional<Job> job = finishedReportAfter(queue, previous);
    QVERIFY(job);
    QCOMPARE(job->state, int(IPP_JSTATE_COMPLETED));
    QCOMPARE(job->copies, copies);
}

// The sheets of the paper dialog go out as one job named by their title, in
// the copies asked for.
void TestNotasPrint::printPaperSheets()
{
    useScheduler(QStringLiteral("main"), QStringLiteral("zelvora"));
    const QString title = QStringLiteral("Hojas del examen de física");
    const int previous = lastReportId(QStringLiteral("zelvora"), title);
    ScriptedDialogs dialogs;
    dialogs.copies = { 2 };
    PaperSheetsDialog dialog(dialogs, dir_.filePath(QStringLiteral("clave.ztest")), dir_.path());
    dialog.setTitle(title);
    dialog.setCopies(3);
    QVERIFY(dialog.printSheets());
    QCOMPARE(dialogs.warnings, QStringList());
    QCOMPARE(dialogs.notices.size(), 1);
    QVERIFY2(
        dialogs.notices.front().startsWith(QStringLiteral("Hojas enviadas a la impresora zelvora (2 copias): 3 hojas")),
        qPrintable(dialogs.notices.front()));
    const std::optional<Job> job = finishedReportAfter(QStringLiteral("zelvora"), previous, title);
    QVERIFY(job);
    QCOMPARE(job->state, int(IPP_JSTATE_COMPLETED));
    QCOMPARE(job->copies, 2);
}

QTEST_MAIN(TestNotasPrint)
#include "tst_notasprint.moc"
