#include "app/qtsharedsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "platform/atomicfile.h"

namespace {

std::optional<QByteArray> fileContent(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

SharedQtSettings keepSharedQtSettings()
{
    SharedQtSettings kept;
    // The very file Qt's dialogs write, wherever XDG_CONFIG_HOME puts it.
    kept.path = QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
    kept.existed = QFileInfo::exists(kept.path);
    kept.content = fileContent(kept.path);
    kept.folderExisted = QFileInfo(QFileInfo(kept.path).absolutePath()).isDir();
    return kept;
}

void restoreSharedQtSettings(const SharedQtSettings& kept)
{
    if (kept.path.isEmpty())
        return;
    if (kept.existed) {
        // A file that could not be read at the start cannot be put back.
        if (kept.content && fileContent(kept.path) != kept.content)
            (void)writeFileAtomically(kept.path, *kept.content);
        return;
    }
    if (QFileInfo(kept.path).isFile())
        QFile::remove(kept.path);
    // Only an empty folder goes, and only one this run brought about.
    if (!kept.folderExisted)
        QDir().rmdir(QFileInfo(kept.path).absolutePath());
}
