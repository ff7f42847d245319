#include <memory>

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "registry/filetype.h"
#include "registry/xdg.h"
#include "tests/support/scopedenvironment.h"
#include "tests/support/testmodel.h"

namespace {

using Files = QMap<QString, QString>;

const QString kType = QStringLiteral("application/x-ztest-files");
const QString kPrompt = QStringLiteral("Tienes que registrar este programa ...\r\n"
                                       "Dale compatibilidad y Ubicación ...\r\n"
                                       "Despues, di que si ...");

// A database as update-mime-database leaves it, reduced to the one file
// that names globs.
const QString kOtherGlob = QStringLiteral("50:application/x-other:*.ztest\n");

QString otherEntry(const QString& exec)
{
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Otro\nExec=%1\n").arg(exec);
}

QString defaults(const QString& list)
{
    return QStringLiteral("[Default Applications]\napplication/x-other=%1\n").arg(list);
}

void writeFile(const QString& path, const QString& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content.toUtf8());
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList filesUnder(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

// The standard output of a desktop tool, trimmed; the tool must exist.
QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("<timed out>");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("<failed: %1>").arg(QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A program that leaves `marker` behind when it runs, so a test can tell
// that the desktop really started something.
void writeExecutable(const QString& path, const QString& marker = QString())
{
    writeFile(path,
        marker.isEmpty() ? QStringLiteral("#!/bin/sh\nexit 0\n") : QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(marker));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// The desktop file ID `gio mime` names as the default for the type `gio`
// finds for `document`, or empty when it names none.
QString desktopOpens(const QString& document)
{
    const QString type = runTool(QStringLiteral("gio"),
        { QStringLiteral("info"), QStringLiteral("-a"), QStringLiteral("standard::content-type"), document })
                             .section(QLatin1Char('\n'), -1)
                             .section(QLatin1String(": "), 1);
    const QString answer
        = runTool(QStringLiteral("gio"), { QStringLiteral("mime"), type }).section(QLatin1Char('\n'), 0, 0);
    if (!answer.startsWith(QLatin1String("Default application for")))
        return {};
    return answer.section(QLatin1String(": "), -1);
}

// Whether `gio open` really starts a program for `document`: every program
// of the fixture leaves `marker`. `gio open` returns before the program has
// run, and succeeds even when the entry it picked names no program, so only
// the marker tells.
bool desktopLaunches(const QString& document, const QString& marker)
{
    QFile::remove(marker);
    if (!runTool(QStringLiteral("gio"), { QStringLiteral("open"), document }).isEmpty())
        return false;
    QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(marker) && !deadline.hasExpired())
        QThread::msleep(50);
    return QFileInfo::exists(marker);
}

} // namespace

class TestFileType : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void desktopToolsAgree_data();
    void desktopToolsAgree();
    void dottedExtensionWritesNothing_data();
    void dottedExtensionWritesNothing();
    void openCommandLookup_data();
    void openCommandLookup();
    void mimeappsKeepsOtherLines();
    void startupOffer_data();
    void startupOffer();
    void unrunnablePathWritesNothing_data();
    void unrunnablePathWritesNothing();
    void baseDirectories_data();
    void baseDirectories();

private:
    QString path(const QString& relative) const { return root_->filePath(relative); }
    // Every file under the test's folder with its content.
    Files snapshot() const;

    std::unique_ptr<QTemporaryDir> root_;
};

void TestFileType::initTestCase()
{
    for (const char* tool : {"update-mime-database", "update-desktop-database", "xdg-mime", "mimetype", "gio",
                             "desktop-file-validate"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is missing: run scripts/deps.sh test").arg(QString::fromLatin1(tool))));
    }
    // Without a known desktop, xdg-mime falls back to the generic lookups
    // that read the freedesktop files themselves.
    for (const char* name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "DISPLAY", "WAYLAND_DISPLAY"})
        qunsetenv(name);
    qputenv("ZELVORA_TOOLS", "/opt/herramientas");
}

// Every test gets its own user and system folders, so the machine's own
// associations never answer for us.
void TestFileType::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", path(QStringLiteral("sysdata")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("sysconfig")).toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");
}

