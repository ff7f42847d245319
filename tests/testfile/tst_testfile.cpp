#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/mainwindow.h"
#include "app/testcommands.h"
#include "platform/winmsg.h"
#include "sheet/model.h"
#include "testfile/correction.h"
#include "testfile/testfile.h"
#include "tests/support/testmodel.h"

namespace {

// One record packed by hand from the table of the format, so the writer is
// checked against the layout and not against itself.
QByteArray record(int left, int right, int top, int bottom, int marked, quint32 color, int testType, int shape,
    int letterCase, int answer, int question)
{
    QByteArray bytes;
    const auto put = [&bytes](quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.append(char((value >> (8 * i)) & 0xFF));
    };
    put(quint32(left), 2);
    put(quint32(right), 2);
    put(quint32(top), 2);
    put(quint32(bottom), 2);
    put(quint32(marked), 4);
    put(color, 4);
    put(quint32(testType), 4);
    put(quint32(shape), 4);
    put(quint32(letterCase), 4);
    put(quint32(answer), 2);
    put(quint32(question), 2);
    return bytes;
}

// A record that only marks (k, q), under the given test type.
QByteArray mark(int k, int q, int testType = 0, quint32 color = 0x123456)
{
    return record(0, 15, 0, 15, 1, color, testType, 0, 1, k, q);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList texts(const ScriptedInteraction& ui)
{
    QStringList list;
    for (const auto& message : ui.messages) {
        list << message.text;
        if (message.title != QLatin1String("Programador"))
            list << QStringLiteral("wrong title: ") + message.title;
    }
    return list;
}

// Marked cells as "kq" pairs (question-major), for compact comparisons.
QStringList markedCells(const AnswerTable& table)
{
    QStringList list;
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= table.columns(); ++k)
            if (table.at(k, q).marked != 0)
                list << QStringLiteral("%1%2").arg(q).arg(QChar('A' + k - 1));
    return list;
}

bool sameTable(const AnswerTable& a, const AnswerTable& b)
{
    if (a.columns() != b.columns())
        return false;
    for (int q = 1; q <= kQuestions; ++q)
        for (int k = 1; k <= kMaxAnswers; ++k)
            if (std::memcmp(&a.at(k, q), &b.at(k, q), sizeof(AnswerCell)) != 0)
                return false;
    return true;
}

} // namespace

class TestTestFile : public QObject {
    Q_OBJECT
private slots:
    void savedBytesFollowTheFormat_data();
    void savedBytesFollowTheFormat();
    void readBringsTheTestBack();
    void readerRefusals_data();
    void readerRefusals();
    void oneRecordIsAWholeTest();
    void recordsNameTheirOwnCells();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void correctionRule_data();
    void correctionRule();
    void correctingTwiceAndAgainstItsOwnFile();
    void correctionRefusals_data();
    void correctionRefusals();
    void commandLine_data();
    void commandLine();
    void pathsAreNotCut();
    void cancelledDialogChangesNothing();
};

void TestTestFile::savedBytesFollowTheFormat_data()
{
    QTest::addColumn<int>("testType");
    QTest::addColumn<int>("columns");
    QTest::newRow("five answers: 500 records") << 0 << 5;
    QTest::newRow("after a two-answer test: 200 records") << 1 << 2;
}

void TestTestFile::savedBytesFollowTheFormat()
{
    QFETCH(int, testType);
    QFETCH(int, columns);
    TestModel t;
    Model& m = t.m;
    m.settings.testType = testType;
    m.settings.cellShape = 1;
    m.settings.letterCase = 0;
    m.answerCells.recreate(columns);
    // Negative, high-bit and odd values show byte order and sign handling.
    m.answerCells.at(1, 1) = AnswerCell { -3, 12, 300, 315, 1, 0x00C0FFEE };
    m.answerCells.at(2, 100) = AnswerCell { 700, 715, 1090, 1105, 7, 0xFFFFFF };

    const QString path = t.folder.filePath(QStringLiteral("sheet.ztest"));
    t.ui.files.push_back(path);
    saveTestCommand(m);

    QByteArray expected;
    for (int q = 1; q <= 100; ++q) {
        for (int k = 1; k <= columns; ++k) {
            const AnswerCell& c = m.answerCells.at(k, q);
            expected += record(c.left, c.right, c.top, c.bottom, c.marked, c.markColor, testType, 1, 0, k, q);
        }
    }
    QCOMPARE(expected.size(), columns * 100 * 32);
    QCOMPARE(readBytes(path), expected);
    // A new file: titled after it, no message.
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("sheet.ztest"));
    QCOMPARE(texts(t.ui), QStringList());
    QCOMPARE(t.ui.fileRequests.size(), std::size_t(1));
    QCOMPARE(t.ui.fileRequests[0].mode, FileDialogMode::Save);
}

