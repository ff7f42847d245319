#include "bench/scanpages.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include "tests/support/scanmaker.h"

cv::Mat scannedPage(int n, double dpi, const QString& exam)
{
    PaperSheet sheet;
    sheet.code.examId = exam;
    sheet.code.serial = n + 1;
    sheet.title = QStringLiteral("Examen");
    ScanMaker maker(unsigned(n) + 1);
    cv::Mat page = ScanMaker::renderSheet(sheet, int(dpi));
    maker.fillCells(page, int(dpi), sheet.code.layout.paper, maker.someAnswers(sheet.code.layout));
    maker.fillCells(page, int(dpi), sheet.code.layout.paper,
        maker.studentNumber(QStringLiteral("%1").arg(n + 1, 8, 10, QLatin1Char('0'))));
    maker.addNoise(page, 6);
    return page;
}

bool writeScannedPdf(const QString& path, int pages, double dpi, const QString& exam)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QPdfWriter pdf(&file);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins({});
    pdf.setResolution(int(dpi));
    QPainter painter(&pdf);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            pdf.newPage();
        const cv::Mat page = scannedPage(i, dpi, exam);
        painter.drawImage(QRect(0, 0, pdf.width(), pdf.height()),
            QImage(page.data, page.cols, page.rows, int(page.step), QImage::Format_Grayscale8));
    }
    return painter.end();
}
