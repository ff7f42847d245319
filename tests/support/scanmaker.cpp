#include "tests/support/scanmaker.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "paper/papergeometry.h"
#include "tests/support/pdfpages.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double pxPerMm(int dpi)
{
    return dpi / 25.4;
}

// Parallel strokes at `angle` across `ink`, as a hand scribbles a cell
// full: `width` wide, `pitch` apart, each wavering a little.
void scribble(cv::Mat& ink, cv::RNG& rng, double width, double pitch, double angle, int grey)
{
    const cv::Point2d centre(ink.cols / 2.0, ink.rows / 2.0);
    const double reach = std::hypot(ink.cols, ink.rows) / 2 + width;
    const cv::Point2d along(std::cos(angle), std::sin(angle));
    const cv::Point2d across(-along.y, along.x);
    const int thickness = std::max(1, int(std::lround(width)));
    for (double offset = -reach; offset <= reach; offset += pitch) {
        const double wobble = rng.uniform(-0.25, 0.25) * pitch;
        const cv::Point2d mid = centre + across * (offset + wobble);
        const cv::Point2d a = mid - along * reach;
        const cv::Point2d b = mid + along * reach;
        cv::line(ink, cv::Point(int(a.x), int(a.y)), cv::Point(int(b.x), int(b.y)),
            cv::Scalar(grey + rng.uniform(-8, 8)), thickness, cv::LINE_AA);
    }
}

// Graphite lies on the paper's grain: some of each stroke is lighter.
void grain(cv::Mat& ink, cv::RNG& rng, double sigma)
{
    cv::Mat noise(ink.size(), CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0, sigma);
    cv::Mat f;
    ink.convertTo(f, CV_32F);
    cv::Mat inked = f < 250;
    cv::add(f, noise, f, inked);
    f.convertTo(ink, CV_8U);
}

// A smooth field of factors between `low` and `high`, as light falls on a
// page or toner spreads over it.
cv::Mat smoothField(cv::RNG& rng, cv::Size size, double low, double high)
{
    cv::Mat coarse(3, 4, CV_32F);
    rng.fill(coarse, cv::RNG::UNIFORM, low, high);
    cv::Mat field;
    cv::resize(coarse, field, size, 0, 0, cv::INTER_CUBIC);
    cv::min(field, high, field);
    cv::max(field, low, field);
    return field;
}

} // namespace

bool meantAsMark(Fill fill)
{
    return fill == Fill::Pen || fill == Fill::Pencil || fill == Fill::LightPencil || fill == Fill::HalfFilled;
}

bool isClearFill(Fill fill)
{
    return fill == Fill::Pen || fill == Fill::Pencil;
}

ScanMaker::ScanMaker(unsigned seed)
    : rng_(seed)
{
}

cv::Mat ScanMaker::renderSheet(const PaperSheet& sheet, int dpi)
{
    return matFromImage(renderPaperSheet(sheet, dpi));
}

cv::Mat ScanMaker::renderPdf(const QByteArray& pdf, int page, int dpi)
{
    return matFromImage(renderPdfPage(pdf, page, dpi));
}