void TestTestFile::readBringsTheTestBack()
{
    TestModel writer;
    writer.m.settings.testType = 1;
    writer.m.settings.cellShape = 1;
    writer.m.settings.letterCase = 0;
    writer.m.answerCells.recreate(2);
    writer.m.answerCells.at(1, 4) = AnswerCell { 1, 16, 2, 17, 1, 0x0000FF };
    writer.m.answerCells.at(2, 99) = AnswerCell { 5, 20, 6, 21, 1, 0x00FF00 };
    const QString path = writer.folder.filePath(QStringLiteral("logic test.ztest"));
    writer.m.testFileName = path;
    QVERIFY(writeTestFile(writer.m));

    TestModel t;
    Model& m = t.m;
    m.answerCells.at(3, 50).marked = 1;
    pageRecord(m).originY = -300;
    t.ui.files.push_back(QStringLiteral("  ") + path + QStringLiteral("  "));
    readTestCommand(m);

    QCOMPARE(texts(t.ui), QStringList());
    QCOMPARE(m.settings.testType, 1);
    QCOMPARE(m.settings.cellShape, 1);
    QCOMPARE(m.settings.letterCase, 0);
    // Whatever the file's test type, the table comes back five columns wide.
    QCOMPARE(m.answerCells.columns(), 5);
    QCOMPARE(markedCells(m.answerCells), (QStringList { QStringLiteral("4A"), QStringLiteral("99B") }));
    QCOMPARE(m.answerCells.at(2, 99).markColor, ColorRef(0x00FF00));
    QCOMPARE(m.testFileName, path);
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("logic test.ztest"));
    QCOMPARE(pageRecord(m).originY, 0);
    QCOMPARE(m.sheetBitmap.size(), QSize(kSheetWidth, kSheetHeight));
}

void TestTestFile::readerRefusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("folder");
    QTest::newRow("0 bytes") << QByteArray() << false;
    QTest::newRow("31 bytes") << mark(1, 1).left(31) << false;
    QTest::newRow("33 bytes") << mark(1, 1) + QByteArray(1, '\0') << false;
    QTest::newRow("one record and a half") << mark(1, 1) + mark(2, 2).left(16) << false;
    QTest::newRow("a folder") << QByteArray() << true;
}

void TestTestFile::readerRefusals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, folder);
    TestModel t;
    Model& m = t.m;
    const QString path = t.folder.filePath(QStringLiteral("bad.ztest"));
    if (folder)
        QVERIFY(QDir().mkdir(path));
    else
        writeBytes(path, bytes);
    m.answerCells.recreate(2);
    m.answerCells.at(1, 1) = AnswerCell { 1, 16, 1, 16, 1, 0xABCDEF };
    m.settings.testType = 2;
    const AnswerTable before = m.answerCells;
    const Settings settingsBefore = m.settings;
    pageRecord(m).originY = -40;

    t.ui.files.push_back(path);
    readTestCommand(m);

    QCOMPARE(texts(t.ui),
        (QStringList { QStringLiteral("Fichero no compatible ...\r\nSintiendolo mucho NO puedo leer ..."),
            QStringLiteral("El fichero seleccionado NO es compatible ...") }));
    QVERIFY(sameTable(m.answerCells, before));
    QVERIFY(std::memcmp(&m.settings, &settingsBefore, sizeof(Settings)) == 0);
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
    QCOMPARE(pageRecord(m).originY, -40);
}

