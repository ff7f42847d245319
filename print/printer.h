#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

struct PrintSettings;

// What the print run asks of the printer: a copy count (0 leaves the
// printer's default) and further job options as name, value pairs.
struct DeviceSettings {
    int copies = 0;
    QStringList jobOptions;
};

// Every value that was chosen is passed on, whatever the queue lists: IPP
// lets the scheduler put its nearest value in place of one the printer
// cannot do, while a value left out prints with the queue's default
// without a word. The one exception is a copy count above the maximum the
// queue states (`maxCopies`, 0 when it states none), which the scheduler
// would refuse; that count stays at the printer's default.
DeviceSettings deviceSettingsFor(const PrintSettings& settings, int maxCopies);

// The printer's default paper, in points, and the part of it the printer can
// mark, measured from the paper's top-left corner.
struct PaperLayout {
    QSizeF paper;
    QRectF printable;
};

// One page holding `image` stretched over the whole printable area, as a PDF
// whose image data keeps every pixel's exact colour.
QByteArray sheetPdf(const QImage& image, const PaperLayout& layout);

// The default printer's name, without printing anything; empty when there
// is none, or it cannot be reached or takes no jobs.
QString defaultPrinterName();

// DocumentLost: the job was made but its page never reached the
// scheduler, so the job was cancelled and nothing prints.
enum class PrintResult { Printed, DeviceUnavailable, NoPrinterName, DocumentLost };

// Prints `image` on one page of the default printer, on its own default
// paper, stretched over the whole printable area, without any dialog.
PrintResult printOnDefaultPrinter(const QImage& image, const PrintSettings& settings);

// Sends a finished PDF document, every page of it, to the default printer as
// the job `title`, in `copies` copies. Unlike the sheet, whose run never
// reports how the page went out, a document that did not reach the
// scheduler whole is told: false with `error` in Spanish, the job cancelled.
// More copies than the queue allows are refused before anything is sent.
bool printPdfOnDefaultPrinter(const QByteArray& pdf, int copies, const QString& title, QString& error);
