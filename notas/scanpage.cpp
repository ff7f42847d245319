#include "notas/scanpage.h"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include "paper/pagereader.h"
#include "paper/scaninput.h"
#include "sheet/model.h"
#include "testfile/testfile.h"

std::shared_ptr<const LocatedPage> locateScannedPage(const QString& scanFile, int page, QString& reason)
{
    ScanFile scan;
    cv::Mat grey;
    if (!scan.open(scanFile, reason) || !scan.loadPage(page, grey, reason))
        return {};
    PageBuffers buffers;
    auto located = std::make_shared<LocatedPage>();
    if (locatePage(grey, buffers, *located) != LocateProblem::None || !located->sheet) {
        reason = QStringLiteral("la página ya no se reconoce");
        return {};
    }
    return located;
}

QImage outlinedScanPage(
    const LocatedPage& located, const QString& testFile, const std::vector<ReviewCell>& pending, QString& reason)
{
    Model m;
    m.testFileName = testFile;
    if (readTestFile(m) != ReadResult::Accepted) {
        reason = QStringLiteral("%1 ya no se puede leer").arg(testFile);
        return {};
    }
    const cv::Mat& pixels = located.scan;
    QImage image = QImage(pixels.data, pixels.cols, pixels.rows, int(pixels.step), QImage::Format_Grayscale8)
                       .convertToFormat(QImage::Format_RGB32);

    const int answers = paperAnswers(located.sheet->layout.testType);
    const int questions = std::clamp(located.sheet->layout.questions, 0, kQuestions);
    // Outlines as wide as a pen stroke at this scan's resolution.
    const std::array<cv::Point2f, 4> first = answerCellOnScan(located, 1, 1);
    const double side = std::hypot(first[1].x - first[0].x, first[1].y - first[0].y);
    const double stroke = std::max(1.0, side / 8);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (int q = 1; q <= questions; ++q) {
        for (int k = 1; k <= answers; ++k) {
            const bool doubtful = std::any_of(pending.begin(), pending.end(),
                [&](const ReviewCell& c) { return c.testFile == testFile && c.question == q && c.answer == k; });
            const bool marked = m.answerCells.at(k, q).marked != 0;
            if (doubtful)
                painter.setPen(QPen(QColor(0xE0, 0x80, 0x00), stroke * 1.5));
            else if (marked)
                painter.setPen(QPen(QColor(0x10, 0x50, 0xD0), stroke));
            else
                painter.setPen(QPen(QColor(0x40, 0xA0, 0x40), std::max(1.0, stroke / 3)));
            QPolygonF outline;
            for (const cv::Point2f& p : answerCellOnScan(located, q, k))
                outline << QPointF(p.x, p.y);
            painter.drawPolygon(outline);
        }
    }
    return image;
}

QImage scannedSheetImage(
    const QString& scanFile, int page, const QString& testFile, const std::vector<ReviewCell>& pending, QString& reason)
{
    const std::shared_ptr<const LocatedPage> located = locateScannedPage(scanFile, page, reason);
    return located ? outlinedScanPage(*located, testFile, pending, reason) : QImage();
}

ScanPageCache::ScanPageCache(int pages)
    : capacity_(std::max(pages, 1))
{
}

std::shared_ptr<const LocatedPage> ScanPageCache::page(const QString& scanFile, int page, QString& reason)
{
    const std::optional<FileStamp> stamp = fileStamp(scanFile);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->file != scanFile || it->page != page)
            continue;
        if (stamp && it->stamp == stamp) {
            entries_.splice(entries_.begin(), entries_, it);
            return entries_.front().located;
        }
        entries_.erase(it);
        break;
    }
    std::shared_ptr<const LocatedPage> located = locateScannedPage(scanFile, page, reason);
    if (!located)
        return {};
    entries_.push_front({ scanFile, page, stamp, located });
    if (int(entries_.size()) > capacity_)
        entries_.pop_back();
    return located;
}
