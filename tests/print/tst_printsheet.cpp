#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

#include <sys/types.h>

#include <cups/cups.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "platform/interaction.h"
#include "print/printsetup.h"
#include "print/printsheet.h"
#include "sheet/layout.h"
#include "sheet/model.h"
#include "tests/print/printjobs.h"
#include "tests/support/testmodel.h"
#include "view/viewcontrol.h"

// Prints through private CUPS schedulers started by the test fixture:
// "main" allows many copies, "single" one. Both have the default printer
// "zelvora", a colour PDF queue whose default paper is A4 with the printable
// area (20, 20)-(575, 742) points, measured from the top left. "main" also
// has "letter" (US Letter, printable (36, 54)-(594, 774)), "twocopies"
// (two copies by default), "rejecting" (refuses jobs), "plain" (a grey
// printer that lists no colour and no quality choices) and "broken". "silent"
// takes connections and never answers; "broken" passes everything on to
// "main" but cuts the connection that carries a job's document.

namespace {

const QString kState = QStringLiteral(ZELVORA_CUPS_STATE);
// Poppler smooths an image that it enlarges less than four times and
// repeats its pixels from there on; only the latter shows the printed
// pixels as they are.
constexpr int kRenderDpi = 480;
const QString kDefaultQueue = QStringLiteral("zelvora");

void useScheduler(const QString& name, const QString& queue = QString())
{
    const QString dir = kState + QLatin1Char('/') + name;
    qputenv("CUPS_SERVER", QFile::encodeName(dir + QStringLiteral("/cups.sock")));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(dir + QStringLiteral("/etc")));
    // PRINTER names the user's default printer.
    if (queue.isEmpty())
        qunsetenv("PRINTER");
    else
        qputenv("PRINTER", queue.toUtf8());
    // The library keeps the server it found first; make it look again.
    cupsSetServer(nullptr);
}

QString outputFile(const QString& scheduler, const QString& queue)
{
    return kState + QLatin1Char('/') + scheduler + QStringLiteral("/out/")
        + (queue == kDefaultQueue ? QStringLiteral("job") : queue) + QStringLiteral(".pdf");
}

std::optional<int> lastJobId(const QString& queue)
{
    const auto all = jobs(queue);
    if (!all)
        return std::nullopt;
    int id = 0;
    for (const Job& job : *all)
        id = std::max(id, job.id);
    return id;
}

// The jobs after `previous`, once the scheduler has finished with `count`
// of them; fewer when it has not by then.
QList<Job> finishedJobsAfter(const QString& queue, int previous, qsizetype count)
{
    QDeadlineTimer deadline(30000);
    QList<Job> finished;
    while (!deadline.hasExpired()) {
        finished.clear();
        for (const Job& job : jobs(queue).value_or(QList<Job>())) {
            if (job.id > previous && job.state >= IPP_JSTATE_CANCELED)
                finished.append(job);
        }
        if (finished.size() >= count)
            break;
        QThread::msleep(100);
    }
    std::sort(finished.begin(), finished.end(), [](const Job& a, const Job& b) { return a.id < b.id; });
    return finished;
}

// The first job after `previous`, once the scheduler has finished with it.
std::optional<Job> finishedJobAfter(const QString& queue, int previous)
{
    const QList<Job> finished = finishedJobsAfter(queue, previous, 1);
    return finished.isEmpty() ? std::nullopt : std::optional<Job>(finished.first());
}

// Holds a private scheduler still, as a machine too busy to answer would,
// and lets it go on after `milliseconds`; the guard's end waits for that.
class SchedulerPause {
public:
    SchedulerPause(const QString& name, int milliseconds)
    {
        QFile file(kState + QLatin1Char('/') + name + QStringLiteral("/cupsd.pid"));
        if (!file.open(QIODevice::ReadOnly))
            return;
        pid_ = pid_t(file.readAll().trimmed().toInt());
        if (pid_ <= 0 || ::kill(pid_, SIGSTOP) != 0) {
            pid_ = 0;
            return;
        }
        resume_ = std::thread([pid = pid_, milliseconds] {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
            ::kill(pid, SIGCONT);
        });
    }
    ~SchedulerPause()
    {
        if (resume_.joinable())
            resume_.join();
    }
    SchedulerPause(const SchedulerPause&) = delete;
    SchedulerPause& operator=(const SchedulerPause&) = delete;
    bool paused() const { return pid_ > 0; }

private:
    pid_t pid_ = 0;
    std::thread resume_;
};

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfo(const QString& pdf, const QString& field)
{
    for (const QString& line : run(QStringLiteral("pdfinfo"), { pdf }).split(QLatin1Char('\n'))) {
        if (line.startsWith(field + QLatin1Char(':')))
            return line.mid(field.size() + 1).trimmed();
    }
    return {};
}