void TestFileType::desktopToolsAgree_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("desktopId");
    // With %1 for the folder of the test.
    QTest::addColumn<QString>("exec");

    QTest::newRow("plain path") << "bin/zelvora"
                                << "zelvora.desktop"
                                << "%1/bin/zelvora %f";
    QTest::newRow("exam edition") << "bin/brastin"
                                  << "brastin.desktop"
                                  << "%1/bin/brastin %f";
    QTest::newRow("spaces") << "mis programas/zelvora"
                            << "zelvora.desktop"
                            << "\"%1/mis programas/zelvora\" %f";
    QTest::newRow("quote, dollar, backslash") << "a\"b$c\\d/zelvora"
                                              << "zelvora.desktop"
                                              << "\"%1/a\\\"b\\$c\\\\d/zelvora\" %f";
}

// The proof of a registration is that the desktop's own tools find our type,
// our entry and our command, and that opening a file really starts the
// program with that file as one argument.
void TestFileType::desktopToolsAgree()
{
    QFETCH(QString, program);
    QFETCH(QString, desktopId);
    QFETCH(QString, exec);

    const QString programPath = path(program);
    const QString argsFile = path(QStringLiteral("args.txt"));
    writeFile(programPath, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1'\n").arg(argsFile));
    QVERIFY(QFile::setPermissions(programPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    TestModel t;
    t.m.programPath = programPath;
    registerFileType(t.m, QStringLiteral("ztest"), 1);
    QVERIFY(t.ui.messages.empty());

    QCOMPARE(readOpenCommand(QStringLiteral(".ztest")), exec.arg(root_->path()));

    const QString entry = path(QStringLiteral("data/applications/") + desktopId);
    QCOMPARE(runTool(QStringLiteral("desktop-file-validate"), {entry}), QString());
    QVERIFY(QFileInfo::exists(path(QStringLiteral("data/icons/hicolor/128x128/mimetypes/application-x-ztest-files.png"))));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("data/icons/hicolor/128x128/apps/")
                                   + QFileInfo(programPath).fileName() + QStringLiteral(".png"))));

    const QString document = path(QStringLiteral("un test.ztest"));
    writeFile(document, QStringLiteral("x"));
    QCOMPARE(runTool(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), document}), kType);
    QCOMPARE(runTool(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), kType}), desktopId);
    QCOMPARE(runTool(QStringLiteral("gio"), {QStringLiteral("info"), QStringLiteral("-a"),
                                             QStringLiteral("standard::content-type"), document})
                 .section(QLatin1Char('\n'), -1)
                 .section(QLatin1String(": "), 1),
             kType);

    QCOMPARE(runTool(QStringLiteral("gio"), {QStringLiteral("open"), document}), QString());
    QTRY_COMPARE_WITH_TIMEOUT(readFile(argsFile), QStringLiteral("1\n") + document + QLatin1Char('\n'), 10000);
}

void TestFileType::dottedExtensionWritesNothing_data()
{
    QTest::addColumn<QString>("extension");
    QTest::newRow("leading dot") << ".ztest";
    QTest::newRow("dot inside") << "zt.est";
    QTest::newRow("trailing dot") << "ztest.";
}

void TestFileType::dottedExtensionWritesNothing()
{
    QFETCH(QString, extension);
    TestModel t;
    registerFileType(t.m, extension, 1);

    QCOMPARE(filesUnder(root_->path()), QStringList());
    QCOMPARE(t.ui.messages.size(), std::size_t(1));
    QCOMPARE(t.ui.messages[0].text, QStringLiteral("Error : Extension se pone sin punto ..."));
    QCOMPARE(t.ui.messages[0].title, QStringLiteral("Programador"));
    QCOMPARE(t.ui.messages[0].buttons, Buttons::Ok);
}

