#include "paper/imagecodec.h"

#include <mutex>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <opencv2/core.hpp>

#include "paper/scaninput.h"

namespace {

QByteArray formatOf(QByteArrayView bytes)
{
    if (bytes.startsWith("\x89PNG"))
        return "png";
    if (bytes.startsWith("II") || bytes.startsWith("MM"))
        return "tiff";
    return "jpeg";
}

} // namespace

bool decodeGreyImage(QByteArrayView bytes, int index, cv::Mat& grey)
{
    // Qt refuses images above 128 MB by default, less than one colour A4
    // page at 600 dpi; the reader has already refused what is over its own
    // pixel limit, so Qt is given room for that at four bytes a pixel.
    static std::once_flag limit;
    std::call_once(limit, [] { QImageReader::setAllocationLimit(int(kMaxScanPixels * 4 / (1024 * 1024)) + 1); });

    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, formatOf(bytes));
    if (index > 0 && !reader.jumpToImage(index))
        return false;
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return false;
    if (image.format() != QImage::Format_Grayscale8)
        image.convertTo(QImage::Format_Grayscale8);
    const cv::Mat view(image.height(), image.width(), CV_8UC1, image.bits(), std::size_t(image.bytesPerLine()));
    view.copyTo(grey);
    return true;
}

QByteArray encodeGreyPng(const cv::Mat& grey)
{
    if (grey.empty() || grey.type() != CV_8UC1)
        return {};
    const QImage image(grey.data, grey.cols, grey.rows, int(grey.step), QImage::Format_Grayscale8);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(image))
        return {};
    return png;
}
