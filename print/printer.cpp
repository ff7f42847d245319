#include "print/printer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/socket.h>

#include <cups/cups.h>

#include <QBuffer>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "sheet/model.h"

namespace {

// Every exchange with the print scheduler gives up after this long, so a
// scheduler that takes connections but never answers cannot freeze the
// window; it counts as unreachable.
constexpr int kWaitMilliseconds = 5000;

// IPP print-quality enums.
constexpr int kIppDraft = 3;
constexpr int kIppNormal = 4;
constexpr int kIppHigh = 5;

// IPP has three print qualities and the set-up dialog four levels, so two
// levels must share one: "low resolution" is an economy print just like
// draft, "medium" is the printer's normal quality and only "high" asks for
// more.
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

double pointsFromHundredthsOfMillimetre(int value)
{
    return value * 72.0 / 2540.0;
}

int stopWaiting(http_t*, void*)
{
    return 0;
}

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
struct DestInfoFree {
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};

// The default printer, attached: a connection of its own to the scheduler
// and what the scheduler said about the queue.
struct AttachedPrinter {
    std::unique_ptr<http_t, HttpClose> http;
    std::unique_ptr<cups_dest_t, DestFree> dest;
    std::unique_ptr<cups_dinfo_t, DestInfoFree> info;
};

// Nothing when there is no default printer, the scheduler does not answer
// in time, or the queue takes no jobs: a job sent to a refusing queue would
// be lost without a word.
std::optional<AttachedPrinter> attachDefaultPrinter()
{
    AttachedPrinter printer;
    printer.http.reset(
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kWaitMilliseconds, nullptr));
    if (!printer.http)
        return std::nullopt;
    httpSetTimeout(printer.http.get(), kWaitMilliseconds / 1000.0, stopWaiting, nullptr);

    printer.dest.reset(cupsGetNamedDest(printer.http.get(), nullptr, nullptr));
    if (!printer.dest)
        return std::nullopt;
    const char* accepting
        = cupsGetOption("printer-is-accepting-jobs", printer.dest->num_options, printer.dest->options);
    if (accepting && std::strcmp(accepting, "false") == 0)
        return std::nullopt;
    printer.info.reset(cupsCopyDestInfo(printer.http.get(), printer.dest.get()));
    if (!printer.info)
        return std::nullopt;
    return printer;
}

// The largest copy count the queue states it takes; 0 when it states none.
int maxCopiesOf(const AttachedPrinter& printer)
{
    ipp_attribute_t* copies
        = cupsFindDestSupported(printer.http.get(), printer.dest.get(), printer.info.get(), CUPS_COPIES);
    if (!copies)
        return 0;
    int upper = 0;
    if (ippGetValueTag(copies) == IPP_TAG_RANGE)
        ippGetRange(copies, 0, &upper);
    else if (ippGetValueTag(copies) == IPP_TAG_INTEGER)
        upper = ippGetInteger(copies, 0);
    return upper;
}

int collectionInteger(ipp_t* collection, const char* name)
{
    ipp_attribute_t* attr = ippFindAttribute(collection, name, IPP_TAG_INTEGER);
    return attr ? ippGetInteger(attr, 0) : -1;
}

