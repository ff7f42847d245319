// Faults made to happen for real: full and read-only file systems, a test
// file that disappears after it was chosen, two copies of the program
// leaving one after the other. The file systems are mounted in a private
// mount namespace, which works for root as for anyone with the rights.
#include <cerrno>
#include <cstring>
#include <functional>

#include <sys/mount.h>
#include <sched.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/testcommands.h"
#include "settings/settingsfile.h"
#include "tests/support/testmodel.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QStringList texts(const ScriptedInteraction& ui)
{
    QStringList out;
    for (const auto& message : ui.messages)
        out << message.text;
    return out;
}

QString settingsFilePath(const Model& m)
{
    return m.programFolder + QStringLiteral("/Configuracion.ini");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A tmpfs of `size` mounted over `folder` for the life of the object.
class Mount {
public:
    Mount(const QString& folder, const char* size)
        : target_(QFile::encodeName(folder))
    {
        static bool privateNamespace = unshare(CLONE_NEWNS) == 0
            && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        if (!privateNamespace) {
            why_ = QStringLiteral("no private mount namespace: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        const QByteArray options = QByteArrayLiteral("size=") + size;
        if (mount("tmpfs", target_.constData(), "tmpfs", 0, options.constData()) != 0) {
            why_ = QStringLiteral("cannot mount a file system: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted_ = true;
    }
    ~Mount()
    {
        if (mounted_)
            umount2(target_.constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QString why() const { return why_; }
    bool makeReadOnly() { return mount(nullptr, target_.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    QByteArray target_;
    bool mounted_ = false;
    QString why_;
};

// Fills the file system that holds `folder` up to its last byte.
void fillUp(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    const QByteArray byte(1, 'x');
    while (filler.write(byte) == 1 && filler.flush()) {
    }
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void saveOnFullFileSystemKeepsOldTest();
    void saveIntoReadOnlyFileSystemKeepsOldTest();
    void saveOverReadOnlyFileReplacesIt();
    void testFileVanishesAfterTheDialog_data();
    void testFileVanishesAfterTheDialog();
    void programFolderOnFullFileSystem();
    void programFolderReadOnly();
    void twoCopiesLeaveOneAfterTheOther();
};

void TestFaults::saveOnFullFileSystemKeepsOldTest()
{
    TestModel t;
    const QString folder = t.folder.filePath(QStringLiteral("saves"));
    QVERIFY(QDir().mkdir(folder));
    Mount disk(folder, "64k");
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    const QString path = folder + QStringLiteral("/examen.ztest");
    const QByteArray old(32 * 200, '\x01');
    writeAll(path, old);
    fillUp(folder);

    t.m.answerCells.at(3, 7).marked = 1;
    t.ui.files.push_back(path);
    t.ui.replies.push_back(Reply::Yes);
    saveTestCommand(t.m);

    QCOMPARE(readAll(path), old);
    QCOMPARE(entries(folder), (QStringList{QStringLiteral("examen.ztest"), QStringLiteral("filler")}));
    QCOMPARE(texts(t.ui), (QStringList{kOverwriteQuestion, kSaveFailed}));
    QCOMPARE(t.m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
}

void TestFaults::saveIntoReadOnlyFileSystemKeepsOldTest()
{
    TestModel t;
    const QString folder = t.folder.filePath(QStringLiteral("saves"));
    QVERIFY(QDir().mkdir(folder));
    Mount disk(folder, "1m");
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    const QString old = folder + QStringLiteral("/old.ztest");
    writeAll(old, QByteArray(32, '\x02'));
    QVERIFY(disk.makeReadOnly());

    // A new name and an existing one: neither may be reported as saved.
    t.ui.files.push_back(folder + QStringLiteral("/new.ztest"));
    saveTestCommand(t.m);
    t.ui.files.push_back(old);
    t.ui.replies.push_back(Reply::Yes);
    saveTestCommand(t.m);

    QCOMPARE(readAll(old), QByteArray(32, '\x02'));
    QCOMPARE(entries(folder), QStringList{QStringLiteral("old.ztest")});
    QCOMPARE(texts(t.ui), (QStringList{kSaveFailed, kOverwriteQuestion, kSaveFailed}));
    QCOMPARE(t.m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
}

void TestFaults::saveOverReadOnlyFileReplacesIt()
{
    TestModel t;
    const QString path = t.folder.filePath(QStringLiteral("solo lectura.ztest"));
    writeAll(path, QByteArray(64, '\x03'));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));

    t.ui.files.push_back(path);
    t.ui.replies.push_back(Reply::Yes);
    saveTestCommand(t.m);

    QCOMPARE(readAll(path).size(), 500 * 32);
    QCOMPARE(texts(t.ui), (QStringList{kOverwriteQuestion, kTestSaved}));
    QCOMPARE(t.m.mainWindow->windowTitle(), QStringLiteral("solo lectura.ztest"));
}

void TestFaults::testFileVanishesAfterTheDialog_data()
{
    QTest::addColumn<std::uint16_t>("command");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("Leer test") << command::kLeerTest << QStringList();
    QTest::newRow("Corregir test") << command::kCorregirTest << QStringList{kFileMissing};
}

void TestFaults::testFileVanishesAfterTheDialog()
{
    QFETCH(std::uint16_t, command);
    QFETCH(QStringList, told);

    TestModel t;
    t.m.answerCells.at(1, 1).marked = 1;
    t.m.answerCells.at(1, 1).markColor = 0x112233;
    const QString path = t.folder.filePath(QStringLiteral("gone.ztest"));
    writeAll(path, QByteArray(32, '\0'));
    // The file is there when the dialog returns its name and gone by the
    // time the command opens it.
    t.ui.files.push_back(path);
    QVERIFY(QFile::remove(path));
    dispatchCommand(t.m, command);

    QCOMPARE(texts(t.ui), told);
    QCOMPARE(t.m.answerCells.at(1, 1).marked, 1);
    QCOMPARE(t.m.answerCells.at(1, 1).markColor, 0x112233u);
    QCOMPARE(t.m.mainWindow->windowTitle(), QStringLiteral("Zelvora"));
}

void TestFaults::programFolderOnFullFileSystem()
{
    TestModel t;
    Mount disk(t.m.programFolder, "64k");
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    settingsFile(t.m, QStringLiteral("save"));
    const QString ini = settingsFilePath(t.m);
    const QByteArray before = readAll(ini);
    QVERIFY(before.startsWith("[Personalizar]"));
    fillUp(t.m.programFolder);

    t.m.settings.fillColor = 0x00ABCDEF;
    settingsFile(t.m, QStringLiteral("save"));
    dispatchCommand(t.m, command::kFotocopia);

    QCOMPARE(readAll(ini), before);
    QCOMPARE(entries(t.m.programFolder), (QStringList{QStringLiteral("Configuracion.ini"), QStringLiteral("filler")}));
    QVERIFY(t.ui.messages.empty());
    QCOMPARE(t.m.sheetBitmap.pixel(0, 600), qRgb(0, 0, 0));
}

void TestFaults::programFolderReadOnly()
{
    TestModel t;
    Mount disk(t.m.programFolder, "1m");
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    settingsFile(t.m, QStringLiteral("save"));
    const QByteArray before = readAll(settingsFilePath(t.m));
    QVERIFY(disk.makeReadOnly());

    t.m.settings.testType = 2;
    settingsFile(t.m, QStringLiteral("save"));
    dispatchCommand(t.m, command::kFotocopia);
    settingsFile(t.m, QStringLiteral("get"));

    QCOMPARE(readAll(settingsFilePath(t.m)), before);
    QCOMPARE(entries(t.m.programFolder), QStringList{QStringLiteral("Configuracion.ini")});
    QCOMPARE(t.m.settings.testType, 0);
    QVERIFY(t.ui.messages.empty());
}

void TestFaults::twoCopiesLeaveOneAfterTheOther()
{
    TestModel first;
    TestModel second;
    second.m.programFolder = first.m.programFolder;
    settingsFile(first.m, QStringLiteral("get"));
    settingsFile(second.m, QStringLiteral("get"));
    first.m.settings.fillColor = 0x0000FF;
    first.m.settings.cellShape = 1;
    second.m.settings.letterCase = 0;

    settingsFile(first.m, QStringLiteral("save"));
    settingsFile(second.m, QStringLiteral("save"));

    // The copy that leaves last leaves its values, in a whole file.
    const QByteArray expected = "[Personalizar]\r\nTipo Letra= 0\r\nForma= 0\r\nTest= 0\r\nColor Relleno= 0\r\n"
                                "Color Texto= 0\r\nColor Acierto= 65280\r\nColor Fallo= 255\r\n";
    QCOMPARE(readAll(settingsFilePath(first.m)), expected);
    QCOMPARE(entries(first.m.programFolder), QStringList{QStringLiteral("Configuracion.ini")});
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