void TestTestFile::oneRecordIsAWholeTest()
{
    TestModel t;
    Model& m = t.m;
    const QString path = t.folder.filePath(QStringLiteral("one.ztest"));
    writeBytes(path, record(10, 25, 20, 35, 1, 0x00112233, 2, 1, 0, 3, 7));
    m.answerCells.at(1, 1).marked = 1;

    QCOMPARE(openTestFile(m, path), OpenResult::Opened);
    QCOMPARE(m.settings.testType, 2);
    QCOMPARE(m.settings.cellShape, 1);
    QCOMPARE(m.settings.letterCase, 0);
    // Every other cell is empty, the old mark included.
    QCOMPARE(markedCells(m.answerCells), QStringList { QStringLiteral("7C") });
    QCOMPARE(m.answerCells.at(3, 7).markColor, ColorRef(0x00112233));
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("one.ztest"));
}

void TestTestFile::recordsNameTheirOwnCells()
{
    TestModel t;
    Model& m = t.m;
    const QString path = t.folder.filePath(QStringLiteral("places.ztest"));
    QByteArray bytes = record(0, 15, 0, 15, 1, 0x0000AA, 1, 0, 1, 2, 5);
    // Records 2 onwards carry other settings, which must not be read.
    bytes += record(0, 15, 0, 15, 1, 0x0000BB, 0, 1, 0, 1, 1);
    bytes += record(0, 15, 0, 15, 1, 0x0000CC, 2, 1, 0, 1, 1); // later one wins
    // Places outside the table are skipped.
    for (const auto& [k, q] :
        { std::pair { 0, 1 }, { 6, 1 }, { 1, 0 }, { 1, 101 }, { -1, 50 }, { 5, -100 }, { 32767, 32767 } })
        bytes += record(0, 15, 0, 15, 1, 0x0000DD, 0, 1, 0, k, q);
    bytes += record(0, 15, 0, 15, 1, 0x0000EE, 0, 1, 0, 5, 100);
    writeBytes(path, bytes);

    QCOMPARE(readTestFile((m.testFileName = path, m)), ReadResult::Accepted);
    QCOMPARE(m.settings.testType, 1);
    QCOMPARE(m.settings.cellShape, 0);
    QCOMPARE(m.settings.letterCase, 1);
    QCOMPARE(markedCells(m.answerCells),
        (QStringList { QStringLiteral("1A"), QStringLiteral("5B"), QStringLiteral("100E") }));
    QCOMPARE(m.answerCells.at(1, 1).markColor, ColorRef(0x0000CC));
}

void TestTestFile::overwriteQuestion_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("No leaves file and title") << false << false;
    QTest::newRow("Yes replaces it") << true << false;
    QTest::newRow("Yes replaces a read-only file") << true << true;
}

void TestTestFile::overwriteQuestion()
{
    QFETCH(bool, yes);
    QFETCH(bool, readOnly);
    TestModel t;
    Model& m = t.m;
    const QString path = t.folder.filePath(QStringLiteral("old.ztest"));
    const QByteArray old = mark(4, 4);
    writeBytes(path, old);
    if (readOnly)
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    m.answerCells.at(2, 3).marked = 1;

    t.ui.files.push_back(path);
    t.ui.replies.push_back(yes ? Reply::Yes : Reply::No);
    saveTestCommand(m);

    QStringList expected { QStringLiteral("El fichero existe ...\r\nDesea sobreescribir ?") };
    if (yes)
        expected << QStringLiteral("Test Guardado ...");
    QCOMPARE(texts(t.ui), expected);
    QCOMPARE(t.ui.messages[0].buttons, Buttons::YesNo);
    QCOMPARE(readBytes(path).size(), yes ? 16000 : 32);
    QCOMPARE(m.mainWindow->windowTitle(), yes ? QStringLiteral("old.ztest") : QStringLiteral("Zelvora"));
    QCOMPARE(QDir(t.folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("old.ztest") });
}

void TestTestFile::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("target is a folder") << QStringLiteral("folder");
    QTest::newRow("file size limit") << QStringLiteral("fsize");
    QTest::newRow("read-only file system") << QStringLiteral("mount");
    QTest::newRow("read-only folder") << QStringLiteral("chmod");
}

