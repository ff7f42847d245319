#include "registry/filetype.h"

#include <algorithm>

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QStringView>
#include <QXmlStreamWriter>

#include "platform/interaction.h"
#include "registry/defaultapplication.h"
#include "registry/xdg.h"

namespace {

constexpr QStringView kDefaultGroup = u"Default Applications";

// Names the extension is put into: file names and the MIME type.
bool isPlainExtension(const QString& extension)
{
    if (extension.isEmpty())
        return false;
    for (QChar c : extension) {
        const bool ok = c.unicode() < 128
            && (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!ok)
            return false;
    }
    return true;
}

// The executable's file name becomes the desktop file ID, which ends up in
// mimeapps.list lists separated by ";": anything unusual becomes "-".
QString desktopBaseName(const QString& programPath)
{
    QString name = QFileInfo(programPath).fileName();
    for (QChar& c : name) {
        const bool ok = c.unicode() < 128
            && (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.'));
        if (!ok)
            c = QLatin1Char('-');
    }
    return name;
}

QString iconNameForType(const QString& mimeType)
{
    return QString(mimeType).replace(QLatin1Char('/'), QLatin1Char('-'));
}

// One Exec argument: quoted only when it holds a reserved character, with
// the four characters that stay special inside quotes escaped. "%" is the
// field-code character everywhere and is doubled.
QString execArgument(const QString& argument)
{
    constexpr QStringView reserved = u" \t\n\"'\\><~|&;$*?#()`";
    QString arg = QString(argument).replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool needsQuotes = false;
    for (QChar c : arg)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return arg;
    QString quoted = QStringLiteral("\"");
    for (QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
    }
    return quoted.append(QLatin1Char('"'));
}

// The key-file layer below Exec's own quoting: a backslash written into the
// file must be doubled once more.
QString escapeKeyFileString(const QString& value)
{
    QString out;
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\\': out.append(QStringLiteral("\\\\")); break;
        case '\n': out.append(QStringLiteral("\\n")); break;
        case '\t': out.append(QStringLiteral("\\t")); break;
        case '\r': out.append(QStringLiteral("\\r")); break;
        default: out.append(c); break;
        }
    }
    return out;
}

QByteArray mimePackage(const QString& mimeType, const QString& extension)
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeDefaultNamespace(QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    writer.writeStartElement(QStringLiteral("mime-info"));
    writer.writeStartElement(QStringLiteral("mime-type"));
    writer.writeAttribute(QStringLiteral("type"), mimeType);
    writer.writeEmptyElement(QStringLiteral("glob"));
    writer.writeAttribute(QStringLiteral("pattern"), QStringLiteral("*.") + extension);
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

QByteArray desktopEntry(const QString& programPath, const QString& iconName, const QString& mimeType)
{
    QString name = QFileInfo(programPath).completeBaseName();
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    const QString exec = escapeKeyFileString(execArgument(programPath) + QStringLiteral(" %f"));
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Version=1.0\n"
                                        "Name=%1\n"
                                        "Comment=Programa de Test\n"
                                        "Exec=%2\n"
                                        "Icon=%3\n"
                                        "Terminal=false\n"
                                        "Categories=Education;\n"
                                        "MimeType=%4;\n")
                             .arg(escapeKeyFileString(name), exec, iconName, mimeType);
    return text.toUtf8();
}

bool isGroupHeader(const QByteArray& trimmed)
{
    return trimmed.startsWith('[') && trimmed.endsWith(']');
}

QByteArray keyOf(const QByteArray& line)
{
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? QByteArray() : line.left(eq).trimmed();
}

