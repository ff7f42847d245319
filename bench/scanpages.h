#pragma once

#include <QByteArray>
#include <QString>

#include <opencv2/core.hpp>

// Filled answer sheets as a scanner returns them, for the reader's
// benchmarks: page `n` of an anonymous five-answer class at `dpi`, each
// student with answers of their own and a touch of scanner noise.
cv::Mat scannedPage(int n, double dpi);

// `pages` such pages as one PDF of raster pages, written to `path`.
bool writeScannedPdf(const QString& path, int pages, double dpi);