// The images the PDF carries, as stored in it.
QList<QImage> embeddedImages(const QString& pdf, const QString& folder)
{
    const QString prefix = folder + QStringLiteral("/image");
    run(QStringLiteral("pdfimages"), { QStringLiteral("-png"), pdf, prefix });
    QList<QImage> images;
    for (int i = 0;; ++i) {
        const QImage image(prefix + QStringLiteral("-%1.png").arg(i, 3, 10, QLatin1Char('0')));
        if (image.isNull())
            return images;
        images.append(image.convertToFormat(QImage::Format_RGB32));
    }
}

// The part `area` (in device pixels) of the rendered page.
QImage renderPage(const QString& pdf, const QString& folder, const QRect& area)
{
    const QString prefix = folder + QStringLiteral("/page");
    run(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QString::number(kRenderDpi), QStringLiteral("-x"), QString::number(area.x()),
            QStringLiteral("-y"), QString::number(area.y()), QStringLiteral("-W"), QString::number(area.width()),
            QStringLiteral("-H"), QString::number(area.height()), QStringLiteral("-singlefile"), pdf, prefix });
    return QImage(prefix + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
}

QString firstDifference(const QImage& expected, const QImage& actual)
{
    if (expected.size() != actual.size())
        return QStringLiteral("size %1x%2").arg(actual.width()).arg(actual.height());
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (expected.pixel(x, y) != actual.pixel(x, y))
                return QStringLiteral("(%1, %2): %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(actual.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                    .arg(expected.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'));
        }
    }
    return {};
}

void markCorners(Model& m)
{
    // Red in 0x00BBGGRR.
    m.answerCells.at(1, 1).marked = 1;
    m.answerCells.at(1, 1).markColor = 0x0000FF;
    m.answerCells.at(5, 100).marked = 1;
    m.answerCells.at(5, 100).markColor = 0x0000FF;
}

bool framedAtTop(const Model& m)
{
    return pageRecord(m).originY == 0 && m.sheetBitmap.pixel(0, 0) == 0xFF000000
        && m.sheetBitmap.pixel(kSheetWidth - 1, kSheetHeight - 1) == 0xFF000000
        && m.viewControl->shownImage().pixel(0, 0) == 0xFF000000;
}

} // namespace

class TestPrintSheet : public QObject {
    Q_OBJECT
private slots:
    void init();
    void settingsReachTheJob_data();
    void settingsReachTheJob();
    void pageIsTheSheetOnTheDefaultPaper_data();
    void pageIsTheSheetOnTheDefaultPaper();
    void noPrintsNothing();
    void unavailablePrinter_data();
    void unavailablePrinter();
    void busySchedulerKeepsTheChoices_data();
    void busySchedulerKeepsTheChoices();
    void documentLostIsTold();
};

void TestPrintSheet::init()
{
    qunsetenv("LPDEST");
    useScheduler(QStringLiteral("main"));
}

