#include "registry/defaultapplication.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QStringView>

#include "registry/xdg.h"

namespace {

const QString kDesktopGroup = QStringLiteral("Desktop Entry");

struct Tweaks {
    QStringList additions;
    QStringList removals;
    QStringList defaults;
};

// One folder of the lookup, in the order of precedence: the config folders
// hold only lists, the applications folders hold desktop files as well.
struct LookupFolder {
    QString path;
    bool isConfig = false;
    QHash<QString, QString> appFiles; // desktop file ID -> file
    QHash<QString, Tweaks> tweaks; // MIME type -> its list entries
};

std::optional<KeyFile> readKeyFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseKeyFile(file.readAll());
}

QStringList idList(const QString& value)
{
    QStringList ids;
    for (const QString& id : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!id.trimmed().isEmpty())
            ids.append(id.trimmed());
    }
    return ids;
}

// Appends the ids that are neither listed already nor in `blocked`.
void appendIds(QStringList& list, const QStringList& ids, const QStringList& blocked)
{
    for (const QString& id : ids) {
        if (!list.contains(id) && !blocked.contains(id))
            list.append(id);
    }
}

// Only the plain mimeapps.list and mimeinfo.cache may add or remove
// associations; every list may name defaults.
void readList(LookupFolder& folder, const QString& path, const QString& addedGroup, bool mayAddOrRemove)
{
    const std::optional<KeyFile> file = readKeyFile(path);
    if (!file)
        return;
    const auto entries = [&](const QString& group) { return file->groups.value(group); };
    if (mayAddOrRemove) {
        const QHash<QString, QString> added = entries(addedGroup);
        for (auto it = added.cbegin(); it != added.cend(); ++it) {
            Tweaks& t = folder.tweaks[it.key()];
            appendIds(t.additions, idList(it.value()), t.removals);
        }
        const QHash<QString, QString> removed = entries(QStringLiteral("Removed Associations"));
        for (auto it = removed.cbegin(); it != removed.cend(); ++it) {
            Tweaks& t = folder.tweaks[it.key()];
            appendIds(t.removals, idList(it.value()), t.additions);
        }
    }
    const QHash<QString, QString> defaults = entries(QStringLiteral("Default Applications"));
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        appendIds(folder.tweaks[it.key()].defaults, idList(it.value()), {});
}

// Desktop file IDs of a folder: "kde/foo.desktop" is "kde-foo.desktop".
void collectAppFiles(QHash<QString, QString>& apps, const QString& dir, const QString& prefix, int depth)
{
    // A folder linked into itself must not hold the start-up forever.
    if (depth > 8)
        return;
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().endsWith(QLatin1String(".desktop")))
            apps.insert(prefix + entry.fileName(), entry.filePath());
        else if (entry.isDir())
            collectAppFiles(apps, entry.filePath(), prefix + entry.fileName() + QLatin1Char('-'), depth + 1);
    }
}

QList<LookupFolder> lookupFolders()
{
    QStringList desktops;
    for (const QString& d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktops.append(d.toLower());

    QList<LookupFolder> folders;
    for (const QString& dir : QStringList { xdgConfigHome() } + xdgConfigDirs())
        folders.append(LookupFolder { dir, true, {}, {} });
    for (const QString& dir : QStringList { xdgDataHome() } + xdgDataDirs())
        folders.append(LookupFolder { dir + QStringLiteral("/applications"), false, {}, {} });

    const QString added = QStringLiteral("Added Associations");
    for (LookupFolder& f : folders) {
        for (const QString& desktop : desktops)
            readList(f, f.path + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list"), added, false);
        readList(f, f.path + QStringLiteral("/mimeapps.list"), added, true);
        if (f.isConfig)
            continue;
        collectAppFiles(f.appFiles, f.path, QString(), 0);
        readList(f, f.path + QStringLiteral("/defaults.list"), added, false);
        readList(f, f.path + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache"), true);
    }
    return folders;
}

// A desktop file of the same ID in a folder of higher precedence hides it.
bool isMasked(const QList<LookupFolder>& folders, qsizetype index, const QString& id)
{
    for (qsizetype i = 0; i < index; ++i) {
        if (folders[i].appFiles.contains(id))
            return true;
    }
    return false;
}

// The types `mimeType` is declared a subclass of, nearest first, with the
// type itself in front.
QStringList typeWithParents(const QString& mimeType)
{
    QHash<QString, QStringList> parents;
    for (const QString& dir : QStringList { xdgDataHome() } + xdgDataDirs()) {
        QFile file(dir + QStringLiteral("/mime/subclasses"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> pair = line.simplified().split(' ');
            if (pair.size() == 2 && !parents[QString::fromUtf8(pair[0])].contains(QString::fromUtf8(pair[1])))
                parents[QString::fromUtf8(pair[0])].append(QString::fromUtf8(pair[1]));
        }
    }
    QStringList types { mimeType };
    for (qsizetype i = 0; i < types.size(); ++i) {
        for (const QString& parent : parents.value(types[i])) {
            if (!types.contains(parent))
                types.append(parent);
        }
    }
    return types;
}

bool isExecutableFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), X_OK) != 0)
        return false;
    const QFileInfo info(path);
    if (info.isDir())
        return false;
    // Root may "execute" any file; the desktop asks for an execute bit.
    return geteuid() != 0
        || (info.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther | QFile::ExeUser));
}

