#include "tests/support/qrread.h"

#include <ZXing/ReadBarcode.h>

QByteArray readQrPayload(const QImage& image, QByteArray* ecLevel)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    const ZXing::Result result = ZXing::ReadBarcode(ZXing::ImageView(grey.constBits(), grey.width(), grey.height(),
                                                        ZXing::ImageFormat::Lum, int(grey.bytesPerLine())),
        hints);
    if (!result.isValid())
        return {};
    if (ecLevel) {
        const auto level = result.ecLevel();
        *ecLevel = QByteArray::fromStdString(std::string(level.begin(), level.end()));
    }
    const ZXing::ByteArray& bytes = result.bytes();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
