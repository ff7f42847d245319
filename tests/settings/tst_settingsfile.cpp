#include <csignal>
#include <limits>

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/userfolders.h"
#include "settings/settingsfile.h"
#include "sheet/model.h"
#include "tests/support/scopedenvironment.h"

namespace {

using Values = QList<int>;

const Values kDefaults = {1, 0, 0, 0, 0, 65280, 255};

Values values(const Settings& s)
{
    return {s.letterCase, s.cellShape, s.testType, s.fillColor, s.textColor, s.hitColor, s.missColor};
}

void setValues(Settings& s, const Values& v)
{
    s.letterCase = v[0];
    s.cellShape = v[1];
    s.testType = v[2];
    s.fillColor = v[3];
    s.textColor = v[4];
    s.hitColor = v[5];
    s.missColor = v[6];
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

const QByteArray kDefaultFile = "[Personalizar]\r\n"
                                "Tipo Letra= 1\r\n"
                                "Forma= 0\r\n"
                                "Test= 0\r\n"
                                "Color Relleno= 0\r\n"
                                "Color Texto= 0\r\n"
                                "Color Acierto= 65280\r\n"
                                "Color Fallo= 255\r\n";

// Lowers this process's file-size limit, with the signal that would end the
// process ignored so the write fails with EFBIG instead; holds for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

// Runs `f` in a child process that, when this one is root, becomes the
// unprivileged user `uid` first, so that permissions hold as they do for a
// user; the child's exit status comes back, or -1 when it did not exit.
template <typename F> int runAsUser(uid_t uid, gid_t gid, F f)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
            _exit(2);
        _exit(f() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init();

    void get_data();
    void get();
    void firstRunWritesTheDefaultsAtSaveOnly();
    void roundTrip_data();
    void roundTrip();
    void saveKeepsTheRestOfTheFile_data();
    void saveKeepsTheRestOfTheFile();
    void otherModesDoNothing();
    void installedKeepsOneFilePerEdition_data();
    void installedKeepsOneFilePerEdition();
    void unwritable_data();
    void unwritable();
    void unprivilegedSave_data();
    void unprivilegedSave();
    void whichFile_data();
    void whichFile();

private:
    QTemporaryDir dir_;
    Model m_;
    QString path_;
};

void TestSettingsFile::init()
{
    QVERIFY(dir_.isValid());
    for (const QString& name : folderEntries(dir_.path())) {
        const QString p = dir_.filePath(name);
        QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (QFileInfo(p).isDir())
            QDir(p).removeRecursively();
        else
            QFile::remove(p);
    }
    m_.settings = Settings{};
    m_.edition = Edition::Full;
    m_.filesBesideProgram = true;
    m_.installedProgram = false;
    m_.programFolder = dir_.path();
    path_ = dir_.filePath(QStringLiteral("Configuracion.ini"));
}

void TestSettingsFile::get_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Values>("expected");

    QTest::newRow("empty file") << QByteArray("") << kDefaults;
    QTest::newRow("other section only") << QByteArray("[Otra]\r\nForma=1\r\n") << kDefaults;
    QTest::newRow("as written") << QByteArray("[Personalizar]\r\nTipo Letra= 0\r\nForma= 1\r\nTest= 2\r\n"
                                              "Color Relleno= 16711680\r\nColor Texto= 128\r\n"
                                              "Color Acierto=-1\r\nColor Fallo= 7\r\n")
                                << Values{0, 1, 2, 16711680, 128, -1, 7};
    QTest::newRow("empty value is not the default") << QByteArray("[Personalizar]\r\nTipo Letra=\r\n")
                                                    << Values{0, 0, 0, 0, 0, 65280, 255};
    QTest::newRow("blank value is not the default") << QByteArray("[Personalizar]\nTipo Letra=   \n")
                                                    << Values{0, 0, 0, 0, 0, 65280, 255};
    QTest::newRow("not a number") << QByteArray("[Personalizar]\r\nColor Acierto=abc\r\n")
                                  << Values{1, 0, 0, 0, 0, 0, 255};
    QTest::newRow("one and a half") << QByteArray("[Personalizar]\r\nTest=1.5\r\n") << Values{1, 0, 2, 0, 0, 65280, 255};
    QTest::newRow("two and a half") << QByteArray("[Personalizar]\r\nTest=2.5\r\n") << Values{1, 0, 2, 0, 0, 65280, 255};
    QTest::newRow("hexadecimal") << QByteArray("[Personalizar]\r\nColor Relleno=&HFF\r\n")
                                 << Values{1, 0, 0, 255, 0, 65280, 255};
    QTest::newRow("meaningless value kept") << QByteArray("[Personalizar]\r\nForma=7\r\n")
                                            << Values{1, 7, 0, 0, 0, 65280, 255};
    QTest::newRow("names without regard to case or blanks")
        << QByteArray("  [ personalizar ]\r\n\tTIPO LETRA = 0\r\nforma\t=3\r\n") << Values{0, 3, 0, 0, 0, 65280, 255};
    QTest::newRow("quoted value") << QByteArray("[Personalizar]\r\nForma=\"1\"\r\n") << Values{1, 1, 0, 0, 0, 65280, 255};
    QTest::newRow("key of another section not taken")
        << QByteArray("[Otra]\r\nForma=1\r\n[Personalizar]\r\nTest=2\r\n[Mas]\r\nColor Fallo=9\r\n")
        << Values{1, 0, 2, 0, 0, 65280, 255};
    QTest::newRow("first of a repeated key") << QByteArray("[Personalizar]\r\nForma=1\r\nForma=0\r\n")
                                             << Values{1, 1, 0, 0, 0, 65280, 255};
    QTest::newRow("comment is no key") << QByteArray("[Personalizar]\r\n;Forma=1\r\n") << kDefaults;
    QTest::newRow("key before any section") << QByteArray("Forma=1\r\n[Personalizar]\r\n") << kDefaults;
    QTest::newRow("no final line break") << QByteArray("[Personalizar]\r\nColor Fallo= 12") << Values{1, 0, 0, 0, 0, 65280, 12};
    QTest::newRow("value read to its 259th character") << QByteArray("[Personalizar]\r\nColor Relleno="
        + QByteArray(258, '0') + "12\r\nColor Texto=  " + QByteArray(257, '0') + "34\r\n")
                                                       << Values { 1, 0, 0, 1, 34, 65280, 255 };
    QTest::newRow("saved as UTF-8 with mark") << QByteArray("\xEF\xBB\xBF[Personalizar]\r\nForma=1\r\n")
                                              << Values{1, 1, 0, 0, 0, 65280, 255};
}

void TestSettingsFile::get()
{
    QFETCH(QByteArray, file);
    QFETCH(Values, expected);
    writeBytes(path_, file);
    settingsFile(m_, QStringLiteral("get"));
    QCOMPARE(values(m_.settings), expected);
    QCOMPARE(readBytes(path_), file);
}

void TestSettingsFile::firstRunWritesTheDefaultsAtSaveOnly()
{
    settingsFile(m_, QStringLiteral("get"));
    QCOMPARE(values(m_.settings), kDefaults);
    QVERIFY(!QFile::exists(path_));

    settingsFile(m_, QStringLiteral("save"));
    QCOMPARE(readBytes(path_), kDefaultFile);
    QCOMPARE(folderEntries(dir_.path()), QStringList{QStringLiteral("Configuracion.ini")});
}

void TestSettingsFile::roundTrip_data()
{
    QTest::addColumn<Values>("saved");
    QTest::addColumn<QByteArray>("line");

    constexpr int kMin = std::numeric_limits<std::int32_t>::min();
    constexpr int kMax = std::numeric_limits<std::int32_t>::max();
    QTest::newRow("defaults") << kDefaults << QByteArray("Color Acierto= 65280\r\n");
    QTest::newRow("changed") << Values{0, 1, 2, 0xFF0000, 0x808080, 0x00FFFF, 0} << QByteArray("Test= 2\r\n");
    QTest::newRow("negatives") << Values{-1, -7, -2, -255, -65280, -16777215, -3} << QByteArray("Forma=-7\r\n");
    QTest::newRow("extremes") << Values{kMin, kMax, 0, kMin, kMax, kMin, kMax}
                              << QByteArray("Tipo Letra=-2147483648\r\nForma= 2147483647\r\n");
}

void TestSettingsFile::roundTrip()
{
    QFETCH(Values, saved);
    QFETCH(QByteArray, line);
    setValues(m_.settings, saved);
    settingsFile(m_, QStringLiteral("save"));
    QVERIFY2(readBytes(path_).contains(line), readBytes(path_).constData());

    Model next;
    next.programFolder = dir_.path();
    settingsFile(next, QStringLiteral("get"));
    QCOMPARE(values(next.settings), saved);

    // A second save of the same values leaves the very same bytes.
    const QByteArray first = readBytes(path_);
    settingsFile(next, QStringLiteral("save"));
    QCOMPARE(readBytes(path_), first);
}

void TestSettingsFile::saveKeepsTheRestOfTheFile_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    // Saved with the defaults, so only our seven values can change.
    QTest::newRow("hand-edited file") << QByteArray("; Zelvora\r\n"
                                                    "[General]\r\n"
                                                    "Nombre=Ana \x80 \xE9\x81\r\n"
                                                    "Forma=9\r\n"
                                                    "\r\n"
                                                    "[personalizar]\r\n"
                                                    "; colores\r\n"
                                                    "Color Fallo = 12\r\n"
                                                    "forma=3\r\n"
                                                    "Desconocida=x\r\n"
                                                    "Tipo Letra=\r\n"
                                                    "Test=\"1\"\r\n"
                                                    "Color Relleno=&HFF\r\n"
                                                    "Color Texto=0\r\n"
                                                    "Color Acierto= 65280\r\n"
                                                    "\r\n"
                                                    "[Final]\r\n"
                                                    "Test=1\r\n")
                                      << QByteArray("; Zelvora\r\n"
                                                    "[General]\r\n"
                                                    "Nombre=Ana \x80 \xE9\x81\r\n"
                                                    "Forma=9\r\n"
                                                    "\r\n"
                                                    "[personalizar]\r\n"
                                                    "; colores\r\n"
                                                    "Color Fallo = 255\r\n"
                                                    "forma= 0\r\n"
                                                    "Desconocida=x\r\n"
                                                    "Tipo Letra= 1\r\n"
                                                    "Test= 0\r\n"
                                                    "Color Relleno= 0\r\n"
                                                    "Color Texto= 0\r\n"
                                                    "Color Acierto= 65280\r\n"
                                                    "\r\n"
                                                    "[Final]\r\n"
                                                    "Test=1\r\n");
    QTest::newRow("missing keys go after the section's last key, unix line ends")
        << QByteArray("[Personalizar]\nForma= 0\n; fin\n\n[Otra]\nx=1\n")
        << QByteArray("[Personalizar]\nForma= 0\nTipo Letra= 1\nTest= 0\nColor Relleno= 0\nColor Texto= 0\n"
                      "Color Acierto= 65280\nColor Fallo= 255\n; fin\n\n[Otra]\nx=1\n");
    QTest::newRow("missing section appended after a last line without break")
        << QByteArray("[Otra]\r\nx=1") << QByteArray("[Otra]\r\nx=1\r\n") + kDefaultFile;
    QTest::newRow("section header as last line without break")
        << QByteArray("[Personalizar]") << kDefaultFile;
    QTest::newRow("empty file") << QByteArray("") << kDefaultFile;
}

