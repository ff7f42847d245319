#pragma once

#include <list>
#include <memory>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>

#include "notas/paperreview.h"
#include "paper/pagereader.h"
#include "platform/filestamp.h"

// Page `page` (from 0) of the scan `scanFile`, decoded and found again by
// its marks. Null, with `reason`, when the scan can no longer be read or
// its page located.
std::shared_ptr<const LocatedPage> locateScannedPage(const QString& scanFile, int page, QString& reason);

// The located page as scanned, with every answer cell outlined where it
// lies on it and as `testFile` now reads it: marked, still doubtful (in
// `pending`), or empty. Null, with `reason`, when the test file can no
// longer be read.
QImage outlinedScanPage(
    const LocatedPage& page, const QString& testFile, const std::vector<ReviewCell>& pending, QString& reason);

// Both steps at once, for a page shown once.
QImage scannedSheetImage(const QString& scanFile, int page, const QString& testFile,
    const std::vector<ReviewCell>& pending, QString& reason);

// The last few scanned pages shown, kept located, so that going back and
// forth between students and reviews does not decode and locate a page
// again; a page is some megabytes, so only a few are kept. A scan replaced
// under the same name (its stamp differs) is read anew.
class ScanPageCache {
public:
    explicit ScanPageCache(int pages = 6);

    std::shared_ptr<const LocatedPage> page(const QString& scanFile, int page, QString& reason);

private:
    struct Entry {
        QString file;
        int page = 0;
        std::optional<FileStamp> stamp;
        std::shared_ptr<const LocatedPage> located;
    };
    int capacity_;
    // The most recently shown first.
    std::list<Entry> entries_;
};
