#include "paper/pagereader.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include <ZXing/BarcodeFormat.h>
#include <ZXing/DecodeHints.h>
#include <ZXing/ImageView.h>
#include <ZXing/ReadBarcode.h>

namespace {

// Marks are looked for on a copy whose long side is at most this long: a
// mark stays over 10 px across even when the page fills half of a photo.
constexpr int kSearchLongSide = 1600;
// The quiet zone of the code is cut with it, so the reader sees its border.
constexpr double kCodeMarginMm = 3.0;
// A cell is measured this far inside its box, clear of the printed outline
// of a square or a round cell even when the page is mapped half a
// millimetre off.
constexpr double kCellInsetMm = 1.0;
// The paper's own whiteness is estimated on a copy a quarter the size of
// the search copy, where a dilation this wide wipes out a filled cell.
constexpr int kPaperShrink = 4;
constexpr double kPaperDilationMm = 7.0;

// Decision band, as a share of the way from the page's empty level to its
// filled level.
constexpr float kEmptyBelow = 0.25f;
constexpr float kMarkedFrom = 0.6f;
// A page's filled level is never taken closer to its empty level than this,
// so that on a page whose only marks are erased smears those smears are not
// what "filled" means.
constexpr float kLeastContrast = 0.5f;
// Cells darker than the empty level by this much count as filled when the
// page's filled level is estimated.
constexpr float kFilledCandidate = 0.2f;

struct Candidate {
    cv::Point2f centre;
    float side = 0;
};

double distance(cv::Point2f a, cv::Point2f b)
{
    return std::hypot(double(a.x - b.x), double(a.y - b.y));
}

void findCandidates(const cv::Mat& binary, PageBuffers& b)
{
    std::vector<std::vector<cv::Point>>& contours = b.contours;
    b.centres.clear();
    b.sides.clear();
    const int longSide = std::max(binary.cols, binary.rows);
    const double minSide = longSide * 0.006;
    const double maxSide = longSide * 0.06;
    // Every contour, not only the outermost: in a photo the table's rim can
    // close round the whole page and hold the marks inside its hole.
    cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    for (const std::vector<cv::Point>& c : contours) {
        const cv::Rect box = cv::boundingRect(c);
        if (box.width < minSide || box.height < minSide || box.width > 1.5 * maxSide || box.height > 1.5 * maxSide)
            continue;
        const cv::RotatedRect r = cv::minAreaRect(c);
        const float w = std::min(r.size.width, r.size.height);
        const float h = std::max(r.size.width, r.size.height);
        if (w < minSide || h > maxSide || w < 0.65f * h)
            continue;
        const double area = cv::contourArea(c);
        if (area < 0.8 * w * h)
            continue;
        // Solid inside: the finder squares of the code are rings and fail.
        if (cv::countNonZero(binary(box)) < 0.85 * area)
            continue;
        b.centres.push_back(r.center);
        b.sides.push_back(float(std::sqrt(area)));
    }
}

double signedArea(const std::array<Candidate, 4>& q)
{
    double s = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = q[std::size_t(i)].centre;
        const cv::Point2f b = q[std::size_t((i + 1) % 4)].centre;
        s += double(a.x) * b.y - double(b.x) * a.y;
    }
    return s / 2;
}

