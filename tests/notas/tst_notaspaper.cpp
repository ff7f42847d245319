// Paper in the window: scans added to the class are read beside the key (or
// in the user's data when the key's folder is read-only) and graded with
// the rest, a cancelled read leaves nothing, and the review of their
// doubtful cells writes each decision into the student's test file,
// survives reopening the window and reading the scans again, and says so
// when the sheet is gone.

#include <atomic>

#include <unistd.h>

#include <QAccessible>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/imgproc.hpp>

#include "notas/classrun.h"
#include "notas/inputlist.h"
#include "notas/notaswindow.h"
#include "notas/paperreview.h"
#include "notas/reviewdialog.h"
#include "notas/scanpage.h"
#include "notas/studentsheet.h"
#include "notas/studenttable.h"
#include "paper/papergeometry.h"
#include "paper/sheetcode.h"
#include "sheet/model.h"
#include "testfile/testfile.h"
#include "tests/grading/ztestfiles.h"
#include "tests/notas/scripteddialogs.h"
#include "tests/support/scanmaker.h"
#include "tests/support/scopedenvironment.h"

namespace {

constexpr int kDpi = 150;
constexpr int kQuestionsAsked = 12;

// Question q's letter in the key: A..E in turn, every fifth left blank.
int keyAnswer(int q)
{
    return q % 5 == 0 ? 0 : 1 + (q * 3) % 5;
}

// A page of the exam printed for the key, filled as the key says, with the
// cells in `smudged` greyed all over: neither empty nor filled, so the
// reader must leave them to the teacher.
cv::Mat filledPage(const QString& exam, const QString& student, const std::vector<std::pair<int, int>>& smudged)
{
    SheetCode code;
    code.examId = exam;
    code.layout.testType = 0;
    code.layout.questions = kQuestionsAsked;
    code.studentId = student;
    ScanMaker maker(3);
    std::vector<CellFill> fills;
    for (int q = 1; q <= kQuestionsAsked; ++q)
        if (keyAnswer(q) > 0)
            fills.push_back({ q, keyAnswer(q), 0, Fill::Pen });
    cv::Mat page = ScanMaker::renderSheet({ code, QStringLiteral("Examen") }, kDpi);
    maker.fillCells(page, kDpi, code.layout.paper, fills);
    const double scale = kDpi / 25.4;
    for (const auto& [q, k] : smudged) {
        const QRectF cell = answerCellMm(code.layout.paper, q, k);
        cv::rectangle(page,
            cv::Rect(int(cell.left() * scale), int(cell.top() * scale), int(cell.width() * scale),
                int(cell.height() * scale)),
            cv::Scalar(140), cv::FILLED);
    }
    return page;
}

// A review list of one doubtful cell: C of question 2 on Ana's sheet.
bool writeReviewList(const QString& folder)
{
    return writeBytes(QDir(folder).filePath(QStringLiteral("revision.csv")),
        "Hoja,Alumno,Pregunta,Letra,Relleno (%),Lectura,Motivo,Imagen\n"
        "\"hojas.pdf, página 1\",ana,2,C,41,no marcada,casilla dudosa,revision/ana-pregunta-2.png\n");
}

bool waitForGrading(NotasWindow& window)
{
    return QTest::qWaitFor([&window] { return !window.grading(); }, 120000);
}

QStringList states(const InputListModel& list)
{
    QStringList out;
    for (int r = 0; r < list.rowCount(); ++r) {
        QString input = list.index(r, 0).data().toString();
        if (QDir::isAbsolutePath(input))
            input = QFileInfo(input).fileName();
        out << input + QStringLiteral(": ") + list.index(r, 1).data().toString();
    }
    return out;
}

const StudentResult* studentNamed(const NotasWindow& window, const QString& name)
{
    for (const StudentResult& s : window.graded()->grading.students)
        if (s.name == name)
            return &s;
    return nullptr;
}

bool cellMarked(const QString& path, int q, int k)
{
    Model m;
    m.testFileName = path;
    if (readTestFile(m) != ReadResult::Accepted)
        return false;
    return m.answerCells.at(k, q).marked != 0;
}

} // namespace

