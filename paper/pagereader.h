#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include <QString>

#include "paper/papergeometry.h"
#include "paper/sheetcode.h"

// Positions on the page are worked out in this frame: millimetres of the
// geometry times this many pixels. Only the parts the reader looks at (the
// code, a doubtful row) are ever redrawn in it; cells are measured where
// they lie in the scan.
inline constexpr double kFramePxPerMm = 6.0;

// Why a page could not be located.
enum class LocateProblem {
    None,
    NoMarks,
    CodeUnreadable,
    // A code was read but it is not one this program prints.
    ForeignCode,
};

// Working images of the reader. One set per thread, kept across pages so
// that a long run allocates only for its first page.
struct PageBuffers {
    cv::Mat small;
    cv::Mat smoothed;
    cv::Mat binary;
    cv::Mat codeArea;
    cv::Mat paperSmall;
    cv::Mat paperWhite;
    std::vector<std::vector<cv::Point>> contours;
    // Mark candidates: centres and sides, and the hull of the centres.
    std::vector<cv::Point2f> centres;
    std::vector<float> sides;
    std::vector<int> hull;
    std::vector<float> fills;
    std::vector<float> darker;
};

struct LocatedPage {
    PaperSize size = PaperSize::A4;
    // The scan, and where a point of the upright frame lies on it.
    cv::Mat scan;
    cv::Matx33d frameToScan = cv::Matx33d::eye();
    // The bytes of the sheet's code, as the code reader returns them, and
    // what they say once decoded (empty with `codeReason` when they are
    // not a sheet code of ours).
    std::string code;
    std::optional<SheetCode> sheet;
    QString codeReason;
};

// Finds the four corner marks of a grey page image (any rotation, skew or
// perspective), maps the page onto the upright frame and reads its code,
// which also says which way up the page lies and, decoded, names the paper
// size; a page first taken for the other size is mapped again.
LocateProblem locatePage(const cv::Mat& grey, PageBuffers& buffers, LocatedPage& page);

// The centres of the four marks on the scan, in the page's order from its
// top left clockwise, or from its bottom right when it lies upside down
// (only the code tells which).
struct MarkQuad {
    std::array<cv::Point2f, 4> corners;
};
// The two steps of locatePage: the marks, then the mapping at one paper
// size and the code read from it (the page turned half round when the code
// is found in the opposite corner).
bool findMarks(const cv::Mat& grey, PageBuffers& buffers, MarkQuad& marks);
bool reframePage(const cv::Mat& grey, const MarkQuad& marks, PaperSize size, PageBuffers& buffers, LocatedPage& page);


enum class CellState : unsigned char { Empty, Marked, Doubtful };

struct CellReading {
    // How dark the cell's inside is against the paper around it, 0 to 1.
    float fill = 0;
    CellState state = CellState::Empty;
};

struct PageMarks {
    int questions = 0;
    int answers = 0;
    std::array<std::array<CellReading, 5>, 100> cells {};
    // Student-number grid: column 0..7, digit 0..9; read only on
    // anonymous pages.
    bool hasDigits = false;
    std::array<std::array<CellReading, 10>, 8> digits {};
    // The page's own levels of an empty and a filled cell.
    float emptyLevel = 0;
    float filledLevel = 0;
};

// Measures the answer cells of questions 1..`questions` (and the number
// grid when `digits`) of the located page and decides each against the
// page's own empty and filled cells.
void measurePage(
    const LocatedPage& page, int questions, int answers, bool digits, PageBuffers& buffers, PageMarks& marks);

// The 8-digit student number, or empty when a column has no single clear
// mark.
std::string studentNumber(const PageMarks& marks);

// Decision rule on a cell's fill, given the page's two levels; public so
// that its band can be tested on its own.
CellState decideCell(float fill, float emptyLevel, float filledLevel);

// The four corners of answer cell k of question q where they lie on the
// located page's scan, clockwise from the cell's top left; for showing the
// reading on the scan itself.
std::array<cv::Point2f, 4> answerCellOnScan(const LocatedPage& page, int q, int k);

// The row of question q, redrawn upright for a teacher to look at.
cv::Mat questionRowImage(const LocatedPage& page, int q, int answers);
