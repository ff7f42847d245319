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
#include "print/printsheet.h"
#include "sheet/model.h"
#include "tests/support/testmodel.h"
#include "view/viewcontrol.h"

// Prints through private CUPS schedulers started by the test fixture:
// "main" allows many copies, "single" one. Both have the default printer
// "zelvora", a colour PDF queue whose printable area is (20, 20)-(575, 742)
// points on an A4 page, measured from the top left.

namespace {

const QString kState = QStringLiteral(ZELVORA_CUPS_STATE);
constexpr QRectF kPrintableArea(20, 20, 555, 722);
constexpr int kRenderDpi = 144;

void useScheduler(const QString& name)
{
    const QString dir = kState + QLatin1Char('/') + name;
    qputenv("CUPS_SERVER", QFile::encodeName(dir + QStringLiteral("/cups.sock")));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(dir + QStringLiteral("/etc")));
    // The library keeps the server it found first; make it look again.
    cupsSetServer(nullptr);
}

QString outputFile(const QString& scheduler)
{
    return kState + QLatin1Char('/') + scheduler + QStringLiteral("/out/job.pdf");
}

struct Job {
    int id = 0;
    int state = 0;
    QString name;
    int copies = 0;
    QString colorMode;
    int quality = 0;
};

QList<Job> jobs()
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/printers/zelvora");
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

int lastJobId()
{
    int id = 0;
    for (const Job& job : jobs())
        id = std::max(id, job.id);
    return id;
}

// The first job after `previous`, once the scheduler has finished with it.
std::optional<Job> finishedJobAfter(int previous)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (const Job& job : jobs()) {
            if (job.id > previous && job.state >= IPP_JSTATE_CANCELED)
                return job;
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

// Where the marks of the sheet lie: the bounding box of pure red pixels.
QRect redBox(const QImage& image, int threshold)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 255 - threshold && qGreen(p) < threshold && qBlue(p) < threshold)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

int darkestIn(const QImage& image, const QRect& area)
{
    int darkest = 255;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

int pdfPages(const QString& pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), { pdf });
    if (!info.waitForFinished(20000))
        return -1;
    for (const QByteArray& line : info.readAllStandardOutput().split('\n')) {
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

QImage renderPage(const QString& pdf, const QString& folder)
{
    const QString prefix = folder + QStringLiteral("/page");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QString::number(kRenderDpi), QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf,
            prefix });
    if (!render.waitForFinished(60000))
        return {};
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
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
    void pageIsTheStretchedSheet();
    void noPrintsNothing();
    void noDefaultPrinter();
};

void TestPrintSheet::init()
{
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    useScheduler(QStringLiteral("main"));
}

void TestPrintSheet::settingsReachTheJob_data()
{
    QTest::addColumn<QString>("scheduler");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("jobCopies");
    QTest::addColumn<QString>("jobColorMode");
    QTest::addColumn<int>("jobQuality");

    const QString main = QStringLiteral("main");
    // An attribute that was not sent is missing from the job (0 or empty
    // here), so the printer's default applies. One copy is the default and
    // needs no attribute.
    QTest::newRow("three copies, colour, high") << main << 3 << 2 << 4 << 3 << QStringLiteral("color") << 5;
    QTest::newRow("nothing chosen") << main << 0 << 0 << 0 << 0 << QString() << 0;
    QTest::newRow("one copy, mono, draft") << main << 1 << 1 << 1 << 0 << QStringLiteral("monochrome") << 3;
    QTest::newRow("low is draft") << main << 10 << 0 << 2 << 10 << QString() << 3;
    QTest::newRow("medium is normal") << main << 2 << 2 << 3 << 2 << QStringLiteral("color") << 4;
    QTest::newRow("above the copy limit")
        << QStringLiteral("single") << 10 << 2 << 4 << 0 << QStringLiteral("color") << 5;
}

void TestPrintSheet::settingsReachTheJob()
{
    QFETCH(QString, scheduler);
    QFETCH(int, copies);
    QFETCH(int, colorMode);
    QFETCH(int, quality);

    useScheduler(scheduler);
    TestModel t;
    t.m.print = { copies, colorMode, quality };
    t.ui.replies.push_back(Reply::Yes);
    const int previous = lastJobId();
    printSheet(t.m);

    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    const auto job = finishedJobAfter(previous);
    QVERIFY2(job, "the job never finished");
    QCOMPARE(job->state, int(IPP_JSTATE_COMPLETED));
    QCOMPARE(job->name, QStringLiteral("Print Job"));
    QTEST(job->copies, "jobCopies");
    QTEST(job->colorMode, "jobColorMode");
    QTEST(job->quality, "jobQuality");
    QVERIFY(framedAtTop(t.m));
}