void TestSettingsFile::saveKeepsTheRestOfTheFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    writeBytes(path_, before);
    setValues(m_.settings, kDefaults);
    settingsFile(m_, QStringLiteral("save"));
    QCOMPARE(readBytes(path_), after);
}

void TestSettingsFile::otherModesDoNothing()
{
    writeBytes(path_, "[Personalizar]\r\nForma=1\r\n");
    setValues(m_.settings, {5, 5, 5, 5, 5, 5, 5});
    for (const char* mode : {"", "GET", "Save", "leer", "get "}) {
        settingsFile(m_, QString::fromLatin1(mode));
        QCOMPARE(values(m_.settings), (Values{5, 5, 5, 5, 5, 5, 5}));
        QCOMPARE(readBytes(path_), QByteArray("[Personalizar]\r\nForma=1\r\n"));
    }
}

void TestSettingsFile::installedKeepsOneFilePerEdition_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<bool>("configHomeSet");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zelvora") << int(Edition::Full) << true << "config/zelvora/Configuracion.ini";
    QTest::newRow("brastin") << int(Edition::Exam) << true << "config/brastin/Configuracion.ini";
    QTest::newRow("config home unset") << int(Edition::Full) << false << "home/.config/zelvora/Configuracion.ini";
}

// An installed program keeps the same file, folder created at the first
// save, below the user's config home; nothing lands beside the executable.
void TestSettingsFile::installedKeepsOneFilePerEdition()
{
    QFETCH(int, edition);
    QFETCH(bool, configHomeSet);
    QFETCH(QString, expected);

    const ScopedEnvironment restore { "HOME", "XDG_CONFIG_HOME" };
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("home")));
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("program")));
    qputenv("HOME", dir_.filePath(QStringLiteral("home")).toLocal8Bit());
    if (configHomeSet)
        qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit());
    else
        qunsetenv("XDG_CONFIG_HOME");

    m_.edition = Edition(edition);
    m_.filesBesideProgram = false;
    m_.programFolder = dir_.filePath(QStringLiteral("program"));
    settingsFile(m_, QStringLiteral("get"));
    QCOMPARE(values(m_.settings), kDefaults);
    settingsFile(m_, QStringLiteral("save"));
    const QString path = dir_.filePath(expected);
    QCOMPARE(readBytes(path), kDefaultFile);

    writeBytes(path, "[Personalizar]\r\nForma= 1\r\nTest=2\r\n");
    settingsFile(m_, QStringLiteral("get"));
    QCOMPARE(values(m_.settings), (Values{1, 1, 2, 0, 0, 65280, 255}));
    QVERIFY(folderEntries(m_.programFolder).isEmpty());
}