void TestFileType::openCommandLookup_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QString>("desktops");
    QTest::addColumn<QString>("expected");

    const QString globs = QStringLiteral("sysdata/mime/globs2");
    const QString other = QStringLiteral("sysdata/applications/other.desktop");
    const QString systemList = QStringLiteral("sysconfig/mimeapps.list");
    const QString userList = QStringLiteral("config/mimeapps.list");

    // Not registered: each road to a command ends before it.
    QTest::newRow("no glob") << Files{} << "" << "";
    QTest::newRow("glob without default")
        << Files { { globs, kOtherGlob }, { other, otherEntry("true otro %f") } } << ""
        << "";
    QTest::newRow("default entry missing")
        << Files{{globs, kOtherGlob}, {systemList, defaults("gone.desktop;")}} << "" << "";
    QTest::newRow("default without Exec") << Files { { globs, kOtherGlob }, { systemList, defaults("other.desktop;") },
        { other, "[Desktop Entry]\nType=Application\nName=Otro\nDBusActivatable=true\n" } }
                                          << ""
                                          << "";
    QTest::newRow("Exec of spaces") << Files { { globs, kOtherGlob }, { systemList, defaults("other.desktop;") },
        { other, otherEntry("\\s \\s") } }
                                    << ""
                                    << "";
    QTest::newRow("case-sensitive glob of another case") << Files { { globs, "50:application/x-other:*.ZTEST:cs\n" },
        { systemList, defaults("other.desktop;") }, { other, otherEntry("true otro %f") } }
                                                         << ""
                                                         << "";

    // Registered to another program, found the way the desktop finds it.
    QTest::newRow("another program") << Files { { globs, kOtherGlob }, { systemList, defaults("other.desktop;") },
        { other, otherEntry("true otro %f") } }
                                     << ""
                                     << "true otro %f";
    QTest::newRow("glob of another case") << Files { { globs, "50:application/x-other:*.ZTEST\n" },
        { systemList, defaults("other.desktop;") }, { other, otherEntry("true otro %f") } }
                                          << ""
                                          << "true otro %f";
    QTest::newRow("heavier glob wins")
        << Files { { globs, "60:application/x-other:*.ztest\n50:application/x-light:*.ztest\n" },
               { systemList, defaults("other.desktop;") + "application/x-light=light.desktop;\n" },
               { other, otherEntry("true otro %f") },
               { "sysdata/applications/light.desktop", otherEntry("true ligero %f") } }
        << ""
        << "true otro %f";
    QTest::newRow("user list before system list") << Files { { globs, kOtherGlob },
        { systemList, defaults("other.desktop;") }, { userList, defaults("mine.desktop;") },
        { other, otherEntry("true otro %f") }, { "data/applications/mine.desktop", otherEntry("true mio %f") } }
                                                  << ""
                                                  << "true mio %f";
    QTest::newRow("desktop-specific list first") << Files { { globs, kOtherGlob },
        { userList, defaults("other.desktop;") }, { "config/gnome-mimeapps.list", defaults("gnome.desktop;") },
        { other, otherEntry("true otro %f") }, { "sysdata/applications/gnome.desktop", otherEntry("true gnomo %f") } }
                                                 << "X-Cinnamon:GNOME"
                                                 << "true gnomo %f";
    QTest::newRow("list in an applications folder") << Files { { globs, kOtherGlob },
        { "sysdata/applications/mimeapps.list", defaults("other.desktop;") }, { other, otherEntry("true otro %f") } }
                                                    << ""
                                                    << "true otro %f";
    QTest::newRow("missing entry skipped for the next") << Files { { globs, kOtherGlob },
        { userList, defaults("gone.desktop;other.desktop;") }, { other, otherEntry("true otro %f") } }
                                                        << ""
                                                        << "true otro %f";
    QTest::newRow("id with a dash in a subfolder")
        << Files { { globs, kOtherGlob }, { systemList, defaults("vendor-tool.desktop;") },
               { "sysdata/applications/vendor/tool.desktop", otherEntry("true herramienta %f") } }
        << ""
        << "true herramienta %f";
    QTest::newRow("environment expanded") << Files { { globs, kOtherGlob }, { systemList, defaults("other.desktop;") },
        { other, otherEntry("true $ZELVORA_TOOLS/otro ${ZELVORA_TOOLS}x \"\\\\$ZELVORA_TOOLS\" $ZELVORA_UNSET %f") } }
                                          << ""
                                          << "true /opt/herramientas/otro /opt/herramientas"
                                             "x \"\\$ZELVORA_TOOLS\" $ZELVORA_UNSET %f";
}

