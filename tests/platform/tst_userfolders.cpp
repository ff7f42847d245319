#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/userfolders.h"
#include "tests/support/scopedenvironment.h"

class TestUserFolders : public QObject {
    Q_OBJECT
private slots:
    void picturesFolder_data();
    void picturesFolder();
    void filesBesideProgram();
};

void TestUserFolders::picturesFolder_data()
{
    QTest::addColumn<QByteArray>("userDirs");
    QTest::addColumn<QByteArray>("environment");
    // Below the home folder; empty for the home folder itself.
    QTest::addColumn<QString>("expected");

    QTest::newRow("no file") << QByteArray() << QByteArray() << "";
    QTest::newRow("as xdg-user-dirs writes it")
        << QByteArray("# comment\nXDG_DESKTOP_DIR=\"$HOME/Escritorio\"\nXDG_PICTURES_DIR=\"$HOME/Imágenes\"\n")
        << QByteArray() << "Imágenes";
    QTest::newRow("the last line wins") << QByteArray(
        "XDG_PICTURES_DIR=\"$HOME/uno\"\nXDG_PICTURES_DIR=\"$HOME/dos\"\n")
                                        << QByteArray() << "dos";
    QTest::newRow("disabled: the home folder") << QByteArray("XDG_PICTURES_DIR=\"$HOME/\"\n") << QByteArray() << "";
    QTest::newRow("escaped quote") << QByteArray("XDG_PICTURES_DIR=\"$HOME/Mis \\\"fotos\\\"\"\n") << QByteArray()
                                   << "Mis \"fotos\"";
    QTest::newRow("relative: the home folder") << QByteArray("XDG_PICTURES_DIR=\"Imagenes\"\n") << QByteArray() << "";
    QTest::newRow("the environment when the file is silent")
        << QByteArray("XDG_MUSIC_DIR=\"$HOME/Musica\"\n") << QByteArray("$HOME/Fotos") << "Fotos";
    QTest::newRow("the file before the environment")
        << QByteArray("XDG_PICTURES_DIR=\"$HOME/Imagenes\"\n") << QByteArray("$HOME/Fotos") << "Imagenes";
}

void TestUserFolders::picturesFolder()
{
    QFETCH(QByteArray, userDirs);
    QFETCH(QByteArray, environment);
    QFETCH(QString, expected);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const ScopedEnvironment restore { "HOME", "XDG_CONFIG_HOME", "XDG_PICTURES_DIR" };
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("cfg")).toLocal8Bit());
    if (environment.isEmpty())
        qunsetenv("XDG_PICTURES_DIR");
    else
        qputenv("XDG_PICTURES_DIR", environment);
    if (!userDirs.isEmpty()) {
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("cfg")));
        QFile file(home.filePath(QStringLiteral("cfg/user-dirs.dirs")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(userDirs);
    }
    QCOMPARE(xdgPicturesFolder(), expected.isEmpty() ? home.path() : home.filePath(expected));
}

// A portable copy is a folder the user may write that is not where the
// packages install the program.
void TestUserFolders::filesBesideProgram()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(program));
    QVERIFY(keepsFilesBesideProgram(program, QStringLiteral("/usr/bin")));
    QVERIFY(keepsFilesBesideProgram(program, QString()));
    QVERIFY(!keepsFilesBesideProgram(program, program));
    QVERIFY(!keepsFilesBesideProgram(program, dir.filePath(QStringLiteral("bin/../bin"))));
    QVERIFY(!keepsFilesBesideProgram(dir.filePath(QStringLiteral("missing")), QString()));
    QVERIFY(!keepsFilesBesideProgram(QString(), QString()));
    QVERIFY(runsFromInstallFolder(program, dir.filePath(QStringLiteral("bin/../bin"))));
    QVERIFY(!runsFromInstallFolder(program, QStringLiteral("/usr/bin")));
    QVERIFY(!runsFromInstallFolder(program, QString()));
    if (geteuid() == 0)
        return;
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(!keepsFilesBesideProgram(program, QString()));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