void ScanMaker::fillCell(cv::Mat& page, int dpi, const QRectF& cellMm, Fill fill)
{
    const double s = pxPerMm(dpi);
    const double margin = 1.5 * s;
    const cv::Rect area = cv::Rect(int(cellMm.left() * s - margin), int(cellMm.top() * s - margin),
                              int(cellMm.width() * s + 2 * margin), int(cellMm.height() * s + 2 * margin))
        & cv::Rect(0, 0, page.cols, page.rows);
    if (area.empty())
        return;
    const cv::Point2d centre(cellMm.center().x() * s - area.x, cellMm.center().y() * s - area.y);
    const double radius = cellMm.width() * s / 2;

    cv::Mat ink(area.size(), CV_8UC1, cv::Scalar(255));
    cv::Mat mask(area.size(), CV_8UC1, cv::Scalar(0));
    const auto blot = [&](double coverage) {
        // The fill's own outline: the share of the cell it covers, pushed
        // off centre so that one side overshoots the printed outline.
        const double r = radius * std::sqrt(coverage) * rng_.uniform(1.0, 1.2);
        const cv::Point2d shift(rng_.uniform(-0.25, 0.25) * radius, rng_.uniform(-0.25, 0.25) * radius);
        cv::ellipse(mask, cv::Point(centre + shift),
            cv::Size(int(r * rng_.uniform(0.9, 1.1)), int(r * rng_.uniform(0.9, 1.1))), rng_.uniform(0.0, 180.0), 0,
            360, cv::Scalar(255), cv::FILLED, cv::LINE_AA);
    };
    const double angle = rng_.uniform(-0.6, 0.6) + (rng_.uniform(0, 2) ? 0 : kPi / 2);

    switch (fill) {
    case Fill::Pen:
    case Fill::HalfFilled:
        blot(fill == Fill::Pen ? rng_.uniform(0.6, 1.0) : 1.0);
        scribble(ink, rng_, 0.4 * s, 0.32 * s, angle, rng_.uniform(20, 60));
        if (fill == Fill::HalfFilled) {
            // Which half the student gave up on.
            const int side = rng_.uniform(0, 4);
            const cv::Point c(centre);
            const cv::Rect halves[] = { { 0, 0, c.x, area.height }, { c.x, 0, area.width - c.x, area.height },
                { 0, 0, area.width, c.y }, { 0, c.y, area.width, area.height - c.y } };
            mask(halves[side]).setTo(0);
        }
        break;
    case Fill::Pencil:
    case Fill::LightPencil: {
        const bool light = fill == Fill::LightPencil;
        blot(rng_.uniform(light ? 0.75 : 0.7, 1.0));
        scribble(ink, rng_, 0.5 * s, 0.35 * s, angle, light ? rng_.uniform(150, 175) : rng_.uniform(70, 110));
        grain(ink, rng_, 22);
        break;
    }
    case Fill::Erased: {
        // A rubbed-out pencil fill: a pale smear over the cell and the
        // traces of a few strokes the eraser missed.
        blot(1.0);
        ink.setTo(cv::Scalar(rng_.uniform(205, 226)), mask);
        for (int i = 0; i < 3; ++i) {
            const cv::Point2d from = centre + cv::Point2d(rng_.uniform(-1.0, 1.0), rng_.uniform(-1.0, 1.0)) * radius;
            const cv::Point2d to = from + cv::Point2d(rng_.uniform(-1.0, 1.0), rng_.uniform(-1.0, 1.0)) * radius;
            cv::line(ink, cv::Point(from), cv::Point(to), cv::Scalar(rng_.uniform(185, 205)), std::max(1, int(0.2 * s)),
                cv::LINE_AA);
        }
        cv::GaussianBlur(ink, ink, cv::Size(0, 0), 0.3 * s);
        mask.setTo(255);
        break;
    }
    case Fill::StrayDot: {
        const cv::Point2d at = centre + cv::Point2d(rng_.uniform(-0.5, 0.5), rng_.uniform(-0.5, 0.5)) * radius;
        cv::circle(ink, cv::Point(at), std::max(1, int(rng_.uniform(0.25, 0.45) * s)), cv::Scalar(rng_.uniform(30, 50)),
            cv::FILLED, cv::LINE_AA);
        mask.setTo(255);
        break;
    }
    }
    ink.setTo(cv::Scalar(255), mask == 0);
    cv::Mat target = page(area);
    cv::min(target, ink, target);
}

void ScanMaker::fillCells(cv::Mat& page, int dpi, PaperSize paper, const std::vector<CellFill>& fills)
{
    for (const CellFill& f : fills)
        fillCell(page, dpi, f.q > 0 ? answerCellMm(paper, f.q, f.k) : digitCellMm(paper, f.column, f.k), f.fill);
}

std::vector<CellFill> ScanMaker::studentNumber(const QString& digits)
{
    std::vector<CellFill> fills;
    for (int column = 0; column < digits.size() && column < kStudentNumberDigits; ++column)
        fills.push_back({ 0, digits[column].digitValue(), column, rng_.uniform(0, 3) ? Fill::Pen : Fill::Pencil });
    return fills;
}

