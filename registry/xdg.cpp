#include "registry/xdg.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>

#include "platform/atomicfile.h"

namespace {

// A name continues while it has letters, digits or underscores.
bool isNameChar(QChar c, bool first)
{
    return c == QLatin1Char('_') || (c.unicode() < 128 && (c.isLetter() || (!first && c.isDigit())));
}

} // namespace

std::optional<KeyFile> parseKeyFile(const QByteArray& content)
{
    KeyFile file;
    QHash<QString, QString>* group = nullptr;
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']')))
                return std::nullopt;
            const QString name = trimmed.mid(1, trimmed.size() - 2);
            if (file.startGroup.isEmpty())
                file.startGroup = name;
            // A repeated group goes on where the first one left off.
            group = &file.groups[name];
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || !group)
            return std::nullopt;
        // The last of repeated keys counts.
        group->insert(
            QStringView(line).left(eq).trimmed().toString(), QStringView(line).mid(eq + 1).trimmed().toString());
    }
    return file;
}

std::optional<QString> keyFileValue(const KeyFile& file, const QString& group, const QString& key)
{
    const auto g = file.groups.constFind(group);
    if (g == file.groups.cend())
        return std::nullopt;
    const auto v = g->constFind(key);
    if (v == g->cend())
        return std::nullopt;
    return *v;
}

QString unescapeKeyFileString(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out.append(c);
            continue;
        }
        const QChar next = value.at(i + 1);
        switch (next.unicode()) {
        case 's': out.append(QLatin1Char(' ')); break;
        case 'n': out.append(QLatin1Char('\n')); break;
        case 't': out.append(QLatin1Char('\t')); break;
        case 'r': out.append(QLatin1Char('\r')); break;
        case '\\': out.append(QLatin1Char('\\')); break;
        default: out.append(c).append(next); break;
        }
        ++i;
    }
    return out;
}

QString expandEnvironmentReferences(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            out.append(c).append(text.at(i + 1));
            ++i;
            continue;
        }
        if (c != QLatin1Char('$') || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const bool braced = text.at(i + 1) == QLatin1Char('{');
        qsizetype start = braced ? i + 2 : i + 1;
        qsizetype end = start;
        while (end < text.size() && isNameChar(text.at(end), end == start))
            ++end;
        const bool closed = !braced || (end < text.size() && text.at(end) == QLatin1Char('}'));
        const QString name = text.mid(start, end - start);
        if (name.isEmpty() || !closed || !qEnvironmentVariableIsSet(name.toLocal8Bit().constData())) {
            out.append(c);
            continue;
        }
        out.append(qEnvironmentVariable(name.toLocal8Bit().constData()));
        i = braced ? end : end - 1;
    }
    return out;
}

bool writeCreatingFolders(const QString& path, const QByteArray& content)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writeFileAtomically(path, content);
}

void runDesktopTool(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (!process.waitForStarted(5000))
        return;
    // Both tools finish in well under a second on a user's own folders; a
    // hung one must not keep the program from starting.
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}
