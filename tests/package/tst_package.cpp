// The Debian packages as an administrator builds, checks and installs them,
// and the installed program as a user meets it: started from /usr/bin in a
// real X server, its files in the user's own folders, test files opened by
// the desktop. Ends by purging both packages and looking for leftovers.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include "xsession.h"

using namespace std::chrono_literals;

namespace {

const QString kUser = QStringLiteral("zelvora-prueba");
const QString kHome = QStringLiteral("/home/zelvora-prueba");
const QString kRuntime = QStringLiteral("/tmp/zelvora-prueba-runtime");
const QStringList kPackages { QStringLiteral("zelvora"), QStringLiteral("brastin") };
const QString kMimeType = QStringLiteral("application/x-ztest-files");

// Menus and items as the keyboard reaches them (separators are skipped).
enum MenuIndex { kArchivos = 0, kPersonalizar = 1 };
constexpr int kFotocopia = 5, kSalir = 7;
constexpr int kCeldasCuadradas = 0, kCeldasRedondas = 1, kLetraMinuscula = 3, kTestLogica = 5;

struct Result {
    int status = -1;
    QByteArray output;
};

enum class Output { Kept, Dropped };

// Standard output and error together, so that a failure shows both. A
// command that leaves a program running drops them: the program inherits
// them and must not write into a pipe that is closed behind it.
Result run(const QString& program, const QStringList& arguments, std::chrono::milliseconds timeout = 120s,
    Output output = Output::Kept)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (output == Output::Dropped)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Result r;
    if (!process.waitForStarted(10000))
        return r;
    if (!process.waitForFinished(int(timeout.count()))) {
        process.kill();
        process.waitForFinished(5000);
        r.output = process.readAll() + "\n(timed out)";
        return r;
    }
    r.output = process.readAll();
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return r;
}

QByteArray packageStatus(const QString& package)
{
    const Result r
        = run(QStringLiteral("dpkg-query"), { QStringLiteral("-W"), QStringLiteral("-f=${Status}"), package });
    return r.status == 0 ? r.output.trimmed() : QByteArray();
}

bool installed(const QString& package)
{
    return packageStatus(package) == "install ok installed";
}

// Other developers' and CI's package installs may hold dpkg's lock a while.
QStringList apt(const QStringList& arguments)
{
    return QStringList { QStringLiteral("-o"), QStringLiteral("DPkg::Lock::Timeout=300"), QStringLiteral("-y") }
    + arguments;
}

// Purges whatever dpkg still knows of the packages, their configuration
// left by a removal included.
Result purge()
{
    QStringList known;
    for (const QString& package : kPackages) {
        const QByteArray status = packageStatus(package);
        if (!status.isEmpty() && !status.endsWith("not-installed"))
            known.append(package);
    }
    if (known.isEmpty())
        return Result { 0, {} };
    return run(QStringLiteral("apt-get"), apt(QStringList { QStringLiteral("purge") } + known), 900s);
}