// Whether four marks in hull order can be the corners of a sheet: marks of
// one size, a portrait-like quadrilateral, sides that perspective may
// shorten but not fold, and marks as small against the page as printed.
bool plausibleQuad(const std::array<Candidate, 4>& q)
{
    float lo = q[0].side;
    float hi = q[0].side;
    float sum = 0;
    for (const Candidate& c : q) {
        lo = std::min(lo, c.side);
        hi = std::max(hi, c.side);
        sum += c.side;
    }
    if (hi > 1.7f * lo)
        return false;
    std::array<double, 4> side {};
    for (std::size_t i = 0; i < 4; ++i)
        side[i] = distance(q[i].centre, q[(i + 1) % 4].centre);
    if (std::min(side[0], side[2]) < 0.5 * std::max(side[0], side[2])
        || std::min(side[1], side[3]) < 0.5 * std::max(side[1], side[3]))
        return false;
    const double a = side[0] + side[2];
    const double b = side[1] + side[3];
    const double aspect = std::max(a, b) / std::min(a, b);
    if (aspect < 1.15 || aspect > 1.8)
        return false;
    const double markShare = (sum / 4) / (std::min(a, b) / 2);
    if (markShare < 0.012 || markShare > 0.07)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2f u = q[(i + 3) % 4].centre - q[i].centre;
        const cv::Point2f v = q[(i + 1) % 4].centre - q[i].centre;
        const double cosine = (double(u.x) * v.x + double(u.y) * v.y) / (std::hypot(u.x, u.y) * std::hypot(v.x, v.y));
        if (std::abs(cosine) > 0.6)
            return false;
    }
    return true;
}

cv::Point2f framePoint(QPointF mm)
{
    return { float(mm.x() * kFramePxPerMm), float(mm.y() * kFramePxPerMm) };
}

cv::Rect frameRect(const QRectF& mm, cv::Size frame)
{
    const cv::Rect r(int(std::lround(mm.left() * kFramePxPerMm)), int(std::lround(mm.top() * kFramePxPerMm)),
        int(std::lround(mm.width() * kFramePxPerMm)), int(std::lround(mm.height() * kFramePxPerMm)));
    return r & cv::Rect(0, 0, frame.width, frame.height);
}

cv::Point2d toScan(const cv::Matx33d& h, double x, double y)
{
    const cv::Vec3d p = h * cv::Vec3d(x, y, 1);
    return { p[0] / p[2], p[1] / p[2] };
}

cv::Size frameSize(PaperSize size)
{
    const QSizeF mm = paperSizeMm(size);
    return { int(std::lround(mm.width() * kFramePxPerMm)), int(std::lround(mm.height() * kFramePxPerMm)) };
}

// Redraws `area` of the upright frame from the scan, alone.
void redraw(const LocatedPage& page, const cv::Rect& area, cv::Mat& out)
{
    const cv::Matx33d shift(1, 0, area.x, 0, 1, area.y, 0, 0, 1);
    cv::warpPerspective(page.scan, out, cv::Mat(page.frameToScan * shift), area.size(),
        cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, cv::Scalar(255));
}

bool readCode(const LocatedPage& page, const cv::Rect& area, cv::Mat& buffer, std::string& text)
{
    if (area.width < 16 || area.height < 16)
        return false;
    redraw(page, area, buffer);
    const ZXing::ImageView view(buffer.data, buffer.cols, buffer.rows, ZXing::ImageFormat::Lum, int(buffer.step));
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return false;
    const ZXing::ByteArray& bytes = result.bytes();
    text.assign(bytes.begin(), bytes.end());
    return true;
}