void TestFileType::openCommandLookup()
{
    QFETCH(Files, files);
    QFETCH(QString, desktops);
    QFETCH(QString, expected);

    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(path(it.key()), it.value());
    if (!desktops.isEmpty())
        qputenv("XDG_CURRENT_DESKTOP", desktops.toLocal8Bit());

    QCOMPARE(readOpenCommand(QStringLiteral(".ztest")), expected);
}

// The user's list also holds other programs' choices: registering must
// keep them, and registering again must not pile up lines.
void TestFileType::mimeappsKeepsOtherLines()
{
    const QString list = path(QStringLiteral("config/mimeapps.list"));
    writeFile(list, QStringLiteral("[Added Associations]\n"
                                   "text/plain=gedit.desktop;\n"
                                   "\n"
                                   "[Default Applications]\n"
                                   "text/plain=gedit.desktop;\n"
                                   "application/x-ztest-files=other.desktop;\n"
                                   "# comentario\n"));
    TestModel t;
    t.m.programPath = path(QStringLiteral("bin/zelvora"));
    registerFileType(t.m, QStringLiteral("ztest"), 1);
    registerFileType(t.m, QStringLiteral("ztest"), 1);

    QCOMPARE(readFile(list), QStringLiteral("[Added Associations]\n"
                                            "text/plain=gedit.desktop;\n"
                                            "\n"
                                            "[Default Applications]\n"
                                            "application/x-ztest-files=zelvora.desktop;other.desktop;\n"
                                            "text/plain=gedit.desktop;\n"
                                            "# comentario\n"));

    // A list without the group gets it appended.
    writeFile(list, QStringLiteral("[Added Associations]\ntext/plain=gedit.desktop;\n"));
    registerFileType(t.m, QStringLiteral("ztest"), 1);
    QCOMPARE(readFile(list), QStringLiteral("[Added Associations]\n"
                                            "text/plain=gedit.desktop;\n"
                                            "\n"
                                            "[Default Applications]\n"
                                            "application/x-ztest-files=zelvora.desktop;\n"));
}