// The user's view of a command: their own id, home and login environment,
// and the test's display.
QStringList asUser(const QString& display, const QStringList& command)
{
    return QStringList { QStringLiteral("--reuid=") + kUser, QStringLiteral("--regid=") + kUser,
        QStringLiteral("--init-groups"), QStringLiteral("--reset-env"), QStringLiteral("env"),
        QStringLiteral("DISPLAY=") + display, QStringLiteral("XDG_RUNTIME_DIR=") + kRuntime,
        QStringLiteral("LANG=C.UTF-8") }
    + command;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAsUser(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return run(QStringLiteral("chown"), { QStringLiteral("-R"), kUser + QLatin1Char(':') + kUser, kHome }).status == 0;
}

QByteArray settingsText(int letterCase, int shape, int testType)
{
    return QStringLiteral("[Personalizar]\r\nTipo Letra= %1\r\nForma= %2\r\nTest= %3\r\nColor Relleno= 0\r\n"
                          "Color Texto= 0\r\nColor Acierto= 65280\r\nColor Fallo= 255\r\n")
        .arg(letterCase)
        .arg(shape)
        .arg(testType)
        .toLatin1();
}

// A five-answer test with one mark, laid out as the program writes it.
QByteArray testFile()
{
    QByteArray bytes(500 * 32, '\0');
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    for (int q = 1; q <= 100; ++q) {
        for (int k = 1; k <= 5; ++k, p += 32) {
            const int left = 152 + 145 * ((q - 1) / 25) + 22 * (k - 1);
            const int top = 75 + 40 * ((q - 1) % 25);
            qToLittleEndian<qint16>(qint16(left), p);
            qToLittleEndian<qint16>(qint16(left + 15), p + 2);
            qToLittleEndian<qint16>(qint16(top), p + 4);
            qToLittleEndian<qint16>(qint16(top + 15), p + 6);
            qToLittleEndian<qint32>(q == 1 && k == 2 ? 1 : 0, p + 8);
            qToLittleEndian<qint32>(1, p + 24);
            qToLittleEndian<qint16>(qint16(k), p + 28);
            qToLittleEndian<qint16>(qint16(q), p + 30);
        }
    }
    return bytes;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // In this order: each step works on what the one before left.
    void packagesPassTheChecks();
    void installedProgramKeepsItsFilesWithTheUser();
    void desktopOpensTestFilesWithIt();
    void menuEntryOpensTheGradingWindow();
    void purgeLeavesNothing();

private:
    bool launch();
    QString waitWindow(const QString& title, qint64 pid);
    bool waitExit();
    void menu(int menuIndex, int item);
    QString failure(const QString& what);

    QString debs_;
    XSession x_;
    std::unique_ptr<QProcess> program_;
    QString mainWindow_;
    QStringList installedFiles_;
    int shots_ = 0;
    int offers_ = 0;
};

#define PACKAGE_VERIFY(condition, what)                                                                                \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            QFAIL(qPrintable(failure(what)));                                                                          \
    } while (false)

