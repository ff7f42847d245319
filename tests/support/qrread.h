#pragma once

#include <QByteArray>
#include <QImage>

// The payload of the one QR code in `image`, read by the QR library's own
// reader rather than ours, or empty when it finds none. `ecLevel`, when
// given, receives the code's error-correction level ("L", "M", "Q", "H").
QByteArray readQrPayload(const QImage& image, QByteArray* ecLevel = nullptr);
