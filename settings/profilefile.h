#pragma once

#include <optional>

#include <QString>
#include <QStringView>

// INI-style profile files read and written with the rules of the Windows
// profile functions, on the whole text of a file at once so that a caller can
// read or change several keys and write the file once.
//
// Sections open with a "[name]" line; a key line is "key=value"; lines that
// start with ";" and lines without "=" are kept but never match. Section and
// key names are compared without regard to case, with the blanks around them
// ignored; the first section and the first key of a name are the ones used.

// The decoded text of the file: empty when the file is missing, nothing at
// all when it exists but cannot be read or is not a regular file (so that a
// save does not replace what it could not see).
std::optional<QString> readProfileFile(const QString& path);

// The value of `key` in `section`, without the blanks around it and without
// one pair of quotes around it; `defaultText` only when the section or the
// key is missing. A key present with an empty value gives the empty text.
QString profileString(QStringView text, QStringView section, QStringView key, const QString& defaultText);

// Replaces the value of an existing key in place, keeping the key's own
// spelling and everything else on every other line. A missing key is added
// after the last key of its section, a missing section at the end of the
// text. Added lines end like the text's first line, or with CR LF in a new
// text, since the file is shared with Windows tools.
void setProfileString(QString& text, QStringView section, QStringView key, QStringView value);

// Writes the text in code page 1252 through a temporary file in the same
// folder that then replaces the file, so the old file stays whole when any
// step fails. A folder that refuses the temporary file does not stop the
// save of a file the user may write: it is then written in place. False
// when the file was not written.
bool writeProfileFile(const QString& path, QStringView text);