void TestTestFile::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, how);
    TestModel t;
    Model& m = t.m;
    const QString dir = t.folder.filePath(QStringLiteral("saves"));
    QVERIFY(QDir().mkdir(dir));
    const QString path = dir + QStringLiteral("/old.ztest");
    const QByteArray old = mark(4, 4) + mark(5, 5);
    std::function<void()> undo = [] {};

    if (how == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else if (how == QLatin1String("fsize")) {
        writeBytes(path, old);
        // The new file may only grow to 100 bytes; the limit's signal would
        // end the test, so it is ignored and the write fails with EFBIG.
        rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 100;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        undo = [saved, oldHandler] {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        };
    } else if (how == QLatin1String("mount")) {
        // A private mount namespace keeps the read-only mount to this
        // process; without the rights for it there is no read-only file
        // system to make.
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP(qPrintable(
                QStringLiteral("no private mount namespace here: ") + QString::fromLocal8Bit(std::strerror(errno))));
        const QByteArray target = QFile::encodeName(dir);
        if (mount("tmpfs", target.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP(qPrintable(
                QStringLiteral("cannot mount a file system: ") + QString::fromLocal8Bit(std::strerror(errno))));
        undo = [target] { umount2(target.constData(), MNT_DETACH); };
        writeBytes(path, old);
        if (mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            undo();
            QFAIL("cannot remount read-only");
        }
    } else {
        writeBytes(path, old);
        QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        undo = [dir] {
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        };
        QFile probe(dir + QStringLiteral("/probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            undo();
            QSKIP("folder permissions do not bind this user (root); the file-system rows cover the failure");
        }
    }

    m.answerCells.at(1, 1).marked = 1;
    t.ui.files.push_back(path);
    t.ui.replies.push_back(Reply::Yes);
    saveTestCommand(m);
    const QByteArray after = how == QLatin1String("folder") ? QByteArray() : readBytes(path);
    const QStringList left = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    undo();

    QCOMPARE(texts(t.ui),
        (QStringList { QStringLiteral("El fichero existe ...\r\nDesea sobreescribir ?"),
            QStringLiteral("Sintiendolo mucho NO puedo grabar el test ...\r\n"
                           "Prueba con otra carpeta u otro nombre ...") }));
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
    if (how != QLatin1String("folder"))
        QCOMPARE(after, old);
    // No half-written temporary file is left beside it.
    QCOMPARE(left, QStringList { QStringLiteral("old.ztest") });
}

void TestTestFile::correctionRule_data()
{
    QTest::addColumn<int>("sheetMarked");
    QTest::addColumn<int>("keyMarked");
    QTest::addColumn<int>("marked");
    QTest::addColumn<quint32>("color");

    const quint32 fill = 0xAAAAAA;
    const quint32 hit = 0x00FF00;
    const quint32 miss = 0x0000FF;
    QTest::newRow("hit") << 1 << 1 << 1 << hit;
    QTest::newRow("mark the key lacks") << 1 << 0 << 1 << fill;
    QTest::newRow("key answer added") << 0 << 1 << 1 << miss;
    QTest::newRow("neither") << 0 << 0 << 0 << fill;
    QTest::newRow("odd key value is not a mark") << 1 << 2 << 1 << fill;
    QTest::newRow("odd key value adds nothing") << 0 << -1 << 0 << fill;
    QTest::newRow("odd sheet value untouched") << 3 << 1 << 3 << fill;
}

void TestTestFile::correctionRule()
{
    QFETCH(int, sheetMarked);
    QFETCH(int, keyMarked);
    QFETCH(int, marked);
    QFETCH(quint32, color);
    TestModel t;
    Model& m = t.m;
    m.keyCells.recreate(5);
    AnswerCell& cell = m.answerCells.at(3, 42);
    cell = AnswerCell { 100, 115, 200, 215, sheetMarked, 0xAAAAAA };
    m.keyCells.at(3, 42) = AnswerCell { 1, 2, 3, 4, keyMarked, 0x777777 };

    correctTest(m);
    QCOMPARE(cell.marked, marked);
    QCOMPARE(cell.markColor, ColorRef(color));
    // The key's rectangle plays no part.
    QCOMPARE(cell.left, std::int16_t(100));
    QCOMPARE(cell.bottom, std::int16_t(215));
}

void TestTestFile::correctingTwiceAndAgainstItsOwnFile()
{
    TestModel t;
    Model& m = t.m;
    const ColorRef fill = 0xAAAAAA;
    m.settings.fillColor = std::int32_t(fill);
    const QString key = t.folder.filePath(QStringLiteral("key.ztest"));
    writeBytes(key, mark(1, 1) + mark(3, 2));
    m.answerCells.at(1, 1) = AnswerCell { 0, 15, 0, 15, 1, fill };
    m.answerCells.at(2, 2) = AnswerCell { 0, 15, 0, 15, 1, fill };
    pageRecord(m).originY = -120;

    t.ui.files.push_back(key);
    correctTestCommand(m);
    QCOMPARE(texts(t.ui), QStringList());
    QCOMPARE(
        markedCells(m.answerCells), (QStringList { QStringLiteral("1A"), QStringLiteral("2B"), QStringLiteral("2C") }));
    QCOMPARE(m.answerCells.at(1, 1).markColor, ColorRef(m.settings.hitColor));
    QCOMPARE(m.answerCells.at(2, 2).markColor, fill);
    QCOMPARE(m.answerCells.at(3, 2).markColor, ColorRef(m.settings.missColor));
    // Correction keeps the title, the scroll position and the key file.
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
    QCOMPARE(pageRecord(m).originY, -120);
    QCOMPARE(readBytes(key), mark(1, 1) + mark(3, 2));

    // The added key answer is now a mark of the sheet and becomes a hit.
    t.ui.files.push_back(key);
    correctTestCommand(m);
    QCOMPARE(m.answerCells.at(3, 2).markColor, ColorRef(m.settings.hitColor));
    QCOMPARE(m.answerCells.at(2, 2).markColor, fill);

    // A sheet read from a file and corrected against that file: all hits,
    // nothing added.
    const QString own = t.folder.filePath(QStringLiteral("own.ztest"));
    writeBytes(own, mark(2, 7, 0, fill) + mark(5, 90, 0, fill));
    t.ui.files.push_back(own);
    readTestCommand(m);
    t.ui.files.push_back(own);
    correctTestCommand(m);
    QCOMPARE(texts(t.ui), QStringList());
    QCOMPARE(markedCells(m.answerCells), (QStringList { QStringLiteral("7B"), QStringLiteral("90E") }));
    QCOMPARE(m.answerCells.at(2, 7).markColor, ColorRef(m.settings.hitColor));
    QCOMPARE(m.answerCells.at(5, 90).markColor, ColorRef(m.settings.hitColor));
}

void TestTestFile::correctionRefusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QStringList>("expected");

    const QString reader = QStringLiteral("Fichero no compatible ...\r\nSintiendolo mucho NO puedo leer ...");
    const QString refused = QStringLiteral("El fichero seleccionado NO es compatible ...");
    QTest::newRow("missing") << QByteArray() << false << QStringList { QStringLiteral("El fichero NO existe ...") };
    QTest::newRow("33 bytes") << mark(1, 1) + QByteArray(1, '\0') << true << QStringList { reader, refused };
    QTest::newRow("other test type") << mark(1, 1, 1) + mark(2, 2, 0) << true << QStringList { refused };
}

void TestTestFile::correctionRefusals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QFETCH(QStringList, expected);
    TestModel t;
    Model& m = t.m;
    const QString path = t.folder.filePath(QStringLiteral("key.ztest"));
    if (exists)
        writeBytes(path, bytes);
    m.answerCells.at(1, 1) = AnswerCell { 0, 15, 0, 15, 1, 0xAAAAAA };
    m.keyCells.recreate(5);
    m.keyCells.at(4, 4).marked = 1;
    const AnswerTable sheet = m.answerCells;
    const AnswerTable key = m.keyCells;

    t.ui.files.push_back(path);
    correctTestCommand(m);
    QCOMPARE(texts(t.ui), expected);
    QVERIFY(sameTable(m.answerCells, sheet));
    QVERIFY(sameTable(m.keyCells, key));
    QCOMPARE(m.settings.testType, 0);
}

void TestTestFile::commandLine_data()
{
    // In an argument %1 stands for the file's path, %F for its folder.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("expected");

    const QByteArray test = mark(2, 9);
    QTest::newRow("quoted, with spaces") << QStringList { QStringLiteral("  \"%1\"  ") }
                                         << QStringLiteral("my test.ztest") << test << QStringLiteral("my test.ztest")
                                         << QStringList();
    QTest::newRow("unquoted, with spaces") << QStringList { QStringLiteral("%1") } << QStringLiteral("a b  c.ztest")
                                           << test << QStringLiteral("a b  c.ztest") << QStringList();
    QTest::newRow("quotes inside") << QStringList { QStringLiteral("\"%1\"\"") } << QStringLiteral("q.ztest") << test
                                   << QStringLiteral("q.ztest") << QStringList();
    QTest::newRow("one argument, quotes in the file's name")
        << QStringList { QStringLiteral("%1") } << QStringLiteral("examen \"final\".ztest") << test
        << QStringLiteral("examen \"final\".ztest") << QStringList();
    QTest::newRow("split by a desktop that did not quote it")
        << QStringList { QStringLiteral("%F/my"), QStringLiteral("test.ztest") } << QStringLiteral("my test.ztest")
        << test << QStringLiteral("my test.ztest") << QStringList();
    QTest::newRow("one argument naming no file: quotes removed")
        << QStringList { QStringLiteral("\"%1\"") } << QStringLiteral("q.ztest") << test << QStringLiteral("q.ztest")
        << QStringList();
    QTest::newRow("missing: silent") << QStringList { QStringLiteral("\"%1\"") } << QString() << QByteArray()
                                     << QStringLiteral("Zelvora") << QStringList();
    QTest::newRow("refused: the reader's message only")
        << QStringList { QStringLiteral("%1") } << QStringLiteral("short.ztest") << test.left(31)
        << QStringLiteral("Zelvora")
        << QStringList { QStringLiteral("Fichero no compatible ...\r\nSintiendolo mucho NO puedo leer ...") };
    QTest::newRow("only quotes and spaces") << QStringList { QStringLiteral(" \"\" ") } << QString() << QByteArray()
                                            << QStringLiteral("Zelvora") << QStringList();
}

void TestTestFile::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, title);
    QFETCH(QStringList, expected);
    TestModel t;
    Model& m = t.m;
    const QString path = t.folder.filePath(file.isEmpty() ? QStringLiteral("nowhere.ztest") : file);
    if (!file.isEmpty())
        writeBytes(path, bytes);
    for (QString argument : arguments)
        m.commandArguments.append(
            argument.replace(QLatin1String("%1"), path).replace(QLatin1String("%F"), t.folder.path()));
    m.commandTail = m.commandArguments.join(QLatin1Char(' '));
    m.answerCells.at(1, 1).marked = 1;

    // The window's opening message reads the file after building the sheet.
    mainWindowHandler(m, winmsg::kInitDialog, 0, 0);
    QCOMPARE(texts(t.ui), expected);
    QCOMPARE(m.mainWindow->windowTitle(), title);
    const bool opened = title != QLatin1String("Zelvora");
    QCOMPARE(markedCells(m.answerCells), opened ? QStringList { QStringLiteral("9B") } : QStringList());
}