std::vector<CellFill> ScanMaker::someAnswers(const SheetLayout& layout)
{
    const int answers = paperAnswers(layout.testType);
    std::vector<int> order(std::size_t(layout.questions));
    std::iota(order.begin(), order.end(), 1);
    for (std::size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[std::size_t(rng_.uniform(0, int(i)))]);
    // The first few questions of the shuffled order get the doubtful fills.
    const Fill doubtful[]
        = { Fill::LightPencil, Fill::LightPencil, Fill::Erased, Fill::Erased, Fill::StrayDot, Fill::HalfFilled };
    const std::size_t special = std::min<std::size_t>(std::size(doubtful), order.size() / 4);

    std::vector<CellFill> fills;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int q = order[i];
        const int first = rng_.uniform(1, answers + 1);
        const Fill clear = rng_.uniform(0, 5) < 3 ? Fill::Pen : Fill::Pencil;
        if (i < special) {
            fills.push_back({ q, first, 0, doubtful[i] });
            // An erased answer was usually replaced by another.
            if (doubtful[i] == Fill::Erased && i % 2 == 0)
                fills.push_back({ q, first % answers + 1, 0, clear });
            continue;
        }
        const double r = rng_.uniform(0.0, 1.0);
        if (r < 0.08)
            continue;
        fills.push_back({ q, first, 0, clear });
        if (r > 0.95)
            fills.push_back({ q, first % answers + 1, 0, clear });
    }
    std::sort(fills.begin(), fills.end(), [](const CellFill& a, const CellFill& b) {
        return std::tie(a.q, a.column, a.k) < std::tie(b.q, b.column, b.k);
    });
    return fills;
}

cv::Mat ScanMaker::rotateQuarterTurns(const cv::Mat& page, int turns)
{
    static const cv::RotateFlags kFlags[] = { cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180, cv::ROTATE_90_COUNTERCLOCKWISE };
    const int t = ((turns % 4) + 4) % 4;
    if (t == 0)
        return page.clone();
    cv::Mat out;
    cv::rotate(page, out, kFlags[t - 1]);
    return out;
}

cv::Mat ScanMaker::rotate(const cv::Mat& page, double degrees)
{
    const cv::Point2f centre(page.cols / 2.0f, page.rows / 2.0f);
    cv::Mat m = cv::getRotationMatrix2D(centre, degrees, 1.0);
    const cv::Rect box = cv::RotatedRect(centre, page.size(), float(degrees)).boundingRect();
    m.at<double>(0, 2) += box.width / 2.0 - centre.x;
    m.at<double>(1, 2) += box.height / 2.0 - centre.y;
    cv::Mat out;
    cv::warpAffine(page, out, m, box.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return out;
}

cv::Mat ScanMaker::phonePhoto(const cv::Mat& page)
{
    const double w = page.cols;
    const double h = page.rows;
    const cv::Size frame(int(w * 1.15), int(h * 1.15));
    cv::Mat photo(frame, page.type(), cv::Scalar::all(rng_.uniform(60, 100)));
    cv::Mat table(frame, CV_32F);
    rng_.fill(table, cv::RNG::NORMAL, 0, 6);
    cv::Mat tableGrey;
    table.convertTo(tableGrey, page.type());
    if (page.channels() == 1)
        cv::add(photo, tableGrey, photo);

    // The phone leans back: the far edge comes out narrower than the near one.
    const double mx = w * 0.075;
    const double my = h * 0.075;
    const double lean = w * rng_.uniform(0.02, 0.06);
    const auto jitter = [&] { return rng_.uniform(-0.02, 0.02) * w; };
    const cv::Point2f from[] = { { 0, 0 }, { float(w), 0 }, { float(w), float(h) }, { 0, float(h) } };
    const cv::Point2f to[] = {
        { float(mx + lean + jitter()), float(my + jitter()) },
        { float(mx + w - lean + jitter()), float(my + jitter()) },
        { float(mx + w + jitter()), float(my + h + jitter()) },
        { float(mx + jitter()), float(my + h + jitter()) },
    };
    cv::warpPerspective(
        page, photo, cv::getPerspectiveTransform(from, to), frame, cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);

    cv::Mat f;
    photo.convertTo(f, CV_32F);
    const cv::Mat light = smoothField(rng_, frame, 0.6, 1.0);
    if (f.channels() == 1) {
        cv::multiply(f, light, f);
    } else {
        cv::Mat light3;
        cv::merge(std::vector<cv::Mat> { light, light, light }, light3);
        cv::multiply(f, light3, f);
    }
    f.convertTo(photo, page.type());
    blur(photo, 0.8);
    addNoise(photo, 4);
    return photo;
}

cv::Mat ScanMaker::photocopy(const cv::Mat& page)
{
    // White comes out a middle grey and black a dark one, unevenly.
    cv::Mat f;
    page.convertTo(f, CV_32F, (212.0 - 45.0) / 255.0, 45.0);
    cv::Mat unevenness = smoothField(rng_, page.size(), -10, 10);
    f += unevenness;
    cv::Mat out;
    f.convertTo(out, CV_8U);
    // Toner specks.
    cv::Mat chance(page.size(), CV_32F);
    rng_.fill(chance, cv::RNG::UNIFORM, 0, 1);
    cv::Mat specks = chance < 0.0003;
    cv::dilate(specks, specks, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3)));
    out.setTo(cv::Scalar(70), specks);
    blur(out, 0.6);
    addNoise(out, 3);
    return out;
}

