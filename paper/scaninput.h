#pragma once

#include <memory>
#include <vector>

#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

// Where scanned pages come from: PDF files (every page), PNG, JPEG and TIFF
// images (every page of a TIFF), and folders of them.

// Beyond this a page is refused before it is decoded: a 600-dpi A4 or Letter
// scan is 35 million pixels and the largest phone photos about 50 million,
// while a forged header could ask for gigabytes.
inline constexpr qint64 kMaxScanPixels = 80'000'000;
// PDF pages are drawn at this resolution, one at a time.
inline constexpr double kPdfDpi = 200.0;

// Whether the name says a PDF or an image this reader takes.
bool isScanFile(const QString& path);

// The size of each image in an encoded PNG, JPEG or TIFF, from its header
// alone; empty when the header is not one of those or is damaged.
std::vector<QSize> encodedImageSizes(QByteArrayView bytes);

// One input file, opened by one thread; the pages are decoded one at a time
// into a buffer the caller keeps.
class ScanFile {
public:
    ScanFile();
    ~ScanFile();
    ScanFile(const ScanFile&) = delete;
    ScanFile& operator=(const ScanFile&) = delete;

    // False with a reason in Spanish when the file cannot be read at all.
    bool open(const QString& path, QString& reason);
    int pageCount() const;
    // Page `index` (from 0) as a grey image, or false with a reason.
    bool loadPage(int index, cv::Mat& grey, QString& reason);

private:
    struct Data;
    std::unique_ptr<Data> d_;
};
