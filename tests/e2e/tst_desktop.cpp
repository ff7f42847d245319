// The program on a laptop-sized desktop, as a new user meets it: where the
// window lands, what the window manager is asked to draw, which language
// Qt's own dialogs speak (read back over the accessibility bus, as a screen
// reader reads them), what is left behind in the user's shared Qt settings,
// and what a display that is not there gives.

#include <chrono>
#include <optional>
#include <thread>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "xsession.h"

using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 1366;
constexpr int kScreenHeight = 768;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void unreachableDisplay_data();
    void unreachableDisplay();
    void smallScreenKeepsCaptionAndMenusInReach();
    void spanishDialogsLeaveQtSettingsAlone_data();
    void spanishDialogsLeaveQtSettingsAlone();

private:
    QString folder(const QString& name) const { return work_->filePath(name); }
    QProcessEnvironment programEnvironment() const;
    bool launch();
    bool waitExit();
    QList<AccessibleObject> accessibleObjects() const;
    // Waits until every "role|name" is among the program's objects; the
    // objects are left in `found`.
    bool waitAccessible(const QStringList& wanted, QList<AccessibleObject>* found = nullptr,
        std::chrono::milliseconds timeout = 20s) const;
    bool clickAccessible(const QString& roleAndName);
    QString mainWindow();
    void menu(int menuIndex, int item);

    XSession x_;
    std::unique_ptr<QProcess> bus_;
    QString busAddress_;
    QTemporaryDir busHome_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<QProcess> program_;
};

void TestDesktop::initTestCase()
{
    for (const char* tool : { "Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "dbus-daemon" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("%1 is missing: bash scripts/deps.sh test installs it").arg(QLatin1String(tool))));
    }
    QVERIFY2(QFileInfo::exists(kAccessibilityPython), "python3 is missing: bash scripts/deps.sh test installs it");
    const QString error = x_.start(kScreenWidth, kScreenHeight);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // A session bus of our own: the accessibility bus is started on it on
    // demand, and both end with it.
    QVERIFY(busHome_.isValid());
    QProcessEnvironment env = x_.environment();
    env.insert(QStringLiteral("HOME"), busHome_.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), busHome_.path());
    bus_ = startSessionBus(env, busAddress_);
    QVERIFY2(!busAddress_.isEmpty(), "dbus-daemon gave no address");
}

void TestDesktop::cleanupTestCase()
{
    if (bus_) {
        bus_->terminate();
        if (!bus_->waitForFinished(5000))
            bus_->kill();
    }
    x_.stop();
}

