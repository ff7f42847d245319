#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The settings file is a Windows file in code page 1252, which Qt 6 has no
// codec for. Decoding maps every byte to a distinct character (the five
// bytes 1252 leaves undefined become the C1 controls of the same number, as
// Windows does), so decoding and encoding again gives back the very bytes
// that were read.
QString fromWindows1252(QByteArrayView bytes);

// Characters the code page cannot hold are written as "?", as Windows does.
QByteArray toWindows1252(QStringView text);