void TestFileType::startupOffer_data()
{
    // Paths relative to the test's folder; %1 in a content stands for it.
    QTest::addColumn<Files>("files");
    QTest::addColumn<QString>("desktops");
    QTest::addColumn<bool>("offered");

    const QString package = QStringLiteral("sysdata/mime/packages/ztest.xml");
    const QString ztest
        = QStringLiteral("<?xml version=\"1.0\"?>\n"
                         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                         "<mime-type type=\"application/x-ztest-files\"><glob pattern=\"*.ztest\"/></mime-type>\n"
                         "</mime-info>\n");
    const QString zipKind
        = QStringLiteral("<?xml version=\"1.0\"?>\n"
                         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                         "<mime-type type=\"application/x-ztest-files\"><sub-class-of type=\"application/zip\"/>"
                         "<glob pattern=\"*.ztest\"/></mime-type>\n"
                         "</mime-info>\n");
    const QString other = QStringLiteral("sysdata/applications/other.desktop");
    const QString cache = QStringLiteral("sysdata/applications/mimeinfo.cache");
    const QString cached = QStringLiteral("[MIME Cache]\napplication/x-ztest-files=other.desktop;\n");
    const QString userList = QStringLiteral("config/mimeapps.list");
    const auto entry = [](const QString& exec) {
        return QStringLiteral("[Desktop Entry]\nType=Application\nName=Otro\nExec=%1\n").arg(exec);
    };

    QTest::newRow("nothing knows the extension") << Files {} << "" << true;
    QTest::newRow("type known, no program") << Files { { package, ztest } } << "" << true;
    QTest::newRow("another program's entry, from a package")
        << Files { { package, ztest }, { other, entry("true %f") }, { cache, cached } } << "" << false;
    QTest::newRow("another program added by the user") << Files { { package, ztest }, { other, entry("true %f") },
        { userList, "[Added Associations]\napplication/x-ztest-files=other.desktop;\n" } }
                                                       << "" << false;
    QTest::newRow("another program as the desktop's default") << Files { { package, ztest },
        { other, entry("true %f") },
        { "config/openbox-mimeapps.list", "[Default Applications]\napplication/x-ztest-files=other.desktop;\n" } }
                                                              << "Openbox" << false;
    QTest::newRow("a program for the type it is a kind of") << Files { { package, zipKind },
        { other, entry("true %f") }, { cache, "[MIME Cache]\napplication/zip=other.desktop;\n" } }
                                                            << "" << false;
    QTest::newRow("our own earlier registration")
        << Files { { package, ztest }, { "data/applications/zelvora.desktop", entry("%1/bin/zelvora %f") },
               { userList, "[Default Applications]\napplication/x-ztest-files=zelvora.desktop;\n" } }
        << "" << false;
    QTest::newRow("hidden entry in its own folder")
        << Files { { package, ztest }, { other, entry("true %f") + "Hidden=true\n" }, { cache, cached } } << ""
        << false;
    QTest::newRow("the user removed the only program") << Files { { package, ztest }, { other, entry("true %f") },
        { cache, cached }, { userList, "[Removed Associations]\napplication/x-ztest-files=other.desktop;\n" } }
                                                       << "" << true;
    QTest::newRow("the default's entry is gone") << Files { { package, ztest },
        { userList, "[Default Applications]\napplication/x-ztest-files=gone.desktop;\n" } }
                                                 << "" << true;
    QTest::newRow("the program is missing")
        << Files { { package, ztest }, { other, entry("/nonexistent/otro %f") }, { cache, cached } } << "" << true;
    QTest::newRow("TryExec is missing") << Files { { package, ztest },
        { other, entry("true %f") + "TryExec=otro-que-no-existe\n" }, { cache, cached } }
                                        << "" << true;
    QTest::newRow("install folder with a percent sign")
        << Files { { package, ztest }, { other, entry("%1/100%%/zelvora %f") }, { cache, cached } } << "" << true;
    QTest::newRow("the user's broken copy hides it") << Files { { package, ztest }, { other, entry("true %f") },
        { cache, cached }, { "data/applications/other.desktop", entry("/nonexistent/otro %f") } }
                                                     << "" << true;
    // `gio mime` names this default, yet opening a file starts nothing, and
    // the desktop does not move on to the program the cache lists.
    QTest::newRow("the default's Exec is blank") << Files { { package, ztest }, { other, entry("") },
        { "sysdata/applications/second.desktop", entry("true %f") },
        { cache, "[MIME Cache]\napplication/x-ztest-files=second.desktop;\n" },
        { userList, "[Default Applications]\napplication/x-ztest-files=other.desktop;\n" } }
                                                 << "" << true;
    QTest::newRow("the default's program is missing")
        << Files { { package, ztest }, { other, entry("/nonexistent/otro %f") },
               { userList, "[Default Applications]\napplication/x-ztest-files=other.desktop;\n" } }
        << "" << true;
}

// Whatever the desktop holds, the offer appears exactly when opening a
// .ztest file starts no program; No leaves everything as it was, and after
// Yes the desktop opens the files with us and never asks again.
void TestFileType::startupOffer()
{
    QFETCH(Files, files);
    QFETCH(QString, desktops);
    QFETCH(bool, offered);

    // The fixture's "true" is found first along PATH, by the desktop and by
    // the program alike, and leaves the marker.
    const QString marker = path(QStringLiteral("abierto"));
    const ScopedEnvironment restore { "PATH" };
    qputenv("PATH", (path(QStringLiteral("tools")) + QLatin1Char(':')).toLocal8Bit() + qgetenv("PATH"));
    writeExecutable(path(QStringLiteral("tools/true")), marker);
    writeExecutable(path(QStringLiteral("bin/zelvora")), marker);
    writeExecutable(path(QStringLiteral("100%/zelvora")), marker);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(path(it.key()), QString(it.value()).replace(QLatin1String("%1"), root_->path()));
    QVERIFY(QDir().mkpath(path(QStringLiteral("sysdata/mime/packages"))));
    QCOMPARE(runTool(QStringLiteral("update-mime-database"), { path(QStringLiteral("sysdata/mime")) }), QString());
    if (!desktops.isEmpty())
        qputenv("XDG_CURRENT_DESKTOP", desktops.toLocal8Bit());
    const QString document = path(QStringLiteral("examen.ztest"));
    writeFile(document, QStringLiteral("Z\x01\x02"));
    QCOMPARE(desktopLaunches(document, marker), !offered);
    QFile::remove(marker);

    TestModel t;
    t.m.programPath = path(QStringLiteral("bin/zelvora"));
    const Files before = snapshot();
    if (offered)
        t.ui.replies.push_back(Reply::No);
    offerFileTypeRegistration(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(offered ? 1 : 0));
    QCOMPARE(snapshot(), before);
    if (!offered)
        return;
    QCOMPARE(t.ui.messages[0].text, kPrompt);
    QCOMPARE(t.ui.messages[0].title, QStringLiteral("..."));
    QCOMPARE(t.ui.messages[0].buttons, Buttons::YesNo);

    t.ui.replies.push_back(Reply::Yes);
    offerFileTypeRegistration(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(2));
    QCOMPARE(desktopOpens(document), QStringLiteral("zelvora.desktop"));
    QVERIFY(desktopLaunches(document, marker));
    QCOMPARE(readOpenCommand(QStringLiteral(".ztest")), t.m.programPath + QStringLiteral(" %f"));
    offerFileTypeRegistration(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(2));
}

