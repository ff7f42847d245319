// A teacher's walk through the Notas window in a private X session, by the
// keyboard alone: the program started without arguments, its controls read
// back over the accessibility bus as a screen reader reads them, the key and
// the class chosen in Qt's file dialogs, the table exported as CSV, the
// window closed. What it writes is compared with the command line's CSV of
// the same files. A second walk grades a class of screen and paper answers,
// the scans made from the program's own printed sheets, and reviews their
// doubtful cells over two sittings.
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <opencv2/imgcodecs.hpp>

#include "testfile/testfile.h"
#include "tests/e2e/xsession.h"
#include "tests/grading/ztestfiles.h"
#include "tests/support/notasprocess.h"
#include "tests/support/scanmaker.h"

using namespace std::chrono_literals;

namespace {

// Controls a person acts on; each must be read out by a name.
const QStringList kControlRoles { QStringLiteral("push button"), QStringLiteral("check box"),
    QStringLiteral("combo box"), QStringLiteral("spin button"), QStringLiteral("text"), QStringLiteral("table"),
    QStringLiteral("page tab") };

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether question `q` of a test file has letter `k` (1 for A) marked.
std::optional<bool> markedIn(const QString& path, int q, int k)
{
    const QByteArray bytes = readAll(path);
    for (qsizetype at = 0; at + kTestRecordSize <= bytes.size(); at += kTestRecordSize) {
        const TestRecord r = decodeTestRecord(bytes.constData() + at);
        if (r.question == q && r.answer == k)
            return r.cell.marked != 0;
    }
    return std::nullopt;
}

} // namespace

class TestNotasJourney : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void gradeAndExportByKeyboard();
    void gradeMixedClassAndReviewByKeyboard();

