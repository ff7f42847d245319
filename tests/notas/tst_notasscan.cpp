// Scanning into the class through SANE's own test back-end, enabled by a
// private configuration folder (never the machine's), and a stand-in device
// for a scanner that goes away in the middle of a batch.
#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "notas/scandialog.h"
#include "notas/scanjob.h"
#include "notas/scanner.h"
#include "paper/pagereader.h"
#include "paper/papersheet.h"
#include "paper/scaninput.h"
#include "tests/notas/dialogcontrols.h"
#include "tests/notas/scripteddialogs.h"

namespace {

// The test back-end's feeder is empty after this many pages.
constexpr int kFeederPages = 10;

// Serves `pages` grey pages, then fails: at the start of the next page, or
// in the middle of reading it.
class StandInDevice final : public ScanDevice {
public:
    int pages = 0;
    bool feeder = true;
    bool failWhileReading = false;
    int started = 0;

    bool hasFeeder() const override { return feeder; }
    Start start(QString& error) override
    {
        if (++started <= pages || failWhileReading)
            return Start::Page;
        if (feeder) {
            error = QStringLiteral("se ha perdido la comunicación con el escáner");
            return Start::Failed;
        }
        return Start::NoMorePages;
    }
    std::optional<QImage> read(const std::atomic_bool&, QString& error) override
    {
        if (started > pages) {
            error = QStringLiteral("se ha perdido la comunicación con el escáner");
            return std::nullopt;
        }
        QImage page(40, 60, QImage::Format_Grayscale8);
        page.fill(started * 10);
        return page;
    }
};

QStringList pngsIn(const QString& folder)
{
    return QDir(folder).entryList({ QStringLiteral("*") }, QDir::Files, QDir::Name);
}

} // namespace

class TestNotasScan : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void findsTheTestScanners();
    void scansUntilTheFeederIsEmpty();
    void scannerFailureKeepsTheDonePages_data();
    void scannerFailureKeepsTheDonePages();
    void cancelKeepsWholePagesOnly();
    void readErrorFromTheBackend();
    void aPrintedSheetScansReadable();
    void dialogHandsEachPageToTheClass();
    void keyboardAndScreenReader();
    void closingMidScanHandsEveryWrittenPage();

private:
    void configure(const QByteArray& extra);
    QTemporaryDir dir_;
};

void TestNotasScan::configure(const QByteArray& extra)
{
    QFile dll(dir_.filePath(QStringLiteral("sane/dll.conf")));
    QVERIFY(dll.open(QIODevice::WriteOnly));
    dll.write("test\npnm\n");
    dll.close();
    // A small glass keeps the pages small at 300 dpi.
    QFile conf(dir_.filePath(QStringLiteral("sane/test.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("number_of_devices 1\ntest-picture \"Grid\"\ngeometry_min 0.0\ngeometry_max 20.0\n" + extra);
}

void TestNotasScan::initTestCase()
{
    QVERIFY(dir_.isValid());
    QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("sane"))));
    configure({});
    // Without a trailing colon SANE reads this folder only, not /etc/sane.d.
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(dir_.filePath(QStringLiteral("sane"))));
    // The test back-end loses a page's buffer now and then when its reader
    // thread ends. Held open here, it outlives SANE's own unloading, so that
    // the leak checker can name it and tests/lsan.supp can pass over it.
    QVERIFY(dlopen(SANE_BACKENDS_DIR "/libsane-test.so.1", RTLD_NOW));
}

void TestNotasScan::findsTheTestScanners()
{
    const SaneSession session;
    QVERIFY(session.ok());
    QStringList names;
    for (const ScannerInfo& s : findScanners(session)) {
        names << s.name;
        QVERIFY(!s.description.isEmpty());
    }
    names.sort();
    QCOMPARE(names, (QStringList { QStringLiteral("pnm:0"), QStringLiteral("pnm:1"), QStringLiteral("test:0") }));
}