void TestFileType::unrunnablePathWritesNothing_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("percent sign in a folder") << "%1/100%/zelvora";
    QTest::newRow("percent sign in the name") << "%1/bin/zel%vora";
    QTest::newRow("relative") << "bin/zelvora";
    QTest::newRow("empty") << "";
}

// The desktop could not start the program from such an entry, and the
// offer would then come back at every start: nothing is written at all.
void TestFileType::unrunnablePathWritesNothing()
{
    QFETCH(QString, program);
    TestModel t;
    t.m.programPath = program.replace(QLatin1String("%1"), root_->path());
    if (QFileInfo(program).isAbsolute())
        writeExecutable(program);
    const Files before = snapshot();
    registerFileType(t.m, QStringLiteral("ztest"), 1);
    QCOMPARE(snapshot(), before);
    QVERIFY(t.ui.messages.empty());
}

Files TestFileType::snapshot() const
{
    Files files;
    for (const QString& file : filesUnder(root_->path()))
        files.insert(file, readFile(file));
    return files;
}

void TestFileType::baseDirectories_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("value");
    // With %1 for the home folder.
    QTest::addColumn<QString>("expected");

    QTest::newRow("data home unset") << QByteArray("XDG_DATA_HOME") << false << "" << "%1/.local/share";
    QTest::newRow("data home empty") << QByteArray("XDG_DATA_HOME") << true << "" << "%1/.local/share";
    QTest::newRow("data home relative") << QByteArray("XDG_DATA_HOME") << true << "datos" << "%1/.local/share";
    QTest::newRow("config home unset") << QByteArray("XDG_CONFIG_HOME") << false << "" << "%1/.config";
    QTest::newRow("data dirs empty") << QByteArray("XDG_DATA_DIRS") << true << "" << "/usr/local/share:/usr/share";
    QTest::newRow("data dirs, relative and empty parts dropped")
        << QByteArray("XDG_DATA_DIRS") << true << "rel:/abs/uno::/abs/dos/" << "/abs/uno:/abs/dos";
    QTest::newRow("data dirs all relative") << QByteArray("XDG_DATA_DIRS") << true << "a:b" << "/usr/local/share:/usr/share";
    QTest::newRow("config dirs unset") << QByteArray("XDG_CONFIG_DIRS") << false << "" << "/etc/xdg";
}

void TestFileType::baseDirectories()
{
    QFETCH(QByteArray, variable);
    QFETCH(bool, set);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", root_->path().toLocal8Bit());
    if (set)
        qputenv(variable.constData(), value.toLocal8Bit());
    else
        qunsetenv(variable.constData());

    QString actual;
    if (variable == "XDG_DATA_HOME")
        actual = xdgDataHome();
    else if (variable == "XDG_CONFIG_HOME")
        actual = xdgConfigHome();
    else if (variable == "XDG_DATA_DIRS")
        actual = xdgDataDirs().join(QLatin1Char(':'));
    else
        actual = xdgConfigDirs().join(QLatin1Char(':'));
    qputenv("HOME", home);
    QCOMPARE(actual, expected.replace(QLatin1String("%1"), root_->path()));
}

QTEST_MAIN(TestFileType)
#include "tst_filetype.moc"
