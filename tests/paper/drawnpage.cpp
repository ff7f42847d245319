#include "tests/paper/drawnpage.h"

#include <cmath>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "paper/papersheet.h"


cv::Mat drawPage(const SheetCode& code, double dpi)
{
    const QImage image = renderPaperSheet({ code, QStringLiteral("Examen de prueba") }, int(dpi))
                             .convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(image.height(), image.width(), CV_8UC1, const_cast<uchar*>(image.constBits()),
        std::size_t(image.bytesPerLine()));
    return view.clone();
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
