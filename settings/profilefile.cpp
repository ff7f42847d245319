#include "settings/profilefile.h"

#include <QFile>
#include <QFileInfo>

#include "platform/atomicfile.h"
#include "settings/windows1252.h"

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimmed(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

bool sameName(QStringView a, QStringView b)
{
    return trimmed(a).compare(trimmed(b), Qt::CaseInsensitive) == 0;
}

// A text saved as UTF-8 by an editor starts with these three bytes; skipping
// them keeps the first section header recognisable.
constexpr QStringView kUtf8Mark = u"\u00EF\u00BB\u00BF";

struct Line {
    qsizetype begin = 0;
    qsizetype contentEnd = 0; // before the line break
    qsizetype end = 0;        // after the line break
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QStringView name;
    qsizetype valueBegin = 0; // key lines: just after "="
};

ParsedLine parseLine(QStringView text, const Line& line)
{
    QStringView content = text.sliced(line.begin, line.contentEnd - line.begin);
    if (line.begin == 0 && content.startsWith(kUtf8Mark))
        content = content.sliced(kUtf8Mark.size());
    const QStringView lead = trimmed(content);
    ParsedLine p;
    if (lead.startsWith(u'[')) {
        QStringView name = lead.sliced(1);
        const qsizetype close = name.indexOf(u']');
        if (close >= 0)
            name = name.first(close);
        p.kind = LineKind::Section;
        p.name = trimmed(name);
    } else if (!lead.startsWith(u';')) {
        const qsizetype eq = content.indexOf(u'=');
        if (eq >= 0) {
            p.kind = LineKind::Key;
            p.name = trimmed(content.first(eq));
            p.valueBegin = line.contentEnd - (content.size() - eq - 1);
        }
    }
    return p;
}

// Calls `f(line)` for every line until it returns false.
template <typename F>
void forEachLine(QStringView text, F f)
{
    qsizetype at = 0;
    while (at < text.size()) {
        Line line;
        line.begin = at;
        const qsizetype nl = text.indexOf(u'\n', at);
        line.end = nl < 0 ? text.size() : nl + 1;
        line.contentEnd = nl < 0 ? text.size() : nl;
        if (line.contentEnd > line.begin && text[line.contentEnd - 1] == u'\r')
            --line.contentEnd;
        if (!f(line))
            return;
        at = line.end;
    }
}

struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    // A found key: its value runs from valueBegin to valueEnd.
    qsizetype valueBegin = 0;
    qsizetype valueEnd = 0;
    // A missing key goes after this line: the last key of the section, or
    // its header.
    Line anchor;
};

Location locate(QStringView text, QStringView section, QStringView key)
{
    Location loc;
    bool inSection = false;
    forEachLine(text, [&](const Line& line) {
        const ParsedLine p = parseLine(text, line);
        if (p.kind == LineKind::Section) {
            if (inSection)
                return false;
            inSection = !loc.sectionFound && sameName(p.name, section);
            if (inSection) {
                loc.sectionFound = true;
                loc.anchor = line;
            }
        } else if (inSection && p.kind == LineKind::Key) {
            loc.anchor = line;
            if (sameName(p.name, key)) {
                loc.keyFound = true;
                loc.valueBegin = p.valueBegin;
                loc.valueEnd = line.contentEnd;
                return false;
            }
        }
        return true;
    });
    return loc;
}

QString lineBreakOf(QStringView text)
{
    const qsizetype nl = text.indexOf(u'\n');
    if (nl > 0 && text[nl - 1] == u'\r')
        return QStringLiteral("\r\n");
    if (nl >= 0)
        return QStringLiteral("\n");
    return QStringLiteral("\r\n");
}

} // namespace

std::optional<QString> readProfileFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    // Opening a pipe would wait for a writer that may never come, and a
    // device or a folder is nobody's settings.
    if (!info.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return fromWindows1252(bytes);
}

QString profileString(QStringView text, QStringView section, QStringView key, const QString& defaultText)
{
    const Location loc = locate(text, section, key);
    if (!loc.keyFound)
        return defaultText;
    QStringView value = trimmed(text.sliced(loc.valueBegin, loc.valueEnd - loc.valueBegin));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

void setProfileString(QString& text, QStringView section, QStringView key, QStringView value)
{
    const Location loc = locate(text, section, key);
    if (loc.keyFound) {
        text.replace(loc.valueBegin, loc.valueEnd - loc.valueBegin, value.data(), value.size());
        return;
    }
    const QString lineBreak = lineBreakOf(text);
    QString added;
    if (loc.sectionFound) {
        if (text[loc.anchor.end - 1] != u'\n')
            added += lineBreak;
        added += key;
        added += u'=';
        added += value;
        added += lineBreak;
        text.insert(loc.anchor.end, added);
        return;
    }
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        added += lineBreak;
    added += u'[';
    added += section;
    added += u']';
    added += lineBreak;
    added += key;
    added += u'=';
    added += value;
    added += lineBreak;
    text += added;
}

bool writeProfileFile(const QString& path, QStringView text)
{
    return writeFileAtomicallyOrInPlace(path, toWindows1252(text));
}
