// A teacher's walk through the Notas window in a private X session, by the
// keyboard alone: the program started without arguments, its controls read
// back over the accessibility bus as a screen reader reads them, the key and
// the class chosen in Qt's file dialogs, the table exported as CSV, the
// window closed. What it writes is compared with the command line's CSV of
// the same files.
#include <algorithm>
#include <chrono>
#include <memory>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "tests/e2e/xsession.h"
#include "tests/grading/ztestfiles.h"

using namespace std::chrono_literals;

namespace {

// Debian's own interpreter: the accessibility bindings are installed for it.
const QString kPython = QStringLiteral("/usr/bin/python3");

// Prints "role|name" for every object of the named application.
const QString kTreeScript = QStringLiteral(R"(
import sys, pyatspi
def walk(node):
    print("%s|%s" % (node.getRoleName(), (node.name or "").replace("\n", " ")))
    for child in node:
        if child is not None:
            walk(child)
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == sys.argv[1]:
        walk(app)
)");

// Controls a person acts on; each must be read out by a name.
const QStringList kControlRoles { QStringLiteral("push button"), QStringLiteral("check box"),
    QStringLiteral("combo box"), QStringLiteral("spin button"), QStringLiteral("text"), QStringLiteral("table"),
    QStringLiteral("page tab") };

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestNotasJourney : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void gradeAndExportByKeyboard();

private:
    QString folder(const QString& name) const { return work_.filePath(name); }
    // Focuses the newest window of the program named by `pattern`.
    bool focus(const QString& pattern);
    QStringList accessibleObjects() const;

    XSession x_;
    std::unique_ptr<QProcess> bus_;
    QString busAddress_;
    QTemporaryDir work_;
    std::unique_ptr<QProcess> program_;
};

void TestNotasJourney::initTestCase()
{
    for (const char* tool : { "Xvfb", "openbox", "xdotool", "xwd", "xprop" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("%1 is missing: bash scripts/deps.sh test installs it").arg(QLatin1String(tool))));
    }
    QVERIFY2(QFileInfo::exists(kPython), "python3 is missing: bash scripts/deps.sh test installs it");
    QVERIFY(work_.isValid());
    const QString error = x_.start(1280, 900);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // A session bus of our own: the accessibility bus is started on it on
    // demand, and both end with it.
    QVERIFY(QDir().mkpath(folder(QStringLiteral("bus"))));
    QProcessEnvironment env = x_.environment();
    env.insert(QStringLiteral("HOME"), folder(QStringLiteral("bus")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder(QStringLiteral("bus")));
    bus_ = startSessionBus(env, busAddress_);
    QVERIFY2(!busAddress_.isEmpty(), "dbus-daemon gave no address");
}

