// The Notas window on the offscreen platform, every dialog answered from a
// script: a class chosen and graded in the background, options that grade
// again and are remembered, drops from a file manager, cancel, a file that
// goes away while it is graded, one student's sheet, and a name for every
// control a screen reader reaches.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "notas/classexport.h"
#include "notas/gradingjob.h"
#include "notas/inputlist.h"
#include "notas/notaswindow.h"
#include "notas/studentsheet.h"
#include "notas/studenttable.h"
#include "sheet/model.h"
#include "tests/grading/ztestfiles.h"
#include "tests/notas/scripteddialogs.h"

namespace {

constexpr int kLargeClass = 400;

bool waitForGrading(NotasWindow& window)
{
    return QTest::qWaitFor([&window] { return !window.grading(); }, 60000);
}

QStringList states(const InputListModel& list)
{
    QStringList out;
    for (const InputRow& row : list.rows())
        out << QFileInfo(row.path).fileName() + QStringLiteral(": ") + inputStateText(row);
    return out;
}

} // namespace

class TestNotasWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void gradesTheClassChosenThroughTheDialogs();
    void dropsAddFilesAndFolders();
    void cancelLeavesNothingBehind();
    void aNewRunReplacesTheOneUnderWay();
    void aFileThatGoesAwayIsRefused();
    void oneStudentsSheet();
    void failedExportSaysSo();
    void everyControlHasANameAndTakesTab();
    void noWindowWithoutAGraphicalSession_data();
    void noWindowWithoutAGraphicalSession();

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString memory() const { return path(QStringLiteral("config/notas.ini")); }
    QString key() const { return path(QStringLiteral("clave.ztest")); }

    QTemporaryDir dir_;
};

void TestNotasWindow::initTestCase()
{
    QVERIFY(dir_.isValid());
    for (const char* folder : { "clase", "grande", "suelta" })
        QVERIFY(QDir().mkpath(path(QString::fromLatin1(folder))));
    QVERIFY(writeBytes(key(), ztestFile(0, marksFromLetters({ "A", "B", "C", "D" }))));
    QVERIFY(
        writeBytes(path(QStringLiteral("clase/ana.ztest")), ztestFile(0, marksFromLetters({ "A", "B", "C", "D" }))));
    QVERIFY(writeBytes(path(QStringLiteral("clase/bea.ztest")), ztestFile(0, marksFromLetters({ "A", "C", "C", "" }))));
    QVERIFY(writeBytes(path(QStringLiteral("clase/roto.ztest")), QByteArray(40, 'x')));
    QVERIFY(writeBytes(path(QStringLiteral("suelta/eva.ztest")), ztestFile(0, marksFromLetters({ "B", "B", "", "" }))));
    const QByteArray one = ztestFile(0, marksFromLetters({ "A", "", "C", "E" }));
    for (int i = 0; i < kLargeClass; ++i)
        QVERIFY(writeBytes(path(QStringLiteral("grande/%1.ztest").arg(i, 4, 10, QLatin1Char('0'))), one));
}

void TestNotasWindow::gradesTheClassChosenThroughTheDialogs()
{
    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, memory());
    dialogs.files = { key(), path(QStringLiteral("clase")) };
    window.chooseKey();
    window.chooseAnswerFolder();
    QVERIFY(waitForGrading(window));

    auto* keyInfo = window.findChild<QLabel*>(QStringLiteral("datosClave"));
    QVERIFY(keyInfo);
    QCOMPARE(keyInfo->text(), QStringLiteral("Test 5 respuestas; responde 4 preguntas."));
    QCOMPARE(window.students().rowCount(), 2);
    QCOMPARE(states(window.inputList()),
        (QStringList { "ana.ztest: calificado", "bea.ztest: calificado",
            "roto.ztest: rechazado: no es un test: su longitud (40 bytes) no es múltiplo de 32" }));
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        if (b->accessibleName().startsWith(u"Exportar"))
            QVERIFY2(b->isEnabled(), qPrintable(b->accessibleName()));
    }
    const auto beaGrade = [&window] { return window.graded()->grading.students[1].grade; };
    QCOMPARE(beaGrade(), 5.0);

    // Choosing "automática" in the box grades again: a quarter off per miss.
    auto* penalty = window.findChild<QComboBox*>();
    QVERIFY(penalty);
    QCOMPARE(penalty->accessibleName(), QStringLiteral("Penalización"));
    penalty->setCurrentIndex(int(PenaltyKind::Automatic));
    QVERIFY(window.grading());
    QVERIFY(waitForGrading(window));
    QCOMPARE(beaGrade(), 4.375);

    // The next window starts with the same options and folders.
    ScriptedDialogs later;
    NotasWindow again(later, memory());
    QCOMPARE(int(again.options().penaltyKind), int(PenaltyKind::Automatic));
    QCOMPARE(readNotasMemory(memory()).answersFolder, dir_.path());
    QCOMPARE(readNotasMemory(memory()).keyFolder, dir_.path());
}