void TestSettingsFile::unwritable_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("file name taken by a folder") << "directory";
    QTest::newRow("file name taken by a pipe") << "pipe";
    QTest::newRow("file-size limit") << "fsize";
}

// A save that cannot happen leaves whatever was there, leaves no temporary
// file behind, and returns quietly.
void TestSettingsFile::unwritable()
{
    QFETCH(QString, how);
    const QByteArray old = "[Personalizar]\r\nForma= 1\r\n; " + QByteArray(200, 'x') + "\r\n";
    setValues(m_.settings, {0, 0, 2, 3, 4, 5, 6});

    if (how == u"missing") {
        m_.programFolder = dir_.filePath(QStringLiteral("gone"));
        settingsFile(m_, QStringLiteral("save"));
        QVERIFY(!QFileInfo::exists(m_.programFolder));
        settingsFile(m_, QStringLiteral("get"));
        QCOMPARE(values(m_.settings), kDefaults);
        return;
    }
    if (how == u"directory" || how == u"pipe") {
        if (how == u"directory")
            QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("Configuracion.ini")));
        else
            QCOMPARE(mkfifo(QFile::encodeName(path_).constData(), 0600), 0);
        // Neither call may wait on the pipe for a writer or a reader.
        settingsFile(m_, QStringLiteral("save"));
        if (how == u"directory")
            QVERIFY(QFileInfo(path_).isDir());
        else
            QVERIFY(QFileInfo(path_).exists() && !QFileInfo(path_).isFile());
        QCOMPARE(folderEntries(dir_.path()), QStringList{QStringLiteral("Configuracion.ini")});
        if (how == u"directory")
            QVERIFY(folderEntries(path_).isEmpty());
        settingsFile(m_, QStringLiteral("get"));
        QCOMPARE(values(m_.settings), kDefaults);
        return;
    }

    writeBytes(path_, old);
    {
        FileSizeLimit limit(64);
        QVERIFY(limit.ok());
        settingsFile(m_, QStringLiteral("save"));
    }
    QCOMPARE(readBytes(path_), old);
    QCOMPARE(folderEntries(dir_.path()), QStringList{QStringLiteral("Configuracion.ini")});
}

