#include <memory>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "registry/filetype.h"
#include "registry/xdg.h"
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
    void baseDirectories_data();
    void baseDirectories();

private:
    QString path(const QString& relative) const { return root_->filePath(relative); }

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
    QTest::newRow("glob without default") << Files{{globs, kOtherGlob}, {other, otherEntry("otro %f")}} << "" << "";
    QTest::newRow("only an added association")
        << Files{{globs, kOtherGlob},
                 {other, otherEntry("otro %f")},
                 {systemList, "[Added Associations]\napplication/x-other=other.desktop;\n"}}
        << "" << "";
    QTest::newRow("default entry missing")
        << Files{{globs, kOtherGlob}, {systemList, defaults("gone.desktop;")}} << "" << "";
    QTest::newRow("default entry hidden")
        << Files{{globs, kOtherGlob},
                 {systemList, defaults("other.desktop;")},
                 {other, otherEntry("otro %f") + "Hidden=true\n"}}
        << "" << "";
    QTest::newRow("entry without Exec")
        << Files{{globs, kOtherGlob},
                 {systemList, defaults("other.desktop;")},
                 {other, "[Desktop Entry]\nType=Application\nName=Otro\n"}}
        << "" << "";
    QTest::newRow("Exec of spaces")
        << Files{{globs, kOtherGlob}, {systemList, defaults("other.desktop;")}, {other, otherEntry("\\s \\s")}}
        << "" << "   ";
    QTest::newRow("case-sensitive glob of another case")
        << Files{{globs, "50:application/x-other:*.ZTEST:cs\n"},
                 {systemList, defaults("other.desktop;")},
                 {other, otherEntry("otro %f")}}
        << "" << "";

    // Registered to another program, found the way the desktop finds it.
    QTest::newRow("another program")
        << Files{{globs, kOtherGlob}, {systemList, defaults("other.desktop;")}, {other, otherEntry("otro %f")}}
        << "" << "otro %f";
    QTest::newRow("glob of another case")
        << Files{{globs, "50:application/x-other:*.ZTEST\n"},
                 {systemList, defaults("other.desktop;")},
                 {other, otherEntry("otro %f")}}
        << "" << "otro %f";
    QTest::newRow("heavier glob wins")
        << Files{{globs, "60:application/x-other:*.ztest\n50:application/x-light:*.ztest\n"},
                 {systemList, defaults("other.desktop;") + "application/x-light=light.desktop;\n"},
                 {other, otherEntry("otro %f")},
                 {"sysdata/applications/light.desktop", otherEntry("ligero %f")}}
        << "" << "otro %f";
    QTest::newRow("user list before system list")
        << Files{{globs, kOtherGlob},
                 {systemList, defaults("other.desktop;")},
                 {userList, defaults("mine.desktop;")},
                 {other, otherEntry("otro %f")},
                 {"data/applications/mine.desktop", otherEntry("mio %f")}}
        << "" << "mio %f";
    QTest::newRow("desktop-specific list first")
        << Files{{globs, kOtherGlob},
                 {userList, defaults("other.desktop;")},
                 {"config/gnome-mimeapps.list", defaults("gnome.desktop;")},
                 {other, otherEntry("otro %f")},
                 {"sysdata/applications/gnome.desktop", otherEntry("gnomo %f")}}
        << "X-Cinnamon:GNOME" << "gnomo %f";
    QTest::newRow("list in an applications folder")
        << Files{{globs, kOtherGlob},
                 {"sysdata/applications/mimeapps.list", defaults("other.desktop;")},
                 {other, otherEntry("otro %f")}}
        << "" << "otro %f";
    QTest::newRow("missing entry skipped for the next")
        << Files{{globs, kOtherGlob}, {userList, defaults("gone.desktop;other.desktop;")}, {other, otherEntry("otro %f")}}
        << "" << "otro %f";
    QTest::newRow("id with a dash in a subfolder")
        << Files{{globs, kOtherGlob},
                 {systemList, defaults("vendor-tool.desktop;")},
                 {"sysdata/applications/vendor/tool.desktop", otherEntry("herramienta %f")}}
        << "" << "herramienta %f";
    QTest::newRow("environment expanded")
        << Files{{globs, kOtherGlob},
                 {systemList, defaults("other.desktop;")},
                 {other, otherEntry("$ZELVORA_TOOLS/otro ${ZELVORA_TOOLS}x \"\\\\$ZELVORA_TOOLS\" $ZELVORA_UNSET %f")}}
        << "" << "/opt/herramientas/otro /opt/herramientas" "x \"\\$ZELVORA_TOOLS\" $ZELVORA_UNSET %f";
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
    QTest::addColumn<bool>("otherOwner");
    QTest::addColumn<int>("reply");
    QTest::addColumn<bool>("registered");

    QTest::newRow("not registered, No") << false << int(Reply::No) << false;
    QTest::newRow("not registered, Yes") << false << int(Reply::Yes) << true;
    QTest::newRow("another program owns it") << true << -1 << false;
}

void TestFileType::startupOffer()
{
    QFETCH(bool, otherOwner);
    QFETCH(int, reply);
    QFETCH(bool, registered);

    if (otherOwner) {
        writeFile(path(QStringLiteral("sysdata/mime/globs2")), kOtherGlob);
        writeFile(path(QStringLiteral("sysconfig/mimeapps.list")), defaults("other.desktop;"));
        writeFile(path(QStringLiteral("sysdata/applications/other.desktop")), otherEntry("otro %f"));
    }
    TestModel t;
    t.m.programPath = path(QStringLiteral("bin/zelvora"));
    if (reply >= 0)
        t.ui.replies.push_back(Reply(reply));

    offerFileTypeRegistration(t.m);

    if (otherOwner) {
        QVERIFY(t.ui.messages.empty());
    } else {
        QCOMPARE(t.ui.messages.size(), std::size_t(1));
        QCOMPARE(t.ui.messages[0].text, kPrompt);
        QCOMPARE(t.ui.messages[0].title, QStringLiteral("..."));
        QCOMPARE(t.ui.messages[0].buttons, Buttons::YesNo);
    }
    QCOMPARE(filesUnder(path(QStringLiteral("data"))).isEmpty(), !registered);
    QCOMPARE(filesUnder(path(QStringLiteral("config"))).isEmpty(), !registered);

    // The prompt comes back at the next start exactly while nothing opens
    // the files; a script with no answer fails the test if it is asked.
    t.ui.messages.clear();
    if (!registered && !otherOwner)
        t.ui.replies.push_back(Reply::No);
    offerFileTypeRegistration(t.m);
    QCOMPARE(t.ui.messages.size(), std::size_t(registered || otherOwner ? 0 : 1));
    if (registered)
        QCOMPARE(readOpenCommand(QStringLiteral(".ztest")), t.m.programPath + QStringLiteral(" %f"));
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