void TestNotasWindow::dropsAddFilesAndFolders()
{
    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, path(QStringLiteral("drop.ini")));
    window.setKey(key());
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(path(QStringLiteral("clase"))),
        QUrl::fromLocalFile(path(QStringLiteral("suelta/eva.ztest"))), QUrl(QStringLiteral("https://example.org/x")) });
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QVERIFY(waitForGrading(window));
    QCOMPARE(window.students().rowCount(), 3);
}

void TestNotasWindow::cancelLeavesNothingBehind()
{
    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, path(QStringLiteral("cancel.ini")));
    QSignalSpy ended(&window, &NotasWindow::gradingEnded);
    window.setKey(key());
    window.addInputs({ path(QStringLiteral("grande")) });
    window.cancelGrading();
    QVERIFY(waitForGrading(window));
    QCOMPARE(ended.count(), 1);
    QVERIFY(!window.graded());
    QCOMPARE(window.students().rowCount(), 0);
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        if (b->accessibleName().startsWith(u"Exportar"))
            QVERIFY2(!b->isEnabled(), qPrintable(b->accessibleName()));
    }

    // Adding the next input grades the whole class again.
    window.addInputs({ path(QStringLiteral("suelta")) });
    QVERIFY(waitForGrading(window));
    QCOMPARE(window.students().rowCount(), kLargeClass + 1);
}

void TestNotasWindow::aNewRunReplacesTheOneUnderWay()
{
    GradingJob job;
    QSignalSpy finished(&job, &GradingJob::finished);
    QSignalSpy cancelled(&job, &GradingJob::cancelled);
    job.start(key(), { path(QStringLiteral("grande")) }, {});
    GradingOptions twenty;
    twenty.scale = 20;
    job.start(key(), { path(QStringLiteral("grande")) }, twenty);
    QVERIFY(finished.wait(60000));
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(cancelled.count(), 0);
    const auto result = finished.front().front().value<std::shared_ptr<const GradedClass>>();
    QCOMPARE(result->grading.rules.scale, 20.0);
    QCOMPARE(result->grading.students.size(), std::size_t(kLargeClass));
}

void TestNotasWindow::aFileThatGoesAwayIsRefused()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const char* name : { "a.ztest", "b.ztest", "c.ztest" })
        QVERIFY(writeBytes(folder.filePath(QString::fromLatin1(name)), ztestFile(0, marksFromLetters({ "A" }))));
    auto scratch = std::make_unique<Model>();
    const std::atomic<bool> cancel { false };
    QString reason;
    const std::optional<GradedClass> graded = gradeInputs(
        *scratch, key(), { folder.path() }, {}, cancel,
        [&folder](int done, int) {
            if (done == 1)
                QFile::remove(folder.filePath(QStringLiteral("b.ztest")));
        },
        reason);
    QVERIFY(graded);
    QCOMPARE(graded->grading.students.size(), std::size_t(2));
    QCOMPARE(graded->grading.refused.size(), std::size_t(1));
    QCOMPARE(graded->inputs[1].state, InputState::Refused);
    QCOMPARE(graded->inputs[1].reason, QStringLiteral("no existe"));
}

void TestNotasWindow::oneStudentsSheet()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString ana = folder.filePath(QStringLiteral("ana.ztest"));
    QVERIFY(writeBytes(ana, ztestFile(0, marksFromLetters({ "A", "C" }))));
    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, path(QStringLiteral("sheet.ini")));
    window.setKey(key());
    window.addInputs({ ana });
    QVERIFY(waitForGrading(window));

    window.openStudent(0);
    auto* sheet = window.findChild<StudentSheetDialog*>();
    QVERIFY(sheet);
    QVERIFY(sheet->isVisible());
    QVERIFY(sheet->windowTitle().startsWith(u"ana.ztest"));
    QVERIFY(dialogs.warnings.isEmpty());
    sheet->close();

    // Gone since it was graded: said, not drawn from a stale reading.
    QVERIFY(QFile::remove(ana));
    window.openStudent(0);
    QCOMPARE(dialogs.warnings.size(), 1);
    QVERIFY(dialogs.warnings.front().contains(u"ya no se puede leer"));
}