void TestTestFile::pathsAreNotCut()
{
    TestModel t;
    Model& m = t.m;
    // A path well past 274 characters, through nested folders so that no
    // single name exceeds the file system's limit.
    QString dir = t.folder.path();
    while (dir.size() < 400)
        dir += QStringLiteral("/") + QString(60, QLatin1Char('d'));
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + QStringLiteral("/long.ztest");
    m.answerCells.at(5, 77).marked = 1;

    t.ui.files.push_back(path);
    saveTestCommand(m);
    QCOMPARE(texts(t.ui), QStringList());
    QCOMPARE(readBytes(path).size(), 16000);

    TestModel reader;
    reader.ui.files.push_back(path);
    readTestCommand(reader.m);
    QCOMPARE(markedCells(reader.m.answerCells), QStringList { QStringLiteral("77E") });
}

void TestTestFile::cancelledDialogChangesNothing()
{
    TestModel t;
    Model& m = t.m;
    m.answerCells.at(1, 1) = AnswerCell { 0, 15, 0, 15, 1, 0xAAAAAA };
    const AnswerTable before = m.answerCells;
    for (const auto command : { saveTestCommand, readTestCommand, correctTestCommand }) {
        m.testFileName = QStringLiteral("/earlier/choice.ztest");
        t.ui.files.push_back(QStringLiteral("   "));
        command(m);
        QVERIFY(m.testFileName.isEmpty());
    }
    QCOMPARE(texts(t.ui), QStringList());
    QVERIFY(sameTable(m.answerCells, before));
    QCOMPARE(m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
    QCOMPARE(QDir(t.folder.path()).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(TestTestFile)
#include "tst_testfile.moc"
