#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

struct PrintSettings;

// What the default printer's queue says it supports. An empty list or a
// zero maximum means the queue does not report that option at all.
struct PrinterCapabilities {
    bool reachable = false;
    int maxCopies = 0;
    QStringList colorModes;
    QList<int> qualities;
};

// What the print run asks of the printer: a copy count (0 leaves the
// printer's default) and CUPS job options as name, value pairs.
struct DeviceSettings {
    int copies = 0;
    QStringList jobOptions;
};

// Asks the scheduler about a queue; empty capabilities when it cannot be
// reached.
PrinterCapabilities queryCapabilities(const QString& printerName);

// Only values that were chosen and that the queue supports are passed on;
// everything else stays at the printer's default.
DeviceSettings deviceSettingsFor(const PrintSettings& settings, const PrinterCapabilities& capabilities);

// The default printer's name, without printing anything; empty when there
// is none.
QString defaultPrinterName();

enum class PrintResult { Printed, DeviceUnavailable, NoPrinterName };

// Prints `image` on one page of the default printer, stretched over the
// whole printable area, without any dialog.
PrintResult printOnDefaultPrinter(const QImage& image, const PrintSettings& settings);
