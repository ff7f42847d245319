#pragma once

#include <vector>

#include <QImage>
#include <QString>

#include "notas/paperreview.h"

// Page `page` (from 0) of the scan `scanFile`, as scanned, with every
// answer cell outlined where it lies on it and as `testFile` now reads it:
// marked, still doubtful (in `pending`), or empty. Null, with `reason`, when
// the scan can no longer be read or its page located.
QImage scannedSheetImage(const QString& scanFile, int page, const QString& testFile,
    const std::vector<ReviewCell>& pending, QString& reason);