class TestNotasPaper : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void scansAreReadBesideTheKeyAndGraded();
    void reviewSavesEachDecisionAndResumes();
    void eachKeyDecidesTheCell_data();
    void eachKeyDecidesTheCell();
    void aVanishedSheetIsNotRecorded();
    void aCancelledReadWritesNothing();
    void scansOfAKeyInAFolderNotWritableGoToTheUserData_data();
    void scansOfAKeyInAFolderNotWritableGoToTheUserData();
    void aShownPageIsKeptUntilItsScanChanges();
    void theReviewIsReadOutAsShown();

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString key() const { return path(QStringLiteral("clave.ztest")); }
    QString paperFolder() const { return path(QStringLiteral("clave-papel")); }
    // A window grading the screen sheet and the scans.
    std::unique_ptr<NotasWindow> openClass(ScriptedDialogs& dialogs);

    QTemporaryDir dir_;
};

void TestNotasPaper::initTestCase()
{
    QVERIFY(dir_.isValid());
    QStringList letters;
    std::vector<unsigned> keyMarks;
    for (int q = 1; q <= kQuestionsAsked; ++q) {
        const int k = keyAnswer(q);
        letters << (k ? QString(QChar(u'A' + k - 1)) : QString());
        keyMarks.push_back(k ? 1u << (k - 1) : 0u);
    }
    QVERIFY(writeBytes(key(), ztestFile(0, marksFromLetters(letters))));
    QVERIFY(writeBytes(path(QStringLiteral("pantalla.ztest")), ztestFile(0, marksFromLetters(letters))));
    SheetLayout layout;
    layout.testType = 0;
    layout.questions = kQuestionsAsked;
    const QString exam = examId(QStringLiteral("Examen"), layout, keyMarks);
    // Luz is clean; Mar's answer to question 2 (D) and a stray cell of
    // question 3 are smudged.
    QVERIFY(writeBytes(path(QStringLiteral("escaneo.pdf")),
        scannedPdf({ filledPage(exam, QStringLiteral("luz"), {}),
            filledPage(exam, QStringLiteral("mar"), { { 2, keyAnswer(2) }, { 3, 1 } }) }, int(kDpi))));
}

std::unique_ptr<NotasWindow> TestNotasPaper::openClass(ScriptedDialogs& dialogs)
{
    auto window = std::make_unique<NotasWindow>(dialogs, path(QStringLiteral("config/notas.ini")));
    window->setKey(key());
    dialogs.fileLists = { { path(QStringLiteral("pantalla.ztest")), path(QStringLiteral("escaneo.pdf")) } };
    window->chooseAnswerFiles();
    return window;
}

void TestNotasPaper::scansAreReadBesideTheKeyAndGraded()
{
    ScriptedDialogs dialogs;
    const std::unique_ptr<NotasWindow> window = openClass(dialogs);
    QVERIFY(waitForGrading(*window));
    QVERIFY(window->graded());
    QCOMPARE(window->paperFolder(), paperFolder());
    QCOMPARE(states(window->inputList()),
        (QStringList { "pantalla.ztest: calificado", "escaneo.pdf, página 1: leído del papel",
            "escaneo.pdf, página 2: 2 dudas" }));
    QVERIFY(QFile::exists(paperFolder() + QStringLiteral("/luz.ztest")));

    const StudentResult* mar = studentNamed(*window, QStringLiteral("mar.ztest"));
    QVERIFY(mar);
    QCOMPARE(mar->doubtfulCells, 2);
    QCOMPARE(studentNamed(*window, QStringLiteral("luz.ztest"))->doubtfulCells, 0);
    // The doubtful answer is written as not marked until someone decides.
    QCOMPARE(mar->hits + 1, studentNamed(*window, QStringLiteral("luz.ztest"))->hits);
    QStringList review;
    for (int r = 0; r < window->students().rowCount(); ++r)
        review << window->students().index(r, StudentTableModel::Review).data().toString();
    QVERIFY2(review.contains(QStringLiteral("a revisar (2 dudas)")), qPrintable(review.join(u'|')));

    // Mar's sheet opens with the scanned page beside it, the doubtful cells
    // outlined in orange; Luz's page has none.
    const auto orange = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += c.red() > 180 && c.green() > 90 && c.green() < 170 && c.blue() < 60;
            }
        return n;
    };
    const auto pending = pendingReview(window->paperFolder());
    QString reason;
    const QImage marPage = scannedSheetImage(path(QStringLiteral("escaneo.pdf")), 1, mar->path, pending, reason);
    QVERIFY2(!marPage.isNull(), qPrintable(reason));
    QVERIFY(orange(marPage) > 0);
    const QImage luzPage = scannedSheetImage(
        path(QStringLiteral("escaneo.pdf")), 0, paperFolder() + QStringLiteral("/luz.ztest"), pending, reason);
    QVERIFY2(!luzPage.isNull(), qPrintable(reason));
    QCOMPARE(orange(luzPage), 0);
    for (int r = 0; r < window->students().rowCount(); ++r)
        if (window->students().index(r, StudentTableModel::Name).data().toString() == u"mar.ztest")
            window->openStudent(r);
    auto* sheet = window->findChild<StudentSheetDialog*>();
    QVERIFY(sheet);
    QLabel* scan = nullptr;
    for (QLabel* label : sheet->findChildren<QLabel*>())
        if (label->accessibleName() == u"Página escaneada")
            scan = label;
    QVERIFY(scan);
    QVERIFY(!scan->pixmap().isNull());
    QVERIFY(dialogs.warnings.isEmpty());
}