// mimeapps.list with `desktopId` first in the type's default list; every
// other line of the file stays as it was, and the ids that were listed
// before ours remain as fallbacks behind it.
QByteArray withDefaultApplication(const QByteArray& existing, const QString& mimeType, const QString& desktopId)
{
    const QByteArray key = mimeType.toUtf8();
    const QByteArray header = '[' + kDefaultGroup.toUtf8() + ']';
    QList<QByteArray> lines = existing.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    QStringList ids{desktopId};
    qsizetype insertAt = -1;
    bool inGroup = false;
    for (qsizetype i = 0; i < lines.size();) {
        const QByteArray trimmed = lines[i].trimmed();
        if (isGroupHeader(trimmed)) {
            inGroup = trimmed == header;
            if (inGroup && insertAt < 0)
                insertAt = i + 1;
        } else if (inGroup && !trimmed.startsWith('#') && keyOf(lines[i]) == key) {
            const QString old = QString::fromUtf8(lines[i].mid(lines[i].indexOf('=') + 1)).trimmed();
            for (const QString& id : old.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                if (!ids.contains(id.trimmed()))
                    ids.append(id.trimmed());
            }
            lines.removeAt(i);
            continue;
        }
        ++i;
    }
    const QByteArray entry = key + '=' + ids.join(QLatin1Char(';')).toUtf8() + ';';
    if (insertAt < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QByteArray());
        lines.append(header);
        lines.append(entry);
    } else {
        lines.insert(insertAt, entry);
    }
    return lines.join('\n') + '\n';
}

