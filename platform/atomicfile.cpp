#include "platform/atomicfile.h"

#include <QSaveFile>

bool writeFileAtomically(const QString& path, QByteArrayView bytes)
{
    QSaveFile file(path);
    // Writing straight into the file would truncate it first.
    file.setDirectWriteFallback(false);
    // Unbuffered: the whole content leaves in one write call.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    // A write cut short can still be reported as complete by the write and
    // even by commit(), so the size that reached the disk is checked before
    // the old file is replaced. Left uncommitted, the temporary file goes
    // with `file`.
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit() && file.error() == QFileDevice::NoError;
}
