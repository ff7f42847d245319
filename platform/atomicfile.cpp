#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSaveFile>

namespace {

enum class Replace { Done, NoTemporaryFile, Failed };

Replace replaceAtomically(const QString& path, QByteArrayView bytes)
{
    QSaveFile file(path);
    // Writing straight into the file would truncate it first.
    file.setDirectWriteFallback(false);
    // Unbuffered: the whole content leaves in one write call.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Replace::NoTemporaryFile;
    // A write cut short can still be reported as complete by the write and
    // even by commit(), so the size that reached the disk is checked before
    // the old file is replaced. Left uncommitted, the temporary file goes
    // with `file`.
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        file.cancelWriting();
        return Replace::Failed;
    }
    return file.commit() && file.error() == QFileDevice::NoError ? Replace::Done : Replace::Failed;
}

bool overwriteInPlace(const QString& path, QByteArrayView bytes)
{
    // Non-blocking, so that a pipe under this name cannot hold the program
    // before the type check below turns it away.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st { };
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // Space for a longer text is taken before any old byte is touched, so a
    // full disk or a size limit leaves the old file as it was.
    if (ok && bytes.size() > st.st_size)
        ok = ::posix_fallocate(fd, st.st_size, bytes.size() - st.st_size) == 0;
    if (ok)
        ok = ::pwrite(fd, bytes.data(), size_t(bytes.size()), 0) == bytes.size();
    if (ok)
        ok = ::ftruncate(fd, bytes.size()) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView bytes)
{
    return replaceAtomically(path, bytes) == Replace::Done;
}

bool writeFileAtomicallyOrInPlace(const QString& path, QByteArrayView bytes)
{
    switch (replaceAtomically(path, bytes)) {
    case Replace::Done:
        return true;
    case Replace::NoTemporaryFile:
        return overwriteInPlace(path, bytes);
    case Replace::Failed:
        return false;
    }
    return false;
}
