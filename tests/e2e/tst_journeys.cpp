// The built programs, started as a user starts them, in a real X server with
// a window manager, driven by real key presses, clicks and wheel turns, and
// judged by what the screen shows and what lands on disk.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "xsession.h"

using namespace std::chrono_literals;

namespace {

// Big enough for the whole 804 x 985 client area, caption and menu bar.
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1200;

constexpr int kPageWidth = 794;
constexpr int kViewHeight = 955;
constexpr int kRecordSize = 32;

// Menus and their items as the keyboard reaches them (separators are
// skipped by the arrows).
enum MenuIndex { kArchivos = 0, kPersonalizar = 1, kColor = 2 };
namespace full {
constexpr int kGrabarTest = 1, kLeerTest = 2, kCorregirTest = 3, kImprimir = 4, kFotocopia = 5, kSalir = 7;
}
namespace exam {
constexpr int kGrabarTest = 1, kSalir = 2;
}
constexpr int kCeldasRedondas = 1, kLetraMayuscula = 2, kLetraMinuscula = 3, kTestLogica = 5;
constexpr int kEscritura = 1;

int cellLeft(int q, int k)
{
    return 152 + 145 * ((q - 1) / 25) + 22 * (k - 1);
}
int cellTop(int q)
{
    return 75 + 40 * ((q - 1) % 25);
}

QRgb rgbOf(std::uint32_t colorRef)
{
    return qRgb(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

bool isBlack(QRgb p)
{
    return (p & 0xFFFFFF) == 0;
}
bool isWhite(QRgb p)
{
    return (p & 0xFFFFFF) == 0xFFFFFF;
}

// Where the view control shows the page: the screen position of view row 0
// and the page row shown there, both read off the black page frame.
struct ViewOnScreen {
    QPoint topLeft;
    std::optional<int> originY;
};

std::optional<int> originYOf(const QImage& img, QPoint topLeft)
{
    // A fully black row inside the view is the frame's top (page row 0) or
    // its bottom (page row 1121); the offsets keys and wheel can reach keep
    // the two cases apart.
    for (int v = 0; v < kViewHeight && topLeft.y() + v < img.height(); ++v) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(topLeft.y() + v));
        bool full = true;
        for (int x = 1; x < kPageWidth - 1 && full; ++x)
            full = isBlack(row[topLeft.x() + x]);
        if (!full)
            continue;
        if (v <= 99)
            return v;
        return v - 1121;
    }
    return std::nullopt;
}

std::optional<ViewOnScreen> findView(const QImage& img)
{
    if (img.isNull())
        return std::nullopt;
    const auto px = [&img](int x, int y) { return img.pixel(x, y); };
    constexpr int kRun = 500;
    for (int y = 1; y + kRun < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 1; x + kPageWidth < img.width(); ++x) {
            // The frame's left and right edges, with the window's grey
            // margin outside them and white paper inside.
            if (!isBlack(row[x]) || !isBlack(row[x + kPageWidth - 1]))
                continue;
            if (isBlack(px(x - 1, y + 5)) || isBlack(px(x + kPageWidth, y + 5)) || isBlack(px(x, y - 1)))
                continue;
            if (!isWhite(px(x + 1, y + 5)))
                continue;
            bool edges = true;
            for (int d = 0; d < kRun && edges; ++d)
                edges = isBlack(px(x, y + d)) && isBlack(px(x + kPageWidth - 1, y + d));
            if (edges)
                return ViewOnScreen { QPoint(x, y), originYOf(img, QPoint(x, y)) };
        }
    }
    return std::nullopt;
}

// The pixel a person sees at a page point, when the page is on screen.
std::optional<QRgb> pagePixel(const QImage& img, int px, int py)
{
    const std::optional<ViewOnScreen> view = findView(img);
    if (!view || !view->originY)
        return std::nullopt;
    const int viewRow = py + *view->originY;
    if (viewRow < 0 || viewRow >= kViewHeight)
        return std::nullopt;
    return img.pixel(view->topLeft.x() + px, view->topLeft.y() + viewRow);
}

// The middle of a cell's mark box.
std::optional<QRgb> markPixel(const QImage& img, int q, int k)
{
    return pagePixel(img, cellLeft(q, k) + 7, cellTop(q) + 7);
}

struct Mark {
    int q;
    int k;
    std::int32_t marked;
    std::uint32_t color;
};