void TestNotasPaper::reviewSavesEachDecisionAndResumes()
{
    const QString mar = paperFolder() + QStringLiteral("/mar.ztest");
    int fullMarks = 0;
    {
        ScriptedDialogs dialogs;
        const std::unique_ptr<NotasWindow> window = openClass(dialogs);
        QVERIFY(waitForGrading(*window));
        fullMarks = studentNamed(*window, QStringLiteral("luz.ztest"))->hits;
        std::vector<ReviewCell> cells = pendingReview(window->paperFolder());
        QCOMPARE(cells.size(), std::size_t(2));
        QCOMPARE(cells[0].question, 2);
        QCOMPARE(cells[0].answer, keyAnswer(2));
        QCOMPARE(cells[0].testFile, mar);
        QVERIFY(!cells[0].rowImage.isEmpty());
        QCOMPARE(cells[1].question, 3);

        // Marking the smudged answer from the keyboard: only that record
        // changes on disk, and the class is graded again by itself.
        const QByteArray before = [&] {
            QFile f(mar);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        ReviewDialog* dialog = window->review();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(dialog->cells().size(), std::size_t(2));
        QTest::keyClick(dialog, Qt::Key_Right);
        QCOMPARE(dialog->current(), 1);
        QTest::keyClick(dialog, Qt::Key_Left);
        QCOMPARE(dialog->current(), 0);
        QTest::keyClick(dialog, Qt::Key(Qt::Key_A + keyAnswer(2) - 1));
        QCOMPARE(dialog->cells().size(), std::size_t(1));
        QFile after(mar);
        QVERIFY(after.open(QIODevice::ReadOnly));
        const QByteArray now = after.readAll();
        QCOMPARE(now.size(), before.size());
        int changed = 0;
        for (qsizetype at = 0; at < now.size(); at += kTestRecordSize)
            changed += now.mid(at, kTestRecordSize) != before.mid(at, kTestRecordSize);
        QCOMPARE(changed, 1);
        QVERIFY(cellMarked(mar, 2, keyAnswer(2)));
        // Until the class is graded again, the grades shown are without the
        // decision: none of them may be exported.
        QVERIFY(window->grading());
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (b->accessibleName().startsWith(u"Exportar"))
                QVERIFY2(!b->isEnabled(), qPrintable(b->accessibleName()));

        QVERIFY(waitForGrading(*window));
        QVERIFY(window->graded());
        QCOMPARE(studentNamed(*window, QStringLiteral("mar.ztest"))->hits, fullMarks);
        QCOMPARE(studentNamed(*window, QStringLiteral("mar.ztest"))->doubtfulCells, 1);
        // Closed half way, the window closing with it.
    }

    // Reopened, the scans are read again over the sheets: the decision
    // taken stays, and the review goes on with the cell left.
    ScriptedDialogs dialogs;
    const std::unique_ptr<NotasWindow> window = openClass(dialogs);
    QVERIFY(waitForGrading(*window));
    QVERIFY(cellMarked(mar, 2, keyAnswer(2)));
    QCOMPARE(studentNamed(*window, QStringLiteral("mar.ztest"))->hits, fullMarks);
    const std::vector<ReviewCell> cells = pendingReview(window->paperFolder());
    QCOMPARE(cells.size(), std::size_t(1));
    QCOMPARE(cells[0].question, 3);

    // Another letter than the doubtful one marks that letter instead.
    ReviewDialog* dialog = window->review();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QTest::keyClick(dialog, Qt::Key_E);
    QVERIFY(dialog->cells().empty());
    QVERIFY(!cellMarked(mar, 3, 1));
    QVERIFY(cellMarked(mar, 3, 5));
    QVERIFY(pendingReview(window->paperFolder()).empty());
    QVERIFY(waitForGrading(*window));
    QCOMPARE(studentNamed(*window, QStringLiteral("mar.ztest"))->doubtfulCells, 0);
    dialog->close();
    QVERIFY(!window->review());
    QCOMPARE(dialogs.notices, QStringList { QStringLiteral("No hay casillas dudosas que revisar.") });
}

void TestNotasPaper::eachKeyDecidesTheCell_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("row");
    QTest::newRow("Supr clears") << int(Qt::Key_Delete) << QStringLiteral("A");
    QTest::newRow("Intro accepts the reading") << int(Qt::Key_Return) << QStringLiteral("A");
    QTest::newRow("its own letter marks it") << int(Qt::Key_C) << QStringLiteral("AC");
    QTest::newRow("another letter marks that one") << int(Qt::Key_E) << QStringLiteral("AE");
    QTest::newRow("a letter of no answer does nothing") << int(Qt::Key_F) << QString();
}

