#pragma once

#include <QByteArray>
#include <QString>

#include <opencv2/core.hpp>

// Filled answer sheets as a scanner returns them, for the reader's
// benchmarks: page `n` of an anonymous five-answer class at `dpi`, each
// student with answers of their own and a touch of scanner noise. The
// default exam is none a key fits; the exam printed without a key fits
// every key of its layout.
inline const QString kBenchExam = QStringLiteral("BE4C0001");
cv::Mat scannedPage(int n, double dpi, const QString& exam = kBenchExam);

// `pages` such pages as one PDF of raster pages, written to `path`.
bool writeScannedPdf(const QString& path, int pages, double dpi, const QString& exam = kBenchExam);