QStringList TestNotasJourney::accessibleObjects() const
{
    QProcess python;
    QProcessEnvironment env = x_.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    python.setProcessEnvironment(env);
    python.start(kPython, { QStringLiteral("-c"), kTreeScript, QStringLiteral("zelvora-notas") });
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {};
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestNotasJourney::cleanupTestCase()
{
    if (program_ && program_->state() != QProcess::NotRunning) {
        program_->kill();
        program_->waitForFinished(5000);
    }
    if (bus_) {
        bus_->terminate();
        if (!bus_->waitForFinished(5000))
            bus_->kill();
    }
    x_.stop();
}

bool TestNotasJourney::focus(const QString& pattern)
{
    const QStringList windows = x_.waitForWindows(program_->processId(), pattern, 20s);
    return !windows.isEmpty() && x_.activate(windows.last());
}

void TestNotasJourney::gradeAndExportByKeyboard()
{
    for (const char* sub : { "home/config", "home/data", "home/cache", "home/runtime", "clase" })
        QVERIFY(QDir().mkpath(folder(QString::fromLatin1(sub))));
    QFile::setPermissions(folder(QStringLiteral("home/runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString key = folder(QStringLiteral("clave.ztest"));
    QVERIFY(writeBytes(key, ztestFile(0, marksFromLetters({ "A", "B", "C" }))));
    QVERIFY(writeBytes(folder(QStringLiteral("clase/ana.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "D" }))));
    QVERIFY(writeBytes(folder(QStringLiteral("clase/luis.ztest")), ztestFile(0, marksFromLetters({ "", "", "D" }))));

    const QString home = folder(QStringLiteral("home"));
    QProcessEnvironment env = x_.privateDesktopEnvironment(home);
    env.insert(QStringLiteral("CUPS_SERVER"), home + QStringLiteral("/runtime/no-cups.sock"));
    env.insert(QStringLiteral("CUPS_SERVERROOT"), home + QStringLiteral("/runtime"));
    // A desktop whose user reads the screen through the accessibility bus.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    program_ = std::make_unique<QProcess>();
    program_->setProcessEnvironment(env);
    program_->setProcessChannelMode(QProcess::ForwardedChannels);
    program_->start(QStringLiteral(NOTAS_EXE), QStringList());
    QVERIFY(program_->waitForStarted(10000));

    const QString main = QStringLiteral("^Zelvora Notas$");
    QVERIFY2(focus(main), "no window titled Zelvora Notas");

    const QStringList wanted { QStringLiteral("push button|Elegir clave"), QStringLiteral("push button|Añadir tests"),
        QStringLiteral("push button|Añadir carpeta"),
        // A drop-down list is read out by its choice, after the label it is
        // the buddy of.
        QStringLiteral("label|Penalización:"), QStringLiteral("combo box|ninguna"),
        QStringLiteral("spin button|Escala: la nota máxima"), QStringLiteral("text|Buscar alumno"),
        QStringLiteral("check box|Solo los alumnos a revisar"), QStringLiteral("table|Alumnos"),
        QStringLiteral("page tab|Preguntas"), QStringLiteral("page tab|Resumen"),
        QStringLiteral("push button|Exportar CSV"), QStringLiteral("push button|Imprimir el informe de la clase") };
    QStringList objects;
    QStringList missing = wanted;
    for (QDeadlineTimer deadline(30s); !missing.isEmpty() && !deadline.hasExpired(); QThread::msleep(200)) {
        objects = accessibleObjects();
        missing.removeIf([&objects](const QString& w) { return objects.contains(w); });
    }
    QVERIFY2(missing.isEmpty(),
        qPrintable(QStringLiteral("not read out: %1\nread: %2").arg(missing.join(u", "), objects.join(u", "))));
    for (const QString& object : std::as_const(objects)) {
        const QString role = object.section(QLatin1Char('|'), 0, 0);
        QVERIFY2(!kControlRoles.contains(role) || !object.section(QLatin1Char('|'), 1).trimmed().isEmpty(),
            qPrintable(QStringLiteral("read out without a name: ") + object));
    }
    x_.keys({ QStringLiteral("alt+e") });
    QVERIFY2(focus(QStringLiteral("^Elegir la clave$")), "Alt+E opened no dialog for the key");
    x_.type(key);
    x_.keys({ QStringLiteral("Return") });

    QVERIFY(focus(main));
    x_.keys({ QStringLiteral("alt+c") });
    QVERIFY2(focus(QStringLiteral("^Añadir una carpeta de tests$")), "Alt+C opened no dialog for a folder");
    x_.type(folder(QStringLiteral("clase")));
    x_.keys({ QStringLiteral("Return") });

    // The export is offered once the class is graded; until then Alt+N
    // does nothing, so it is pressed until its dialog comes.
    const QString csv = folder(QStringLiteral("notas.csv"));
    bool asked = false;
    for (int i = 0; i < 20 && !asked; ++i) {
        QVERIFY(focus(main));
        x_.keys({ QStringLiteral("alt+n") });
        asked = !x_.waitForWindows(program_->processId(), QStringLiteral("^Exportar CSV$"), 1s).isEmpty();
    }
    QVERIFY2(asked, "Alt+N never offered to export the CSV");
    QVERIFY(focus(QStringLiteral("^Exportar CSV$")));
    x_.type(csv);
    x_.keys({ QStringLiteral("Return") });
    QVERIFY(QTest::qWaitFor([&csv] { return QFileInfo(csv).size() > 0; }, 10000));

    QVERIFY(focus(main));
    x_.keys({ QStringLiteral("alt+F4") });
    QVERIFY2(program_->waitForFinished(30000), "the close request did not end the window");
    QCOMPARE(program_->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program_->exitCode(), 0);

    QProcess cli;
    cli.start(QStringLiteral(NOTAS_EXE),
        { QStringLiteral("--clave"), key, QStringLiteral("--csv"), folder(QStringLiteral("cli.csv")),
            folder(QStringLiteral("clase")) });
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(readAll(csv), readAll(folder(QStringLiteral("cli.csv"))));
    // The folders chosen are remembered in the user's own config folder.
    const QByteArray memory = readAll(home + QStringLiteral("/config/zelvora/notas.ini"));
    QVERIFY2(memory.contains("respuestas=" + work_.path().toUtf8()), memory.constData());
}

QTEST_GUILESS_MAIN(TestNotasJourney)
#include "tst_notasjourney.moc"
