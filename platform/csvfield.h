#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// Appends one CSV field in UTF-8, quoted (quotes doubled) only when it holds
// the separator, a quote or a line break, as RFC 4180 reads it.
void appendCsvField(QByteArray& out, const QString& text);
// Appends a record: its fields, comma-separated, then `lineEnd`.
void appendCsvRecord(QByteArray& out, const QStringList& fields, QByteArrayView lineEnd);

struct CsvRecord {
    QStringList fields;
    int line = 0;
};

// RFC 4180 with either separator and either line ending. `line` counts the
// text's lines, so a field that spans lines inside its quotes still leaves
// the following records at their true line. Errors name that line, in
// Spanish, for the user.
class CsvReader {
public:
    CsvReader(QStringView text, QChar separator)
        : text_(text)
        , separator_(separator)
    {
    }

    bool atEnd() const { return at_ >= text_.size(); }

    // The next record, or empty with `error` set; blank lines are skipped.
    std::optional<CsvRecord> next(QString& error);

private:
    static bool isLineEnd(QChar c) { return c == u'\n' || c == u'\r'; }
    void skipLineEnd();
    bool quoted(QString& field, QString& error);

    QStringView text_;
    QChar separator_;
    qsizetype at_ = 0;
    int line_ = 1;
};