void TestNotasWindow::failedExportSaysSo()
{
    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, path(QStringLiteral("export.ini")));
    window.setKey(key());
    window.addInputs({ path(QStringLiteral("clase")) });
    QVERIFY(waitForGrading(window));

    dialogs.files = { path(QStringLiteral("no/hay/carpeta.csv")), path(QStringLiteral("notas.csv")) };
    window.exportCsv();
    QCOMPARE(dialogs.warnings.size(), 1);
    QVERIFY(dialogs.warnings.front().contains(u"no/hay/carpeta.csv"));
    window.exportCsv();
    QCOMPARE(dialogs.warnings.size(), 1);
    QVERIFY(QFileInfo(path(QStringLiteral("notas.csv"))).size() > 0);

    // The sheets of the students graded, none for the refused file.
    dialogs.files = { path(QStringLiteral("hojas")) };
    window.exportSheets();
    QCOMPARE(dialogs.warnings.size(), 1);
    QCOMPARE(
        QDir(path(QStringLiteral("hojas"))).entryList(QDir::Files, QDir::Name), (QStringList { "ana.pdf", "bea.pdf" }));

    // Stopped after the first sheet: nothing of the run is left behind, not
    // even its hidden folder.
    const QString stopped = path(QStringLiteral("hojas-paradas"));
    QStringList problems;
    QVERIFY(!exportFeedbackSheets(stopped, *window.graded(), problems, [](int done, int) { return done < 1; }));
    QVERIFY(problems.isEmpty());
    QCOMPARE(QDir(stopped).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestNotasWindow::everyControlHasANameAndTakesTab()
{
    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, path(QStringLiteral("a11y.ini")));
    window.setKey(key());
    window.addInputs({ path(QStringLiteral("clase")) });
    QVERIFY(waitForGrading(window));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Each page as it shows: the later ones are made when first opened.
    auto* tabs = window.findChild<QTabWidget*>();
    QVERIFY(tabs);
    QStringList unnamed;
    QStringList untabbable;
    int controls = 0;
    for (int page = tabs->count() - 1; page >= 0; --page) {
        tabs->setCurrentIndex(page);
        for (QWidget* w : window.findChildren<QWidget*>()) {
            if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&window) || w->focusProxy())
                continue;
            ++controls;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
            if (!(w->focusPolicy() & Qt::TabFocus))
                untabbable << QString::fromLatin1(w->metaObject()->className()) + u' ' + a->text(QAccessible::Name);
        }
    }
    QVERIFY(controls > 10);
    // Alt and a letter reaches each command; a letter used twice would only
    // move between the two.
    QStringList texts;
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>())
        texts << b->text();
    for (QLabel* l : window.findChildren<QLabel*>())
        texts << l->text();
    for (QTabWidget* t : window.findChildren<QTabWidget*>()) {
        for (int i = 0; i < t->count(); ++i)
            texts << t->tabText(i);
    }
    QMap<QChar, QString> mnemonics;
    for (const QString& text : std::as_const(texts)) {
        const qsizetype amp = text.indexOf(u'&');
        if (amp < 0 || amp + 1 >= text.size())
            continue;
        const QChar letter = text[amp + 1].toLower();
        QVERIFY2(!mnemonics.contains(letter), qPrintable(mnemonics.value(letter) + QStringLiteral(" / ") + text));
        mnemonics.insert(letter, text);
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", ")));
    QVERIFY2(untabbable.isEmpty(), qPrintable(untabbable.join(u", ")));
}

void TestNotasWindow::noWindowWithoutAGraphicalSession_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("a remote shell") << QString();
    // Qt would end the program with an abort here.
    QTest::newRow("a display that cannot be opened") << QStringLiteral(":9999");
}

void TestNotasWindow::noWindowWithoutAGraphicalSession()
{
    QFETCH(QString, display);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        env.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(NOTAS_EXE), QStringList());
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()),
        QStringLiteral("zelvora-notas: falta la clave (--clave CLAVE.ztest)\nPruebe «zelvora-notas --help».\n"));
}

QTEST_MAIN(TestNotasWindow)
#include "tst_notaswindow.moc"