void TestSettingsFile::unprivilegedSave_data()
{
    QTest::addColumn<bool>("fileWritable");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    const QByteArray saved = "[Personalizar]\r\nTipo Letra= 0\r\nForma= 0\r\nTest= 2\r\nColor Relleno= 3\r\n"
                             "Color Texto= 4\r\nColor Acierto= 5\r\nColor Fallo= 6\r\n";
    QTest::newRow("writable file grows") << true << QByteArray("[Personalizar]\r\nTipo Letra= 1\r\n") << saved;
    QTest::newRow("writable file shrinks")
        << true << QByteArray("[Personalizar]\r\nTipo Letra=" + QByteArray(300, ' ') + "1\r\nForma= 1\r\n") << saved;
    QTest::newRow("read-only file") << false << QByteArray("[Personalizar]\r\nForma= 1\r\n")
                                    << QByteArray("[Personalizar]\r\nForma= 1\r\n");
}

// A shared install: the user may not create files in the program's folder,
// yet may be given a settings file of their own there. Run as an ordinary
// user, since root writes anywhere.
void TestSettingsFile::unprivilegedSave()
{
    QFETCH(bool, fileWritable);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (uid == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody)
            QSKIP("running as root and there is no user \"nobody\" to drop to");
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    writeBytes(path_, before);
    QCOMPARE(chown(QFile::encodeName(path_).constData(), uid, gid), 0);
    QVERIFY(QFile::setPermissions(path_,
        fileWritable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther : QFile::ReadOwner | QFile::ReadOther));
    const QFile::Permissions readOnlyFolder
        = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir_.path(), readOnlyFolder));

    setValues(m_.settings, { 0, 0, 2, 3, 4, 5, 6 });
    const int status = runAsUser(uid, gid, [this] {
        // The folder really refuses this user a new file.
        if (QFile(dir_.filePath(QStringLiteral("prueba"))).open(QIODevice::WriteOnly))
            return false;
        settingsFile(m_, QStringLiteral("save"));
        return true;
    });
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(status, 0);
    QCOMPARE(readBytes(path_), after);
    QCOMPARE(folderEntries(dir_.path()), QStringList { QStringLiteral("Configuracion.ini") });
}

