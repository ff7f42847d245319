#pragma once

#include <QByteArrayView>
#include <QString>

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path` only when every byte is on disk, so a failure at any step (a full
// disk, a file-size limit, a folder that cannot be written) leaves the old
// file whole. The folder must exist. False when the file was not replaced.
[[nodiscard]] bool writeFileAtomically(const QString& path, QByteArrayView bytes);