void TestDesktop::init()
{
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
    for (const char* sub :
        { "home/config", "home/data", "home/cache", "home/runtime", "home/sysdata", "home/sysconfig" })
        QVERIFY(QDir().mkpath(folder(QString::fromLatin1(sub))));
    QFile::setPermissions(folder(QStringLiteral("home/runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(QDir().mkpath(folder(QStringLiteral("bin"))));
    QVERIFY(QFile::copy(QStringLiteral(ZELVORA_EXE), folder(QStringLiteral("bin/zelvora"))));
}

void TestDesktop::cleanup()
{
    if (program_ && program_->state() != QProcess::NotRunning) {
        program_->kill();
        program_->waitForFinished(5000);
    }
    program_.reset();
    work_.reset();
}

QProcessEnvironment TestDesktop::programEnvironment() const
{
    QProcessEnvironment env = x_.privateDesktopEnvironment(folder(QStringLiteral("home")));
    // A desktop whose user reads the screen through the accessibility bus.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

bool TestDesktop::launch()
{
    program_ = std::make_unique<QProcess>();
    program_->setProcessEnvironment(programEnvironment());
    program_->setWorkingDirectory(folder(QStringLiteral("home")));
    program_->setProcessChannelMode(QProcess::ForwardedChannels);
    program_->start(folder(QStringLiteral("bin/zelvora")), {});
    return program_->waitForStarted(10000);
}

bool TestDesktop::waitExit()
{
    return program_->waitForFinished(30000) && program_->exitStatus() == QProcess::NormalExit
        && program_->exitCode() == 0;
}

QList<AccessibleObject> TestDesktop::accessibleObjects() const
{
    QProcessEnvironment env = x_.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    return accessibleTree(env, QStringLiteral("zelvora"), 20s);
}

bool TestDesktop::waitAccessible(
    const QStringList& wanted, QList<AccessibleObject>* found, std::chrono::milliseconds timeout) const
{
    QDeadlineTimer deadline(timeout);
    do {
        const QList<AccessibleObject> objects = accessibleObjects();
        QStringList seen;
        for (const AccessibleObject& o : objects)
            seen.append(o.role + QLatin1Char('|') + o.name);
        bool all = !objects.isEmpty();
        for (const QString& w : wanted)
            all = all && seen.contains(w);
        if (all) {
            if (found)
                *found = objects;
            return true;
        }
        if (found)
            *found = objects;
        std::this_thread::sleep_for(300ms);
    } while (!deadline.hasExpired());
    return false;
}

// A click in the middle of the first showing object of that role and name.
bool TestDesktop::clickAccessible(const QString& roleAndName)
{
    QList<AccessibleObject> objects;
    if (!waitAccessible({ roleAndName }, &objects))
        return false;
    for (const AccessibleObject& o : objects) {
        if (o.role + QLatin1Char('|') + o.name == roleAndName && o.box.width() > 0 && o.box.height() > 0) {
            x_.click(o.box.center().x(), o.box.center().y());
            return true;
        }
    }
    return false;
}

QString TestDesktop::mainWindow()
{
    const QStringList windows = x_.waitForWindows(program_->processId(), QStringLiteral("^Zelvora$"), 30s);
    return windows.isEmpty() ? QString() : windows.last();
}

void TestDesktop::menu(int menuIndex, int item)
{
    x_.chooseMenuItem(menuIndex, item);
}

void TestDesktop::unreachableDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("no display named") << QString();
    QTest::newRow("no server at the display named") << QStringLiteral(":59999");
}

// One line of the program's own on standard error and status 1, never
// Qt's abort.
void TestDesktop::unreachableDisplay()
{
    QFETCH(QString, display);
    QProcessEnvironment env = programEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(folder(QStringLiteral("bin/zelvora")), {});
    QVERIFY(program.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QVERIFY2(err.startsWith(folder(QStringLiteral("bin/zelvora: "))) && err.count(QLatin1Char('\n')) == 1
            && err.endsWith(QLatin1Char('\n')),
        qPrintable(err));
    if (!display.isEmpty())
        QVERIFY2(err.contains(display), qPrintable(err));
    QVERIFY(!QFileInfo::exists(folder(QStringLiteral("bin/Configuracion.ini"))));
}

void TestDesktop::smallScreenKeepsCaptionAndMenusInReach()
{
    // Another program opens the test files, so no question comes first.
    QVERIFY(writeFile(folder(QStringLiteral("home/data/mime/globs2")), "50:application/x-ztest-files:*.ztest\n"));
    QVERIFY(writeFile(folder(QStringLiteral("home/data/applications/other.desktop")),
        "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n"));
    QVERIFY(writeFile(folder(QStringLiteral("home/config/mimeapps.list")),
        "[Default Applications]\napplication/x-ztest-files=other.desktop;\n"));
    QVERIFY(launch());
    const QString window = mainWindow();
    QVERIFY2(!window.isEmpty(), "no main window");
    QVERIFY(waitAccessible({ QStringLiteral("menu item|Archivos") }));

    // The frame: the client's place on screen less the frame's extents.
    bool ok = false;
    const QString extents = QString::fromLatin1(
        x_.run(QStringLiteral("xprop"), { QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS") }, &ok));
    const QRegularExpressionMatch e
        = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    QVERIFY2(ok && e.hasMatch(), qPrintable(extents));
    const QString info = QString::fromLatin1(x_.run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), window }));
    const QRegularExpressionMatch x
        = QRegularExpression(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)")).match(info);
    const QRegularExpressionMatch y
        = QRegularExpression(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)")).match(info);
    QVERIFY2(x.hasMatch() && y.hasMatch(), qPrintable(info));
    const int left = e.captured(1).toInt();
    const int right = e.captured(2).toInt();
    const int top = e.captured(3).toInt();
    const QRect frame(x.captured(1).toInt() - left, y.captured(1).toInt() - top, 804 + left + right,
        985 + top + e.captured(4).toInt());
    // Too tall for the screen: the caption at its top; wide enough: centred.
    QCOMPARE(frame.top(), 0);
    QVERIFY2(qAbs(frame.left() - (kScreenWidth - frame.width()) / 2) <= 1,
        qPrintable(QStringLiteral("frame at x %1").arg(frame.left())));

    // A caption without buttons, asked for the way X window managers read
    // it: title and border decorations only; moving and resizing only.
    const QString hints = QString::fromLatin1(
        x_.run(QStringLiteral("xprop"), { QStringLiteral("-id"), window, QStringLiteral("_MOTIF_WM_HINTS") }));
    QVERIFY2(hints.contains(QLatin1String("= 0x3, 0x6, 0xe, 0x0, 0x0")), qPrintable(hints));

    // The menus answer the mouse: "Archivos", then "Salir".
    x_.activate(window);
    QVERIFY(clickAccessible(QStringLiteral("menu item|Archivos")));
    std::this_thread::sleep_for(500ms);
    QVERIFY(clickAccessible(QStringLiteral("menu item|Salir")));
    QVERIFY2(waitExit(), "\"Salir\" clicked with the mouse did not end the program");
    QVERIFY(QFileInfo::exists(folder(QStringLiteral("bin/Configuracion.ini"))));
}

void TestDesktop::spanishDialogsLeaveQtSettingsAlone_data()
{
    // A null content: no file. What another program writes while ours runs
    // comes after our dialogs have been used and before our end.
    QTest::addColumn<QByteArray>("atStart");
    QTest::addColumn<QByteArray>("duringRun");
    const QByteArray other("[FileDialog]\nhistory=/home/otra\nviewMode=Detail\n\n"
                           "[Qt]\ncustomColors\\0=4278190335\ncustomColors\\1=4294967295\n");
    const QByteArray changed("[FileDialog]\nhistory=/home/otra/nueva\n\n[Qt]\ncustomColors\\0=4278255360\n");
    QTest::newRow("no QtProject.conf") << QByteArray() << QByteArray();
    QTest::newRow("another program's QtProject.conf") << other << QByteArray();
    QTest::newRow("created by another program meanwhile") << QByteArray() << other;
    QTest::newRow("changed by another program meanwhile") << other << changed;
}

// After the end the file holds exactly what another program last wrote,
// however late it wrote it; Qt's colour dialog writes its custom colours
// when the process ends, after the main window.
void TestDesktop::spanishDialogsLeaveQtSettingsAlone()
{
    QFETCH(QByteArray, atStart);
    QFETCH(QByteArray, duringRun);
    const QString shared = folder(QStringLiteral("home/config/QtProject.conf"));
    if (!atStart.isNull())
        QVERIFY(writeFile(shared, atStart));
    QVERIFY(launch());

    // The registration question, with Qt's buttons in Spanish.
    QVERIFY2(waitAccessible(
                 { QStringLiteral("alert|..."), QStringLiteral("push button|Sí"), QStringLiteral("push button|No") }),
        "the registration question does not offer \"Sí\" and \"No\"");
    x_.keys({ QStringLiteral("alt+n") });
    const QString window = mainWindow();
    QVERIFY2(!window.isEmpty(), "no main window after \"No\"");
    x_.activate(window);
    QVERIFY(waitAccessible({ QStringLiteral("menu item|Archivos") }));

    // "Leer test": Qt's file dialog.
    menu(0, 2);
    QVERIFY2(waitAccessible({ QStringLiteral("dialog|Abrir"), QStringLiteral("label|Ver en:"),
                 QStringLiteral("label|Nombre de fichero:"), QStringLiteral("label|Ficheros de tipo:"),
                 QStringLiteral("push button|Abrir"), QStringLiteral("push button|Cancelar") }),
        "the file dialog is not in Spanish");
    x_.keys({ QStringLiteral("Escape") });
    std::this_thread::sleep_for(500ms);

    // "Relleno": Qt's colour dialog, accepted, so Qt stores its custom
    // colours in its shared file.
    x_.activate(window);
    menu(2, 0);
    QVERIFY2(waitAccessible({ QStringLiteral("dialog|Selecciona color"), QStringLiteral("label|Colores básicos"),
                 QStringLiteral("label|Colores personalizados"), QStringLiteral("label|Rojo:"),
                 QStringLiteral("push button|Añadir a los colores personalizados"),
                 QStringLiteral("push button|Aceptar"), QStringLiteral("push button|Cancelar") }),
        "the colour dialog is not in Spanish");
    x_.keys({ QStringLiteral("Return") });

    if (!duringRun.isNull()) {
        // Another process, as another Qt program would, while ours runs.
        QProcess other;
        other.start(QStringLiteral("/bin/sh"),
            { QStringLiteral("-c"), QStringLiteral("printf '%s' \"$1\" > \"$2\""), QStringLiteral("sh"),
                QString::fromUtf8(duringRun), shared });
        QVERIFY(other.waitForFinished(10000) && other.exitCode() == 0);
        QCOMPARE(readFile(shared), std::optional<QByteArray>(duringRun));
    }

    // "Autor": a message box with Qt's OK button.
    std::this_thread::sleep_for(500ms);
    x_.activate(window);
    menu(0, 6);
    QVERIFY2(waitAccessible({ QStringLiteral("alert|Programador"), QStringLiteral("push button|Aceptar") }),
        "the message box's button is not \"Aceptar\"");
    x_.keys({ QStringLiteral("Return") });

    std::this_thread::sleep_for(500ms);
    x_.activate(window);
    menu(0, 7);
    QVERIFY2(waitExit(), "\"Salir\" did not end the program with status 0");
    const QByteArray last = duringRun.isNull() ? atStart : duringRun;
    QCOMPARE(readFile(shared), last.isNull() ? std::nullopt : std::optional<QByteArray>(last));
}

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