float quantile(std::vector<float>& values, double share)
{
    const auto at = values.begin() + std::ptrdiff_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// The cell's inside as it lies on the scan: the box within the four mapped
// corners (the inner two of their xs and of their ys), so that a turned or
// slanted page is measured inside the cell, never across its outline.
CellReading measureCell(const LocatedPage& page, const PageBuffers& b, double paperScale, const QRectF& cellMm)
{
    const QRectF inside = cellMm.adjusted(kCellInsetMm, kCellInsetMm, -kCellInsetMm, -kCellInsetMm);
    std::array<double, 4> xs {};
    std::array<double, 4> ys {};
    const std::array<QPointF, 4> corners { inside.topLeft(), inside.topRight(), inside.bottomRight(),
        inside.bottomLeft() };
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d p = toScan(page.frameToScan, corners[i].x() * kFramePxPerMm, corners[i].y() * kFramePxPerMm);
        xs[i] = p.x;
        ys[i] = p.y;
    }
    std::sort(xs.begin(), xs.end());
    std::sort(ys.begin(), ys.end());
    const cv::Rect r = cv::Rect(cv::Point(int(std::ceil(xs[1])), int(std::ceil(ys[1]))),
                           cv::Point(int(std::floor(xs[2])), int(std::floor(ys[2]))))
        & cv::Rect(0, 0, page.scan.cols, page.scan.rows);
    if (r.area() == 0)
        return {};
    const double ink = cv::mean(page.scan(r))[0];
    const cv::Point2d centre
        = toScan(page.frameToScan, inside.center().x() * kFramePxPerMm, inside.center().y() * kFramePxPerMm);
    const int x = std::clamp(int(centre.x * paperScale), 0, b.paperWhite.cols - 1);
    const int y = std::clamp(int(centre.y * paperScale), 0, b.paperWhite.rows - 1);
    const double paper = std::max(1.0, double(b.paperWhite.at<std::uint8_t>(y, x)));
    return { float(std::clamp(1.0 - ink / paper, 0.0, 1.0)), CellState::Empty };
}

} // namespace

bool findMarks(const cv::Mat& grey, PageBuffers& b, MarkQuad& marks)
{
    if (grey.empty() || grey.type() != CV_8UC1)
        return false;
    const int longSide = std::max(grey.cols, grey.rows);
    // A whole factor and plain interpolation, then a light blur against
    // noise: marks are solid, and averaging whole blocks of a 300-dpi page
    // would cost more than the rest of the reading.
    const int factor = (longSide + kSearchLongSide - 1) / kSearchLongSide;
    const double scale = 1.0 / factor;
    if (factor > 1) {
        cv::resize(grey, b.smoothed, cv::Size(grey.cols / factor, grey.rows / factor), 0, 0, cv::INTER_LINEAR);
        cv::blur(b.smoothed, b.small, cv::Size(3, 3));
    } else {
        cv::blur(grey, b.small, cv::Size(3, 3));
    }
    const int smallLong = std::max(b.small.cols, b.small.rows);
    if (smallLong < 200)
        return false;
    // About twice a mark's side when the page fills the image: a mark stays
    // solid, and the dark rim a table leaves along the page's edge in a
    // photo stays clear of the marks beside it.
    const int block = (smallLong / 28) | 1;
    cv::adaptiveThreshold(b.small, b.binary, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block, 25);

    findCandidates(b.binary, b);
    if (b.centres.size() < 4)
        return false;
    cv::convexHull(b.centres, b.hull, false, false);
    const auto candidate = [&b](std::size_t h) {
        const std::size_t i = std::size_t(b.hull[h]);
        return Candidate { b.centres[i], b.sides[i] };
    };
    // The marks lie outside everything else printed, so they are corners of
    // the hull; of the plausible choices the widest is the sheet.
    const std::size_t n = std::min<std::size_t>(b.hull.size(), 40);
    double best = 0;
    std::array<Candidate, 4> chosen {};
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            for (std::size_t k = j + 1; k < n; ++k)
                for (std::size_t l = k + 1; l < n; ++l) {
                    const std::array<Candidate, 4> q { candidate(i), candidate(j), candidate(k), candidate(l) };
                    const double area = std::abs(signedArea(q));
                    if (area > best && plausibleQuad(q)) {
                        best = area;
                        chosen = q;
                    }
                }
    if (best == 0)
        return false;
    if (signedArea(chosen) < 0)
        std::swap(chosen[1], chosen[3]);
    // Start on a short side, so the page is upright or upside down; the
    // code decides which.
    const double shortPair
        = distance(chosen[0].centre, chosen[1].centre) + distance(chosen[2].centre, chosen[3].centre);
    const double longPair = distance(chosen[1].centre, chosen[2].centre) + distance(chosen[3].centre, chosen[0].centre);
    const std::size_t start = shortPair <= longPair ? 0 : 1;
    for (std::size_t i = 0; i < 4; ++i)
        marks.corners[i] = chosen[(start + i) % 4].centre * float(1.0 / scale);
    return true;
}

