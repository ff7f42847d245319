#include "paper/roster.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>

#include "paper/sheetcode.h"
#include "platform/csvfield.h"

namespace {

struct Columns {
    QChar separator;
    int width = 0;
    int id = -1;
    int name = -1;
};

// The separator is the one that makes a header with both columns; a list
// in Spanish has semicolons, one in English commas.
std::optional<Columns> headerColumns(QStringView text, QString& error)
{
    for (const QChar separator : { QChar(u';'), QChar(u',') }) {
        CsvReader reader(text, separator);
        QString ignored;
        const std::optional<CsvRecord> header = reader.next(ignored);
        if (!header)
            continue;
        Columns c { separator, int(header->fields.size()), -1, -1 };
        bool repeated = false;
        for (int i = 0; i < header->fields.size(); ++i) {
            const QString name = header->fields[i].trimmed().toLower();
            int* column = name == u"id" ? &c.id : name == u"nombre" ? &c.name : nullptr;
            if (!column)
                continue;
            repeated = repeated || *column >= 0;
            *column = i;
        }
        if (repeated) {
            error = QStringLiteral("línea %1: la cabecera repite la columna id o nombre").arg(header->line);
            return std::nullopt;
        }
        if (c.id >= 0 && c.name >= 0)
            return c;
    }
    error = QStringLiteral("línea 1: la cabecera debe tener las columnas id y nombre, separadas por comas o por "
                           "puntos y coma");
    return std::nullopt;
}

// The line of the first byte that is not UTF-8, or 0.
int badUtf8Line(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    int line = 1;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const QString decoded = utf8.decode(bytes.sliced(start, end - start));
        if (utf8.hasError())
            return line;
        ++line;
        start = end;
    }
    return 0;
}

bool hasControl(QStringView s)
{
    // Line breaks and tabs inside a quoted cell are blanks like any other.
    return std::any_of(
        s.begin(), s.end(), [](QChar c) { return c.category() == QChar::Other_Control && !c.isSpace(); });
}

} // namespace

std::optional<std::vector<RosterStudent>> parseRoster(QByteArrayView bytes, QString& error)
{
    if (bytes.size() > kMaxRosterBytes) {
        error = QStringLiteral("la lista es demasiado grande para ser de una clase");
        return std::nullopt;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (const int line = badUtf8Line(bytes)) {
        error = QStringLiteral("línea %1: el texto no está en UTF-8").arg(line);
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(bytes);
    const std::optional<Columns> columns = headerColumns(text, error);
    if (!columns)
        return std::nullopt;

    CsvReader reader(text, columns->separator);
    (void)reader.next(error);
    std::vector<RosterStudent> students;
    QHash<QString, int> lineOfId;
    while (!reader.atEnd()) {
        const std::optional<CsvRecord> record = reader.next(error);
        if (!record)
            return std::nullopt;
        const int line = record->line;
        // Blank lines at the end leave one empty field.
        if (record->fields.size() == 1 && record->fields.front().trimmed().isEmpty())
            continue;
        if (record->fields.size() != columns->width) {
            error = QStringLiteral("línea %1: tiene %2 campos y la cabecera %3")
                        .arg(line)
                        .arg(record->fields.size())
                        .arg(columns->width);
            return std::nullopt;
        }
        RosterStudent s { record->fields[columns->id].trimmed(), record->fields[columns->name].simplified(), line };
        if (s.id.isEmpty()) {
            error = QStringLiteral("línea %1: falta el id del alumno").arg(line);
            return std::nullopt;
        }
        if (!validStudentId(s.id)) {
            error = QStringLiteral("línea %1: el id «%2» solo puede tener letras sin tilde, cifras, «-», «_» y «.» "
                                   "(no al principio), hasta %3")
                        .arg(line)
                        .arg(s.id)
                        .arg(kMaxStudentIdLength);
            return std::nullopt;
        }
        if (const auto seen = lineOfId.constFind(s.id.toLower()); seen != lineOfId.cend()) {
            error = QStringLiteral("línea %1: el id «%2» ya está en la línea %3").arg(line).arg(s.id).arg(*seen);
            return std::nullopt;
        }
        if (hasControl(record->fields[columns->name])) {
            error = QStringLiteral("línea %1: el nombre tiene caracteres de control").arg(line);
            return std::nullopt;
        }
        if (students.size() >= std::size_t(kMaxSheetSerial)) {
            error = QStringLiteral("línea %1: la lista tiene más de %2 alumnos").arg(line).arg(kMaxSheetSerial);
            return std::nullopt;
        }
        // Ids name files, and file systems that ignore case would put two
        // students whose ids differ only in case into one.
        lineOfId.insert(s.id.toLower(), line);
        students.push_back(std::move(s));
    }
    if (students.empty()) {
        error = QStringLiteral("la lista no tiene ningún alumno");
        return std::nullopt;
    }
    return students;
}

std::optional<std::vector<RosterStudent>> readRoster(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("no se puede leer: %1").arg(file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxRosterBytes) {
        error = QStringLiteral("la lista es demasiado grande para ser de una clase");
        return std::nullopt;
    }
    return parseRoster(file.read(kMaxRosterBytes + 1), error);
}