// The default paper as the queue reports it, sizes and margins in
// hundredths of a millimetre; false when it reports none.
bool defaultMedia(const AttachedPrinter& printer, cups_size_t& size)
{
    http_t* http = printer.http.get();
    cups_dest_t* dest = printer.dest.get();
    cups_dinfo_t* info = printer.info.get();
    if (ipp_attribute_t* col = cupsFindDestDefault(http, dest, info, "media-col")) {
        ipp_t* media = ippGetCollection(col, 0);
        ipp_attribute_t* sizeAttr = ippFindAttribute(media, "media-size", IPP_TAG_BEGIN_COLLECTION);
        ipp_t* dimensions = sizeAttr ? ippGetCollection(sizeAttr, 0) : nullptr;
        if (dimensions) {
            size.width = collectionInteger(dimensions, "x-dimension");
            size.length = collectionInteger(dimensions, "y-dimension");
            size.left = std::max(0, collectionInteger(media, "media-left-margin"));
            size.right = std::max(0, collectionInteger(media, "media-right-margin"));
            size.top = std::max(0, collectionInteger(media, "media-top-margin"));
            size.bottom = std::max(0, collectionInteger(media, "media-bottom-margin"));
            if (size.width > size.left + size.right && size.length > size.top + size.bottom)
                return true;
        }
    }
    // Only the paper's name: its margins come from the queue's list of
    // papers.
    if (ipp_attribute_t* name = cupsFindDestDefault(http, dest, info, CUPS_MEDIA)) {
        if (const char* media = ippGetString(name, 0, nullptr))
            return cupsGetDestMediaByName(http, dest, info, media, CUPS_MEDIA_FLAGS_DEFAULT, &size) != 0;
    }
    return false;
}

// The paper the printer uses when the job names none, so the sheet is laid
// out on the page that actually comes out.
PaperLayout defaultPaperOf(const AttachedPrinter& printer)
{
    cups_size_t size {};
    if (!defaultMedia(printer, size)) {
        // A queue that names no paper at all: the whole of an A4 sheet.
        const QSizeF paper = QPageSize(QPageSize::A4).size(QPageSize::Point);
        return { paper, QRectF(QPointF(0, 0), paper) };
    }
    const auto pt = pointsFromHundredthsOfMillimetre;
    PaperLayout layout;
    layout.paper = QSizeF(pt(size.width), pt(size.length));
    layout.printable = QRectF(
        pt(size.left), pt(size.top), pt(size.width - size.left - size.right), pt(size.length - size.top - size.bottom));
    return layout;
}

enum class JobSend { Sent, NotCreated, DocumentLost };

// Creates a job on `printer` with `options` (freed here) and sends `pdf` as
// its one document. A job whose document did not arrive whole is
// cancelled: left without it, it would wait in the queue for ever, and a
// page that never arrived must not pass for printed. `why`, when given,
// hears the scheduler's own reason, taken before the cancel replaces it.
JobSend sendPdfJob(AttachedPrinter& printer, const char* title, int optionCount, cups_option_t* options,
    const QByteArray& pdf, QString* why = nullptr)
{
    http_t* http = printer.http.get();
    cups_dest_t* dest = printer.dest.get();
    cups_dinfo_t* info = printer.info.get();
    int jobId = 0;
    const ipp_status_t created = cupsCreateDestJob(http, dest, info, &jobId, title, optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (created > IPP_STATUS_OK_CONFLICTING || jobId == 0) {
        if (why)
            *why = QString::fromUtf8(cupsLastErrorString());
        return JobSend::NotCreated;
    }
    const bool sent = cupsStartDestDocument(http, dest, info, jobId, title, CUPS_FORMAT_PDF, 0, nullptr, 1)
            == HTTP_STATUS_CONTINUE
        && cupsWriteRequestData(http, pdf.constData(), std::size_t(pdf.size())) == HTTP_STATUS_CONTINUE
        && cupsFinishDestDocument(http, dest, info) <= IPP_STATUS_OK_CONFLICTING;
    if (!sent) {
        if (why)
            *why = QString::fromUtf8(cupsLastErrorString());
        cupsCancelDestJob(http, dest, jobId);
        return JobSend::DocumentLost;
    }
    return JobSend::Sent;
}

} // namespace

DeviceSettings deviceSettingsFor(const PrintSettings& settings, int maxCopies)
{
    DeviceSettings device;
    // A chosen count goes out even when it is 1: left out, the queue's own
    // default applies, which may be more. 0 means "not chosen".
    if (settings.printCopies >= 1 && (maxCopies <= 0 || settings.printCopies <= maxCopies))
        device.copies = settings.printCopies;

    if (settings.printColorMode == 1 || settings.printColorMode == 2) {
        device.jobOptions << QStringLiteral(CUPS_PRINT_COLOR_MODE)
                          << (settings.printColorMode == 1 ? QStringLiteral(CUPS_PRINT_COLOR_MODE_MONOCHROME)
                                                           : QStringLiteral(CUPS_PRINT_COLOR_MODE_COLOR));
    }
    if (const int quality = ippQuality(settings.printQuality); quality != 0)
        device.jobOptions << QStringLiteral(CUPS_PRINT_QUALITY) << QString::number(quality);
    return device;
}

