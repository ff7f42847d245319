#include "print/printer.h"

#include <cups/cups.h>

#include <QPainter>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QVariant>

#include "sheet/model.h"

namespace {

// Qt's CUPS print engine takes extra job options through this private
// property key (PPK_CupsOptions in Qt's own print support); there is no
// public call for the colour mode or the quality.
constexpr auto kCupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// IPP print-quality enums.
constexpr int kIppDraft = 3;
constexpr int kIppNormal = 4;
constexpr int kIppHigh = 5;

// The four levels of the set-up dialog onto IPP's three: "low resolution"
// is an economy print just like draft, "medium" is the printer's normal
// quality and only "high" asks for more.
int ippQuality(int level)
{
    switch (level) {
    case 1:
    case 2:
        return kIppDraft;
    case 3:
        return kIppNormal;
    case 4:
        return kIppHigh;
    default:
        return 0;
    }
}

} // namespace

PrinterCapabilities queryCapabilities(const QString& printerName)
{
    PrinterCapabilities caps;
    const QByteArray name = printerName.toLocal8Bit();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest)
        return caps;
    caps.reachable = true;
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (info) {
        if (ipp_attribute_t* copies = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_COPIES)) {
            int upper = 0;
            if (ippGetValueTag(copies) == IPP_TAG_RANGE)
                ippGetRange(copies, 0, &upper);
            else if (ippGetValueTag(copies) == IPP_TAG_INTEGER)
                upper = ippGetInteger(copies, 0);
            caps.maxCopies = upper;
        }
        if (ipp_attribute_t* modes = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_PRINT_COLOR_MODE)) {
            for (int i = 0; i < ippGetCount(modes); ++i)
                caps.colorModes.append(QString::fromUtf8(ippGetString(modes, i, nullptr)));
        }
        if (ipp_attribute_t* qualities = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_PRINT_QUALITY)) {
            for (int i = 0; i < ippGetCount(qualities); ++i)
                caps.qualities.append(ippGetInteger(qualities, i));
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    return caps;
}

DeviceSettings deviceSettingsFor(const PrintSettings& settings, const PrinterCapabilities& capabilities)
{
    DeviceSettings device;
    // Copies 0 would make CUPS refuse the job; it means "not chosen".
    if (settings.printCopies >= 1 && settings.printCopies <= capabilities.maxCopies)
        device.copies = settings.printCopies;

    const QString mode = settings.printColorMode == 1 ? QStringLiteral(CUPS_PRINT_COLOR_MODE_MONOCHROME)
        : settings.printColorMode == 2                ? QStringLiteral(CUPS_PRINT_COLOR_MODE_COLOR)
                                                      : QString();
    if (!mode.isEmpty() && capabilities.colorModes.contains(mode))
        device.jobOptions << QStringLiteral(CUPS_PRINT_COLOR_MODE) << mode;

    const int quality = ippQuality(settings.printQuality);
    if (quality != 0 && capabilities.qualities.contains(quality))
        device.jobOptions << QStringLiteral(CUPS_PRINT_QUALITY) << QString::number(quality);
    return device;
}

QString defaultPrinterName()
{
    return QPrinterInfo::defaultPrinterName();
}

PrintResult printOnDefaultPrinter(const QImage& image, const PrintSettings& settings)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return PrintResult::DeviceUnavailable;
    if (info.printerName().isEmpty())
        return PrintResult::NoPrinterName;

    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid())
        return PrintResult::DeviceUnavailable;
    printer.setDocName(QStringLiteral("Print Job"));
    printer.setFullPage(false);

    // Qt hands the job to CUPS only when the document ends and reports no
    // failure then, so a queue that cannot be reached is caught here.
    const PrinterCapabilities capabilities = queryCapabilities(info.printerName());
    if (!capabilities.reachable)
        return PrintResult::DeviceUnavailable;
    const DeviceSettings device = deviceSettingsFor(settings, capabilities);
    if (device.copies > 0)
        printer.setCopyCount(device.copies);
    if (!device.jobOptions.isEmpty())
        printer.printEngine()->setProperty(kCupsOptionsKey, device.jobOptions);

    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::DeviceUnavailable;
    // With the page not full, the painter's origin is the printable area's
    // corner and the device size is that area in device pixels. The two
    // axes are scaled on their own so the sheet fills the area exactly.
    painter.drawImage(QRect(0, 0, printer.width(), printer.height()), image);
    painter.end();
    return PrintResult::Printed;
}
