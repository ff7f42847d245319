#pragma once

#include <QByteArrayView>
#include <QString>

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path` only when every byte is on disk, so a failure at any step (a full
// disk, a file-size limit, a folder that cannot be written) leaves the old
// file whole. The folder must exist. False when the file was not replaced.
[[nodiscard]] bool writeFileAtomically(const QString& path, QByteArrayView bytes);

// As writeFileAtomically, except when the folder refuses the temporary file
// (a shared folder the user may not write) while `path` is a regular file the
// user may write: then the file itself is overwritten in place, its growth
// reserved first and its bytes sent in one write checked for its full
// length. Anything but a regular file is never opened for writing. False
// when the file was not written.
[[nodiscard]] bool writeFileAtomicallyOrInPlace(const QString& path, QByteArrayView bytes);