// Question 2's C is doubtful and, as a mistaken earlier reading might have
// left it, marked on disk; A is a clear mark the decision must keep.
void TestNotasPaper::eachKeyDecidesTheCell()
{
    QFETCH(int, key);
    QFETCH(QString, row);
    QTemporaryDir folder;
    const QString sheet = folder.filePath(QStringLiteral("ana.ztest"));
    QVERIFY(writeBytes(sheet, ztestFile(0, marksFromLetters({ "B", "AC" }))));
    QVERIFY(writeReviewList(folder.path()));
    ReviewDialog dialog(folder.path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key(key));
    QCOMPARE(dialog.cells().empty(), !row.isEmpty());
    QCOMPARE(pendingReview(folder.path()).empty(), !row.isEmpty());
    QString marked;
    for (int k = 1; k <= 5; ++k)
        if (cellMarked(sheet, 2, k))
            marked += QChar(u'A' + k - 1);
    QCOMPARE(marked, row.isEmpty() ? QStringLiteral("AC") : row);
    QVERIFY(cellMarked(sheet, 1, 2));
}

void TestNotasPaper::aVanishedSheetIsNotRecorded()
{
    QTemporaryDir folder;
    const QString sheet = folder.filePath(QStringLiteral("ana.ztest"));
    QVERIFY(writeBytes(sheet, ztestFile(0, marksFromLetters({ "A", "" }))));
    QVERIFY(writeReviewList(folder.path()));
    std::vector<ReviewCell> cells = pendingReview(folder.path());
    QCOMPARE(cells.size(), std::size_t(1));
    QCOMPARE(cells[0].page, QStringLiteral("hojas.pdf, página 1"));
    QCOMPARE(cells[0].answer, 3);
    QVERIFY(QFile::remove(sheet));
    ReviewDialog dialog(folder.path());
    QSignalSpy failed(&dialog, &ReviewDialog::failed);
    QVERIFY(!dialog.decide(3));
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.front().front().toString().contains(QStringLiteral("ya no existe")),
        qPrintable(failed.front().front().toString()));
    QCOMPARE(dialog.cells().size(), std::size_t(1));
    QVERIFY(!QFile::exists(sheet));
    QCOMPARE(pendingReview(folder.path()).size(), std::size_t(1));
}

void TestNotasPaper::aCancelledReadWritesNothing()
{
    PaperReading paper;
    paper.folder = path(QStringLiteral("cancelado-papel"));
    std::atomic<bool> cancel { false };
    Model scratch;
    QString reason;
    // Raised as the first page is begun: the other thread may still read a
    // page, but nothing of it may reach the folder.
    const std::optional<GradedClass> cancelled = gradeInputs(
        scratch, key(), { path(QStringLiteral("escaneo.pdf")) }, {}, cancel,
        [&cancel](int, int) { cancel.store(true); }, reason, &paper);
    QVERIFY(!cancelled);
    QVERIFY(!QFileInfo::exists(paper.folder));
    QVERIFY(!paper.read);

    cancel.store(false);
    const std::optional<GradedClass> graded
        = gradeInputs(scratch, key(), { path(QStringLiteral("escaneo.pdf")) }, {}, cancel, {}, reason, &paper);
    QVERIFY2(graded, qPrintable(reason));
    QCOMPARE(graded->grading.students.size(), std::size_t(2));
    QVERIFY(QFile::exists(paper.folder + QStringLiteral("/luz.ztest")));
}

