#include <cups/cups.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
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
#include "tests/support/testmodel.h"
#include "view/viewcontrol.h"

// Prints through private CUPS schedulers started by the test fixture:
// "main" allows many copies, "single" one. Both have the default printer
// "zelvora", a colour PDF queue whose default paper is A4 with the printable
// area (20, 20)-(575, 742) points, measured from the top left. "main" also
// has "letter" (US Letter, printable (36, 54)-(594, 774)), "twocopies"
// (two copies by default) and "rejecting" (refuses jobs). "silent" takes
// connections and never answers.

namespace {

const QString kState = QStringLiteral(ZELVORA_CUPS_STATE);
// Poppler smooths an image that it enlarges less than four times and
// repeats its pixels from there on; only the latter shows the printed
// pixels as they are.
constexpr int kRenderDpi = 480;
const QString kDefaultQueue = QStringLiteral("zelvora");

// Far below the minutes an unanswered scheduler used to cost, far above
// the bounded wait of one exchange.
constexpr qint64 kFrozenMs = 20000;

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

struct Job {
    int id = 0;
    int state = 0;
    QString name;
    int copies = 0;
    QString colorMode;
    int quality = 0;
};

QList<Job> jobs(const QString& queue)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    const QByteArray uri = "ipp://localhost/printers/" + queue.toUtf8();
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char* const wanted[]
        = { "job-id", "job-state", "job-name", "copies", "print-color-mode", "print-quality" };
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 6, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QList<Job> found;
    if (!response)
        return found;
    Job job;
    const auto flush = [&] {
        if (job.id != 0)
            found.append(job);
        job = Job {};
    };
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char* name = ippGetName(a);
        if (!name) {
            flush();
            continue;
        }
        const QLatin1String n(name);
        if (n == QLatin1String("job-id"))
            job.id = ippGetInteger(a, 0);
        else if (n == QLatin1String("job-state"))
            job.state = ippGetInteger(a, 0);
        else if (n == QLatin1String("job-name"))
            job.name = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (n == QLatin1String("copies"))
            job.copies = ippGetInteger(a, 0);
        else if (n == QLatin1String("print-color-mode"))
            job.colorMode = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (n == QLatin1String("print-quality"))
            job.quality = ippGetInteger(a, 0);
    }
    flush();
    ippDelete(response);
    return found;
}

int lastJobId(const QString& queue)
{
    int id = 0;
    for (const Job& job : jobs(queue))
        id = std::max(id, job.id);
    return id;
}

// The first job after `previous`, once the scheduler has finished with it.
std::optional<Job> finishedJobAfter(const QString& queue, int previous)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (const Job& job : jobs(queue)) {
            if (job.id > previous && job.state >= IPP_JSTATE_CANCELED)
                return job;
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

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
    const int previous = lastJobId(queue);
    printSheet(t.m);

    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    const auto job = finishedJobAfter(queue, previous);
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
    const int previous = lastJobId(queue);
    printSheet(t.m);
    const auto job = finishedJobAfter(queue, previous);
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
    const int previous = lastJobId(kDefaultQueue);
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
// back; neither waits on a silent scheduler for long.
void TestPrintSheet::unavailablePrinter()
{
    QFETCH(QString, scheduler);
    QFETCH(QString, queue);
    QFETCH(QString, printerName);

    useScheduler(scheduler, queue);
    TestModel t;
    t.ui.printAnswers.push_back({ false, {} });
    QElapsedTimer clock;
    clock.start();
    printSetupDialog(t.m);
    QCOMPARE_LT(clock.elapsed(), kFrozenMs);
    QCOMPARE(t.ui.printRequests.size(), std::size_t(1));
    QCOMPARE(t.ui.printRequests[0].printerName, printerName);
    QVERIFY(t.ui.messages.empty());
    if (!printerName.isEmpty())
        return;

    const bool queryable = scheduler == QStringLiteral("main");
    const int previous = queryable ? lastJobId(queue) : 0;
    t.ui.replies.push_back(Reply::Yes);
    clock.restart();
    printSheet(t.m);
    QCOMPARE_LT(clock.elapsed(), kFrozenMs);
    QCOMPARE(t.ui.messages.size(), std::size_t(2));
    QCOMPARE(t.ui.messages[1].text, QStringLiteral("Err: 68 Device unavailable"));
    QCOMPARE(t.ui.messages[1].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[1].buttons, Buttons::Ok);
    QVERIFY(framedAtTop(t.m));
    if (queryable)
        QCOMPARE(lastJobId(queue), previous);
}

QTEST_MAIN(TestPrintSheet)
#include "tst_printsheet.moc"
