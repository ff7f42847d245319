#include "platform/filestamp.h"

#include <sys/stat.h>

#include <QFile>

std::optional<FileStamp> fileStamp(const QString& path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp { std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
        std::int64_t(st.st_mtim.tv_sec), std::int64_t(st.st_mtim.tv_nsec) };
}
