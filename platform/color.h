#pragma once

#include <cstdint>

#include <QColor>
#include <QRgb>

// 0x00BBGGRR, red in the low byte.
inline QRgb rgbFromColorRef(std::uint32_t ref)
{
    return qRgb(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

inline std::uint32_t colorRefFromRgb(QRgb rgb)
{
    return std::uint32_t(qRed(rgb)) | (std::uint32_t(qGreen(rgb)) << 8) | (std::uint32_t(qBlue(rgb)) << 16);
}

inline QColor qColorFromColorRef(std::uint32_t ref)
{
    return QColor(rgbFromColorRef(ref));
}
