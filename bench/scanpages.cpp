#include "bench/scanpages.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <opencv2/imgproc.hpp>

#include "tests/paper/drawnpage.h"

cv::Mat scannedPage(int n, double dpi)
{
    SheetCode code;
    code.examId = QStringLiteral("BE4C0001");
    code.serial = n + 1;
    std::vector<DrawnFill> fills;
    cv::RNG rng(std::uint64_t(n) + 1);
    for (int q = 1; q <= 100; ++q)
        fills.push_back({ q, rng.uniform(1, 6), -1, rng.uniform(0.7, 1.2), 20 });
    const std::string number = QStringLiteral("%1").arg(n + 1, 8, 10, QLatin1Char('0')).toStdString();
    for (int c = 0; c < 8; ++c)
        fills.push_back({ 0, number[std::size_t(c)] - '0', c, 1.0, 20 });
    cv::Mat page = drawPage(code, dpi);
    fillCells(page, code, dpi, fills);
    cv::Mat noise(page.size(), CV_16S);
    rng.fill(noise, cv::RNG::NORMAL, 0, 6);
    cv::Mat noisy;
    page.convertTo(noisy, CV_16S);
    noisy += noise;
    noisy.convertTo(page, CV_8U);
    return page;
}

bool writeScannedPdf(const QString& path, int pages, double dpi)
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
        const cv::Mat page = scannedPage(i, dpi);
        painter.drawImage(QRect(0, 0, pdf.width(), pdf.height()),
            QImage(page.data, page.cols, page.rows, int(page.step), QImage::Format_Grayscale8));
    }
    return painter.end();
}