void TestNotasScan::scansUntilTheFeederIsEmpty()
{
    const SaneSession session;
    QString error;
    const std::unique_ptr<ScanDevice> device = openScanner(session, QStringLiteral("test:0"), error);
    QVERIFY2(device, qPrintable(error));
    QVERIFY(device->hasFeeder());
    const QString folder = dir_.filePath(QStringLiteral("feeder"));
    QVERIFY(QDir().mkpath(folder));
    QStringList told;
    std::atomic_bool cancel = false;
    const ScanOutcome outcome = scanPages(*device, folder, cancel, [&told](const QString& p) { told << p; });
    QCOMPARE(outcome.error, QString());
    QVERIFY(!outcome.cancelled);
    QCOMPARE(outcome.pages.size(), kFeederPages);
    QCOMPARE(told, outcome.pages);
    QCOMPARE(pngsIn(folder).size(), kFeederPages);
    QCOMPARE(QFileInfo(outcome.pages.front()).fileName(), QStringLiteral("pagina-001.png"));
    // Grey, 300 dpi over the whole 20 mm glass.
    const QImage page(outcome.pages.back());
    QVERIFY(!page.isNull());
    QVERIFY(page.isGrayscale());
    QVERIFY2(qAbs(page.width() - 236) <= 2 && qAbs(page.height() - 236) <= 2,
        qPrintable(QStringLiteral("%1×%2").arg(page.width()).arg(page.height())));
}

void TestNotasScan::scannerFailureKeepsTheDonePages_data()
{
    QTest::addColumn<bool>("failWhileReading");
    QTest::newRow("gone before the next page") << false;
    QTest::newRow("gone in the middle of a page") << true;
}

void TestNotasScan::scannerFailureKeepsTheDonePages()
{
    QFETCH(bool, failWhileReading);
    StandInDevice device;
    device.pages = 2;
    device.failWhileReading = failWhileReading;
    QTemporaryDir folder;
    std::atomic_bool cancel = false;
    const ScanOutcome outcome = scanPages(device, folder.path(), cancel, {});
    QCOMPARE(outcome.error, QStringLiteral("se ha perdido la comunicación con el escáner"));
    QCOMPARE(outcome.pages.size(), 2);
    QCOMPARE(
        pngsIn(folder.path()), (QStringList { QStringLiteral("pagina-001.png"), QStringLiteral("pagina-002.png") }));
    QCOMPARE(QImage(outcome.pages.back()).pixelColor(0, 0).value(), 20);
}

void TestNotasScan::cancelKeepsWholePagesOnly()
{
    const SaneSession session;
    QString error;
    const std::unique_ptr<ScanDevice> device = openScanner(session, QStringLiteral("test:0"), error);
    QVERIFY2(device, qPrintable(error));
    QTemporaryDir folder;
    std::atomic_bool cancel = false;
    const ScanOutcome outcome = scanPages(*device, folder.path(), cancel, [&cancel](const QString& path) {
        if (path.endsWith(QStringLiteral("pagina-003.png")))
            cancel = true;
    });
    QVERIFY(outcome.cancelled);
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.pages.size(), 3);
    QCOMPARE(pngsIn(folder.path()).size(), 3);
}

void TestNotasScan::readErrorFromTheBackend()
{
    configure("read-status-code \"SANE_STATUS_IO_ERROR\"\n");
    const auto restore = qScopeGuard([this] { configure({}); });
    const SaneSession session;
    QString error;
    const std::unique_ptr<ScanDevice> device = openScanner(session, QStringLiteral("test:0"), error);
    QVERIFY2(device, qPrintable(error));
    QTemporaryDir folder;
    std::atomic_bool cancel = false;
    const ScanOutcome outcome = scanPages(*device, folder.path(), cancel, {});
    QCOMPARE(outcome.error, QStringLiteral("se ha perdido la comunicación con el escáner"));
    QVERIFY(outcome.pages.isEmpty());
    QVERIFY(pngsIn(folder.path()).isEmpty());
}