// A test file as the program writes it: question by question, answers 1
// to `columns`, the cells' rectangles as laid out.
QByteArray testFile(
    std::int32_t testType, std::int32_t shape, std::int32_t letterCase, const QList<Mark>& marks, int columns = 5)
{
    QByteArray bytes(100 * columns * kRecordSize, '\0');
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    for (int q = 1; q <= 100; ++q) {
        for (int k = 1; k <= columns; ++k, p += kRecordSize) {
            std::int32_t marked = 0;
            std::uint32_t color = 0;
            for (const Mark& m : marks) {
                if (m.q == q && m.k == k) {
                    marked = m.marked;
                    color = m.color;
                }
            }
            qToLittleEndian<std::int16_t>(std::int16_t(cellLeft(q, k)), p);
            qToLittleEndian<std::int16_t>(std::int16_t(cellLeft(q, k) + 15), p + 2);
            qToLittleEndian<std::int16_t>(std::int16_t(cellTop(q)), p + 4);
            qToLittleEndian<std::int16_t>(std::int16_t(cellTop(q) + 15), p + 6);
            qToLittleEndian<std::int32_t>(marked, p + 8);
            qToLittleEndian<std::uint32_t>(color, p + 12);
            qToLittleEndian<std::int32_t>(testType, p + 16);
            qToLittleEndian<std::int32_t>(shape, p + 20);
            qToLittleEndian<std::int32_t>(letterCase, p + 24);
            qToLittleEndian<std::int16_t>(std::int16_t(k), p + 28);
            qToLittleEndian<std::int16_t>(std::int16_t(q), p + 30);
        }
    }
    return bytes;
}

QStringList iniLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(QString::fromLatin1(line));
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList settingsText(
    int letterCase, int shape, int testType, std::int64_t fill, std::int64_t text, std::int64_t hit, std::int64_t miss)
{
    const auto value
        = [](std::int64_t v) { return v < 0 ? QString::number(v) : QLatin1Char(' ') + QString::number(v); };
    return { QStringLiteral("[Personalizar]"), QStringLiteral("Tipo Letra=") + value(letterCase),
        QStringLiteral("Forma=") + value(shape), QStringLiteral("Test=") + value(testType),
        QStringLiteral("Color Relleno=") + value(fill), QStringLiteral("Color Texto=") + value(text),
        QStringLiteral("Color Acierto=") + value(hit), QStringLiteral("Color Fallo=") + value(miss) };
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestJourneys : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void firstStartAnswersNoAndSavesDefaults();
    void commandLineFileShowsItsMarks_data();
    void commandLineFileShowsItsMarks();
    void marksScrollsAndSaves();
    void menusChangeTheSheetAndAreKept();
    void readsAndCorrectsThroughTheMenus();
    void fotocopiaKeepsTheFrameOnScreen();
    void printQuestionLeavesTheWindowUsable();
    void examEditionSavesWhatTheFullEditionReads();
    void classToolGradesWhatTheExamEditionSaved();

private:
    // The program's own folder, home and files of one journey; a restart
    // within the journey reuses them.
    QString folder(const QString& name) const { return work_->filePath(name); }
    bool giveOtherProgramTheFileType();
    bool launch(const QString& program, const QStringList& arguments = {});
    bool waitMainWindow(const QString& title);
    // Waits until the active window is titled as the pattern says and is
    // not `other` (a window that is still closing).
    bool waitActive(const QString& titlePattern, QString* window = nullptr, const QString& other = {},
        std::chrono::milliseconds timeout = 15s);
    bool waitScreen(const std::function<bool(const QImage&)>& ok, std::chrono::milliseconds timeout = 10s);
    bool waitExit();
    bool waitMark(int q, int k, std::uint32_t colorRef);
    bool waitOriginY(int originY);
    void menu(int menuIndex, int item);
    void clickCell(int q, int k);
    bool chooseFile(const QString& path);
    bool chooseColor(int red, int green, int blue);
    bool saveAs(const QString& name);
    QString failure(const QString& what);

    XSession x_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<QProcess> program_;
    QString mainWindow_;
    QImage shot_;
    int shots_ = 0;
};

// Every failed check names the screenshot that shows why.
#define JOURNEY_VERIFY(condition, what)                                                                                \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            QFAIL(qPrintable(failure(what)));                                                                          \
    } while (false)

void TestJourneys::initTestCase()
{
    for (const char* tool : { "Xvfb", "openbox", "xdotool", "xwd", "xprop" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("%1 is missing: bash scripts/deps.sh test installs it").arg(QLatin1String(tool))));
    }
    const QString error = x_.start(kScreenWidth, kScreenHeight);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestJourneys::cleanupTestCase()
{
    x_.stop();
}

