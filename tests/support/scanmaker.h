#pragma once

#include <vector>

#include <QByteArray>
#include <QImage>
#include <QRectF>

#include <opencv2/core.hpp>

#include "paper/papersheet.h"

// Scans made in the tests from the project's own printed sheets: a page is
// rendered, its cells filled the way students fill them, and the result
// distorted the way scanners, photocopiers and phones do. Every random
// choice comes from the maker's seed, so a failing case comes back the same.
// Pages are grey images (CV_8UC1), white 255; a phone photo or a colour scan
// may be turned to BGR at the end.

// How a student left a cell.
enum class Fill {
    Pen, // ballpoint strokes, 60–100 % of the cell, overshooting its outline
    Pencil, // graphite, grainier and lighter than ink
    LightPencil, // a faint pencil fill, still meant as a mark
    Erased, // a pencil mark rubbed out: a grey smear and a few traces
    StrayDot, // a pen touched the cell by chance
    HalfFilled, // a pen fill over about half the cell
};

// What the student meant, and whether a reader may be unsure of it.
bool meantAsMark(Fill fill);
bool isClearFill(Fill fill);

struct CellFill {
    int q = 0; // question 1..100, or 0 for the student-number grid
    int k = 0; // answer 1..5, or the digit 0..9 in column `column`
    int column = 0;
    Fill fill = Fill::Pen;
};

class ScanMaker {
public:
    explicit ScanMaker(unsigned seed);

    // A page drawn straight by the printer's drawer, or a page of a written
    // PDF rendered by Poppler, at `dpi`.
    static cv::Mat renderSheet(const PaperSheet& sheet, int dpi);
    static cv::Mat renderPdf(const QByteArray& pdf, int page, int dpi);

    // Fills one cell, given in millimetres, of a page rendered at `dpi`.
    void fillCell(cv::Mat& page, int dpi, const QRectF& cellMm, Fill fill);
    // Fills answer cells and digit cells where the list says.
    void fillCells(cv::Mat& page, int dpi, PaperSize paper, const std::vector<CellFill>& fills);
    // The cells of an 8-digit student number, each with a clear fill.
    std::vector<CellFill> studentNumber(const QString& digits);
    // A whole class's worth of answers for one page: most questions get one
    // clear mark, some none, a few two, and a handful of cells the doubtful
    // kinds (light pencil, erased, stray dot, half-filled), each on a cell
    // of its own question.
    std::vector<CellFill> someAnswers(const SheetLayout& layout);

    // Distortions; each returns a new image unless it says otherwise.
    static cv::Mat rotateQuarterTurns(const cv::Mat& page, int turns);
    // Rotation by a few degrees about the centre, on a canvas that keeps the
    // whole page, the corners left white as a scanner's lid leaves them.
    static cv::Mat rotate(const cv::Mat& page, double degrees);
    // A phone held over the page on a table: perspective, the page smaller
    // than the frame on a darker background, light falling off unevenly,
    // and the camera's softness and noise.
    cv::Mat phonePhoto(const cv::Mat& page);
    // A page run through a photocopier: grey paper, lighter blacks, specks.
    cv::Mat photocopy(const cv::Mat& page);
    void addNoise(cv::Mat& page, double sigma);
    static void blur(cv::Mat& page, double sigma);
    // The page as JPEG bytes, and back as the reader would decode them.
    static QByteArray jpeg(const cv::Mat& page, int quality);
    static cv::Mat throughJpeg(const cv::Mat& page, int quality);
    // A colour scan of the page: warm paper, the ink a little blue.
    static cv::Mat inColour(const cv::Mat& page);

    cv::RNG& rng() { return rng_; }

private:
    cv::RNG rng_;
};

// The pages as a scanner's PDF: one raster image per A4 page, at `dpi`.
QByteArray scannedPdf(const std::vector<cv::Mat>& pages, int dpi);

// Between OpenCV and Qt, copying the pixels.
cv::Mat matFromImage(const QImage& image);
QImage imageFromMat(const cv::Mat& mat);