// A printed sheet fed through a scanner without a feeder: one page, which
// the paper reader finds and decodes.
void TestNotasScan::aPrintedSheetScansReadable()
{
    PaperSheet sheet;
    sheet.title = QStringLiteral("Física");
    sheet.code.examId = QStringLiteral("0123ABCD");
    sheet.code.serial = 7;
    // The file the pnm back-end reads: it has no configuration for it.
    const QString input = QStringLiteral("/tmp/input.ppm");
    const auto remove = qScopeGuard([&input] { QFile::remove(input); });
    QVERIFY(renderPaperSheet(sheet, 150).save(input, "PGM"));

    const SaneSession session;
    QString error;
    const std::unique_ptr<ScanDevice> device = openScanner(session, QStringLiteral("pnm:0"), error);
    QVERIFY2(device, qPrintable(error));
    QVERIFY(!device->hasFeeder());
    QTemporaryDir folder;
    std::atomic_bool cancel = false;
    const ScanOutcome outcome = scanPages(*device, folder.path(), cancel, {});
    QCOMPARE(outcome.error, QString());
    QCOMPARE(outcome.pages.size(), 1);

    ScanFile file;
    QString reason;
    QVERIFY2(file.open(outcome.pages.front(), reason), qPrintable(reason));
    cv::Mat grey;
    QVERIFY2(file.loadPage(0, grey, reason), qPrintable(reason));
    PageBuffers buffers;
    LocatedPage page;
    QCOMPARE(int(locatePage(grey, buffers, page)), int(LocateProblem::None));
    QVERIFY(page.sheet);
    QCOMPARE(page.sheet->examId, sheet.code.examId);
    QCOMPARE(page.sheet->serial, 7);
}

void TestNotasScan::dialogHandsEachPageToTheClass()
{
    ScriptedDialogs dialogs;
    const QString classFolder = dir_.filePath(QStringLiteral("clase"));
    QVERIFY(QDir().mkpath(classFolder));
    QStringList added;
    ScanDialog dialog(dialogs, classFolder, [&added](const QString& path) { added << path; });
    QVERIFY(QTest::qWaitFor([&dialog] { return !dialog.job().running(); }, 20000));
    QCOMPARE(dialog.scanners().size(), std::size_t(3));
    dialog.selectScanner(QStringLiteral("test:0"));
    dialog.startScan();
    QVERIFY(dialog.job().running());
    QVERIFY(QTest::qWaitFor([&dialog] { return !dialog.job().running(); }, 60000));
    QCOMPARE(dialogs.warnings, QStringList());
    QCOMPARE(added.size(), kFeederPages);
    // The batch went into a new folder inside the class.
    const QStringList batches = QDir(classFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(batches.size(), 1);
    QVERIFY(batches.front().startsWith(QStringLiteral("escaneo-")));
    QCOMPARE(QFileInfo(added.front()).absolutePath(), QDir(classFolder).filePath(batches.front()));
}

void TestNotasScan::keyboardAndScreenReader()
{
    ScriptedDialogs dialogs;
    ScanDialog dialog(dialogs, dir_.path(), {});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(QTest::qWaitFor([&dialog] { return !dialog.job().running(); }, 20000));
    const QStringList faults = dialogControlFaults(dialog);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

// Closing waits for the scanner to stop, so no page written meanwhile is
// left out of the class.
void TestNotasScan::closingMidScanHandsEveryWrittenPage()
{
    ScriptedDialogs dialogs;
    QTemporaryDir classFolder;
    QStringList added;
    ScanDialog* dialog = nullptr;
    ScanDialog owner(dialogs, classFolder.path(), [&added, &dialog](const QString& path) {
        added << path;
        if (added.size() == 1)
            dialog->reject();
    });
    dialog = &owner;
    owner.show();
    QVERIFY(QTest::qWaitFor([&owner] { return !owner.job().running(); }, 20000));
    owner.selectScanner(QStringLiteral("test:0"));
    owner.startScan();
    QVERIFY(QTest::qWaitFor([&owner] { return !owner.isVisible(); }, 60000));
    QVERIFY(!owner.job().running());
    QCOMPARE(dialogs.warnings, QStringList());
    QVERIFY(!added.isEmpty());
    const QString batch = QFileInfo(added.front()).absolutePath();
    QStringList written;
    for (const QString& name : pngsIn(batch))
        written << QDir(batch).filePath(name);
    QCOMPARE(added, written);
}

QTEST_MAIN(TestNotasScan)
#include "tst_notasscan.moc"