void ScanMaker::addNoise(cv::Mat& page, double sigma)
{
    cv::Mat noise(page.size(), CV_32FC(page.channels()));
    rng_.fill(noise, cv::RNG::NORMAL, 0, sigma);
    cv::Mat f;
    page.convertTo(f, CV_32FC(page.channels()));
    f += noise;
    f.convertTo(page, page.type());
}

void ScanMaker::blur(cv::Mat& page, double sigma)
{
    cv::GaussianBlur(page, page, cv::Size(0, 0), sigma);
}

QByteArray ScanMaker::jpeg(const cv::Mat& page, int quality)
{
    std::vector<uchar> bytes;
    cv::imencode(".jpg", page, bytes, { cv::IMWRITE_JPEG_QUALITY, quality });
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

cv::Mat ScanMaker::throughJpeg(const cv::Mat& page, int quality)
{
    const QByteArray bytes = jpeg(page, quality);
    return cv::imdecode(
        cv::Mat(1, int(bytes.size()), CV_8UC1, const_cast<char*>(bytes.constData())), cv::IMREAD_UNCHANGED);
}

cv::Mat ScanMaker::inColour(const cv::Mat& page)
{
    cv::Mat grey;
    if (page.channels() == 1)
        grey = page;
    else
        cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
    cv::Mat inverse = 255 - grey;
    cv::Mat blue, green, red;
    cv::addWeighted(grey, 0.92, inverse, 0.3, 0, blue);
    grey.convertTo(green, CV_8U, 0.96);
    grey.convertTo(red, CV_8U, 0.99);
    cv::Mat out;
    cv::merge(std::vector<cv::Mat> { blue, green, red }, out);
    return out;
}

cv::Mat matFromImage(const QImage& image)
{
    if (image.isNull())
        return {};
    if (image.format() == QImage::Format_Grayscale8)
        return cv::Mat(image.height(), image.width(), CV_8UC1, const_cast<uchar*>(image.constBits()),
            std::size_t(image.bytesPerLine()))
            .clone();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    cv::Mat out;
    cv::cvtColor(cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                     std::size_t(rgb.bytesPerLine())),
        out, cv::COLOR_RGB2BGR);
    return out;
}

QImage imageFromMat(const cv::Mat& mat)
{
    if (mat.empty())
        return {};
    if (mat.type() == CV_8UC1)
        return QImage(mat.data, mat.cols, mat.rows, qsizetype(mat.step), QImage::Format_Grayscale8).copy();
    cv::Mat rgb;
    cv::cvtColor(mat, rgb, cv::COLOR_BGR2RGB);
    return QImage(rgb.data, rgb.cols, rgb.rows, qsizetype(rgb.step), QImage::Format_RGB888).copy();
}

QByteArray scannedPdf(const std::vector<cv::Mat>& pages, int dpi)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins({});
    pdf.setResolution(dpi);
    QPainter painter(&pdf);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            pdf.newPage();
        painter.drawImage(QRect(0, 0, pdf.width(), pdf.height()), imageFromMat(pages[i]));
    }
    painter.end();
    return bytes;
}
