#include "platform/csvfield.h"

void appendCsvField(QByteArray& out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n')) {
        out += bytes;
        return;
    }
    out += '"';
    for (const char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendCsvRecord(QByteArray& out, const QStringList& fields, QByteArrayView lineEnd)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, fields[i]);
    }
    out += lineEnd;
}

std::optional<CsvRecord> CsvReader::next(QString& error)
{
    while (!atEnd() && isLineEnd(text_[at_]))
        skipLineEnd();
    CsvRecord record;
    record.line = line_;
    QString field;
    bool quotedJustEnded = false;
    for (;;) {
        if (atEnd() || isLineEnd(text_[at_])) {
            record.fields << field;
            skipLineEnd();
            return record;
        }
        const QChar c = text_[at_];
        if (c == separator_) {
            record.fields << field;
            field.clear();
            ++at_;
        } else if (c == u'"' && field.isEmpty() && !quotedJustEnded) {
            if (!quoted(field, error))
                return std::nullopt;
            quotedJustEnded = true;
            continue;
        } else if (quotedJustEnded) {
            error = QStringLiteral("línea %1: hay texto después de las comillas que cierran un campo").arg(line_);
            return std::nullopt;
        } else if (c == u'"') {
            error = QStringLiteral("línea %1: hay unas comillas en medio de un campo sin comillas").arg(line_);
            return std::nullopt;
        } else {
            field += c;
            ++at_;
        }
        quotedJustEnded = false;
    }
}

void CsvReader::skipLineEnd()
{
    if (atEnd())
        return;
    if (text_[at_] == u'\r' && at_ + 1 < text_.size() && text_[at_ + 1] == u'\n')
        ++at_;
    ++at_;
    ++line_;
}

bool CsvReader::quoted(QString& field, QString& error)
{
    const int opened = line_;
    ++at_;
    while (!atEnd()) {
        const QChar c = text_[at_];
        if (c == u'"') {
            if (at_ + 1 < text_.size() && text_[at_ + 1] == u'"') {
                field += u'"';
                at_ += 2;
                continue;
            }
            ++at_;
            return true;
        }
        if (c == u'\n' || (c == u'\r' && !(at_ + 1 < text_.size() && text_[at_ + 1] == u'\n')))
            ++line_;
        field += c;
        ++at_;
    }
    error = QStringLiteral("línea %1: faltan las comillas que cierran el campo").arg(opened);
    return false;
}
