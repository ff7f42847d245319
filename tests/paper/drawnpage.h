#pragma once

#include <vector>

#include <opencv2/core.hpp>

#include "paper/sheetcode.h"

// Pages for the reader's tests, drawn at the printed geometry straight into
// a grey image at any resolution, then filled and spoiled the way paper is.

struct DrawnFill {
    int question = 0; // 1..100; 0 with `column` for a digit of the number grid
    int answer = 0; // 1..5, or the digit 0..9
    int column = -1;
    // Share of the cell's box the ink covers; above 1 it runs over the outline.
    double share = 1.0;
    // Ink grey: 20 for pen, 90 for pencil, 150 for light pencil, 200 for a
    // clean erasure's smear.
    int ink = 20;
};

cv::Mat drawPage(const SheetCode& code, double dpi);
void fillCells(cv::Mat& page, const SheetCode& code, double dpi, const std::vector<DrawnFill>& fills);

enum class Spoil {
    None,
    Rotate3,
    Rotate90,
    Rotate180,
    Photo, // perspective, uneven light, a darker border around the sheet
    Noise,
    Blur,
    Jpeg50,
    Photocopy,
    CutHalf,
};

cv::Mat spoilPage(const cv::Mat& page, Spoil spoil);