// A program named by a path, or found along PATH as the desktop looks
// for it.
bool programExists(const QString& program)
{
    if (program.isEmpty())
        return false;
    if (program.contains(QLatin1Char('/')))
        return isExecutableFile(program);
    const QString path
        = qEnvironmentVariableIsSet("PATH") ? qEnvironmentVariable("PATH") : QStringLiteral("/bin:/usr/bin:.");
    for (const QString& dir : path.split(QLatin1Char(':'))) {
        if (isExecutableFile((dir.isEmpty() ? QStringLiteral(".") : dir) + QLatin1Char('/') + program))
            return true;
    }
    return false;
}

// The first word of a command line under the shell's quoting rules, or
// nothing when the line has no word or an open quote.
std::optional<QString> firstShellWord(QStringView line)
{
    qsizetype i = 0;
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; };
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i < line.size() && line[i] == u'#') {
            while (i < line.size() && line[i] != u'\n')
                ++i;
            continue;
        }
        break;
    }
    if (i == line.size())
        return std::nullopt;
    QString word;
    while (i < line.size() && !isBlank(line[i])) {
        const QChar c = line[i++];
        if (c == u'\\') {
            if (i < line.size() && line[i] != u'\n')
                word.append(line[i]);
            ++i;
        } else if (c == u'\'') {
            const qsizetype close = line.indexOf(u'\'', i);
            if (close < 0)
                return std::nullopt;
            word.append(line.sliced(i, close - i));
            i = close + 1;
        } else if (c == u'"') {
            for (;;) {
                if (i == line.size())
                    return std::nullopt;
                const QChar d = line[i++];
                if (d == u'"')
                    break;
                if (d == u'\\' && i < line.size()
                    && (line[i] == u'"' || line[i] == u'\\' || line[i] == u'`' || line[i] == u'$'
                        || line[i] == u'\n')) {
                    if (line[i] != u'\n')
                        word.append(line[i]);
                    ++i;
                } else {
                    word.append(d);
                }
            }
        } else {
            word.append(c);
        }
    }
    // Words after the first must still close their quotes.
    bool single = false;
    bool dbl = false;
    for (; i < line.size(); ++i) {
        const QChar c = line[i];
        if (single) {
            single = c != u'\'';
        } else if (c == u'\\') {
            ++i;
        } else if (dbl) {
            dbl = c != u'"';
        } else {
            single = c == u'\'';
            dbl = c == u'"';
        }
    }
    if (single || dbl)
        return std::nullopt;
    return word;
}

// The entry's Exec when the desktop can load it as a runnable application.
std::optional<QString> loadApplication(const QString& path)
{
    const std::optional<KeyFile> file = readKeyFile(path);
    if (!file || file->startGroup != kDesktopGroup)
        return std::nullopt;
    const auto value = [&](const QString& key) {
        return unescapeKeyFileString(keyFileValue(*file, kDesktopGroup, key).value_or(QString()));
    };
    if (value(QStringLiteral("Type")) != QLatin1String("Application"))
        return std::nullopt;
    const QString tryExec = value(QStringLiteral("TryExec"));
    if (!tryExec.isEmpty() && !programExists(tryExec))
        return std::nullopt;
    const QString exec = value(QStringLiteral("Exec"));
    if (!exec.isEmpty()) {
        // Field codes are not expanded first: a "%%" stays in the program's
        // path, which then names no file.
        const std::optional<QString> program = firstShellWord(exec);
        if (!program || !programExists(*program))
            return std::nullopt;
    }
    return exec;
}

} // namespace

std::optional<DesktopApplication> defaultApplication(const QString& mimeType)
{
    const QList<LookupFolder> folders = lookupFolders();
    QStringList blocked;
    for (const QString& type : typeWithParents(mimeType)) {
        QStringList candidates;
        for (const LookupFolder& f : folders)
            appendIds(candidates, f.tweaks.value(type).defaults, {});
        for (qsizetype i = 0; i < folders.size(); ++i) {
            const Tweaks t = folders[i].tweaks.value(type);
            for (const QString& id : t.additions) {
                if (!isMasked(folders, i, id) && !blocked.contains(id) && !candidates.contains(id))
                    candidates.append(id);
            }
            for (const QString& id : t.removals) {
                if (!isMasked(folders, i, id) && !blocked.contains(id) && !candidates.contains(id))
                    blocked.append(id);
            }
        }
        // A desktop file that does not load leaves the ID to the next
        // folder that holds it.
        for (const QString& id : candidates) {
            for (const LookupFolder& f : folders) {
                const auto file = f.appFiles.constFind(id);
                if (file == f.appFiles.cend())
                    continue;
                if (const std::optional<QString> exec = loadApplication(*file))
                    return DesktopApplication { id, *exec };
            }
        }
    }
    return std::nullopt;
}