void TestNotasPaper::scansOfAKeyInAFolderNotWritableGoToTheUserData_data()
{
    QTest::addColumn<bool>("readOnly");
    // Root writes a read-only folder all the same; the row is left out
    // rather than skipped, so that the suite still reads as passed.
    if (::geteuid() != 0)
        QTest::newRow("a read-only folder") << true;
    QTest::newRow("a file where the folder would be") << false;
}

void TestNotasPaper::scansOfAKeyInAFolderNotWritableGoToTheUserData()
{
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    const ScopedEnvironment environment { "XDG_DATA_HOME" };
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("datos"))));
    const QString keyFolder = dir.filePath(QStringLiteral("clave"));
    const QString key = keyFolder + QStringLiteral("/clave.ztest");
    QVERIFY(QDir().mkpath(keyFolder));
    QVERIFY(QFile::copy(this->key(), key));
    if (readOnly)
        QVERIFY(QFile::setPermissions(keyFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    else
        QVERIFY(writeBytes(keyFolder + QStringLiteral("/clave-papel"), "no es una carpeta"));
    // Writable again for the temporary folder to go, whatever fails.
    const auto restore = qScopeGuard([&keyFolder] {
        QFile::setPermissions(keyFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });

    ScriptedDialogs dialogs;
    NotasWindow window(dialogs, dir.filePath(QStringLiteral("config/notas.ini")));
    window.setKey(key);
    QVERIFY2(window.paperFolder().startsWith(dir.filePath(QStringLiteral("datos/zelvora/papel/clave-"))),
        qPrintable(window.paperFolder()));
    window.addInputs({ path(QStringLiteral("escaneo.pdf")) });
    QVERIFY(waitForGrading(window));
    QVERIFY(window.graded());
    QCOMPARE(window.graded()->grading.students.size(), std::size_t(2));
    QVERIFY(QFile::exists(window.paperFolder() + QStringLiteral("/mar.ztest")));
    QCOMPARE(QDir(keyFolder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), readOnly ? 1 : 2);
    QCOMPARE(pendingReview(window.paperFolder()).size(), std::size_t(2));
}

void TestNotasPaper::aShownPageIsKeptUntilItsScanChanges()
{
    QTemporaryDir dir;
    const QString scan = dir.filePath(QStringLiteral("escaneo.pdf"));
    QVERIFY(QFile::copy(path(QStringLiteral("escaneo.pdf")), scan));
    ScanPageCache cache;
    QString reason;
    const std::shared_ptr<const LocatedPage> first = cache.page(scan, 0, reason);
    QVERIFY2(first, qPrintable(reason));
    QCOMPARE(first->sheet->studentId, QStringLiteral("luz"));
    QCOMPARE(cache.page(scan, 0, reason), first);

    // Scanned again under the same name, Mar's page first.
    QVERIFY(writeBytes(scan, scannedPdf({ filledPage(first->sheet->examId, QStringLiteral("mar"), {}) }, int(kDpi))));
    const std::shared_ptr<const LocatedPage> again = cache.page(scan, 0, reason);
    QVERIFY2(again, qPrintable(reason));
    QCOMPARE(again->sheet->studentId, QStringLiteral("mar"));
    QVERIFY(!cache.page(scan, 1, reason));
    QVERIFY(!reason.isEmpty());
}

// A screen reader hears a label by its accessible name alone: the cell in
// review and its reading must be in it, and follow each decision.
void TestNotasPaper::theReviewIsReadOutAsShown()
{
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath(QStringLiteral("ana.ztest")), ztestFile(0, marksFromLetters({ "B", "A" }))));
    QVERIFY(writeReviewList(folder.path()));
    ReviewDialog dialog(folder.path());
    const auto heard = [&dialog] {
        QStringList names;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label))
                names << a->text(QAccessible::Name);
        }
        return names.join(u'\n');
    };
    QVERIFY2(heard().contains(QStringLiteral("Duda 1 de 1: ana (hojas.pdf, página 1), pregunta 2, letra C")),
        qPrintable(heard()));
    QVERIFY2(heard().contains(QStringLiteral("Relleno medido: 41 %")), qPrintable(heard()));
    QVERIFY(dialog.decide(0));
    QVERIFY2(heard().contains(QStringLiteral("No quedan casillas dudosas.")), qPrintable(heard()));
}

QTEST_MAIN(TestNotasPaper)
#include "tst_notaspaper.moc"