void TestPrintSheet::pageIsTheStretchedSheet()
{
    TestModel t;
    markCorners(t.m);
    QFile::remove(outputFile(QStringLiteral("main")));
    t.ui.replies.push_back(Reply::Yes);
    const int previous = lastJobId();
    printSheet(t.m);
    const auto job = finishedJobAfter(previous);
    QVERIFY2(job && job->state == IPP_JSTATE_COMPLETED, "the job did not complete");

    const QString pdf = outputFile(QStringLiteral("main"));
    QCOMPARE(pdfPages(pdf), 1);
    QTemporaryDir folder;
    const QImage page = renderPage(pdf, folder.path());
    QVERIFY(!page.isNull());
    const double dots = kRenderDpi / 72.0;
    QCOMPARE(page.width(), qRound(595 * dots));

    // The marks land where the sheet's two axes, each scaled on its own
    // onto the printable area, put them.
    const QRect sheetMarks = redBox(t.m.sheetBitmap, 1);
    const QRect pageMarks = redBox(page, 90);
    QVERIFY(sheetMarks.isValid());
    QVERIFY(pageMarks.isValid());
    const double sx = kPrintableArea.width() * dots / kSheetWidth;
    const double sy = kPrintableArea.height() * dots / kSheetHeight;
    const double ox = kPrintableArea.left() * dots;
    const double oy = kPrintableArea.top() * dots;
    const double tolerance = 2.0;
    QVERIFY(std::abs(pageMarks.left() - (ox + sheetMarks.left() * sx)) <= tolerance);
    QVERIFY(std::abs(pageMarks.right() + 1 - (ox + (sheetMarks.right() + 1) * sx)) <= tolerance);
    QVERIFY(std::abs(pageMarks.top() - (oy + sheetMarks.top() * sy)) <= tolerance);
    QVERIFY(std::abs(pageMarks.bottom() + 1 - (oy + (sheetMarks.bottom() + 1) * sy)) <= tolerance);

    // No frame: the edges of the printable area stay light.
    const QRect area(
        qRound(ox), qRound(oy), qRound(kPrintableArea.width() * dots), qRound(kPrintableArea.height() * dots));
    QCOMPARE_GT(darkestIn(page, QRect(area.left(), area.top(), area.width(), 3)), 200);
    QCOMPARE_GT(darkestIn(page, QRect(area.left(), area.bottom() - 2, area.width(), 3)), 200);
    QCOMPARE_GT(darkestIn(page, QRect(area.left(), area.top(), 3, area.height())), 200);
    QCOMPARE_GT(darkestIn(page, QRect(area.right() - 2, area.top(), 3, area.height())), 200);
    QVERIFY(framedAtTop(t.m));
}

void TestPrintSheet::noPrintsNothing()
{
    TestModel t;
    pageRecord(t.m).originY = -561;
    t.ui.replies.push_back(Reply::No);
    const int previous = lastJobId();
    printSheet(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    QCOMPARE(t.ui.messages[0].text, QStringLiteral("Imprimir ?\r\nSi/No ?"));
    QCOMPARE(t.ui.messages[0].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[0].buttons, Buttons::YesNo);
    QVERIFY(framedAtTop(t.m));
    QCOMPARE(lastJobId(), previous);
}

void TestPrintSheet::noDefaultPrinter()
{
    // A scheduler that is not there: no default printer at all.
    useScheduler(QStringLiteral("absent"));
    TestModel t;
    t.ui.replies.push_back(Reply::Yes);
    printSheet(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(2));
    QCOMPARE(t.ui.messages[1].text, QStringLiteral("Err: 68 Device unavailable"));
    QCOMPARE(t.ui.messages[1].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[1].buttons, Buttons::Ok);
    QVERIFY(framedAtTop(t.m));
}

QTEST_MAIN(TestPrintSheet)
#include "tst_printsheet.moc"
