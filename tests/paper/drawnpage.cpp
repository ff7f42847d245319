#include "tests/paper/drawnpage.h"

#include <cmath>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace {

// Whole pixels from rounded edges, so that touching boxes (the code's
// modules) neither overlap nor leave a gap between them.
cv::Rect px(const QRectF& mm, double scale)
{
    const int left = int(std::lround(mm.left() * scale));
    const int top = int(std::lround(mm.top() * scale));
    return { left, top, int(std::lround(mm.right() * scale)) - left, int(std::lround(mm.bottom() * scale)) - top };
}

void outline(cv::Mat& page, const QRectF& mm, double scale, bool round)
{
    const cv::Rect r = px(mm, scale);
    const int pen = std::max(1, int(std::lround(0.3 * scale)));
    if (round)
        cv::ellipse(page, cv::RotatedRect({ float(r.x + r.width / 2), float(r.y + r.height / 2) },
                              { float(r.width), float(r.height) }, 0),
            cv::Scalar(0), pen, cv::LINE_AA);
    else
        cv::rectangle(page, r, cv::Scalar(0), pen, cv::LINE_AA);
}

} // namespace

cv::Mat drawPage(const SheetCode& code, double dpi)
{
    const double scale = dpi / 25.4;
    const PaperSize size = code.layout.paper;
    const QSizeF paper = paperSizeMm(size);
    cv::Mat page(int(std::lround(paper.height() * scale)), int(std::lround(paper.width() * scale)), CV_8UC1,
        cv::Scalar(255));
    for (int corner = 0; corner < 4; ++corner) {
        const QPointF c = markCentreMm(size, corner);
        const double h = kMarkSideMm / 2;
        cv::rectangle(page, px(QRectF(c.x() - h, c.y() - h, kMarkSideMm, kMarkSideMm), scale), cv::Scalar(0), cv::FILLED);
    }
    const CodeMatrix m = sheetCodeMatrix(encodeSheetCode(code));
    const QRectF square = codeRectMm(size);
    const double module = square.width() / m.size;
    for (int y = 0; y < m.size; ++y)
        for (int x = 0; x < m.size; ++x)
            if (m.at(x, y))
                cv::rectangle(page,
                    px(QRectF(square.left() + x * module, square.top() + y * module, module, module), scale),
                    cv::Scalar(0), cv::FILLED);
    const bool round = code.layout.cellShape == 1;
    const int answers = sheetAnswers(code.layout.testType);
    for (int q = 1; q <= code.layout.questions; ++q) {
        const QRectF number = questionNumberMm(size, q);
        cv::putText(page, std::to_string(q), { int(number.left() * scale), int(number.bottom() * scale - 2 * scale) },
            cv::FONT_HERSHEY_SIMPLEX, scale * 0.09, cv::Scalar(0), std::max(1, int(scale * 0.25)), cv::LINE_AA);
        for (int k = 1; k <= answers; ++k) {
            outline(page, answerCellMm(size, q, k), scale, round);
            const QRectF letter = answerLetterMm(size, q, k);
            cv::putText(page, std::string(1, char('A' + k - 1)),
                { int(letter.left() * scale), int(letter.bottom() * scale - 0.8 * scale) }, cv::FONT_HERSHEY_SIMPLEX,
                scale * 0.07, cv::Scalar(0), 1, cv::LINE_AA);
        }
    }
    if (code.studentId.isEmpty())
        for (int c = 0; c < kStudentNumberDigits; ++c) {
            cv::rectangle(page, px(digitHeadMm(size, c), scale), cv::Scalar(0), 1);
            for (int d = 0; d < 10; ++d)
                outline(page, digitCellMm(size, c, d), scale, round);
        }
    cv::putText(page, "Rellena la casilla por completo", { int(20 * scale), int(30 * scale) },
        cv::FONT_HERSHEY_SIMPLEX, scale * 0.12, cv::Scalar(0), std::max(1, int(scale * 0.3)), cv::LINE_AA);
    return page;
}

void fillCells(cv::Mat& page, const SheetCode& code, double dpi, const std::vector<DrawnFill>& fills)
{
    const double scale = dpi / 25.4;
    for (const DrawnFill& f : fills) {
        const QRectF cell = f.column >= 0 ? digitCellMm(code.layout.paper, f.column, f.answer)
                                          : answerCellMm(code.layout.paper, f.question, f.answer);
        // An ellipse of that share of the box's area, as a hand fills a cell
        // from its middle out.
        const double side = cell.width() * std::sqrt(f.share) * scale;
        cv::ellipse(page,
            cv::RotatedRect({ float(cell.center().x() * scale), float(cell.center().y() * scale) },
                { float(side * 1.1), float(side * 1.1) }, 0),
            cv::Scalar(f.ink), cv::FILLED, cv::LINE_AA);
    }
}

cv::Mat spoilPage(const cv::Mat& page, Spoil spoil)
{
    cv::Mat out;
    cv::RNG rng(19);
    switch (spoil) {
    case Spoil::None:
        return page.clone();
    case Spoil::Rotate3: {
        const cv::Mat r = cv::getRotationMatrix2D({ page.cols / 2.f, page.rows / 2.f }, 3.0, 1.0);
        cv::warpAffine(page, out, r, page.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));
        return out;
    }
    case Spoil::Rotate90:
        cv::rotate(page, out, cv::ROTATE_90_CLOCKWISE);
        return out;
    case Spoil::Rotate180:
        cv::rotate(page, out, cv::ROTATE_180);
        return out;
    case Spoil::Photo: {
        const float w = float(page.cols);
        const float h = float(page.rows);
        const cv::Point2f from[] = { { 0, 0 }, { w, 0 }, { w, h }, { 0, h } };
        const cv::Point2f to[] = { { 0.08f * w, 0.05f * h }, { 0.95f * w, 0.1f * h }, { 0.9f * w, 0.97f * h },
            { 0.02f * w, 0.9f * h } };
        cv::warpPerspective(page, out, cv::getPerspectiveTransform(from, to), page.size(), cv::INTER_LINEAR,
            cv::BORDER_CONSTANT, cv::Scalar(70));
        // Light falling off from one corner to the other: half as bright there.
        cv::Mat light(out.size(), CV_32F);
        for (int y = 0; y < light.rows; ++y)
            for (int x = 0; x < light.cols; ++x)
                light.at<float>(y, x) = 1.0f - 0.5f * (float(x) / w + float(y) / h) / 2;
        out.convertTo(out, CV_32F);
        out = out.mul(light);
        out.convertTo(out, CV_8U);
        return out;
    }
    case Spoil::Noise: {
        cv::Mat noise(page.size(), CV_16S);
        rng.fill(noise, cv::RNG::NORMAL, 0, 25);
        page.convertTo(out, CV_16S);
        out += noise;
        out.convertTo(out, CV_8U);
        return out;
    }
    case Spoil::Blur:
        cv::GaussianBlur(page, out, cv::Size(0, 0), page.cols / 210.0 * 0.25);
        return out;
    case Spoil::Jpeg50: {
        std::vector<uchar> bytes;
        cv::imencode(".jpg", page, bytes, { cv::IMWRITE_JPEG_QUALITY, 50 });
        return cv::imdecode(bytes, cv::IMREAD_GRAYSCALE);
    }
    case Spoil::Photocopy:
        // Grey paper, toner that is not quite black, and a little speckle.
        page.convertTo(out, CV_8U, 0.55, 60);
        return out;
    case Spoil::CutHalf:
        return page(cv::Rect(0, 0, page.cols, page.rows / 2)).clone();
    }
    return out;
}