// The type that "*" + extensionWithDot resolves to in the compiled globs of
// the data folders, the user's first. Reading globs2 directly, rather than
// through QMimeDatabase, sees a registration made earlier in this process.
QString typeForGlob(const QString& glob)
{
    // This runs at every start over the system's whole glob list (about a
    // thousand lines), so a line is split as bytes and made into text only
    // when its pattern could be the one asked for.
    const QByteArray globUtf8 = glob.toUtf8();
    QString bestType;
    int bestWeight = -1;
    QSet<QByteArray> hiddenTypes;
    const QStringList dirs = QStringList{xdgDataHome()} + xdgDataDirs();
    for (const QString& dir : dirs) {
        QFile file(dir + QStringLiteral("/mime/globs2"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QSet<QByteArray> hiddenBelow;
        const QByteArray all = file.readAll();
        qsizetype start = 0;
        while (start < all.size()) {
            qsizetype end = all.indexOf('\n', start);
            if (end < 0)
                end = all.size();
            const QByteArrayView line = QByteArrayView(all).sliced(start, end - start).trimmed();
            start = end + 1;
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const qsizetype c1 = line.indexOf(':');
            const qsizetype c2 = c1 < 0 ? -1 : line.indexOf(':', c1 + 1);
            if (c2 < 0)
                continue;
            const qsizetype c3 = line.indexOf(':', c2 + 1);
            const QByteArrayView type = line.sliced(c1 + 1, c2 - c1 - 1);
            const QByteArrayView pattern = c3 < 0 ? line.sliced(c2 + 1) : line.sliced(c2 + 1, c3 - c2 - 1);
            // A package with <glob-deleteall/> drops the globs that less
            // important folders give its type.
            if (pattern == QByteArrayView("__NOGLOBS__")) {
                if (!hiddenTypes.contains(type.toByteArray()))
                    hiddenBelow.insert(type.toByteArray());
                continue;
            }
            const bool ascii = std::all_of(pattern.begin(), pattern.end(), [](char c) { return uchar(c) < 0x80; });
            // Case folding can change the length of other scripts' letters,
            // so only an ASCII pattern is turned down by its length alone.
            if (ascii && pattern.size() != globUtf8.size())
                continue;
            if (hiddenTypes.contains(type.toByteArray()))
                continue;
            const QStringList flags = c3 < 0 ? QStringList()
                                             : QString::fromUtf8(line.sliced(c3 + 1)).split(QLatin1Char(','));
            const bool caseSensitive = flags.contains(QLatin1String("cs"));
            if (QString::fromUtf8(pattern).compare(glob, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) != 0)
                continue;
            bool ok = false;
            const int weight = line.first(c1).toByteArray().toInt(&ok);
            // Equal weights keep the earlier find: the more important folder.
            if (ok && weight > bestWeight) {
                bestWeight = weight;
                bestType = QString::fromUtf8(type);
            }
        }
        hiddenTypes.unite(hiddenBelow);
    }
    return bestType;
}

} // namespace

QString fileTypeMimeName(const QString& extension)
{
    return QStringLiteral("application/x-") + extension + QStringLiteral("-files");
}

void registerFileType(Model& m, const QString& extension, int iconIndex)
{
    if (extension.contains(QLatin1Char('.'))) {
        m.interaction->messageBox(QStringLiteral("Error : Extension se pone sin punto ..."),
                                  QStringLiteral("Programador"), Buttons::Ok);
        return;
    }
    // The program carries one icon, so every index picks it.
    static_cast<void>(iconIndex);
    // A relative or empty path would give an entry that starts nothing, and
    // an extension that is not a plain name would leave the data folders.
    // A "%" in the path cannot be written so that the desktop runs it: Exec
    // must double it, and GLib then looks for a program named with "%%".
    if (!isPlainExtension(extension) || !QFileInfo(m.programPath).isAbsolute()
        || m.programPath.contains(QLatin1Char('%')))
        return;

    const QString mimeType = fileTypeMimeName(extension);
    const QString baseName = desktopBaseName(m.programPath);
    const QString desktopId = baseName + QStringLiteral(".desktop");
    const QString dataHome = xdgDataHome();

    const QString mimeFolder = dataHome + QStringLiteral("/mime");
    writeCreatingFolders(mimeFolder + QStringLiteral("/packages/") + extension + QStringLiteral("-files.xml"),
                        mimePackage(mimeType, extension));
    runDesktopTool(QStringLiteral("update-mime-database"), {mimeFolder});

    QFile icon(QStringLiteral(":/icons/zelvora.png"));
    if (icon.open(QIODevice::ReadOnly)) {
        const QByteArray png = icon.readAll();
        const QString iconFolder = dataHome + QStringLiteral("/icons/hicolor/128x128");
        writeCreatingFolders(iconFolder + QStringLiteral("/apps/") + baseName + QStringLiteral(".png"), png);
        writeCreatingFolders(iconFolder + QStringLiteral("/mimetypes/") + iconNameForType(mimeType) + QStringLiteral(".png"), png);
    }

    const QString applications = dataHome + QStringLiteral("/applications");
    writeCreatingFolders(applications + QLatin1Char('/') + desktopId, desktopEntry(m.programPath, baseName, mimeType));
    runDesktopTool(QStringLiteral("update-desktop-database"), {applications});

    const QString mimeapps = xdgConfigHome() + QStringLiteral("/mimeapps.list");
    QByteArray existing;
    QFile current(mimeapps);
    if (current.exists()) {
        // An unreadable list is left alone rather than replaced by one line.
        if (!current.open(QIODevice::ReadOnly))
            return;
        existing = current.readAll();
        current.close();
    }
    writeCreatingFolders(mimeapps, withDefaultApplication(existing, mimeType, desktopId));
}

QString readOpenCommand(const QString& extensionWithDot)
{
    if (extensionWithDot.isEmpty())
        return {};
    const QString mimeType = typeForGlob(QLatin1Char('*') + extensionWithDot);
    if (mimeType.isEmpty())
        return {};

    const std::optional<DesktopApplication> app = defaultApplication(mimeType);
    // The desktop opens a file with the application it picks and never falls
    // back to the next one, so an entry that names no program opens nothing
    // even while `gio mime` still names it as the default.
    if (!app || app->exec.trimmed().isEmpty())
        return {};
    return expandEnvironmentReferences(app->exec);
}

void offerFileTypeRegistration(Model& m)
{
    if (!readOpenCommand(QStringLiteral(".ztest")).trimmed().isEmpty())
        return;
    const QString text = QStringLiteral("Tienes que registrar este programa ...\r\n"
                                        "Dale compatibilidad y Ubicación ...\r\n"
                                        "Despues, di que si ...");
    if (m.interaction->messageBox(text, QStringLiteral("..."), Buttons::YesNo) == Reply::Yes)
        registerFileType(m, QStringLiteral("ztest"), 1);
}