QByteArray sheetPdf(const QImage& image, const PaperLayout& layout)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    // One unit per point, so the layout's measures are used as they are.
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(layout.paper, QPageSize::Point, QString(), QPageSize::ExactMatch),
        QPageLayout::Portrait, QMarginsF()));
    QPainter painter(&writer);
    // Without the lossless hint the image goes in as JPEG, which shifts the
    // colours; without smoothing the viewer or printer only repeats pixels
    // when it stretches the image and invents no colours in between.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The two axes are scaled on their own so the sheet fills the printable
    // area exactly.
    painter.drawImage(layout.printable, image);
    painter.end();
    return pdf;
}

QString defaultPrinterName()
{
    const auto printer = attachDefaultPrinter();
    return printer ? QString::fromUtf8(printer->dest->name) : QString();
}

PrintResult printOnDefaultPrinter(const QImage& image, const PrintSettings& settings)
{
    auto printer = attachDefaultPrinter();
    if (!printer)
        return PrintResult::DeviceUnavailable;
    if (!printer->dest->name || !*printer->dest->name)
        return PrintResult::NoPrinterName;
    const DeviceSettings device = deviceSettingsFor(settings, maxCopiesOf(*printer));
    cups_option_t* options = nullptr;
    int optionCount = 0;
    if (device.copies > 0)
        optionCount = cupsAddIntegerOption(CUPS_COPIES, device.copies, optionCount, &options);
    for (qsizetype i = 0; i + 1 < device.jobOptions.size(); i += 2) {
        optionCount = cupsAddOption(device.jobOptions[i].toUtf8().constData(),
            device.jobOptions[i + 1].toUtf8().constData(), optionCount, &options);
    }
    const QByteArray pdf = sheetPdf(image, defaultPaperOf(*printer));
    switch (sendPdfJob(*printer, "Print Job", optionCount, options, pdf)) {
    case JobSend::NotCreated:
        return PrintResult::DeviceUnavailable;
    case JobSend::DocumentLost:
        return PrintResult::DocumentLost;
    case JobSend::Sent:
        break;
    }
    return PrintResult::Printed;
}

bool printPdfOnDefaultPrinter(const QByteArray& pdf, int copies, const QString& title, QString& error)
{
    auto printer = attachDefaultPrinter();
    if (!printer || !printer->dest->name || !*printer->dest->name) {
        error = QStringLiteral("No hay ninguna impresora predeterminada que acepte trabajos.");
        return false;
    }
    const QString name = QString::fromUtf8(printer->dest->name);
    const int maxCopies = maxCopiesOf(*printer);
    if (maxCopies > 0 && copies > maxCopies) {
        error = maxCopies == 1
            ? QStringLiteral("La impresora %1 imprime una sola copia por trabajo.").arg(name)
            : QStringLiteral("La impresora %1 imprime como mucho %2 copias por trabajo.").arg(name).arg(maxCopies);
        return false;
    }
    cups_option_t* options = nullptr;
    const int optionCount = cupsAddIntegerOption(CUPS_COPIES, std::max(1, copies), 0, &options);
    QString why;
    switch (sendPdfJob(*printer, title.toUtf8().constData(), optionCount, options, pdf, &why)) {
    case JobSend::NotCreated:
        error = QStringLiteral("La impresora %1 no acepta el trabajo: %2.").arg(name, why);
        return false;
    case JobSend::DocumentLost:
        error = QStringLiteral("El documento no llegó entero a la impresora %1: %2.").arg(name, why);
        return false;
    case JobSend::Sent:
        break;
    }
    return true;
}