private:
    QString folder(const QString& name) const { return work_.filePath(name); }
    // Focuses the newest window of the program named by `pattern`.
    bool focus(const QString& pattern);
    // Whether every window of the program named by `pattern` is gone within
    // a few seconds.
    bool closed(const QString& pattern) const;
    QStringList accessibleObjects() const;
    // The first of the accessible objects that matches `pattern`, once one
    // does within `timeout`; empty when none did.
    QString waitForText(const QString& pattern, std::chrono::milliseconds timeout = 30s) const;
    bool startProgram();
    // Exports the class as CSV into `csv` by Alt+N from the window named
    // by `main`, once the export is offered; false with the step that failed.
    bool exportCsvByKeyboard(const QString& main, const QString& csv, QString& failed);

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
    QVERIFY2(QFileInfo::exists(kAccessibilityPython), "python3 is missing: bash scripts/deps.sh test installs it");
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

    for (const char* sub : { "home/config", "home/data", "home/cache", "home/runtime" })
        QVERIFY(QDir().mkpath(folder(QString::fromLatin1(sub))));
    QFile::setPermissions(folder(QStringLiteral("home/runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool TestNotasJourney::startProgram()
{
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
    return program_->waitForStarted(10000);
}

QStringList TestNotasJourney::accessibleObjects() const
{
    QProcessEnvironment env = x_.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    QStringList objects;
    for (const AccessibleObject& o : accessibleTree(env, QStringLiteral("zelvora-notas"), 30s))
        objects << o.role + u'|' + o.name;
    return objects;
}

QString TestNotasJourney::waitForText(const QString& pattern, std::chrono::milliseconds timeout) const
{
    const QRegularExpression wanted(pattern);
    for (QDeadlineTimer deadline(timeout); !deadline.hasExpired(); QThread::msleep(200)) {
        for (const QString& line : accessibleObjects()) {
            if (wanted.match(line).hasMatch())
                return line;
        }
    }
    return {};
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

bool TestNotasJourney::exportCsvByKeyboard(const QString& main, const QString& csv, QString& failed)
{
    // The export is offered once the class is graded; until then Alt+N
    // does nothing, so it is pressed until its dialog comes.
    bool asked = false;
    for (int i = 0; i < 20 && !asked; ++i) {
        if (!focus(main)) {
            failed = QStringLiteral("the window lost its focus");
            return false;
        }
        x_.keys({ QStringLiteral("alt+n") });
        asked = !x_.waitForWindows(program_->processId(), QStringLiteral("^Exportar CSV$"), 1s).isEmpty();
    }
    if (!asked || !focus(QStringLiteral("^Exportar CSV$"))) {
        failed = QStringLiteral("Alt+N never offered to export the CSV");
        return false;
    }
    x_.type(csv);
    x_.keys({ QStringLiteral("Return") });
    if (!QTest::qWaitFor([&csv] { return QFileInfo(csv).size() > 0; }, 10000)) {
        failed = QStringLiteral("the CSV was not written");
        return false;
    }
    return true;
}

bool TestNotasJourney::closed(const QString& pattern) const
{
    return QTest::qWaitFor([&] { return x_.waitForWindows(program_->processId(), pattern, 100ms).isEmpty(); }, 10000);
}

void TestNotasJourney::gradeAndExportByKeyboard()
{
    QVERIFY(QDir().mkpath(folder(QStringLiteral("clase"))));
    const QString key = folder(QStringLiteral("clave.ztest"));
    QVERIFY(writeBytes(key, ztestFile(0, marksFromLetters({ "A", "B", "C" }))));
    QVERIFY(writeBytes(folder(QStringLiteral("clase/ana.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "D" }))));
    QVERIFY(writeBytes(folder(QStringLiteral("clase/luis.ztest")), ztestFile(0, marksFromLetters({ "", "", "D" }))));

    const QString home = folder(QStringLiteral("home"));
    QVERIFY(startProgram());

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

    const QString csv = folder(QStringLiteral("notas.csv"));
    QString failed;
    QVERIFY2(exportCsvByKeyboard(main, csv, failed), qPrintable(failed));

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

void TestNotasJourney::gradeMixedClassAndReviewByKeyboard()
{
    // Two students answer on screen, two on paper. Each paper sheet carries
    // clear pen marks and, on questions with no other mark, a few cells a
    // reader cannot be sure of: a half-filled cell and a faint pencil fill.
    const QString letters = QStringLiteral("ABCDE");
    QStringList keyAnswers;
    for (int q = 0; q < 20; ++q)
        keyAnswers << QString(QStringLiteral("ACEBD")[q % 5]);
    const auto path = [this](const char* name) { return folder(QStringLiteral("mixta/") + QLatin1String(name)); };
    QVERIFY(QDir().mkpath(path("pantalla")));
    QVERIFY(QDir().mkpath(path("escaneos")));
    const QString key = path("clave.ztest");
    QVERIFY(writeBytes(key, ztestFile(0, marksFromLetters(keyAnswers))));
    QStringList marta = keyAnswers;
    marta[0] = QStringLiteral("B");
    marta[19] = QString();
    QVERIFY(writeBytes(path("pantalla/marta.ztest"), ztestFile(0, marksFromLetters(marta))));
    QVERIFY(writeBytes(path("pantalla/pablo.ztest"), ztestFile(0, marksFromLetters(keyAnswers.mid(0, 12)))));
    QVERIFY(writeBytes(path("alumnos.csv"), QByteArray("id;nombre\nana;Ana Ruiz\nluis;Luis Gil\n")));
    const NotasRun printed = runNotasProcess(QStringLiteral(NOTAS_EXE), path(""),
        { "--papel", "hojas.pdf", "--clave", "clave.ztest", "--lista", "alumnos.csv", "--copias", "1" });
    QVERIFY2(printed.status == 0, qPrintable(printed.err));
    const QByteArray pdf = readAll(path("hojas.pdf"));

    struct Doubt {
        const char* student;
        int q;
        QChar letter;
        Fill fill;
    };
    // In the order the reader lists them: by page, then by question.
    const Doubt doubts[] = { { "ana", 4, u'B', Fill::LightPencil }, { "ana", 9, u'D', Fill::LightPencil },
        { "ana", 15, u'A', Fill::HalfFilled }, { "luis", 2, u'A', Fill::LightPencil } };
    QStringList ana = keyAnswers;
    ana[11] = QStringLiteral("A");
    QStringList luis = keyAnswers.mid(0, 11);
    luis[10] = QStringLiteral("E");
    constexpr int kDpi = 150;
    ScanMaker maker(20261210);
    const auto scan = [&](int page, const char* student, QStringList answers) {
        std::vector<CellFill> fills;
        for (const Doubt& d : doubts) {
            if (qstrcmp(d.student, student) == 0) {
                answers[d.q - 1].clear();
                fills.push_back({ d.q, int(letters.indexOf(d.letter)) + 1, 0, d.fill });
            }
        }
        for (qsizetype q = 0; q < answers.size(); ++q) {
            if (!answers[q].isEmpty())
                fills.push_back({ int(q + 1), int(letters.indexOf(answers[q])) + 1, 0, Fill::Pen });
        }
        cv::Mat sheet = ScanMaker::renderPdf(pdf, page, kDpi);
        maker.fillCells(sheet, kDpi, PaperSize::A4, fills);
        return cv::imwrite(path("escaneos/").toStdString() + student + ".png", sheet);
    };
    QVERIFY(scan(0, "ana", ana));
    QVERIFY(scan(1, "luis", luis));

    // What the teacher decides, in the order the review is walked below:
    // ana's question 4 is the letter she meant; her 9 is accepted as read
    // (empty) and her 15 cleared; luis meant C, not the faint A.
    const QHash<QString, QString> decided { { QStringLiteral("ana 4"), QStringLiteral("B") },
        { QStringLiteral("ana 9"), QString() }, { QStringLiteral("ana 15"), QString() },
        { QStringLiteral("luis 2"), QStringLiteral("C") } };
    // The grades those decisions give, counted from the designed marks.
    const auto expectedRow = [&](const char* student, QStringList answers) {
        for (const Doubt& d : doubts) {
            if (qstrcmp(d.student, student) == 0)
                answers[d.q - 1] = decided.value(QStringLiteral("%1 %2").arg(QLatin1String(student)).arg(d.q));
        }
        int hits = 0;
        int misses = 0;
        for (qsizetype q = 0; q < keyAnswers.size(); ++q) {
            const QString given = answers.value(q);
            hits += given == keyAnswers[q];
            misses += !given.isEmpty() && given != keyAnswers[q];
        }
        const int blanks = int(keyAnswers.size()) - hits - misses;
        return QStringLiteral("%1.ztest,%2,%3,%4,%5,")
            .arg(QLatin1String(student))
            .arg(hits)
            .arg(misses)
            .arg(blanks)
            .arg(10.0 * hits / keyAnswers.size(), 0, 'f', 2)
            .toUtf8();
    };

    const QString main = QStringLiteral("^Zelvora Notas$");
    const QString reviewWindow = QStringLiteral("^Revisar las dudas — Zelvora Notas$");
    // The key, the scans and the screen answers, each in its file dialog.
    const auto openClass = [&]() -> bool {
        if (!focus(main))
            return false;
        x_.keys({ QStringLiteral("alt+e") });
        if (!focus(QStringLiteral("^Elegir la clave$")))
            return false;
        x_.type(key);
        x_.keys({ QStringLiteral("Return") });
        if (!closed(QStringLiteral("^Elegir la clave$")) || !focus(main))
            return false;
        x_.keys({ QStringLiteral("alt+t") });
        const QString files = QStringLiteral("^Añadir tests y escaneos de la clase$");
        if (!focus(files))
            return false;
        // Into the scans' folder first, then both pages at once, as the
        // dialog takes several names.
        x_.type(path("escaneos"));
        x_.keys({ QStringLiteral("Return") });
        x_.keys({ QStringLiteral("ctrl+a") });
        x_.type(QStringLiteral("\"ana.png\" \"luis.png\""));
        x_.keys({ QStringLiteral("Return") });
        if (!closed(files) || !focus(main))
            return false;
        x_.keys({ QStringLiteral("alt+c") });
        const QString folderDialog = QStringLiteral("^Añadir una carpeta de tests$");
        if (!focus(folderDialog))
            return false;
        x_.type(path("pantalla"));
        x_.keys({ QStringLiteral("Return") });
        return closed(folderDialog);
    };
    const auto closeWindow = [&]() -> bool {
        if (!focus(main))
            return false;
        x_.keys({ QStringLiteral("alt+F4") });
        return program_->waitForFinished(30000) && program_->exitStatus() == QProcess::NormalExit
            && program_->exitCode() == 0;
    };
    // What a screen reader reads of the review's doubtful cell.
    const auto doubtShown
        = [this](const QString& text) { return !waitForText(QStringLiteral("^label\\|") + text + u'$').isEmpty(); };

    QVERIFY(startProgram());
    QVERIFY2(openClass(), "the key or the class could not be chosen");

    // The pages read, each with its doubts, and the students to review.
    for (const char* text :
        { "3 dudas", "1 duda", "a revisar \\(3 dudas\\)", "a revisar \\(1 duda\\)", "marta\\.ztest" })
        QVERIFY2(!waitForText(QStringLiteral("^table cell\\|%1$").arg(QLatin1String(text))).isEmpty(),
            qPrintable(QStringLiteral("not shown: %1\n%2").arg(QLatin1String(text), accessibleObjects().join(u'\n'))));

    QVERIFY(focus(main));
    x_.keys({ QStringLiteral("alt+d") });
    QVERIFY2(focus(reviewWindow), "Alt+D opened no review");
    QVERIFY2(
        doubtShown(QStringLiteral("Duda 1 de 4: ana .*pregunta 4, letra B")), "the review reads out no doubtful cell");
    x_.keys({ QStringLiteral("b") });
    QVERIFY(doubtShown(QStringLiteral("Duda 1 de 3: ana .*pregunta 9, letra D")));
    // The teacher stops half way: the review, then the window.
    x_.keys({ QStringLiteral("alt+F4") });
    QVERIFY(closed(reviewWindow));
    QVERIFY(closeWindow());

    const QString paper = path("clave-papel");
    QCOMPARE(markedIn(paper + QStringLiteral("/ana.ztest"), 4, 2), std::optional<bool>(true));
    QVERIFY(readAll(paper + QStringLiteral("/revision-decisiones.csv")).contains("\nana,4,B,B\n"));

    // Back another day: the scans read anew keep the decision, and the
    // review goes on from the next cell.
    QVERIFY(startProgram());
    QVERIFY2(openClass(), "the key or the class could not be chosen again");
    QVERIFY(!waitForText(QStringLiteral("^table cell\\|2 dudas$")).isEmpty());
    QVERIFY(focus(main));
    x_.keys({ QStringLiteral("alt+d") });
    QVERIFY2(focus(reviewWindow), "Alt+D opened no review");
    QVERIFY2(doubtShown(QStringLiteral("Duda 1 de 3: ana .*pregunta 9, letra D")), "the review did not resume");
    x_.keys({ QStringLiteral("Right") });
    QVERIFY(doubtShown(QStringLiteral("Duda 2 de 3: ana .*pregunta 15, letra A")));
    x_.keys({ QStringLiteral("Delete") });
    QVERIFY(doubtShown(QStringLiteral("Duda 2 de 2: luis .*pregunta 2, letra A")));
    x_.keys({ QStringLiteral("Left") });
    QVERIFY(doubtShown(QStringLiteral("Duda 1 de 2: ana .*pregunta 9, letra D")));
    x_.keys({ QStringLiteral("Return") });
    QVERIFY(doubtShown(QStringLiteral("Duda 1 de 1: luis .*pregunta 2, letra A")));
    x_.keys({ QStringLiteral("c") });
    QVERIFY(doubtShown(QStringLiteral("No quedan casillas dudosas\\.")));
    x_.keys({ QStringLiteral("alt+F4") });
    QVERIFY(closed(reviewWindow));

    // Graded again with every decision: no student is left to review.
    QVERIFY(focus(main));
    QVERIFY2(QTest::qWaitFor(
                 [this] {
                     const QStringList cells = accessibleObjects().filter(QStringLiteral("table cell|"));
                     return cells.filter(QRegularExpression(QStringLiteral("\\|leído del papel$"))).size() == 2
                         && cells.filter(QStringLiteral("|a revisar")).isEmpty();
                 },
                 30000),
        "the decisions did not show in the tables");
    const QString csv = path("notas.csv");
    QString failed;
    QVERIFY2(exportCsvByKeyboard(main, csv, failed), qPrintable(failed));

    // A paper student's sheet, from the table by the keyboard: the search
    // field by its letter, past the check box to the table, whose first row
    // (by name) is ana's.
    QVERIFY(focus(main));
    x_.keys({ QStringLiteral("alt+a"), QStringLiteral("alt+b"), QStringLiteral("Tab"), QStringLiteral("Tab"),
        QStringLiteral("Return") });
    QVERIFY2(focus(QStringLiteral("^ana\\.ztest — Zelvora Notas$")), "Intro on the table opened no sheet");
    QVERIFY(!waitForText(QStringLiteral("^dialog\\|Hoja corregida de ana\\.ztest$")).isEmpty());
    x_.keys({ QStringLiteral("Escape") });
    QVERIFY(closed(QStringLiteral("^ana\\.ztest")));
    QVERIFY(closeWindow());

    const QByteArray exported = readAll(csv);
    QVERIFY2(exported.contains("\r\n" + expectedRow("ana", ana)), exported.constData());
    QVERIFY2(exported.contains("\r\n" + expectedRow("luis", luis)), exported.constData());
    // The screen students against the command line given the same files:
    // the screen folder and the sheets the review left. The reading of the
    // scans is checked above against the designed marks; here the window
    // must grade and export the class exactly as the command line does.
    const NotasRun cli = runNotasProcess(QStringLiteral(NOTAS_EXE), path(""),
        { "--clave", "clave.ztest", "--csv", "cli.csv", "pantalla", "clave-papel" });
    QVERIFY2(cli.status == 0, qPrintable(cli.err));
    QCOMPARE(exported, readAll(path("cli.csv")));
}

QTEST_GUILESS_MAIN(TestNotasJourney)
#include "tst_notasjourney.moc"