void TestPrintSheet::settingsReachTheJob_data()
{
    QTest::addColumn<QString>("scheduler");
    QTest::addColumn<QString>("queue");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("jobCopies");
    QTest::addColumn<QString>("jobColorMode");
    QTest::addColumn<int>("jobQuality");

    const QString main = QStringLiteral("main");
    const QString twoCopies = QStringLiteral("twocopies");
    // An attribute that was not sent is missing from the job (0 or empty
    // here) or shows the queue's own default, which then applies.
    QTest::newRow("three copies, colour, high")
        << main << kDefaultQueue << 3 << 2 << 4 << 3 << QStringLiteral("color") << 5;
    QTest::newRow("nothing chosen") << main << kDefaultQueue << 0 << 0 << 0 << 0 << QString() << 0;
    QTest::newRow("one copy, mono, draft")
        << main << kDefaultQueue << 1 << 1 << 1 << 1 << QStringLiteral("monochrome") << 3;
    QTest::newRow("low is draft") << main << kDefaultQueue << 10 << 0 << 2 << 10 << QString() << 3;
    QTest::newRow("medium is normal") << main << kDefaultQueue << 2 << 2 << 3 << 2 << QStringLiteral("color") << 4;
    QTest::newRow("above the copy limit")
        << QStringLiteral("single") << kDefaultQueue << 10 << 2 << 4 << 0 << QStringLiteral("color") << 5;
    QTest::newRow("one copy where two is the default") << main << twoCopies << 1 << 0 << 0 << 1 << QString() << 0;
    QTest::newRow("nothing chosen where two is the default") << main << twoCopies << 0 << 0 << 0 << 2 << QString() << 0;
    // What the queue cannot do goes out all the same, for the scheduler to
    // put its nearest value in place; left out, the job would silently take
    // the queue's defaults.
    QTest::newRow("colour and high on a grey printer without presets")
        << main << QStringLiteral("plain") << 2 << 2 << 4 << 2 << QStringLiteral("color") << 5;
}

void TestPrintSheet::settingsReachTheJob()
{
    QFETCH(QString, scheduler);
    QFETCH(QString, queue);
    QFETCH(int, copies);
    QFETCH(int, colorMode);
    QFETCH(int, quality);

    useScheduler(scheduler, queue);
    QFile::remove(outputFile(scheduler, queue));
    TestModel t;
    t.m.print = { copies, colorMode, quality };
    t.ui.replies.push_back(Reply::Yes);
    const auto previous = lastJobId(queue);
    QVERIFY2(previous, "the scheduler does not list its jobs");
    printSheet(t.m);

    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    const auto job = finishedJobAfter(queue, *previous);
    QVERIFY2(job, "the job never finished");
    QCOMPARE(job->state, int(IPP_JSTATE_COMPLETED));
    QCOMPARE(job->name, QStringLiteral("Print Job"));
    QTEST(job->copies, "jobCopies");
    QTEST(job->colorMode, "jobColorMode");
    QTEST(job->quality, "jobQuality");
    QVERIFY(framedAtTop(t.m));
}

void TestPrintSheet::pageIsTheSheetOnTheDefaultPaper_data()
{
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QString>("pageSize");
    QTest::addColumn<QRectF>("printable");

    QTest::newRow("A4") << kDefaultQueue << QStringLiteral("595 x 842 pts (A4)") << QRectF(20, 20, 555, 722);
    QTest::newRow("US Letter, A4 also offered")
        << QStringLiteral("letter") << QStringLiteral("612 x 792 pts (letter)") << QRectF(36, 54, 558, 720);
}