bool reframePage(const cv::Mat& grey, const MarkQuad& marks, PaperSize size, PageBuffers& b, LocatedPage& page)
{
    std::array<cv::Point2f, 4> target {};
    for (int i = 0; i < 4; ++i)
        target[std::size_t(i)] = framePoint(markCentreMm(size, i));
    page.scan = grey;
    page.size = size;
    page.frameToScan = cv::Matx33d(cv::getPerspectiveTransform(target.data(), marks.corners.data()));
    const cv::Size frame = frameSize(size);
    const QRectF codeMm = codeRectMm(size).adjusted(-kCodeMarginMm, -kCodeMarginMm, kCodeMarginMm, kCodeMarginMm);
    const cv::Rect upright = frameRect(codeMm, frame);
    if (readCode(page, upright, b.codeArea, page.code))
        return true;
    // Upside down, the code lies in the opposite corner; turning the frame
    // half round puts it where it belongs.
    const cv::Matx33d halfTurn(-1, 0, frame.width, 0, -1, frame.height, 0, 0, 1);
    page.frameToScan = page.frameToScan * halfTurn;
    return readCode(page, upright, b.codeArea, page.code);
}

LocateProblem locatePage(const cv::Mat& grey, PageBuffers& b, LocatedPage& page)
{
    MarkQuad marks;
    if (!findMarks(grey, b, marks))
        return LocateProblem::NoMarks;
    // The two sizes differ in their proportions: 1.46 for A4, 1.33 for
    // Letter between the marks. A page photographed at a slant may look
    // like the other, so the other is tried when the code is not found.
    const double across = distance(marks.corners[0], marks.corners[1]) + distance(marks.corners[2], marks.corners[3]);
    const double down = distance(marks.corners[1], marks.corners[2]) + distance(marks.corners[3], marks.corners[0]);
    const PaperSize guess = down / across > 1.395 ? PaperSize::A4 : PaperSize::Letter;
    const PaperSize other = guess == PaperSize::A4 ? PaperSize::Letter : PaperSize::A4;
    page.sheet.reset();
    page.codeReason.clear();
    if (!reframePage(grey, marks, guess, b, page) && !reframePage(grey, marks, other, b, page))
        return LocateProblem::CodeUnreadable;
    page.sheet = decodeSheetCode(QByteArrayView(page.code.data(), qsizetype(page.code.size())), page.codeReason);
    if (!page.sheet)
        return LocateProblem::ForeignCode;
    // The code square of one size overlaps that of the other, so the code
    // may be read from a page mapped at the wrong size; its cells would not.
    if (page.sheet->layout.paper != page.size && !reframePage(grey, marks, page.sheet->layout.paper, b, page))
        return LocateProblem::CodeUnreadable;
    return LocateProblem::None;
}

CellState decideCell(float fill, float emptyLevel, float filledLevel)
{
    const float span = std::max(filledLevel - emptyLevel, 1e-3f);
    const float share = (fill - emptyLevel) / span;
    if (share < kEmptyBelow)
        return CellState::Empty;
    if (share >= kMarkedFrom)
        return CellState::Marked;
    return CellState::Doubtful;
}

std::array<cv::Point2f, 4> answerCellOnScan(const LocatedPage& page, int q, int k)
{
    const QRectF cell = answerCellMm(page.size, q, k);
    const std::array<QPointF, 4> corners { cell.topLeft(), cell.topRight(), cell.bottomRight(), cell.bottomLeft() };
    std::array<cv::Point2f, 4> out;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d p = toScan(page.frameToScan, corners[i].x() * kFramePxPerMm, corners[i].y() * kFramePxPerMm);
        out[i] = { float(p.x), float(p.y) };
    }
    return out;
}