void TestJourneys::init()
{
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
    for (const char* sub : { "home/config", "home/data", "home/cache", "home/runtime", "files" })
        QVERIFY(QDir().mkpath(folder(QString::fromLatin1(sub))));
    QFile::setPermissions(folder(QStringLiteral("home/runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    shot_ = QImage();
}

void TestJourneys::cleanup()
{
    if (program_ && program_->state() != QProcess::NotRunning) {
        program_->kill();
        program_->waitForFinished(5000);
    }
    program_.reset();
    mainWindow_.clear();
    work_.reset();
}

QString TestJourneys::failure(const QString& what)
{
    QImage image = x_.screenshot();
    if (image.isNull())
        image = shot_;
    const QString name = QStringLiteral("%1/%2-%3.png")
                             .arg(QStringLiteral(E2E_OUTPUT_DIR), QString::fromLatin1(QTest::currentTestFunction()))
                             .arg(++shots_);
    if (!image.isNull() && image.save(name))
        return QStringLiteral("%1 (screenshot: %2)").arg(what, name);
    return QStringLiteral("%1 (no screenshot could be taken)").arg(what);
}

// Another program owns the .ztest type, so no registration prompt comes.
bool TestJourneys::giveOtherProgramTheFileType()
{
    return writeFile(folder(QStringLiteral("home/data/mime/globs2")), "50:application/x-ztest-files:*.ztest\n")
        && writeFile(folder(QStringLiteral("home/data/applications/other.desktop")),
            "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n")
        && writeFile(folder(QStringLiteral("home/config/mimeapps.list")),
            "[Default Applications]\napplication/x-ztest-files=other.desktop;\n");
}

bool TestJourneys::launch(const QString& program, const QStringList& arguments)
{
    // The settings file and the page image live beside the executable, so
    // each journey runs its own copy.
    const QString exe = folder(QStringLiteral("bin/") + program);
    const QString built
        = program == QLatin1String("brastin") ? QStringLiteral(BRASTIN_EXE) : QStringLiteral(ZELVORA_EXE);
    if (!QFileInfo::exists(exe) && !(QDir().mkpath(folder(QStringLiteral("bin"))) && QFile::copy(built, exe)))
        return false;

    const QString home = folder(QStringLiteral("home"));
    // The machine's own associations (a package of this program installed
    // on it, say) must not answer the registration question for the test.
    QProcessEnvironment env = x_.privateDesktopEnvironment(home);
    // No printing system: nothing of the machine's own CUPS is asked.
    env.insert(QStringLiteral("CUPS_SERVER"), home + QStringLiteral("/runtime/no-cups.sock"));
    env.insert(QStringLiteral("CUPS_SERVERROOT"), home + QStringLiteral("/runtime"));

    program_ = std::make_unique<QProcess>();
    program_->setProcessEnvironment(env);
    program_->setWorkingDirectory(folder(QStringLiteral("files")));
    program_->setProcessChannelMode(QProcess::ForwardedChannels);
    program_->start(exe, arguments);
    return program_->waitForStarted(10000);
}

bool TestJourneys::waitMainWindow(const QString& title)
{
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
    const QStringList windows = x_.waitForWindows(program_->processId(), pattern, 30s);
    if (windows.isEmpty())
        return false;
    mainWindow_ = windows.last();
    x_.activate(mainWindow_);
    return waitScreen([](const QImage& img) { return findView(img).has_value(); }, 20s);
}

bool TestJourneys::waitActive(
    const QString& titlePattern, QString* window, const QString& other, std::chrono::milliseconds timeout)
{
    const QRegularExpression pattern(titlePattern);
    QDeadlineTimer deadline(timeout);
    do {
        bool ok = false;
        const QString active
            = QString::fromLatin1(x_.run(QStringLiteral("xdotool"), { QStringLiteral("getactivewindow") }, &ok))
                  .trimmed();
        if (ok && !active.isEmpty() && active != other && pattern.match(x_.windowName(active)).hasMatch()) {
            if (window)
                *window = active;
            return true;
        }
        std::this_thread::sleep_for(100ms);
    } while (!deadline.hasExpired());
    return false;
}

bool TestJourneys::waitScreen(const std::function<bool(const QImage&)>& ok, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    do {
        shot_ = x_.screenshot();
        if (!shot_.isNull() && ok(shot_))
            return true;
        std::this_thread::sleep_for(150ms);
    } while (!deadline.hasExpired());
    return false;
}

bool TestJourneys::waitExit()
{
    if (!program_->waitForFinished(30000))
        return false;
    return program_->exitStatus() == QProcess::NormalExit && program_->exitCode() == 0;
}

bool TestJourneys::waitMark(int q, int k, std::uint32_t colorRef)
{
    return waitScreen([&](const QImage& img) { return markPixel(img, q, k) == rgbOf(colorRef); }, 5s);
}

bool TestJourneys::waitOriginY(int originY)
{
    return waitScreen([originY](const QImage& img) {
        const std::optional<ViewOnScreen> view = findView(img);
        return view && view->originY == originY;
    });
}

void TestJourneys::menu(int menuIndex, int item)
{
    x_.activate(mainWindow_);
    x_.chooseMenuItem(menuIndex, item);
}

void TestJourneys::clickCell(int q, int k)
{
    const std::optional<ViewOnScreen> view = findView(x_.screenshot());
    if (!view || !view->originY)
        return;
    const QPoint at = view->topLeft + QPoint(cellLeft(q, k) + 7, cellTop(q) + 7 + *view->originY);
    x_.click(at.x(), at.y());
}

// Qt's own file dialog opens with its name field focused: the path is typed
// there. A completion list that pops up takes the first Return.
bool TestJourneys::chooseFile(const QString& path)
{
    QString dialog;
    if (!waitActive(QStringLiteral("."), &dialog, mainWindow_))
        return false;
    x_.type(path);
    std::this_thread::sleep_for(300ms);
    // A Return sent while a slow dialog is still closing would answer the
    // message box that follows it, so each one waits for the dialog first.
    for (int attempt = 0; attempt < 3; ++attempt) {
        x_.keys({ QStringLiteral("Return") });
        QDeadlineTimer deadline(3s);
        do {
            std::this_thread::sleep_for(150ms);
            if (!x_.waitForWindows(program_->processId(), QStringLiteral("."), 0ms).contains(dialog))
                return true;
        } while (!deadline.hasExpired());
    }
    return false;
}

// Qt's colour dialog, answered through its red, green and blue fields
// ("&Rojo", "&Verde", "Az&ul" in Spanish).
bool TestJourneys::chooseColor(int red, int green, int blue)
{
    QString dialog;
    if (!waitActive(QStringLiteral("."), &dialog, mainWindow_))
        return false;
    const std::pair<const char*, int> fields[] = { { "alt+r", red }, { "alt+v", green }, { "alt+u", blue } };
    for (const auto& [key, value] : fields) {
        x_.keys({ QString::fromLatin1(key), QStringLiteral("ctrl+a") });
        x_.type(QString::number(value));
    }
    x_.keys({ QStringLiteral("Return") });
    return waitActive(QLatin1Char('^') + QRegularExpression::escape(x_.windowName(mainWindow_)) + QLatin1Char('$'));
}

void TestJourneys::firstStartAnswersNoAndSavesDefaults()
{
    QVERIFY(launch(QStringLiteral("zelvora")));
    QString prompt;
    JOURNEY_VERIFY(waitActive(QStringLiteral("^\\.\\.\\.$"), &prompt, {}, 30s),
        "the registration prompt titled \"...\" did not come up first");
    JOURNEY_VERIFY(x_.waitForWindows(program_->processId(), QStringLiteral("^Zelvora$"), 300ms).isEmpty(),
        "the main window is shown before the registration prompt is answered");
    x_.keys({ QStringLiteral("alt+n") });

    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet after answering No");
    const std::optional<ViewOnScreen> view = findView(shot_);
    JOURNEY_VERIFY(view->originY == 0, "the sheet does not start at its top");
    for (const auto& [q, k] : { std::pair { 1, 1 }, { 26, 3 }, { 72, 5 } }) {
        JOURNEY_VERIFY(markPixel(shot_, q, k) == qRgb(255, 255, 255), "an empty sheet shows a mark");
        JOURNEY_VERIFY(
            pagePixel(shot_, cellLeft(q, k), cellTop(q) + 7) == qRgb(0, 0, 0), "a cell has no black outline");
    }
    QVERIFY2(
        !QFileInfo::exists(folder(QStringLiteral("home/config/mimeapps.list"))), "No registered the file type anyway");

    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
    const QString ini = folder(QStringLiteral("bin/Configuracion.ini"));
    QCOMPARE(iniLines(ini), settingsText(1, 0, 0, 0, 0, 65280, 255));
}

void TestJourneys::commandLineFileShowsItsMarks_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << QStringLiteral("Examen uno.ztest");
    // As a desktop passes it: one argument, quotes and all.
    QTest::newRow("double quotes") << QStringLiteral("examen \"final\".ztest");
}

void TestJourneys::commandLineFileShowsItsMarks()
{
    QFETCH(QString, name);
    QVERIFY(giveOtherProgramTheFileType());
    // Round cells and distinct colours; an unmarked record's colour must
    // not be painted.
    const QList<Mark> marks { { 1, 1, 1, 0x0000FF }, { 26, 2, 1, 0x00FF00 }, { 51, 3, 1, 0xFF0000 },
        { 72, 4, 1, 0x00FFFF }, { 3, 5, 0, 0x0000FF } };
    const QString path = folder(QStringLiteral("files/") + name);
    QVERIFY(writeFile(path, testFile(0, 1, 1, marks)));

    QVERIFY(launch(QStringLiteral("zelvora"), { path }));
    JOURNEY_VERIFY(waitMainWindow(name), "the window is not titled with the file's name");
    for (const Mark& m : marks) {
        const std::uint32_t expected = m.marked == 1 ? m.color : 0xFFFFFF;
        JOURNEY_VERIFY(waitMark(m.q, m.k, expected),
            QStringLiteral("question %1 answer %2 is not shown in its colour").arg(m.q).arg(m.k));
    }
    // The file's round shape: a square mark would cover this pixel.
    JOURNEY_VERIFY(pagePixel(shot_, cellLeft(1, 1) + 3, cellTop(1) + 3) == qRgb(255, 255, 255),
        "the file's round cells are drawn square");

    // The window manager's close request ends the program as "Salir" does.
    x_.activate(mainWindow_);
    x_.keys({ QStringLiteral("alt+F4") });
    JOURNEY_VERIFY(waitExit(), "the close request did not end the program with status 0");
    const QString ini = folder(QStringLiteral("bin/Configuracion.ini"));
    QCOMPARE(iniLines(ini), settingsText(1, 1, 0, 0, 0, 65280, 255));
}

void TestJourneys::marksScrollsAndSaves()
{
    QVERIFY(giveOtherProgramTheFileType());
    QVERIFY(launch(QStringLiteral("zelvora")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet");

    // Question 5 is clicked twice: unmarked again, with a white colour.
    const QList<std::pair<int, int>> clicks { { 1, 1 }, { 2, 3 }, { 30, 5 }, { 5, 2 }, { 5, 2 } };
    for (const auto& [q, k] : clicks)
        clickCell(q, k);
    for (const auto& [q, k] : { std::pair { 1, 1 }, { 2, 3 }, { 30, 5 } })
        JOURNEY_VERIFY(waitMark(q, k, 0), QStringLiteral("the click on %1/%2 shows no mark").arg(q).arg(k));
    JOURNEY_VERIFY(waitMark(5, 2, 0xFFFFFF), "a second click did not clear the mark");

    x_.activate(mainWindow_);
    x_.keys({ QStringLiteral("End") });
    JOURNEY_VERIFY(waitOriginY(-561), "End did not show the bottom of the page");
    x_.keys({ QStringLiteral("Home") });
    JOURNEY_VERIFY(waitOriginY(0), "Home did not show the top of the page");
    // Each notch towards the user is one step of 15 until the bound is
    // passed: 38 steps reach -570, the rest do nothing.
    const std::optional<ViewOnScreen> view = findView(shot_);
    x_.click(view->topLeft.x() + 400, view->topLeft.y() + 400, 5, 45);
    JOURNEY_VERIFY(waitOriginY(-570), "the wheel did not scroll to the bottom");
    clickCell(100, 1);
    JOURNEY_VERIFY(waitMark(100, 1, 0), "the click on question 100 shows no mark");

    const QString path = folder(QStringLiteral("files/respuestas.ztest"));
    menu(kArchivos, full::kGrabarTest);
    JOURNEY_VERIFY(chooseFile(path), "the save dialog did not take the path");
    JOURNEY_VERIFY(waitActive(QStringLiteral("^respuestas\\.ztest$")), "the title is not the saved file's name");

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 500 * kRecordSize);
    const QList<Mark> expected { { 1, 1, 1, 0 }, { 2, 3, 1, 0 }, { 30, 5, 1, 0 }, { 5, 2, 0, 0xFFFFFF },
        { 100, 1, 1, 0 } };
    QCOMPARE(bytes, testFile(0, 0, 1, expected));

    // Saving again over the file: the question is answered Yes, the
    // confirmation acknowledged, and the new mark is in the file.
    clickCell(100, 2);
    JOURNEY_VERIFY(waitMark(100, 2, 0), "the click on question 100 answer 2 shows no mark");
    menu(kArchivos, full::kGrabarTest);
    JOURNEY_VERIFY(chooseFile(path), "the save dialog did not take the path a second time");
    QString question;
    JOURNEY_VERIFY(waitActive(QStringLiteral("^Programador$"), &question), "no overwrite question");
    x_.keys({ QStringLiteral("alt+s") });
    JOURNEY_VERIFY(waitActive(QStringLiteral("^Programador$"), nullptr, question), "no \"Test Guardado ...\" message");
    x_.keys({ QStringLiteral("Return") });
    JOURNEY_VERIFY(waitActive(QStringLiteral("^respuestas\\.ztest$")), "the window did not come back after saving");
    QFile again(path);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), testFile(0, 0, 1, QList<Mark>(expected) << Mark { 100, 2, 1, 0 }));

    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
}

void TestJourneys::menusChangeTheSheetAndAreKept()
{
    QVERIFY(giveOtherProgramTheFileType());
    QVERIFY(launch(QStringLiteral("zelvora")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet");
    // Square cells: the outline's corner pixel is drawn.
    JOURNEY_VERIFY(pagePixel(shot_, cellLeft(1, 1), cellTop(1)) == qRgb(0, 0, 0), "cells do not start square");
    const auto letterArea = [](const QImage& img) {
        const std::optional<ViewOnScreen> v = findView(img);
        return v ? img.copy(QRect(v->topLeft + QPoint(cellLeft(1, 1), cellTop(1) - 17), QSize(15, 15))) : QImage();
    };

    menu(kPersonalizar, kCeldasRedondas);
    JOURNEY_VERIFY(
        waitScreen([](const QImage& img) { return pagePixel(img, cellLeft(1, 1), cellTop(1)) == qRgb(255, 255, 255); }),
        "\"Celdas redondas\" left the cells square");
    menu(kPersonalizar, kLetraMayuscula);
    std::this_thread::sleep_for(500ms);
    shot_ = x_.screenshot();
    const QImage letterBefore = letterArea(shot_);
    menu(kPersonalizar, kLetraMinuscula);
    JOURNEY_VERIFY(waitScreen([&](const QImage& img) {
        const QImage a = letterArea(img);
        return !a.isNull() && a != letterBefore;
    }),
        "\"Letra Minuscula\" did not change the letters");
    menu(kPersonalizar, kTestLogica);
    // Two answers a question: the third cell's outline is gone.
    JOURNEY_VERIFY(waitScreen([](const QImage& img) {
        return pagePixel(img, cellLeft(1, 3), cellTop(1) + 7) == qRgb(255, 255, 255);
    }),
        "\"Test Logica Español\" still shows five answers");
    JOURNEY_VERIFY(pagePixel(shot_, cellLeft(1, 2) + 7, cellTop(1)) == qRgb(0, 0, 0), "the second answer is gone too");
    menu(kColor, kEscritura);
    JOURNEY_VERIFY(chooseColor(0, 0, 255), "the colour dialog did not take blue");
    const auto outlineIsBlue
        = [](const QImage& img) { return pagePixel(img, cellLeft(1, 1) + 7, cellTop(1)) == qRgb(0, 0, 255); };
    JOURNEY_VERIFY(waitScreen(outlineIsBlue), "\"Escritura\" did not recolour the outlines");
    const QImage letterSmall = letterArea(shot_);

    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
    const QString ini = folder(QStringLiteral("bin/Configuracion.ini"));
    QCOMPARE(iniLines(ini), settingsText(0, 1, 1, 0, 0xFF0000, 65280, 255));

    QVERIFY(launch(QStringLiteral("zelvora")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet after the restart");
    JOURNEY_VERIFY(waitScreen(outlineIsBlue), "the outline colour was not kept");
    JOURNEY_VERIFY(
        pagePixel(shot_, cellLeft(1, 1), cellTop(1)) == qRgb(255, 255, 255), "the round cells were not kept");
    JOURNEY_VERIFY(
        pagePixel(shot_, cellLeft(1, 3), cellTop(1) + 7) == qRgb(255, 255, 255), "the test type was not kept");
    JOURNEY_VERIFY(letterArea(shot_) == letterSmall, "the small letters were not kept");
    x_.activate(mainWindow_);
    x_.keys({ QStringLiteral("alt+F4") });
    JOURNEY_VERIFY(waitExit(), "the close request did not end the program with status 0");
}

void TestJourneys::readsAndCorrectsThroughTheMenus()
{
    QVERIFY(giveOtherProgramTheFileType());
    const QString answers = folder(QStringLiteral("files/alumno.ztest"));
    const QString key = folder(QStringLiteral("files/clave.ztest"));
    QVERIFY(writeFile(answers, testFile(0, 0, 1, { { 1, 1, 1, 0 }, { 2, 2, 1, 0 } })));
    QVERIFY(writeFile(key, testFile(0, 0, 1, { { 1, 1, 1, 0 }, { 2, 3, 1, 0 } })));

    QVERIFY(launch(QStringLiteral("zelvora")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet");
    menu(kArchivos, full::kLeerTest);
    JOURNEY_VERIFY(chooseFile(answers), "the open dialog did not take the answers");
    JOURNEY_VERIFY(waitActive(QStringLiteral("^alumno\\.ztest$")), "the title is not the read file's name");
    JOURNEY_VERIFY(waitMark(1, 1, 0) && waitMark(2, 2, 0), "the read marks are not shown");

    menu(kArchivos, full::kCorregirTest);
    JOURNEY_VERIFY(chooseFile(key), "the open dialog did not take the key");
    JOURNEY_VERIFY(waitMark(1, 1, 0x00FF00), "the agreeing answer is not in the hit colour");
    JOURNEY_VERIFY(waitMark(2, 3, 0x0000FF), "the missed key answer is not in the miss colour");
    JOURNEY_VERIFY(waitMark(2, 2, 0), "the answer outside the key lost its colour");
    JOURNEY_VERIFY(waitActive(QStringLiteral("^alumno\\.ztest$")), "correcting changed the title");

    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
}

void TestJourneys::fotocopiaKeepsTheFrameOnScreen()
{
    QVERIFY(giveOtherProgramTheFileType());
    QVERIFY(launch(QStringLiteral("zelvora")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet");
    clickCell(26, 4);
    JOURNEY_VERIFY(waitMark(26, 4, 0), "the click shows no mark");

    menu(kArchivos, full::kFotocopia);
    const QString image = folder(QStringLiteral("bin/zelvora.bmp"));
    QDeadlineTimer deadline(15s);
    while (!QFileInfo::exists(image) && !deadline.hasExpired())
        std::this_thread::sleep_for(100ms);
    // The image is renamed into place whole, so once it exists it is complete.
    const QImage page(image);
    JOURNEY_VERIFY(!page.isNull(), "\"Fotocopia\" wrote no readable image beside the executable");
    QCOMPARE(page.size(), QSize(794, 1122));
    QCOMPARE(page.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    QCOMPARE(page.pixel(793, 1121) & 0xFFFFFF, 0xFFFFFFu);
    QCOMPARE(page.pixel(cellLeft(26, 4) + 7, cellTop(26) + 7) & 0xFFFFFF, 0u);
    QCOMPARE(page.pixel(cellLeft(26, 4), cellTop(26)) & 0xFFFFFF, 0u);

    JOURNEY_VERIFY(waitOriginY(0), "the frame is gone from the screen after \"Fotocopia\"");
    JOURNEY_VERIFY(waitMark(26, 4, 0), "the mark is gone from the screen after \"Fotocopia\"");
    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
}

void TestJourneys::printQuestionLeavesTheWindowUsable()
{
    QVERIFY(giveOtherProgramTheFileType());
    QVERIFY(launch(QStringLiteral("zelvora")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet");
    // The question shows the sheet from its top without the frame, which
    // findView needs; the view stays where it is now.
    const QPoint view = findView(shot_)->topLeft;

    menu(kArchivos, full::kImprimir);
    JOURNEY_VERIFY(waitActive(QStringLiteral("^Configura la impresión$")), "no print set-up dialog");
    // Tab order: the three lists, then "Seguir".
    x_.keys({ QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space") });
    JOURNEY_VERIFY(waitActive(QStringLiteral("^Programador$")), "no \"Imprimir ?\" question");

    const QPoint cell = view + QPoint(cellLeft(3, 2) + 7, cellTop(3) + 7);
    x_.click(cell.x(), cell.y());
    JOURNEY_VERIFY(waitScreen([&](const QImage& img) { return isBlack(img.pixel(cell)); }, 5s),
        "a click on the sheet while \"Imprimir ?\" is open marked nothing");

    // The menu opens too, and a second print run does not start.
    menu(kArchivos, full::kImprimir);
    std::this_thread::sleep_for(1s);
    JOURNEY_VERIFY(x_.waitForWindows(program_->processId(), QStringLiteral("^Configura la impresión$"), 0ms).isEmpty(),
        "a second print run started while the first asked");

    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" while \"Imprimir ?\" was open did not end the program with status 0");
    const QString ini = folder(QStringLiteral("bin/Configuracion.ini"));
    QCOMPARE(iniLines(ini), settingsText(1, 0, 0, 0, 0, 65280, 255));
}

void TestJourneys::examEditionSavesWhatTheFullEditionReads()
{
    QVERIFY(giveOtherProgramTheFileType());
    QVERIFY(launch(QStringLiteral("brastin")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet in the exam edition");
    clickCell(7, 2);
    clickCell(60, 4);
    JOURNEY_VERIFY(waitMark(7, 2, 0) && waitMark(60, 4, 0), "the clicks show no marks");

    // "Color" holds two items: Up from the first wraps to "Escritura".
    x_.activate(mainWindow_);
    x_.keys({ QStringLiteral("alt") });
    std::this_thread::sleep_for(250ms);
    x_.keys({ QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Down"), QStringLiteral("Up"),
        QStringLiteral("Return") });
    JOURNEY_VERIFY(chooseColor(0, 0, 255), "the last \"Color\" item opened no colour dialog");
    JOURNEY_VERIFY(
        waitScreen([](const QImage& img) { return pagePixel(img, cellLeft(1, 1) + 7, cellTop(1)) == qRgb(0, 0, 255); }),
        "the last \"Color\" item is not \"Escritura\"");

    const QString path = folder(QStringLiteral("files/examen.ztest"));
    menu(kArchivos, exam::kGrabarTest);
    JOURNEY_VERIFY(chooseFile(path), "the save dialog did not take the path");
    JOURNEY_VERIFY(waitActive(QStringLiteral("^examen\\.ztest$")), "the title is not the saved file's name");
    // Third item of the short "Archivos" is "Salir".
    menu(kArchivos, exam::kSalir);
    JOURNEY_VERIFY(waitExit(), "the third \"Archivos\" item did not end the exam edition");

    QVERIFY(launch(QStringLiteral("zelvora"), { path }));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("examen.ztest")), "the full edition did not open the exam's file");
    JOURNEY_VERIFY(waitMark(7, 2, 0) && waitMark(60, 4, 0), "the exam's marks are not shown by the full edition");
    menu(kArchivos, full::kSalir);
    JOURNEY_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
}

// "Grabar test" of the exam edition into files/, waiting for the title.
bool TestJourneys::saveAs(const QString& name)
{
    menu(kArchivos, exam::kGrabarTest);
    return chooseFile(folder(QStringLiteral("files/") + name))
        && waitActive(QLatin1Char('^') + QRegularExpression::escape(QFileInfo(name).fileName()) + QLatin1Char('$'));
}

void TestJourneys::classToolGradesWhatTheExamEditionSaved()
{
    QVERIFY(giveOtherProgramTheFileType());
    QVERIFY(QDir().mkpath(folder(QStringLiteral("files/clase"))));
    QVERIFY(launch(QStringLiteral("brastin")));
    JOURNEY_VERIFY(waitMainWindow(QStringLiteral("Zelvora")), "no framed sheet in the exam edition");

    // The key marks 1A, 2B and 3C.
    clickCell(1, 1);
    clickCell(2, 2);
    clickCell(3, 3);
    JOURNEY_VERIFY(waitMark(1, 1, 0) && waitMark(2, 2, 0) && waitMark(3, 3, 0), "the key's clicks show no marks");
    JOURNEY_VERIFY(saveAs(QStringLiteral("clave.ztest")), "the key was not saved");
    // Ana answers 3D instead of 3C.
    clickCell(3, 3);
    clickCell(3, 4);
    JOURNEY_VERIFY(waitMark(3, 3, 0xFFFFFF) && waitMark(3, 4, 0), "ana's clicks show no change");
    JOURNEY_VERIFY(saveAs(QStringLiteral("clase/ana.ztest")), "ana's sheet was not saved");
    // Luis leaves 1 and 2 blank.
    clickCell(1, 1);
    clickCell(2, 2);
    JOURNEY_VERIFY(waitMark(1, 1, 0xFFFFFF) && waitMark(2, 2, 0xFFFFFF), "luis's clicks show no change");
    JOURNEY_VERIFY(saveAs(QStringLiteral("clase/luis.ztest")), "luis's sheet was not saved");
    menu(kArchivos, exam::kSalir);
    JOURNEY_VERIFY(waitExit(), "the exam edition did not end with status 0");

    QProcess notas;
    notas.setWorkingDirectory(folder(QStringLiteral("files")));
    notas.start(QStringLiteral(NOTAS_EXE),
        { QStringLiteral("--clave"), QStringLiteral("clave.ztest"), QStringLiteral("--csv"),
            QStringLiteral("clase.csv"), QStringLiteral("--hojas"), QStringLiteral("hojas"), QStringLiteral("clase") });
    QVERIFY(notas.waitForFinished(60000));
    QVERIFY2(notas.exitCode() == 0, notas.readAllStandardError().constData());
    QFile csv(folder(QStringLiteral("files/clase.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(),
        QByteArray("Fichero,Aciertos,Fallos,En blanco,Nota,P1,P2,P3\r\n"
                   "ana.ztest,2,1,0,6.67,A,B,D\r\n"
                   "luis.ztest,0,1,2,0.00,,,D\r\n"));
    QVERIFY(QFileInfo(folder(QStringLiteral("files/hojas/ana.pdf"))).size() > 0);
    QVERIFY(QFileInfo(folder(QStringLiteral("files/hojas/luis.pdf"))).size() > 0);
}

QTEST_GUILESS_MAIN(TestJourneys)
#include "tst_journeys.moc"