void TestPackage::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("installs and purges system packages and creates a user: runs as root only");
    for (const char* tool : { "apt-get", "dpkg-deb", "lintian", "desktop-file-validate", "appstreamcli", "gio",
             "setpriv", "useradd", "Xvfb", "openbox", "xdotool", "xwd" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()
            && !QFileInfo::exists(QStringLiteral("/usr/sbin/") + QString::fromLatin1(tool)))
            QFAIL(qPrintable(QStringLiteral("%1 is missing: bash scripts/deps.sh test installs it").arg(tool)));
    }

    // A run that was killed may have left the packages or the user behind.
    const Result purged = purge();
    QVERIFY2(purged.status == 0, purged.output.constData());
    run(QStringLiteral("/usr/sbin/userdel"), { QStringLiteral("-r"), QStringLiteral("-f"), kUser });
    const Result user = run(QStringLiteral("/usr/sbin/useradd"),
        { QStringLiteral("-m"), QStringLiteral("-s"), QStringLiteral("/bin/sh"), kUser });
    QVERIFY2(user.status == 0, user.output.constData());
    QDir(kRuntime).removeRecursively();
    QVERIFY(QDir().mkpath(kRuntime));
    QVERIFY(run(QStringLiteral("chown"), { kUser + QLatin1Char(':') + kUser, kRuntime }).status == 0);
    QVERIFY(QFile::setPermissions(kRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    debs_ = QStringLiteral(PACKAGE_OUTPUT_DIR "/packages");
    QDir(debs_).removeRecursively();
    const Result built
        = run(QStringLiteral("bash"), { QStringLiteral(ZELVORA_SOURCE_DIR "/scripts/package.sh"), debs_ }, 1200s);
    QVERIFY2(built.status == 0, built.output.right(4000).constData());

    const QString error = x_.start(1280, 1200);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestPackage::cleanupTestCase()
{
    if (program_ && program_->state() != QProcess::NotRunning) {
        program_->kill();
        program_->waitForFinished(5000);
    }
    if (geteuid() != 0)
        return;
    // A program that the desktop started for the user, left by a failed step.
    const Result left
        = run(QStringLiteral("ps"), { QStringLiteral("-o"), QStringLiteral("pid="), QStringLiteral("-u"), kUser });
    for (const QByteArray& pid : left.output.split('\n')) {
        if (!pid.trimmed().isEmpty())
            ::kill(pid.trimmed().toInt(), SIGKILL);
    }
    x_.stop();
    purge();
    run(QStringLiteral("/usr/sbin/userdel"), { QStringLiteral("-r"), QStringLiteral("-f"), kUser });
    QDir(kRuntime).removeRecursively();
}

QString TestPackage::failure(const QString& what)
{
    const QImage image = x_.screenshot();
    const QString name = QStringLiteral("%1/%2-%3.png")
                             .arg(QStringLiteral(PACKAGE_OUTPUT_DIR), QString::fromLatin1(QTest::currentTestFunction()))
                             .arg(++shots_);
    if (!image.isNull() && image.save(name))
        return QStringLiteral("%1 (screenshot: %2)").arg(what, name);
    return what;
}

bool TestPackage::launch()
{
    program_ = std::make_unique<QProcess>();
    program_->setProcessChannelMode(QProcess::ForwardedChannels);
    // setpriv and env replace themselves by the program: one process id.
    program_->start(QStringLiteral("setpriv"), asUser(x_.display(), { QStringLiteral("/usr/bin/zelvora") }));
    if (!program_->waitForStarted(10000))
        return false;
    mainWindow_ = waitWindow(QStringLiteral("Zelvora"), program_->processId());
    return !mainWindow_.isEmpty() && x_.activate(mainWindow_);
}

// The window titled `title`, of process `pid` (any process when 0), once it
// shows. A start-up offer that comes first is counted and answered No, so
// that the steps after it still run.
QString TestPackage::waitWindow(const QString& title, qint64 pid)
{
    const QString pattern = QStringLiteral("^(%1|\\.\\.\\.)$").arg(QRegularExpression::escape(title));
    QDeadlineTimer deadline(30s);
    while (!deadline.hasExpired()) {
        QStringList args { QStringLiteral("search"), QStringLiteral("--onlyvisible") };
        if (pid != 0)
            args << QStringLiteral("--pid") << QString::number(pid);
        args << QStringLiteral("--name") << pattern;
        const QByteArray found = x_.run(QStringLiteral("xdotool"), args);
        for (const QString& window : QString::fromLatin1(found).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString name = x_.windowName(window);
            if (name == title)
                return window;
            if (name == QLatin1String("...")) {
                ++offers_;
                x_.activate(window);
                x_.keys({ QStringLiteral("alt+n") });
            }
        }
        std::this_thread::sleep_for(200ms);
    }
    return {};
}

bool TestPackage::waitExit()
{
    return program_->waitForFinished(30000) && program_->exitStatus() == QProcess::NormalExit
        && program_->exitCode() == 0;
}

void TestPackage::menu(int menuIndex, int item)
{
    x_.activate(mainWindow_);
    x_.chooseMenuItem(menuIndex, item);
    // Each command rebuilds the sheet before the next key is read.
    std::this_thread::sleep_for(500ms);
}

void TestPackage::packagesPassTheChecks()
{
    const QStringList debs = QDir(debs_).entryList({ QStringLiteral("*.deb") }, QDir::Files, QDir::Name);
    QCOMPARE(debs.size(), 2);
    QStringList paths;
    for (const QString& deb : debs)
        paths.append(QDir(debs_).filePath(deb));

    const Result lintian = run(
        QStringLiteral("lintian"), QStringList { QStringLiteral("--fail-on"), QStringLiteral("error") } + paths, 600s);
    QVERIFY2(lintian.status == 0, lintian.output.constData());

    const QString tree = debs_ + QStringLiteral("/tree");
    for (const QString& path : paths) {
        const Result x = run(QStringLiteral("dpkg-deb"), { QStringLiteral("-x"), path, tree });
        QVERIFY2(x.status == 0, x.output.constData());
    }
    for (const QString& id : { QStringLiteral("org.zelvora.Zelvora"), QStringLiteral("org.zelvora.Brastin") }) {
        const Result desktop = run(QStringLiteral("desktop-file-validate"),
            { tree + QStringLiteral("/usr/share/applications/") + id + QStringLiteral(".desktop") });
        QVERIFY2(desktop.status == 0 && desktop.output.trimmed().isEmpty(), desktop.output.constData());
        const Result appstream = run(QStringLiteral("appstreamcli"),
            { QStringLiteral("validate"), QStringLiteral("--no-net"),
                tree + QStringLiteral("/usr/share/metainfo/") + id + QStringLiteral(".metainfo.xml") });
        QVERIFY2(appstream.status == 0, appstream.output.constData());
    }
    // The class grading window's own entry, under the full edition's data.
    const Result notas = run(QStringLiteral("desktop-file-validate"),
        { tree + QStringLiteral("/usr/share/applications/org.zelvora.ZelvoraNotas.desktop") });
    QVERIFY2(notas.status == 0 && notas.output.trimmed().isEmpty(), notas.output.constData());
}

void TestPackage::installedProgramKeepsItsFilesWithTheUser()
{
    QStringList arguments { QStringLiteral("install") };
    for (const QString& deb : QDir(debs_).entryList({ QStringLiteral("*.deb") }, QDir::Files, QDir::Name))
        arguments.append(QDir(debs_).filePath(deb));
    const Result install = run(QStringLiteral("apt-get"), apt(arguments), 900s);
    QVERIFY2(install.status == 0, install.output.constData());
    for (const QString& package : kPackages) {
        QVERIFY(installed(package));
        const Result files = run(QStringLiteral("dpkg-query"), { QStringLiteral("-L"), package });
        for (const QString& path : QString::fromUtf8(files.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (QFileInfo(path).isFile())
                installedFiles_.append(path);
        }
    }
    QVERIFY(installedFiles_.contains(QStringLiteral("/usr/bin/zelvora")));

    QVERIFY(writeAsUser(kHome + QStringLiteral("/.config/user-dirs.dirs"),
        "XDG_DESKTOP_DIR=\"$HOME/Escritorio\"\nXDG_PICTURES_DIR=\"$HOME/Imágenes\"\n"));
    PACKAGE_VERIFY(launch(), "the installed zelvora showed no main window");
    QVERIFY2(offers_ == 0, "the installed program offered to register the type its package declares");
    menu(kPersonalizar, kCeldasRedondas);
    menu(kPersonalizar, kLetraMinuscula);
    menu(kPersonalizar, kTestLogica);
    menu(kArchivos, kSalir);
    PACKAGE_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
    const QString ini = kHome + QStringLiteral("/.config/zelvora/Configuracion.ini");
    QCOMPARE(readAll(ini), settingsText(0, 1, 1));

    // Only the shape changes now: the rest comes back from the file.
    PACKAGE_VERIFY(launch(), "no main window at the second start");
    menu(kPersonalizar, kCeldasCuadradas);
    menu(kArchivos, kFotocopia);
    PACKAGE_VERIFY(!x_.waitForWindows(program_->processId(), QStringLiteral("^Programador$"), 15s).isEmpty(),
        "\"Fotocopia\" said nothing");
    const QImage page(kHome + QStringLiteral("/Imágenes/zelvora.bmp"));
    QCOMPARE(page.size(), QSize(794, 1122));
    x_.keys({ QStringLiteral("Return") });
    PACKAGE_VERIFY(x_.waitForWindows(program_->processId(), QStringLiteral("^Zelvora$"), 5s).size() == 1,
        "the main window did not come back after the message");
    menu(kArchivos, kSalir);
    PACKAGE_VERIFY(waitExit(), "\"Salir\" did not end the program with status 0");
    QCOMPARE(readAll(ini), settingsText(0, 0, 1));

    for (const char* name : { "Configuracion.ini", "zelvora.bmp" })
        QVERIFY2(!QFileInfo::exists(QStringLiteral("/usr/bin/") + QLatin1String(name)), name);
    QVERIFY(!QFileInfo::exists(kHome + QStringLiteral("/.local/share/applications")));
}

void TestPackage::desktopOpensTestFilesWithIt()
{
    const Result mime = run(
        QStringLiteral("setpriv"), asUser(x_.display(), { QStringLiteral("gio"), QStringLiteral("mime"), kMimeType }));
    QVERIFY2(mime.status == 0, mime.output.constData());
    const QRegularExpression defaultEntry(
        QStringLiteral("Default application for .*: org\\.zelvora\\.(Zelvora|Brastin)\\.desktop"));
    QVERIFY2(defaultEntry.match(QString::fromUtf8(mime.output)).hasMatch(), mime.output.constData());

    const QString file = kHome + QStringLiteral("/examen.ztest");
    QVERIFY(writeAsUser(file, testFile()));
    const Result open = run(QStringLiteral("setpriv"),
        asUser(x_.display(), { QStringLiteral("gio"), QStringLiteral("open"), file }), 30s, Output::Dropped);
    QVERIFY2(open.status == 0, open.output.constData());

    // Started by the desktop, so found by its title alone.
    const QString window = waitWindow(QStringLiteral("examen.ztest"), 0);
    PACKAGE_VERIFY(!window.isEmpty(), "\"gio open\" showed no window titled with the file's name");
    QVERIFY2(offers_ == 0, "the program opened by the desktop offered to register the type");
    const QString pid
        = QString::fromLatin1(x_.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowpid"), window })).trimmed();
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    QVERIFY2(exe == QLatin1String("/usr/bin/zelvora") || exe == QLatin1String("/usr/bin/brastin"), qPrintable(exe));

    x_.activate(window);
    x_.keys({ QStringLiteral("alt+F4") });
    QDeadlineTimer gone(30s);
    while (QFileInfo::exists(QStringLiteral("/proc/") + pid) && !gone.hasExpired())
        std::this_thread::sleep_for(200ms);
    QVERIFY2(!QFileInfo::exists(QStringLiteral("/proc/") + pid), "the program opened by the desktop did not end");
}

// What a teacher who never opens a terminal clicks in the menu: the entry
// starts the grading window, which keeps its memory in the user's own
// folder and nothing beside the program.
void TestPackage::menuEntryOpensTheGradingWindow()
{
    const QString entry = QStringLiteral("/usr/share/applications/org.zelvora.ZelvoraNotas.desktop");
    QVERIFY(QFileInfo::exists(entry));
    const Result open = run(QStringLiteral("setpriv"),
        asUser(x_.display(), { QStringLiteral("gio"), QStringLiteral("launch"), entry }), 30s, Output::Dropped);
    QVERIFY2(open.status == 0, open.output.constData());

    const QString window = waitWindow(QStringLiteral("Zelvora Notas"), 0);
    PACKAGE_VERIFY(!window.isEmpty(), "the menu entry \"Zelvora Notas\" showed no window");
    const QString pid
        = QString::fromLatin1(x_.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowpid"), window })).trimmed();
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget(),
        QStringLiteral("/usr/libexec/zelvora/zelvora-notas-ventana"));

    x_.activate(window);
    x_.keys({ QStringLiteral("alt+F4") });
    QDeadlineTimer gone(30s);
    while (QFileInfo::exists(QStringLiteral("/proc/") + pid) && !gone.hasExpired())
        std::this_thread::sleep_for(200ms);
    QVERIFY2(!QFileInfo::exists(QStringLiteral("/proc/") + pid), "the grading window did not end");
    QVERIFY(QFileInfo::exists(kHome + QStringLiteral("/.config/zelvora/notas.ini")));
    for (const char* folder : { "/usr/bin/", "/usr/libexec/zelvora/" })
        QVERIFY2(!QFileInfo::exists(QLatin1String(folder) + QStringLiteral("notas.ini")), folder);
}

void TestPackage::purgeLeavesNothing()
{
    QVERIFY(!installedFiles_.isEmpty());
    const Result r = purge();
    QVERIFY2(r.status == 0, r.output.constData());
    for (const QString& package : kPackages) {
        const QByteArray status = packageStatus(package);
        QVERIFY2(status.isEmpty() || status.endsWith("not-installed"), status.constData());
    }
    for (const QString& path : installedFiles_)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/usr/share/mime/") + kMimeType + QStringLiteral(".xml")));
    QVERIFY(!readAll(QStringLiteral("/usr/share/applications/mimeinfo.cache")).contains("org.zelvora."));
    QVERIFY(!readAll(QStringLiteral("/usr/share/mime/globs2")).contains("ztest"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/usr/share/doc/zelvora")));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/usr/share/doc/brastin")));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