void measurePage(const LocatedPage& page, int questions, int answers, bool digits, PageBuffers& b, PageMarks& marks)
{
    // The paper's whiteness around each cell, from the search copy of this
    // same scan, shrunk further: under uneven light or grey paper a cell is
    // measured against the paper beside it.
    cv::resize(b.small, b.paperSmall, cv::Size(b.small.cols / kPaperShrink, b.small.rows / kPaperShrink), 0, 0,
        cv::INTER_AREA);
    const double paperScale = double(b.paperSmall.cols) / page.scan.cols;
    const cv::Point2d a = toScan(page.frameToScan, 0, 0);
    const cv::Point2d z = toScan(page.frameToScan, 100 * kFramePxPerMm, 0);
    const double pxPerMm = std::hypot(z.x - a.x, z.y - a.y) / 100 * paperScale;
    const int side = std::max(3, int(std::ceil(kPaperDilationMm * pxPerMm)) | 1);
    cv::dilate(b.paperSmall, b.paperWhite, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side)));
    cv::blur(b.paperWhite, b.paperWhite, cv::Size(side, side));

    marks.answers = answers;
    marks.questions = questions;
    marks.hasDigits = digits;
    std::vector<float>& fills = b.fills;
    fills.clear();
    for (int q = 1; q <= questions; ++q)
        for (int k = 1; k <= answers; ++k) {
            CellReading& c = marks.cells[std::size_t(q - 1)][std::size_t(k - 1)];
            c = measureCell(page, b, paperScale, answerCellMm(page.size, q, k));
            fills.push_back(c.fill);
        }
    if (digits)
        for (int column = 0; column < kStudentNumberDigits; ++column)
            for (int d = 0; d < 10; ++d) {
                CellReading& c = marks.digits[std::size_t(column)][std::size_t(d)];
                c = measureCell(page, b, paperScale, digitCellMm(page.size, column, d));
                fills.push_back(c.fill);
            }
    if (fills.empty())
        return;

    // The page's own levels: most cells of every sheet are empty, so a low
    // quantile is an empty cell as this scan shows it; a filled cell is the
    // typical one of the clearly darker cells.
    const float empty = quantile(fills, 0.1);
    std::vector<float>& darker = b.darker;
    darker.clear();
    for (const float f : fills)
        if (f > empty + kFilledCandidate)
            darker.push_back(f);
    const float filled = std::max(darker.empty() ? 0.f : quantile(darker, 0.75), empty + kLeastContrast);
    marks.emptyLevel = empty;
    marks.filledLevel = filled;

    for (int q = 0; q < questions; ++q)
        for (int k = 0; k < answers; ++k) {
            CellReading& c = marks.cells[std::size_t(q)][std::size_t(k)];
            c.state = decideCell(c.fill, empty, filled);
        }
    if (digits)
        for (auto& column : marks.digits)
            for (CellReading& c : column)
                c.state = decideCell(c.fill, empty, filled);
}

std::string studentNumber(const PageMarks& marks)
{
    std::string number;
    for (const auto& column : marks.digits) {
        int digit = -1;
        for (int d = 0; d < 10; ++d) {
            const CellState s = column[std::size_t(d)].state;
            if (s == CellState::Doubtful || (s == CellState::Marked && digit >= 0))
                return {};
            if (s == CellState::Marked)
                digit = d;
        }
        if (digit < 0)
            return {};
        number += char('0' + digit);
    }
    return number;
}

cv::Mat questionRowImage(const LocatedPage& page, int q, int answers)
{
    const QRectF row = questionRowMm(page.size, q, answers).adjusted(-1.0, -0.5, 1.0, 0.5);
    const cv::Rect r = frameRect(row, frameSize(page.size));
    cv::Mat image;
    if (r.area() > 0)
        redraw(page, r, image);
    return image;
}
