#include "platform/userfolders.h"

#include <optional>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

namespace {

QString homeFolder()
{
    return QDir::homePath();
}

// The XDG Base Directory rules ask for relative paths in these variables to be
// ignored, as if the variable were unset.
QString absoluteFromEnvironment(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty() || QDir::isRelativePath(value))
        return {};
    return QDir::cleanPath(value);
}

QStringList absoluteListFromEnvironment(const char* name, const QStringList& fallback)
{
    QStringList dirs;
    const QStringList parts = qEnvironmentVariable(name).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (!QDir::isRelativePath(part))
            dirs.append(QDir::cleanPath(part));
    }
    return dirs.isEmpty() ? fallback : dirs;
}

// user-dirs.dirs is a shell fragment, but its own rules allow only
// `NAME="$HOME/path"` and `NAME="/path"`: the quotes and their backslash
// escapes are undone and a leading $HOME is replaced. Anything else names
// no folder.
QString userDirValue(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    QString path;
    const QString text = QString::fromUtf8(value);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\\') && i + 1 < text.size())
            ++i;
        path.append(text.at(i));
    }
    if (path == QLatin1String("$HOME") || path.startsWith(QLatin1String("$HOME/")))
        path = homeFolder() + path.mid(5);
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

} // namespace

QString xdgDataHome()
{
    const QString dir = absoluteFromEnvironment("XDG_DATA_HOME");
    return dir.isEmpty() ? homeFolder() + QStringLiteral("/.local/share") : dir;
}

QString xdgConfigHome()
{
    const QString dir = absoluteFromEnvironment("XDG_CONFIG_HOME");
    return dir.isEmpty() ? homeFolder() + QStringLiteral("/.config") : dir;
}

QStringList xdgDataDirs()
{
    return absoluteListFromEnvironment(
        "XDG_DATA_DIRS", { QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share") });
}

QStringList xdgConfigDirs()
{
    return absoluteListFromEnvironment("XDG_CONFIG_DIRS", { QStringLiteral("/etc/xdg") });
}

QString xdgPicturesFolder()
{
    constexpr QByteArrayView kName = "XDG_PICTURES_DIR";
    std::optional<QString> fromFile;
    QFile file(xdgConfigHome() + QStringLiteral("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray& raw : lines) {
            const QByteArray line = raw.trimmed();
            const qsizetype eq = line.indexOf('=');
            if (line.startsWith('#') || eq < 0 || line.left(eq).trimmed() != kName)
                continue;
            fromFile = userDirValue(line.mid(eq + 1));
        }
    }
    QString folder = fromFile ? *fromFile : userDirValue(qgetenv(kName.data()));
    return folder.isEmpty() ? homeFolder() : folder;
}

bool runsFromInstallFolder(const QString& programFolder, const QString& installFolder)
{
    if (programFolder.isEmpty() || installFolder.isEmpty())
        return false;
    const QString installed = QFileInfo(installFolder).canonicalFilePath();
    return !installed.isEmpty() && QFileInfo(programFolder).canonicalFilePath() == installed;
}

bool keepsFilesBesideProgram(const QString& programFolder, const QString& installFolder)
{
    if (programFolder.isEmpty())
        return false;
    const QFileInfo folder(programFolder);
    return folder.isDir() && folder.isWritable() && !runsFromInstallFolder(programFolder, installFolder);
}
