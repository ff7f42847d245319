#pragma once

#include <QByteArray>
#include <QString>

// Appends one CSV field in UTF-8, quoted (quotes doubled) only when it holds
// the separator, a quote or a line break, as RFC 4180 reads it.
void appendCsvField(QByteArray& out, const QString& text);