void TestSettingsFile::whichFile_data()
{
    QTest::addColumn<bool>("asRoot");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("folderWritable");
    // The mode of a Configuracion.ini beside the executable; 0 for none.
    QTest::addColumn<int>("fileMode");
    // "beside", "user" or "none": where the save lands.
    QTest::addColumn<QString>("saved");

    for (const bool root : { true, false }) {
        const char* who = root ? "as root" : "as an unprivileged user";
        const auto row = [&](const char* name) -> QTestData& { return QTest::addRow("%s, %s", name, who) << root; };
        // A read-only file is the lock, whoever runs the program.
        row("locked file, writable folder") << false << true << 0444 << QStringLiteral("none");
        row("writable file, read-only folder") << false << false << 0644 << QStringLiteral("beside");
        row("writable file, installed program") << true << true << 0644 << QStringLiteral("user");
    }
    // Root may make a file in any folder; a user may not.
    QTest::newRow("no file, read-only folder, as root") << true << false << false << 0 << QStringLiteral("beside");
    QTest::newRow("no file, read-only folder, as an unprivileged user")
        << false << false << false << 0 << QStringLiteral("user");
}

// One rule, followed from the start-up decision to the save: a settings
// file beside the executable is read, written in place when it may be
// written, and never when it is read-only; the user's own file serves only
// without one where none can be made, or for an installed program.
void TestSettingsFile::whichFile()
{
    QFETCH(bool, asRoot);
    QFETCH(bool, installed);
    QFETCH(bool, folderWritable);
    QFETCH(int, fileMode);
    QFETCH(QString, saved);

    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (asRoot && uid != 0)
        QSKIP("needs root");
    if (!asRoot && uid == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody)
            QSKIP("running as root and there is no user \"nobody\" to drop to");
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    QTemporaryDir configHome;
    QVERIFY(configHome.isValid());
    QCOMPARE(chown(QFile::encodeName(configHome.path()).constData(), uid, gid), 0);
    const ScopedEnvironment restore { "XDG_CONFIG_HOME" };
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    const QString userFile = configHome.filePath(QStringLiteral("zelvora/Configuracion.ini"));

    const QByteArray before = "[Personalizar]\r\nForma= 1\r\n";
    if (fileMode != 0) {
        writeBytes(path_, before);
        QCOMPARE(chown(QFile::encodeName(path_).constData(), uid, gid), 0);
        QCOMPARE(chmod(QFile::encodeName(path_).constData(), mode_t(fileMode)), 0);
    }
    QCOMPARE(chmod(QFile::encodeName(dir_.path()).constData(), folderWritable ? 0777 : 0555), 0);

    const int status = runAsUser(uid, gid, [&] {
        // As the program decides at start.
        m_.installedProgram = installed;
        m_.filesBesideProgram = keepsFilesBesideProgram(m_.programFolder, QString()) && !installed;
        settingsFile(m_, QStringLiteral("get"));
        const bool readBeside = fileMode != 0 && !installed;
        if (m_.settings.cellShape != (readBeside ? 1 : 0))
            return false;
        setValues(m_.settings, { 0, 0, 2, 3, 4, 5, 6 });
        settingsFile(m_, QStringLiteral("save"));
        return true;
    });
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(status, 0);

    const QByteArray written = "[Personalizar]\r\nForma= 0\r\nTipo Letra= 0\r\nTest= 2\r\nColor Relleno= 3\r\n"
                               "Color Texto= 4\r\nColor Acierto= 5\r\nColor Fallo= 6\r\n";
    const QByteArray fresh = "[Personalizar]\r\nTipo Letra= 0\r\nForma= 0\r\nTest= 2\r\nColor Relleno= 3\r\n"
                             "Color Texto= 4\r\nColor Acierto= 5\r\nColor Fallo= 6\r\n";
    if (saved == u"beside")
        QCOMPARE(readBytes(path_), fileMode != 0 ? written : fresh);
    else if (fileMode != 0)
        QCOMPARE(readBytes(path_), before);
    else
        QVERIFY(!QFileInfo::exists(path_));
    if (saved == u"user")
        QCOMPARE(readBytes(userFile), fresh);
    else
        QVERIFY(!QFileInfo::exists(userFile));
    // Nothing but the settings file beside the executable, no temporary
    // file left over.
    QCOMPARE(folderEntries(dir_.path()),
        fileMode != 0 || saved == u"beside" ? QStringList { QStringLiteral("Configuracion.ini") } : QStringList {});
    struct stat st { };
    if (fileMode != 0)
        QVERIFY(stat(QFile::encodeName(path_).constData(), &st) == 0 && int(st.st_mode & 07777) == fileMode);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
