#pragma once

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "platform/userfolders.h"

// A desktop-entry style key file read the way GLib reads it: comments and
// blank lines skipped, the spaces around "=" ignored, a repeated group
// continued, the last of repeated keys kept. Values are raw, escapes left as
// written.
struct KeyFile {
    QString startGroup;
    QHash<QString, QHash<QString, QString>> groups;
};

// Nothing for a file the desktop refuses whole: a line that is neither a
// comment, a group header nor "key=value", or a key before any group.
std::optional<KeyFile> parseKeyFile(const QByteArray& content);

// The raw value of `key` in `[group]`, or nothing when either is absent.
std::optional<QString> keyFileValue(const KeyFile& file, const QString& group, const QString& key);

// Undoes the string escapes of key files (\s \n \t \r \\); any other
// backslash pair is kept, so that Exec's own quoting survives.
QString unescapeKeyFileString(const QString& value);

// Replaces $NAME and ${NAME} by the environment's values. References to
// unset variables and a "$" escaped by a backslash stay as written.
QString expandEnvironmentReferences(const QString& text);

// Writes the whole file or leaves the old one untouched; missing folders
// are created. Returns false on any failure.
bool writeCreatingFolders(const QString& path, const QByteArray& content);

// Runs a desktop database tool and waits a bounded time for it. A tool that
// is not installed, fails or hangs is passed over: the files it would
// refresh are written anyway.
void runDesktopTool(const QString& program, const QStringList& arguments);
