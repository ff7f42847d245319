#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

// PDF pages as Poppler sees them: a reader nobody here wrote, so what it
// shows is what a printer or a scanner's software would.

// The number of pages, or -1 when Poppler cannot open the document.
int pdfPageCount(const QByteArray& pdf);

// The size of page `index` (from 0) in points, or empty.
QSizeF pdfPageSizePt(const QByteArray& pdf, int index);

// Page `index` (from 0) rendered at `dpi` with smoothing, in grey levels,
// or a null image.
QImage renderPdfPage(const QByteArray& pdf, int index, int dpi);