void TestPrintSheet::pageIsTheSheetOnTheDefaultPaper()
{
    QFETCH(QString, queue);
    QFETCH(QRectF, printable);

    useScheduler(QStringLiteral("main"), queue);
    TestModel t;
    // Pure blue text, red marks: colours a lossy or smoothing copy shifts.
    t.m.settings.textColor = 0xFF0000;
    markCorners(t.m);
    buildSheet(t.m, 0);
    const QImage sheet = t.m.sheetBitmap.convertToFormat(QImage::Format_RGB32);

    const QString pdf = outputFile(QStringLiteral("main"), queue);
    QFile::remove(pdf);
    t.ui.replies.push_back(Reply::Yes);
    const auto previous = lastJobId(queue);
    QVERIFY2(previous, "the scheduler does not list its jobs");
    printSheet(t.m);
    const auto job = finishedJobAfter(queue, *previous);
    QVERIFY2(job && job->state == IPP_JSTATE_COMPLETED, "the job did not complete");
    QVERIFY(framedAtTop(t.m));

    QCOMPARE(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
    QTEST(pdfInfo(pdf, QStringLiteral("Page size")), "pageSize");

    // The PDF carries the frameless sheet, every pixel as it is.
    QTemporaryDir folder;
    const QList<QImage> images = embeddedImages(pdf, folder.path());
    QCOMPARE(images.size(), 1);
    const QString stored = firstDifference(sheet, images.first());
    QVERIFY2(stored.isEmpty(), qPrintable(stored));

    // On the rendered page, the middle of every sheet pixel's stretched
    // place shows that pixel's colour: the two axes are scaled on their own
    // onto exactly the printable area, and nothing is blended.
    const double dots = kRenderDpi / 72.0;
    const QRect area = QRectF(printable.topLeft() * dots, printable.size() * dots).toAlignedRect();
    const QImage page = renderPage(pdf, folder.path(), area);
    QCOMPARE(page.size(), area.size());
    const double sx = printable.width() * dots / kSheetWidth;
    const double sy = printable.height() * dots / kSheetHeight;
    const double ox = printable.left() * dots - area.left();
    const double oy = printable.top() * dots - area.top();
    QImage sampled(sheet.size(), QImage::Format_RGB32);
    for (int y = 0; y < kSheetHeight; ++y) {
        const int py = int(oy + (y + 0.5) * sy);
        for (int x = 0; x < kSheetWidth; ++x)
            sampled.setPixel(x, y, page.pixel(int(ox + (x + 0.5) * sx), py));
    }
    const QString printed = firstDifference(sheet, sampled);
    QVERIFY2(printed.isEmpty(), qPrintable(printed));
}

void TestPrintSheet::noPrintsNothing()
{
    TestModel t;
    pageRecord(t.m).originY = -561;
    t.ui.replies.push_back(Reply::No);
    const auto previous = lastJobId(kDefaultQueue);
    QVERIFY2(previous, "the scheduler does not list its jobs");
    printSheet(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    QCOMPARE(t.ui.messages[0].text, QStringLiteral("Imprimir ?\r\nSi/No ?"));
    QCOMPARE(t.ui.messages[0].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[0].buttons, Buttons::YesNo);
    QVERIFY(framedAtTop(t.m));
    QCOMPARE(lastJobId(kDefaultQueue), previous);
}

void TestPrintSheet::unavailablePrinter_data()
{
    QTest::addColumn<QString>("scheduler");
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QString>("printerName");

    QTest::newRow("reachable") << QStringLiteral("main") << QString() << kDefaultQueue;
    QTest::newRow("no scheduler") << QStringLiteral("absent") << QString() << QString();
    QTest::newRow("refusing jobs") << QStringLiteral("main") << QStringLiteral("rejecting") << QString();
    QTest::newRow("never answering") << QStringLiteral("silent") << QString() << QString();
}

// The set-up dialog names only a printer that can be attached, and printing
// on one that cannot shows Err: 68, sends nothing and puts the framed sheet
// back. Neither may wait on a silent scheduler for long: the suite's
// function timeout (CMakeLists.txt) ends a row that hangs.
void TestPrintSheet::unavailablePrinter()
{
    QFETCH(QString, scheduler);
    QFETCH(QString, queue);
    QFETCH(QString, printerName);

    useScheduler(scheduler, queue);
    TestModel t;
    t.ui.printAnswers.push_back({ false, {} });
    printSetupDialog(t.m);
    QCOMPARE(t.ui.printRequests.size(), std::size_t(1));
    QCOMPARE(t.ui.printRequests[0].printerName, printerName);
    QVERIFY(t.ui.messages.empty());
    if (!printerName.isEmpty())
        return;

    const bool queryable = scheduler == QStringLiteral("main");
    const auto previous = queryable ? lastJobId(queue) : std::nullopt;
    if (queryable)
        QVERIFY2(previous, "the scheduler does not list its jobs");
    t.ui.replies.push_back(Reply::Yes);
    printSheet(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(2));
    QCOMPARE(t.ui.messages[1].text, QStringLiteral("Err: 68 Device unavailable"));
    QCOMPARE(t.ui.messages[1].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[1].buttons, Buttons::Ok);
    QVERIFY(framedAtTop(t.m));
    if (queryable)
        QCOMPARE(lastJobId(queue), previous);
}

void TestPrintSheet::busySchedulerKeepsTheChoices_data()
{
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QStringList>("colorModes");
    QTest::addColumn<QStringList>("qualities");
    QTest::addColumn<QList<int>>("jobCopies");
    QTest::addColumn<QStringList>("jobColorModes");
    QTest::addColumn<QList<int>>("jobQualities");

    const QString one = QStringLiteral("01 copia");
    const QString mono = QStringLiteral("1 - Monocromo");
    const QString monochrome = QStringLiteral("monochrome");
    QTest::newRow("four in a row, every quality")
        << QStringList { one, one, one, one } << QStringList { mono, mono, mono, mono }
        << QStringList { QStringLiteral("1 - Borrador"), QStringLiteral("2 - Baja Resolución"),
               QStringLiteral("3 - Media Resolución"), QStringLiteral("4 - Alta Resolución") }
        << QList<int> { 1, 1, 1, 1 } << QStringList { monochrome, monochrome, monochrome, monochrome }
        << QList<int> { 3, 3, 4, 5 };
    QTest::newRow("two grey copies, then five in colour")
        << QStringList { QStringLiteral("02 copias"), QStringLiteral("05 copias") }
        << QStringList { mono, QStringLiteral("2 - Color") } << QStringList { QString(), QString() }
        << QList<int> { 2, 5 } << QStringList { monochrome, QStringLiteral("color") } << QList<int> { 0, 0 };
}

// Prints in quick succession while the scheduler is still working on the
// jobs before, and is held still between the set-up dialog and each job:
// every job arrives with what was chosen for it.
void TestPrintSheet::busySchedulerKeepsTheChoices()
{
    QFETCH(QStringList, copies);
    QFETCH(QStringList, colorModes);
    QFETCH(QStringList, qualities);
    QFETCH(QList<int>, jobCopies);
    QFETCH(QStringList, jobColorModes);
    QFETCH(QList<int>, jobQualities);

    const auto previous = lastJobId(kDefaultQueue);
    QVERIFY2(previous, "the scheduler does not list its jobs");
    TestModel t;
    for (qsizetype i = 0; i < copies.size(); ++i) {
        t.ui.printAnswers.push_back({ true, { copies[i], colorModes[i], qualities[i] } });
        printSetupDialog(t.m);
        // Well within the wait for one exchange, so the job goes out once
        // the scheduler moves again.
        SchedulerPause pause(QStringLiteral("main"), 1500);
        QVERIFY(pause.paused());
        t.ui.replies.push_back(Reply::Yes);
        printSheet(t.m);
    }
    // Only the confirmations: nothing failed.
    QCOMPARE(t.ui.messages.size(), std::size_t(copies.size()));

    const QList<Job> finished = finishedJobsAfter(kDefaultQueue, *previous, copies.size());
    QCOMPARE(finished.size(), copies.size());
    for (qsizetype i = 0; i < finished.size(); ++i) {
        const QByteArray which = "job " + QByteArray::number(i + 1);
        QVERIFY2(finished[i].state == IPP_JSTATE_COMPLETED, which.constData());
        QVERIFY2(finished[i].copies == jobCopies[i], (which + " copies").constData());
        QVERIFY2(finished[i].colorMode == jobColorModes[i], (which + " colour mode").constData());
        QVERIFY2(finished[i].quality == jobQualities[i], (which + " quality").constData());
    }
}

// The job is made, then the connection that carries its page breaks: the
// job is cancelled, nothing prints, and the user is told instead of being
// left to think it printed.
void TestPrintSheet::documentLostIsTold()
{
    const QString queue = QStringLiteral("broken");
    useScheduler(queue, queue);
    const QString output = outputFile(QStringLiteral("main"), queue);
    QFile::remove(output);
    const auto previous = lastJobId(queue);
    QVERIFY2(previous, "the scheduler does not list its jobs");

    TestModel t;
    t.m.print = { 2, 1, 4 };
    pageRecord(t.m).originY = -561;
    t.ui.replies.push_back(Reply::Yes);
    printSheet(t.m);

    QCOMPARE(t.ui.messages.size(), std::size_t(2));
    QCOMPARE(t.ui.messages[1].text, QStringLiteral("Err: 57 Device I/O error"));
    QCOMPARE(t.ui.messages[1].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[1].buttons, Buttons::Ok);
    QVERIFY(framedAtTop(t.m));

    const auto job = finishedJobAfter(queue, *previous);
    QVERIFY2(job, "the job was neither cancelled nor finished");
    QCOMPARE(job->state, int(IPP_JSTATE_CANCELED));
    QVERIFY(!QFile::exists(output));
}

QTEST_MAIN(TestPrintSheet)
#include "tst_printsheet.moc"
